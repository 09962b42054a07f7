#include "deviceinfo.h"

#include "commandframe.h"
#include "optionlists.h"

#include <QDebug>

#include <array>

namespace DeviceInfoReply {

namespace {

using OptionLists::PinList;

struct TxPowerRow
{
    quint8 code;
    const char *variant;
    const char *plain;
};

// The two columns are the modules' own tables, not a monotonic scale.
const std::array<TxPowerRow, 15> TxPowerTable { {
        { 0x15, "11", "-22" },
        { 0x25, "12", "-22" },
        { 0x35, "13", "-17" },
        { 0x45, "14", "-15" },
        { 0x55, "15", "-13" },
        { 0x65, "16", "-11" },
        { 0x75, "17", "-9" },
        { 0x85, "18", "-6" },
        { 0x95, "19", "-4" },
        { 0xA5, "20", "-3" },
        { 0xB5, "17", "-2" },
        { 0xC5, "18", "-1" },
        { 0xD5, "19", "1" },
        { 0xE5, "20", "3" },
        { 0xF5, "21", "3.5" },
} };

struct Span
{
    Field field;
    int offset; // from the 0xFE
    int width;
};

// In the order of Field. Offsets 46–48 carry nothing the window shows.
const std::array<Span, FieldCount> Layout { {
        { Field::NodeType, 4, 1 },
        { Field::PanId, 5, 2 },
        { Field::ShortAddress, 7, 2 },
        { Field::ChannelMask, 9, 4 },
        { Field::SourceOutput, 13, 1 },
        { Field::SendMode, 14, 1 },
        { Field::AddressEncoding, 15, 1 },
        { Field::SendAddressMode, 16, 1 },
        { Field::SleepCycle, 17, 1 },
        { Field::TxPower, 18, 1 },
        { Field::BaudRate, 19, 1 },
        { Field::Mac, 20, 8 },
        { Field::StopBits, 28, 1 },
        { Field::Parity, 29, 1 },
        { Field::SleepMode, 30, 1 },
        { Field::UartTimeout, 31, 1 },
        { Field::WorkTime, 32, 1 },
        { Field::Version, 33, 1 },
        { Field::WorkMode, 34, 1 },
        { Field::Io1, 35, 1 },
        { Field::Io2, 36, 1 },
        { Field::Io3, 37, 1 },
        { Field::Io4, 38, 1 },
        { Field::Io5, 39, 1 },
        { Field::Io6, 40, 1 },
        { Field::Divider, 41, 1 },
        { Field::FrequencyDivisor, 42, 2 },
        { Field::Io10, 44, 1 },
        { Field::Io11, 45, 1 },
        { Field::DestinationAddress, 49, 2 },
        { Field::AutoSendTime, 51, 2 },
        { Field::ExtendedPanId, 53, 8 },
} };

const Span &span(Field field)
{
    const Span &s = Layout.at(std::size_t(field));
    Q_ASSERT(s.field == field);
    return s;
}

// The byte fields the window reads as two's-complement numbers.
qint8 signedField(const RawFields &raw, Field field)
{
    return qint8(quint8(raw[field]));
}

// Hex text of a field, most significant byte first.
QString hexField(const RawFields &raw, Field field)
{
    return QString::number(raw[field], 16).rightJustified(2 * fieldWidth(field), u'0').toUpper();
}

std::optional<int> highestSetBit(quint32 mask)
{
    for (int bit = 31; bit >= 0; --bit) {
        if (mask & (quint32(1) << bit))
            return bit;
    }
    return std::nullopt;
}

QString dividerText(quint8 code)
{
    switch (code) {
    case 8:
        return QStringLiteral("0008");
    case 32:
        return QStringLiteral("0032");
    case 128:
        return QStringLiteral("0128");
    default:
        return QStringLiteral("0001");
    }
}

} // namespace

int fieldWidth(Field field)
{
    return span(field).width;
}

std::optional<QByteArrayView> findReply(QByteArrayView received, Diagnostics diagnostics)
{
    const auto print = [diagnostics](const char *line) {
        if (diagnostics == Diagnostics::Print)
            qDebug() << line;
    };
    if (received.isEmpty()) {
        print("无数据返回");
        return std::nullopt;
    }
    qsizetype start = 0;
    while ((start = received.indexOf(char(CommandFrame::StartByte), start)) >= 0) {
        const QByteArrayView candidate = received.sliced(start);
        ++start;
        // Nothing is read past the received bytes: a reply cut short, or one whose LEN leaves
        // no room for the fields, counts as invalid like any other command.
        const CommandFrame::Reading reading = CommandFrame::read(candidate);
        if (reading.status != CommandFrame::Reading::Complete
            || CommandFrame::cmd0(candidate) != Cmd0 || CommandFrame::cmd1(candidate) != Cmd1
            || quint8(candidate.at(1)) < MinimumLength) {
            print("无效数据");
            continue;
        }
        if (!reading.intact) {
            print("校验错误");
            continue;
        }
        print("校验正确");
        return candidate.first(reading.length);
    }
    return std::nullopt;
}

std::optional<DeviceInfo> scan(QByteArrayView received)
{
    const auto frame = findReply(received);
    if (!frame)
        return std::nullopt;
    return decode(*frame);
}

RawFields rawFields(QByteArrayView frame)
{
    Q_ASSERT(frame.size() >= MinimumLength + CommandFrame::Overhead);
    RawFields raw;
    for (const Span &s : Layout) {
        quint64 value = 0;
        for (int i = s.width - 1; i >= 0; --i)
            value = value << 8 | quint8(frame.at(s.offset + i));
        raw.values.at(std::size_t(s.field)) = value;
    }
    return raw;
}

DeviceInfo decode(QByteArrayView frame)
{
    const RawFields raw = rawFields(frame);
    const auto byte = [&raw](Field field) { return quint8(raw[field]); };
    DeviceInfo info;

    info.nodeTypeIndex = signedField(raw, Field::NodeType) + 1;
    info.netId = hexField(raw, Field::PanId);
    info.shortAddr = hexField(raw, Field::ShortAddress);
    info.channelBit = highestSetBit(quint32(raw[Field::ChannelMask]));

    info.outPutIndex = byte(Field::SourceOutput) == 2 ? 2 : 1;
    switch (byte(Field::SendMode)) {
    case 1:
        info.sendModeIndex = 2;
        break;
    case 2:
        info.sendModeIndex = 3;
        break;
    default:
        info.sendModeIndex = 1;
    }
    info.addrModeIndex = byte(Field::AddressEncoding) == 1 ? 2 : 1;
    info.sendAddrModeIndex = byte(Field::SendAddressMode) == 1 ? 2 : 1;

    // Integer division truncates toward zero (-1 shows 0).
    info.slpCycle = QString::number(signedField(raw, Field::SleepCycle) / 2);

    const quint8 version = byte(Field::Version);
    info.version = versionText(version);
    info.txPower = txPowerText(byte(Field::TxPower), version & 0x80);

    const quint8 baud = byte(Field::BaudRate);
    info.baudRateIndex = baud <= 4 ? baud + 1 : 3;
    info.macAddr = hexField(raw, Field::Mac);

    info.stopBitsIndex = byte(Field::StopBits) == 4 ? 2 : 1;
    switch (byte(Field::Parity)) {
    case 1:
        info.parityIndex = 2;
        break;
    case 2:
        info.parityIndex = 3;
        break;
    default:
        info.parityIndex = 1;
    }
    info.sleepModeIndex = byte(Field::SleepMode) != 0 ? 2 : 1;

    info.uartTimeout = byte(Field::UartTimeout) == 0xFF
            ? QStringLiteral("6")
            : QString::number(signedField(raw, Field::UartTimeout));
    info.workTimeOut = byte(Field::WorkTime) == 0xFF
            ? QStringLiteral("0")
            : QString::number(signedField(raw, Field::WorkTime));
    info.workMode = byte(Field::WorkMode);

    info.io1Code = byte(Field::Io1);
    info.io1Index = OptionLists::pinFunctionIndex(PinList::One, byte(Field::Io1));
    info.io2Index = OptionLists::pinFunctionIndex(PinList::Two, byte(Field::Io2));
    info.io3Index = OptionLists::pinFunctionIndex(PinList::Three, byte(Field::Io3));
    info.io4Index = OptionLists::pinFunctionIndex(PinList::Three, byte(Field::Io4));
    info.io5Index = OptionLists::pinFunctionIndex(PinList::Three, byte(Field::Io5));
    info.io6Index = OptionLists::pinFunctionIndex(PinList::Three, byte(Field::Io6));

    info.divider = dividerText(byte(Field::Divider));
    const auto divisor = quint32(raw[Field::FrequencyDivisor]);
    if (divisor != 0) {
        info.frequency = PwmClock / divisor;
        info.frequencyText = QString::number(*info.frequency, 16).rightJustified(8, u'0').toUpper();
    }

    info.io10Index = OptionLists::pinFunctionIndex(PinList::One, byte(Field::Io10));
    info.io11Index = OptionLists::pinFunctionIndex(PinList::Two, byte(Field::Io11));

    info.desAddr = hexField(raw, Field::DestinationAddress);
    info.autoSendTimeOut = raw[Field::AutoSendTime] == 0xFFFF ? QStringLiteral("0000")
                                                              : hexField(raw, Field::AutoSendTime);
    info.extPanId = hexField(raw, Field::ExtendedPanId);
    return info;
}

std::optional<int> workModeIndex(quint8 workMode)
{
    switch (workMode) {
    case TransparentWorkMode:
        return 1;
    case 3:
        return 2;
    case 4:
        return 3;
    case 5:
        return 4;
    default:
        return std::nullopt;
    }
}

QString versionText(quint8 version)
{
    const int v = version & 0x7F;
    return QStringLiteral("%1.%2.%3").arg(v / 10).arg(v % 10).arg((version & 0x80) ? 1 : 0);
}

QString txPowerText(quint8 code, bool variant)
{
    for (const TxPowerRow &row : TxPowerTable) {
        if (row.code == code)
            return QString::fromLatin1(variant ? row.variant : row.plain);
    }
    return variant ? QStringLiteral("20") : QStringLiteral("3.5");
}

} // namespace DeviceInfoReply
