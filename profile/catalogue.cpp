#include "catalogue.h"

#include "commandframe.h"
#include "optionlists.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace ProfileCatalogue {

namespace {

struct Text
{
    Q_DECLARE_TR_FUNCTIONS(ProfileCatalogue)
};

using DeviceInfoReply::DeviceInfo;
using DeviceInfoReply::Field;
using OptionLists::PinList;
using P = ParameterWrites::Parameter;

// The file's word for each list item whose word is not the item text itself.
const std::array<std::pair<const char *, const char *>, 29> Words { {
        { "Coordinator", "coordinator" },
        { "Router", "router" },
        { "Enddevice", "enddevice" },
        { "无", "none" },
        { "奇校验", "odd" },
        { "偶校验", "even" },
        { "自动休眠", "auto" },
        { "IO控制休眠", "io" },
        { "透传模式", "transparent" },
        { "API模式", "api" },
        { "MODBUS模式", "modbus" },
        { "DigiAPI模式", "digiapi" },
        { "广播", "broadcast" },
        { "主从", "master-slave" },
        { "点对点", "point-to-point" },
        { "Hex", "hex" },
        { "ASCII", "ascii" },
        { "no", "false" },
        { "yes", "true" },
        { "短地址", "short" },
        { "长地址", "long" },
        { "开关量采集", "switch-input" },
        { "高低电平输入", "level-input" },
        { "高低电平输出", "level-output" },
        { "PWM输出", "pwm-output" },
        { "DS18B20", "ds18b20" },
        { "4-20MA输入", "4-20ma-input" },
        { "0-5V输入", "0-5v-input" },
        { "DHT21", "dht21" },
} };

// The radio channels 11–26 sit at list indexes 1–16.
constexpr int ChannelIndexOffset = 10;
// The frequency write sends f in Hz; the module keeps the 16-bit divisor N = clock / f, and the
// reply shows clock / N. Below 489 Hz the divisor does not fit.
constexpr quint32 MaxDivisor = 0xFFFF;
constexpr quint32 LowestFrequency = DeviceInfoReply::PwmClock / (MaxDivisor + 1) + 1;

// The frequency a module reads back after f (LowestFrequency to the clock) is written as the
// nearest it holds: a quotient clock / N, which reads back as written.
quint32 heldFrequency(quint32 f)
{
    const quint32 n = DeviceInfoReply::PwmClock / f;
    const quint32 above = DeviceInfoReply::PwmClock / n;
    const quint32 below = DeviceInfoReply::PwmClock / (n + 1);
    if (above == f || below < LowestFrequency)
        return above;
    return f - below < above - f ? below : above;
}

QStringList words(const QStringList &items)
{
    QStringList result;
    for (const QString &item : items) {
        const auto it = std::find_if(Words.begin(), Words.end(), [&item](const auto &w) {
            return item == QString::fromUtf8(w.first);
        });
        result << (it == Words.end() ? item : QString::fromLatin1(it->second));
    }
    return result;
}

Entry listEntry(const char *key, const char *label, Type type, const QStringList &list, P parameter,
                Field field, int DeviceInfo::*index)
{
    Entry e;
    e.key = QString::fromLatin1(key);
    e.label = QString::fromUtf8(label);
    e.type = type;
    e.list = list;
    e.values = words(list.mid(1));
    e.write = Write::List;
    e.parameter = parameter;
    e.read = Read::Written;
    e.field = field;
    e.index = index;
    return e;
}

Entry textEntry(const char *key, const char *label, Type type, P parameter, Field field,
                QString DeviceInfo::*shown)
{
    Entry e;
    e.key = QString::fromLatin1(key);
    e.label = QString::fromUtf8(label);
    e.type = type;
    e.write = Write::Text;
    e.parameter = parameter;
    e.read = Read::Raw;
    e.field = field;
    e.shown = shown;
    return e;
}

Entry hexEntry(const char *key, const char *label, int digits, P parameter, Field field,
               QString DeviceInfo::*shown)
{
    Entry e = textEntry(key, label, Type::Hex, parameter, field, shown);
    e.digits = digits;
    return e;
}

Entry numberEntry(const char *key, const char *label, qint64 minimum, qint64 maximum, P parameter,
                  Field field, QString DeviceInfo::*shown)
{
    Entry e = textEntry(key, label, Type::Integer, parameter, field, shown);
    e.minimum = minimum;
    e.maximum = maximum;
    return e;
}

Entry pinEntry(quint8 pin, PinList list, Field field, int DeviceInfo::*index)
{
    // The pins have no label of their own; the window names them after the module's pins.
    const QString name =
            (pin < 10 ? QStringLiteral("IO_") : QStringLiteral("io_")) + QString::number(pin);
    Entry e = listEntry("", "", Type::Word, OptionLists::pinFunctions(list), P::NodeType, field,
                        index);
    e.key = QStringLiteral("pins.io") + QString::number(pin);
    e.label = name;
    e.values = words(e.list);
    e.firstIndex = 0;
    e.write = Write::Pin;
    e.pin = pin;
    return e;
}

Entry changingNetwork(Entry e)
{
    e.changesNetwork = true;
    return e;
}

QList<Entry> build()
{
    Entry channel = listEntry("channel", "无线频点：", Type::Integer, OptionLists::channel(),
                              P::Channel, Field::ChannelMask, nullptr);
    channel.values.clear();
    channel.minimum = 11;
    channel.maximum = 26;

    // The transmit-power command takes the code the reply carries, not the dBm shown.
    Entry txPower = numberEntry("txPowerCode", "发射功率：", 0, 255, P::NodeType, Field::TxPower,
                                &DeviceInfo::txPower);
    txPower.write = Write::TxPower;

    Entry workMode = listEntry("workMode", "工作模式", Type::Word, OptionLists::workMode(),
                               P::WorkMode, Field::WorkMode, nullptr);

    Entry sleepCycle = numberEntry("sleepCycle", "休眠周期：", 0, 127, P::SlpCycle,
                                   Field::SleepCycle, &DeviceInfo::slpCycle);
    sleepCycle.read = Read::RawHalved;

    // The PWM timer divides its clock by 1, 8, 32 or 128; the window shows "0001" to "0128".
    Entry divider = textEntry("pwmDivider", "分频", Type::Integer, P::Divider, Field::Divider,
                              &DeviceInfo::divider);
    divider.values = QStringList { "1", "8", "32", "128" };
    divider.read = Read::Written;

    Entry frequency =
            numberEntry("pwmFrequency", "频率", LowestFrequency, DeviceInfoReply::PwmClock,
                        P::NodeType, Field::FrequencyDivisor, &DeviceInfo::frequencyText);
    frequency.write = Write::Frequency;
    frequency.read = Read::Frequency;

    return {
        changingNetwork(listEntry("nodeType", "节点类型：", Type::Word, OptionLists::nodeType(),
                                  P::NodeType, Field::NodeType, &DeviceInfo::nodeTypeIndex)),
        changingNetwork(
                hexEntry("panId", "PAN ID:", 4, P::NetId, Field::PanId, &DeviceInfo::netId)),
        hexEntry("shortAddress", "节点短地址：", 4, P::ShortAddr, Field::ShortAddress,
                 &DeviceInfo::shortAddr),
        changingNetwork(channel),
        hexEntry("extendedPanId", "扩展PAN ID:", 16, P::ExtPanID, Field::ExtendedPanId,
                 &DeviceInfo::extPanId),
        txPower,
        listEntry("uartBaudRate", "波特率：", Type::Integer, OptionLists::baudRate(), P::BaudRate,
                  Field::BaudRate, &DeviceInfo::baudRateIndex),
        listEntry("uartParity", "校验位：", Type::Word, OptionLists::parity(), P::Parity,
                  Field::Parity, &DeviceInfo::parityIndex),
        listEntry("uartStopBits", "停止位：", Type::Integer, OptionLists::stopBits(), P::StopBits,
                  Field::StopBits, &DeviceInfo::stopBitsIndex),
        numberEntry("uartTimeout", "串口超时:", 0, 255, P::UartTimeout, Field::UartTimeout,
                    &DeviceInfo::uartTimeout),
        listEntry("sleepMode", "休眠模式：", Type::Word, OptionLists::sleepMode(), P::SleepMode,
                  Field::SleepMode, &DeviceInfo::sleepModeIndex),
        sleepCycle,
        numberEntry("workTime", "工作时间：", 0, 255, P::WorkTimeOut, Field::WorkTime,
                    &DeviceInfo::workTimeOut),
        workMode,
        listEntry("sendMode", "发送模式：", Type::Word, OptionLists::sendMode(), P::SendMode,
                  Field::SendMode, &DeviceInfo::sendModeIndex),
        listEntry("addressEncoding", "地址编码：", Type::Word, OptionLists::addrMode(), P::AddrMode,
                  Field::AddressEncoding, &DeviceInfo::addrModeIndex),
        listEntry("sourceAddressOutput", "源地址输出：", Type::Boolean, OptionLists::outPut(),
                  P::OutPut, Field::SourceOutput, &DeviceInfo::outPutIndex),
        listEntry("sendAddressMode", "地址模式：", Type::Word, OptionLists::sendAddrMode(),
                  P::SendAddrMode, Field::SendAddressMode, &DeviceInfo::sendAddrModeIndex),
        pinEntry(1, PinList::One, Field::Io1, &DeviceInfo::io1Index),
        pinEntry(2, PinList::Two, Field::Io2, &DeviceInfo::io2Index),
        pinEntry(3, PinList::Three, Field::Io3, &DeviceInfo::io3Index),
        pinEntry(4, PinList::Three, Field::Io4, &DeviceInfo::io4Index),
        pinEntry(5, PinList::Three, Field::Io5, &DeviceInfo::io5Index),
        pinEntry(6, PinList::Three, Field::Io6, &DeviceInfo::io6Index),
        pinEntry(10, PinList::One, Field::Io10, &DeviceInfo::io10Index),
        pinEntry(11, PinList::Two, Field::Io11, &DeviceInfo::io11Index),
        hexEntry("destinationAddress", "目标地址", 4, P::DesAddr, Field::DestinationAddress,
                 &DeviceInfo::desAddr),
        hexEntry("autoSendTime", "自发时间", 4, P::AutoSendTimeOut, Field::AutoSendTime,
                 &DeviceInfo::autoSendTimeOut),
        divider,
        frequency,
    };
}

// Position of a checked value in its list or range.
int valuePosition(const Entry &entry, const QString &value)
{
    if (!entry.values.isEmpty())
        return int(entry.values.indexOf(value));
    return int(value.toLongLong() - entry.minimum);
}

// The item the window selects for a list entry's field, if any.
std::optional<int> windowIndex(const Entry &entry, const DeviceInfo &info)
{
    if (entry.index)
        return info.*entry.index;
    if (entry.field == Field::ChannelMask && info.channelBit)
        return *info.channelBit - ChannelIndexOffset;
    if (entry.field == Field::WorkMode)
        return DeviceInfoReply::workModeIndex(info.workMode);
    return std::nullopt;
}

// The value bytes of an NV write (FE LEN 21 09, item, offset, length, value), low byte first.
quint64 writtenNumber(const QByteArray &frame)
{
    const QByteArrayView payload = CommandFrame::payload(frame);
    const int length = quint8(payload.at(3));
    quint64 number = 0;
    for (int i = length - 1; i >= 0; --i)
        number = number << 8 | quint8(payload.at(4 + i));
    return number;
}

QList<Entry> withWrittenCodes(QList<Entry> all)
{
    for (Entry &entry : all) {
        if (entry.read != Read::Written)
            continue;
        for (const QString &value : allValues(entry)) {
            const QByteArray written = frame(entry, value);
            Q_ASSERT(CommandFrame::payload(written).size()
                     == 4 + DeviceInfoReply::fieldWidth(entry.field));
            entry.written.append({ writtenNumber(written), value });
        }
    }
    return all;
}

// JSON text of a value, for messages.
QString quoted(const QJsonValue &value)
{
    if (value.isObject())
        return Text::tr("an object");
    if (value.isArray())
        return Text::tr("a list");
    const QByteArray text = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

QString expected(const Entry &entry)
{
    switch (entry.type) {
    case Type::Hex:
        return Text::tr("%1 hex digits").arg(entry.digits);
    case Type::Boolean:
        return Text::tr("true or false");
    case Type::Word:
    case Type::Integer:
        break;
    }
    if (entry.values.isEmpty())
        return Text::tr("a whole number from %1 to %2").arg(entry.minimum).arg(entry.maximum);
    return Text::tr("one of %1").arg(entry.values.join(QStringLiteral(", ")));
}

bool isHexDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
    });
}

} // namespace

const QList<Entry> &entries()
{
    static const QList<Entry> all = withWrittenCodes(build());
    return all;
}

QStringList allValues(const Entry &entry)
{
    if (!entry.values.isEmpty())
        return entry.values;
    QStringList values;
    for (qint64 n = entry.minimum; n <= entry.maximum; ++n)
        values << QString::number(n);
    return values;
}

const Entry *find(const QString &key)
{
    const QList<Entry> &all = entries();
    const auto it =
            std::find_if(all.begin(), all.end(), [&key](const Entry &e) { return e.key == key; });
    return it == all.end() ? nullptr : &*it;
}

int position(const Entry &entry)
{
    return int(&entry - entries().constData());
}

std::optional<QString> check(const Entry &entry, const QJsonValue &value, const QString &name,
                             QString *error, QString *note)
{
    const auto refuse = [&](const QString &why) -> std::optional<QString> {
        if (error)
            *error = Text::tr("%1: %2").arg(name, why);
        return std::nullopt;
    };
    const auto wrongType = [&] {
        return refuse(Text::tr("expected %1, got %2").arg(expected(entry), quoted(value)));
    };
    const auto notAllowed = [&] {
        return refuse(
                Text::tr("%1 is not allowed; expected %2").arg(quoted(value), expected(entry)));
    };

    QString text;
    switch (entry.type) {
    case Type::Word:
    case Type::Hex:
        if (!value.isString())
            return wrongType();
        text = value.toString();
        break;
    case Type::Boolean:
        if (!value.isBool())
            return wrongType();
        text = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        break;
    case Type::Integer: {
        // Far beyond every range, and still exact in a double.
        constexpr double Largest = 1e15;
        const double number = value.toDouble();
        if (!value.isDouble() || std::trunc(number) != number || std::abs(number) > Largest)
            return wrongType();
        text = QString::number(qint64(number));
        break;
    }
    }

    if (entry.type == Type::Hex) {
        if (text.size() != entry.digits || !isHexDigits(text))
            return notAllowed();
        return text.toUpper();
    }
    if (!entry.values.isEmpty()) {
        if (entry.values.contains(text))
            return text;
        // Pin list 2 offers every function.
        if (entry.write == Write::Pin
            && words(OptionLists::pinFunctions(PinList::Two)).contains(text)) {
            return refuse(Text::tr("this pin does not offer %1; expected %2")
                                  .arg(quoted(value), expected(entry)));
        }
        return notAllowed();
    }
    const qint64 number = text.toLongLong();
    if (number < entry.minimum || number > entry.maximum) {
        return refuse(Text::tr("%1 is out of range; expected %2").arg(text, expected(entry)));
    }
    if (entry.read == Read::Frequency) {
        const quint32 held = heldFrequency(quint32(number));
        if (held != number) {
            if (note)
                *note = Text::tr("%1: %2 Hz is stored as %3 Hz").arg(name, text).arg(held);
            return QString::number(held);
        }
    }
    return text;
}

QJsonValue fromText(const Entry &entry, const QString &text)
{
    switch (entry.type) {
    case Type::Integer: {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        return ok ? QJsonValue(number) : QJsonValue(text);
    }
    case Type::Boolean:
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            return QJsonValue(text == QLatin1String("true"));
        return QJsonValue(text);
    case Type::Word:
    case Type::Hex:
        break;
    }
    return QJsonValue(text);
}

QJsonValue toJson(const Entry &entry, const QString &value)
{
    switch (entry.type) {
    case Type::Integer:
        return QJsonValue(value.toLongLong());
    case Type::Boolean:
        return QJsonValue(value == QLatin1String("true"));
    case Type::Word:
    case Type::Hex:
        break;
    }
    return QJsonValue(value);
}

std::optional<QString> read(const Entry &entry, const DeviceInfoReply::RawFields &raw,
                            const DeviceInfo &info)
{
    QJsonValue value;
    switch (entry.read) {
    case Read::Written: {
        const quint64 number = raw[entry.field];
        for (const auto &[code, written] : entry.written) {
            if (code == number)
                return written;
        }
        return std::nullopt;
    }
    case Read::Raw:
        if (entry.type == Type::Hex) {
            value = rawText(entry, raw);
        } else {
            value = qint64(raw[entry.field]);
        }
        break;
    case Read::RawHalved:
        value = qint64(raw[entry.field] / 2);
        break;
    case Read::Frequency:
        if (!info.frequency)
            return std::nullopt;
        value = qint64(*info.frequency);
        break;
    }
    // A value that would be stored as another is not one the module holds.
    QString note;
    const auto checked = check(entry, value, entry.key, nullptr, &note);
    return note.isEmpty() ? checked : std::nullopt;
}

QString rawText(const Entry &entry, const DeviceInfoReply::RawFields &raw)
{
    return QString::number(raw[entry.field], 16)
            .rightJustified(2 * DeviceInfoReply::fieldWidth(entry.field), u'0')
            .toUpper();
}

QString shownText(const Entry &entry, const DeviceInfo &info)
{
    if (entry.shown)
        return info.*entry.shown;
    const auto index = windowIndex(entry, info);
    return index ? entry.list.value(*index) : QString();
}

QString windowText(const Entry &entry, const QString &value)
{
    if (value.isEmpty() || (entry.write != Write::List && entry.write != Write::Pin))
        return value;
    return entry.list.value(entry.firstIndex + valuePosition(entry, value));
}

QByteArray frame(const Entry &entry, const QString &value)
{
    switch (entry.write) {
    case Write::List:
        return ParameterWrites::listFrame(entry.parameter,
                                          entry.firstIndex + valuePosition(entry, value));
    case Write::Text:
        return ParameterWrites::textFrame(entry.parameter, value).value_or(QByteArray());
    case Write::TxPower:
        return ParameterWrites::txPowerFrame(value);
    case Write::Frequency:
        return ParameterWrites::frequencyFrame(QString::number(value.toLongLong(), 16))
                .value_or(QByteArray());
    case Write::Pin:
        return ParameterWrites::pinFrame(
                       entry.pin, entry.list.value(entry.firstIndex + valuePosition(entry, value)))
                .value_or(QByteArray());
    }
    return {};
}

QString listWord(const QString &item)
{
    return words({ item }).constFirst();
}

QString closest(const QString &name, const QStringList &known)
{
    const QString a = name.toLower();
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QString &candidate : known) {
        const QString b = candidate.toLower();
        // Levenshtein distance, one row at a time.
        QList<int> row(b.size() + 1);
        std::iota(row.begin(), row.end(), 0);
        for (int i = 1; i <= a.size(); ++i) {
            int diagonal = row[0];
            row[0] = i;
            for (int j = 1; j <= b.size(); ++j) {
                const int above = row[j];
                row[j] = std::min(
                        { row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1) });
                diagonal = above;
            }
        }
        if (row.back() < bestDistance) {
            bestDistance = row.back();
            best = candidate;
        }
    }
    return best;
}

} // namespace ProfileCatalogue
