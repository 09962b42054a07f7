#include "remoterequest.h"

#include "catalogue.h"
#include "commandframe.h"
#include "hextext.h"
#include "ledger.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <vector>

namespace Ctl::Remote {

namespace {

using RemoteCatalogue::Command;

struct CommandWord
{
    const char *word;
    Command command;
    const char *usage;
};

const std::array<CommandWord, 10> Commands { {
        { "write", Command::WriteParameter, "write KEY VALUE, or write io PIN FUNCTION" },
        { "read", Command::ReadParameter, "read KEY" },
        { "erase", Command::EraseNetwork, "erase" },
        { "level", Command::LevelOutput, "level PIN high|low" },
        { "pwm", Command::PwmOutput, "pwm PIN DUTY" },
        { "serial", Command::SerialData, "serial HEX" },
        { "restart", Command::Restart, "restart" },
        { "collect", Command::CollectData, "collect" },
        { "scan-start", Command::StartNodeScan, "scan-start" },
        { "scan-stop", Command::StopNodeScan, "scan-stop" },
} };

struct Key
{
    const char *name;
    int digits; // hex digits of a text value, as the window's field takes it; 0 otherwise
};

// The remote parameter list by index, named as the profile names the same meaning. "io" is
// the pin functions (item 0x0416), which a write addresses by pin.
const std::array<Key, 19> Keys { {
        { "io", 0 },
        { "nodeType", 0 },
        { "panId", 4 },
        { "channel", 0 },
        { "shortAddress", 4 },
        { "txPower", 2 },
        { "sleepMode", 0 },
        { "sleepCycle", 2 },
        { "workTime", 2 },
        { "uartBaudRate", 0 },
        { "uartParity", 0 },
        { "uartTimeout", 2 },
        { "uartStopBits", 0 },
        { "pwmDivider", 0 },
        { "pwmFrequency", 8 },
        { "destinationAddress", 4 },
        { "autoSendTime", 4 },
        { "workMode", 0 },
        { "extendedPanId", 16 },
} };

constexpr int IoKey = 0;
constexpr int PwmFrequencyKey = 14;

QStringList keyNames(int from)
{
    QStringList names;
    for (size_t i = size_t(from); i < Keys.size(); ++i)
        names << QLatin1String(Keys[i].name);
    return names;
}

// The known word that begins with word, or else the nearest by edit distance.
QString nearest(const QString &word, const QStringList &known)
{
    for (const QString &candidate : known) {
        if (!word.isEmpty() && candidate.startsWith(word, Qt::CaseInsensitive))
            return candidate;
    }
    return ProfileCatalogue::closest(word, known);
}

QString unknown(const QString &what, const QString &word, const QStringList &known)
{
    return QStringLiteral("unknown %1 \"%2\"; did you mean %3?")
            .arg(what, word, nearest(word, known));
}

int indexIgnoringCase(const QStringList &list, const QString &word)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(word, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList functionWords(const QString &pin)
{
    QStringList words;
    const QStringList functions = RemoteCatalogue::pinFunctions(pin);
    for (const QString &function : functions)
        words << ProfileCatalogue::listWord(function);
    return words;
}

// Whole bytes of hex digits, blanks anywhere, as spaced upper-case pairs. digits 0: any
// number of bytes, at least one.
std::optional<QString> hexValue(const QString &name, const QString &text, int digits,
                                QString *error)
{
    HexText::BytesFault fault = HexText::BytesFault::None;
    const auto bytes = HexText::parseBytes(text, &fault);
    if (!bytes) {
        if (fault == HexText::BytesFault::NotHex)
            *error = QStringLiteral("%1: \"%2\" holds characters that are not hex digits")
                             .arg(name, text);
        else if (fault == HexText::BytesFault::NoDigits)
            *error = QStringLiteral("%1: no hex digits given").arg(name);
        else
            *error = QStringLiteral("%1: \"%2\" has an odd number of hex digits; write every "
                                    "byte as two digits, as 0A")
                             .arg(name, text);
        return std::nullopt;
    }
    if (digits > 0 && bytes->size() * 2 != digits) {
        *error = QStringLiteral("%1: \"%2\" must be %3 hex digits").arg(name, text).arg(digits);
        return std::nullopt;
    }
    return HexText::spaced(*bytes).trimmed();
}

std::optional<int> pinIndex(const QStringList &pins, const QString &word, QString *error)
{
    const int index = indexIgnoringCase(pins, word);
    if (index < 0)
        *error = unknown(QStringLiteral("pin"), word, pins)
                + QStringLiteral(" (pins: %1)").arg(pins.join(QStringLiteral(", ")));
    return index < 0 ? std::nullopt : std::optional<int>(index);
}

std::optional<RemoteFrame::Selection> writeIo(const QStringList &args, QString *error)
{
    const QStringList pins = RemoteCatalogue::pins();
    const auto pin = pinIndex(pins, args.at(1), error);
    if (!pin)
        return std::nullopt;
    const QString &pinName = pins.at(*pin);
    const QStringList offered = functionWords(pinName);
    const int function = indexIgnoringCase(offered, args.at(2));
    if (function >= 0) {
        return RemoteFrame::selection(Command::WriteParameter, {}, IoKey, *pin,
                                      RemoteCatalogue::pinFunctions(pinName).at(function));
    }
    // Every function a profile knows for a pin, also those no remote pin offers.
    QStringList every;
    for (const ProfileCatalogue::Entry &entry : ProfileCatalogue::entries()) {
        for (const QString &word : entry.values) {
            if (entry.write == ProfileCatalogue::Write::Pin && !every.contains(word))
                every << word;
        }
    }
    const QString offers =
            QStringLiteral("pin %1 offers %2").arg(pinName, offered.join(QStringLiteral(", ")));
    *error = indexIgnoringCase(every, args.at(2)) >= 0
            ? QStringLiteral("pin %1 does not offer %2; %3").arg(pinName, args.at(2), offers)
            : unknown(QStringLiteral("function"), args.at(2), every)
                    + QStringLiteral(" (%1)").arg(offers);
    return std::nullopt;
}

std::optional<RemoteFrame::Selection> writeParameter(const QStringList &args, QString *error)
{
    const int key = int(keyNames(0).indexOf(args.at(0)));
    if (key <= IoKey) {
        *error = unknown(QStringLiteral("parameter"), args.at(0), keyNames(1));
        return std::nullopt;
    }
    const QString name = QLatin1String(Keys[size_t(key)].name);
    const QString &text = args.at(1);
    const QString parameter = RemoteCatalogue::parameters().at(key);
    if (RemoteCatalogue::parameterKind(parameter) == RemoteCatalogue::ParameterKind::Choice) {
        // The profile's values of the same key, in the order of the choice list.
        const ProfileCatalogue::Entry *entry = ProfileCatalogue::find(name);
        const QStringList words = entry ? ProfileCatalogue::allValues(*entry) : QStringList();
        const int choice = indexIgnoringCase(words, text);
        if (choice < 0) {
            *error = QStringLiteral("%1: \"%2\" is not one of %3; did you mean %4?")
                             .arg(name, text, words.join(QStringLiteral(", ")),
                                  nearest(text, words));
            return std::nullopt;
        }
        return RemoteFrame::selection(Command::WriteParameter, {}, key, choice);
    }
    const auto value = hexValue(name, text, Keys[size_t(key)].digits, error);
    if (!value)
        return std::nullopt;
    if (key == PwmFrequencyKey && HexText::decode(*value).count('\0') == 4) {
        *error = QStringLiteral("%1: 0 Hz is no frequency").arg(name);
        return std::nullopt;
    }
    return RemoteFrame::selection(Command::WriteParameter, {}, key, -1, {}, *value);
}

// Addresses in the order first given, each once.
class AddressList
{
public:
    void add(quint16 address)
    {
        if (!m_seen[address])
            m_list << address;
        m_seen[address] = true;
    }
    QList<quint16> list() const { return m_list; }

private:
    QList<quint16> m_list;
    std::vector<bool> m_seen = std::vector<bool>(0x10000, false);
};

// Four hex digits; blanks are left out.
std::optional<quint16> shortAddress(QString text)
{
    static const QRegularExpression address(QStringLiteral("^[0-9A-Fa-f]{4}$"));
    text.remove(u' ');
    if (!address.match(text).hasMatch())
        return std::nullopt;
    return quint16(text.toUInt(nullptr, 16));
}

// Short addresses and ranges, "0001,0005-0008": in the order given, each address once.
std::optional<QList<quint16>> parseAddresses(const QString &text, QString *error)
{
    const auto parse = [error](const QString &one) {
        const auto address = shortAddress(one);
        if (!address)
            *error = QStringLiteral("--to: \"%1\" is not a short address (4 hex digits, as 0001)")
                             .arg(one.trimmed());
        return address;
    };
    AddressList addresses;
    const QStringList entries = text.split(u',');
    for (const QString &entry : entries) {
        const QStringList ends = entry.trimmed().split(u'-');
        if (ends.size() > 2) {
            *error = QStringLiteral("--to: \"%1\" is not an address or a range FIRST-LAST")
                             .arg(entry);
            return std::nullopt;
        }
        const auto first = parse(ends.constFirst());
        const auto last = first ? parse(ends.constLast()) : std::nullopt;
        if (!last)
            return std::nullopt;
        if (*last < *first) {
            *error = QStringLiteral("--to: the range %1 runs backwards").arg(entry.trimmed());
            return std::nullopt;
        }
        for (int a = *first; a <= *last; ++a)
            addresses.add(quint16(a));
    }
    return addresses.list();
}

// "@FILE" or "@FILE:KEY=VALUE" (only the rows whose KEY is VALUE); the text starts with the
// @. The filter is split off at the last colon that is followed by KEY=VALUE, so a path may
// hold colons.
struct LedgerSpec
{
    QString path;
    QString key; // empty: every row
    QString value;
};
std::optional<LedgerSpec> parseLedgerSpec(const QString &text, QString *error)
{
    LedgerSpec spec;
    spec.path = text.mid(1);
    const qsizetype colon = spec.path.lastIndexOf(u':');
    if (colon >= 0 && spec.path.indexOf(u'=', colon) > colon) {
        const QString filter = spec.path.mid(colon + 1);
        spec.path.truncate(colon);
        spec.key = filter.section(u'=', 0, 0).trimmed();
        spec.value = filter.section(u'=', 1).trimmed();
        if (spec.key.isEmpty() || spec.value.isEmpty()) {
            *error = QStringLiteral("--to: the filter \"%1\" is not KEY=VALUE, as nodeType=router")
                             .arg(filter);
            return std::nullopt;
        }
    }
    if (spec.path.isEmpty()) {
        *error = QStringLiteral("--to: name the ledger after the @, as @nodes.csv");
        return std::nullopt;
    }
    return spec;
}

} // namespace

std::optional<RemoteFrame::Selection> parseCommand(const QStringList &words, QString *error)
{
    QStringList known;
    for (const CommandWord &c : Commands)
        known << QLatin1String(c.word);
    const QString word = words.value(0);
    const auto found = std::find_if(Commands.begin(), Commands.end(), [&word](const auto &c) {
        return word == QLatin1String(c.word);
    });
    if (found == Commands.end()) {
        *error = word.isEmpty()
                ? QStringLiteral("COMMAND missing: one of %1").arg(known.join(QStringLiteral(", ")))
                : unknown(QStringLiteral("remote command"), word, known);
        return std::nullopt;
    }
    const QStringList args = words.mid(1);
    const auto wrongUsage = [&] {
        *error = QStringLiteral("usage: cc2530ctl remote PORT %1").arg(QLatin1String(found->usage));
        return std::nullopt;
    };
    switch (found->command) {
    case Command::WriteParameter:
        if (args.value(0) == QLatin1String(Keys[IoKey].name))
            return args.size() == 3 ? writeIo(args, error) : wrongUsage();
        return args.size() == 2 ? writeParameter(args, error) : wrongUsage();
    case Command::ReadParameter: {
        if (args.size() != 1)
            return wrongUsage();
        const int key = int(keyNames(0).indexOf(args.at(0)));
        if (key < 0) {
            *error = unknown(QStringLiteral("parameter"), args.at(0), keyNames(0));
            return std::nullopt;
        }
        return RemoteFrame::selection(Command::ReadParameter, {}, key);
    }
    case Command::LevelOutput: {
        if (args.size() != 2)
            return wrongUsage();
        const auto pin = pinIndex(RemoteCatalogue::pins(), args.at(0), error);
        if (!pin)
            return std::nullopt;
        // Index 0 "低", 1 "高".
        const QStringList levels { QStringLiteral("low"), QStringLiteral("high") };
        const int level = indexIgnoringCase(levels, args.at(1));
        if (level < 0) {
            *error = QStringLiteral("level: \"%1\" is not high or low").arg(args.at(1));
            return std::nullopt;
        }
        return RemoteFrame::selection(Command::LevelOutput, {}, *pin, -1,
                                      RemoteCatalogue::levels().at(level));
    }
    case Command::PwmOutput: {
        if (args.size() != 2)
            return wrongUsage();
        const QStringList pins = RemoteCatalogue::pwmPins();
        const auto pin = pinIndex(pins, args.at(0), error);
        const auto duty =
                pin ? hexValue(QStringLiteral("DUTY"), args.at(1), 0, error) : std::nullopt;
        if (!duty)
            return std::nullopt;
        return RemoteFrame::selection(Command::PwmOutput, {}, *pin, -1, {}, *duty);
    }
    case Command::SerialData: {
        if (args.size() != 1)
            return wrongUsage();
        const auto data = hexValue(QStringLiteral("HEX"), args.at(0), 0, error);
        if (!data)
            return std::nullopt;
        return RemoteFrame::selection(Command::SerialData, {}, -1, -1, {}, *data);
    }
    default:
        if (!args.isEmpty())
            return wrongUsage();
        return RemoteFrame::selection(found->command, {});
    }
}

std::optional<QList<quint16>> parseTargets(const QString &text, QString *error)
{
    if (!text.startsWith(u'@'))
        return parseAddresses(text, error);
    const auto spec = parseLedgerSpec(text, error);
    if (!spec)
        return std::nullopt;
    const auto ledger = Ledger::load(spec->path, error);
    if (!ledger) {
        *error = QStringLiteral("--to: cannot read the ledger %1: %2").arg(spec->path, *error);
        return std::nullopt;
    }
    const QString address = QStringLiteral("shortAddress");
    for (const QString &column : { address, spec->key }) {
        if (!column.isEmpty() && !ledger->columns().contains(column)) {
            *error = QStringLiteral("--to: the ledger %1 has no column %2 (columns: %3)")
                             .arg(spec->path, column, ledger->columns().join(QStringLiteral(", ")));
            return std::nullopt;
        }
    }
    QList<qsizetype> rows;
    for (qsizetype row = 0; row < ledger->rowCount(); ++row)
        rows << row;
    if (!spec->key.isEmpty())
        rows = ledger->rowsWhere(spec->key, spec->value);
    AddressList addresses;
    for (const qsizetype row : std::as_const(rows)) {
        const QString value = ledger->value(row, address);
        if (value.isEmpty())
            continue;
        const auto parsed = shortAddress(value);
        if (!parsed) {
            *error = QStringLiteral("--to: the ledger %1, row %2: shortAddress \"%3\" is not 4 "
                                    "hex digits")
                             .arg(spec->path)
                             .arg(Ledger::rowNumber(row))
                             .arg(value);
            return std::nullopt;
        }
        addresses.add(*parsed);
    }
    if (addresses.list().isEmpty()) {
        *error = QStringLiteral("--to: no row of the ledger %1 has a shortAddress%2")
                         .arg(spec->path,
                              spec->key.isEmpty()
                                      ? QString()
                                      : QStringLiteral(" and %1 %2").arg(spec->key, spec->value));
        return std::nullopt;
    }
    return addresses.list();
}

std::optional<QByteArray> frameFor(const RemoteFrame::Selection &row,
                                   std::optional<quint16> address, QString *error)
{
    RemoteFrame::Selection addressed = row;
    if (address)
        addressed.address = addressText(*address);
    const RemoteFrame::Result frame = RemoteFrame::build(addressed);
    if (!frame.isRefused())
        return frame.bytes;
    // parseCommand lets through only rows that compose into whole bytes; what is left to
    // refuse is a payload over 255 bytes.
    *error = QStringLiteral("the frame would carry %1 payload bytes; a frame carries at most 255")
                     .arg(CommandFrame::finishHexText(RemoteFrame::compose(addressed).text)
                                  .payloadSize);
    return std::nullopt;
}

QString addressText(quint16 address)
{
    return HexText::byte(quint8(address >> 8)) + HexText::byte(quint8(address));
}

} // namespace Ctl::Remote
