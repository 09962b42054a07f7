#include "deviceinfo.h"

#include "commandframe.h"
#include "hextext.h"
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

constexpr quint32 PwmClock = 32000000;

quint8 at(QByteArrayView frame, int offset)
{
    return quint8(frame.at(offset));
}

qint8 signedAt(QByteArrayView frame, int offset)
{
    return qint8(frame.at(offset));
}

// Hex text of a little-endian field, most significant byte first.
QString hexField(QByteArrayView frame, int offset, int size)
{
    QString text;
    for (int i = offset + size - 1; i >= offset; --i)
        text += HexText::byte(at(frame, i));
    return text;
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

std::optional<DeviceInfo> scan(QByteArrayView received)
{
    if (received.isEmpty()) {
        qDebug() << "无数据返回";
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
            || at(candidate, 1) < MinimumLength) {
            qDebug() << "无效数据";
            continue;
        }
        if (!reading.intact) {
            qDebug() << "校验错误";
            continue;
        }
        qDebug() << "校验正确";
        return decode(candidate);
    }
    return std::nullopt;
}

DeviceInfo decode(QByteArrayView frame)
{
    Q_ASSERT(frame.size() >= MinimumLength + CommandFrame::Overhead);
    DeviceInfo info;

    info.nodeTypeIndex = signedAt(frame, 4) + 1;
    info.netId = hexField(frame, 5, 2);
    info.shortAddr = hexField(frame, 7, 2);
    info.channelBit = highestSetBit(quint32(at(frame, 9)) | quint32(at(frame, 10)) << 8
                                    | quint32(at(frame, 11)) << 16 | quint32(at(frame, 12)) << 24);

    info.outPutIndex = at(frame, 13) == 2 ? 2 : 1;
    switch (at(frame, 14)) {
    case 1:
        info.sendModeIndex = 2;
        break;
    case 2:
        info.sendModeIndex = 3;
        break;
    default:
        info.sendModeIndex = 1;
    }
    info.addrModeIndex = at(frame, 15) == 1 ? 2 : 1;
    info.sendAddrModeIndex = at(frame, 16) == 1 ? 2 : 1;

    // Sent in half units; integer division truncates toward zero (-1 shows 0).
    info.slpCycle = QString::number(signedAt(frame, 17) / 2);

    const quint8 version = at(frame, 33);
    info.version = versionText(version);
    info.txPower = txPowerText(at(frame, 18), version & 0x80);

    const quint8 baud = at(frame, 19);
    info.baudRateIndex = baud <= 4 ? baud + 1 : 3;
    info.macAddr = hexField(frame, 20, 8);

    info.stopBitsIndex = at(frame, 28) == 4 ? 2 : 1;
    switch (at(frame, 29)) {
    case 1:
        info.parityIndex = 2;
        break;
    case 2:
        info.parityIndex = 3;
        break;
    default:
        info.parityIndex = 1;
    }
    info.sleepModeIndex = at(frame, 30) != 0 ? 2 : 1;

    info.uartTimeout =
            at(frame, 31) == 0xFF ? QStringLiteral("6") : QString::number(signedAt(frame, 31));
    info.workTimeOut =
            at(frame, 32) == 0xFF ? QStringLiteral("0") : QString::number(signedAt(frame, 32));
    info.workMode = at(frame, 34);

    info.io1Code = at(frame, 35);
    info.io1Index = OptionLists::pinFunctionIndex(PinList::One, at(frame, 35));
    info.io2Index = OptionLists::pinFunctionIndex(PinList::Two, at(frame, 36));
    info.io3Index = OptionLists::pinFunctionIndex(PinList::Three, at(frame, 37));
    info.io4Index = OptionLists::pinFunctionIndex(PinList::Three, at(frame, 38));
    info.io5Index = OptionLists::pinFunctionIndex(PinList::Three, at(frame, 39));
    info.io6Index = OptionLists::pinFunctionIndex(PinList::Three, at(frame, 40));

    info.divider = dividerText(at(frame, 41));
    const quint16 divisor = quint16(at(frame, 42) | at(frame, 43) << 8);
    if (divisor != 0) {
        info.frequency = PwmClock / divisor;
        info.frequencyText = QString::number(*info.frequency, 16).rightJustified(8, u'0').toUpper();
    }

    info.io10Index = OptionLists::pinFunctionIndex(PinList::One, at(frame, 44));
    info.io11Index = OptionLists::pinFunctionIndex(PinList::Two, at(frame, 45));

    // Offsets 46–48 carry nothing the window shows.
    info.desAddr = hexField(frame, 49, 2);
    info.autoSendTimeOut = at(frame, 51) == 0xFF && at(frame, 52) == 0xFF ? QStringLiteral("0000")
                                                                          : hexField(frame, 51, 2);
    info.extPanId = hexField(frame, 53, 8);
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
