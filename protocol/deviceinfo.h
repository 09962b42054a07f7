#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

// The module's device-information reply (CMD0 0x61, CMD1 0x08) and what the node window
// shows of it. Offsets count from the 0xFE; multi-byte values arrive low byte first.
namespace DeviceInfoReply {

inline constexpr quint8 Cmd0 = 0x61;
inline constexpr quint8 Cmd1 = 0x08;
// The fields end with the extended PAN ID at offsets 53–60.
inline constexpr int MinimumLength = 57;
// Work-mode byte of the transparent mode; shown last, after every other field.
inline constexpr quint8 TransparentWorkMode = 0xFF;
// The PWM clock; the reply carries the frequency as the divisor of it.
inline constexpr quint32 PwmClock = 32000000;

// The reply's fields as the module sends them, before any rule of the window.
enum class Field {
    NodeType,
    PanId,
    ShortAddress,
    ChannelMask,
    SourceOutput,
    SendMode,
    AddressEncoding,
    SendAddressMode,
    SleepCycle, // in half units
    TxPower,
    BaudRate,
    Mac,
    StopBits,
    Parity,
    SleepMode,
    UartTimeout,
    WorkTime,
    Version,
    WorkMode,
    Io1,
    Io2,
    Io3,
    Io4,
    Io5,
    Io6,
    Divider,
    FrequencyDivisor,
    Io10,
    Io11,
    DestinationAddress,
    AutoSendTime,
    ExtendedPanId,
};
inline constexpr int FieldCount = int(Field::ExtendedPanId) + 1;

// Each field read at its offset as an unsigned number, low byte first.
struct RawFields
{
    std::array<quint64, FieldCount> values {};

    quint64 operator[](Field field) const { return values.at(std::size_t(field)); }
};

// Bytes the field takes in the reply.
int fieldWidth(Field field);

// Every field in the form the window shows it: texts for the line edits, item indexes for the
// lists. An index may lie outside its list (node type, channel); such an index selects no item.
struct DeviceInfo
{
    int nodeTypeIndex = 0;
    QString netId;
    QString shortAddr;
    // Most significant set bit of the channel mask; none when the mask is zero.
    std::optional<int> channelBit;
    int outPutIndex = 0;
    int sendModeIndex = 0;
    int addrModeIndex = 0;
    int sendAddrModeIndex = 0;
    QString slpCycle;
    QString txPower;
    int baudRateIndex = 0;
    QString macAddr;
    int stopBitsIndex = 0;
    int parityIndex = 0;
    int sleepModeIndex = 0;
    QString uartTimeout;
    QString workTimeOut;
    QString version;
    // The raw byte; workModeIndex() tells which item it selects, if any.
    quint8 workMode = 0;
    // Pin-function codes turned into indexes of each pin's own list.
    quint8 io1Code = 0;
    int io1Index = 0;
    int io2Index = 0;
    int io3Index = 0;
    int io4Index = 0;
    int io5Index = 0;
    int io6Index = 0;
    int io10Index = 0;
    int io11Index = 0;
    QString divider;
    // 32 000 000 / divisor; none (and an empty text) for a zero divisor.
    std::optional<quint32> frequency;
    QString frequencyText;
    QString desAddr;
    QString autoSendTimeOut;
    QString extPanId;
};

// Scans received bytes for the first intact device-information reply and decodes it.
// Prints one debug line per candidate: "无数据返回" for no bytes at all, "无效数据" for a 0xFE
// that does not start a whole reply (other command bytes, fewer bytes than LEN asks for,
// LEN below MinimumLength), "校验错误" for a wrong check byte, "校验正确" for the reply taken.
// Nothing after the accepted reply is looked at.
std::optional<DeviceInfo> scan(QByteArrayView received);

enum class Diagnostics {
    Print, // the debug lines of scan()
    Quiet, // none, for a second look at bytes the window has scanned already
};

// The reply scan() takes, exactly its bytes.
std::optional<QByteArrayView> findReply(QByteArrayView received,
                                        Diagnostics diagnostics = Diagnostics::Print);

// Of an intact reply of at least MinimumLength + 5 bytes.
RawFields rawFields(QByteArrayView frame);
DeviceInfo decode(QByteArrayView frame);

// The WorkMode item for a work-mode byte; none for codes the list has no item for.
std::optional<int> workModeIndex(quint8 workMode);

// "v/10.v%10.variant" from the low seven bits and bit 7.
QString versionText(quint8 version);

// Transmit power in dBm as shown for a power code; the variant bit of the version selects
// the module's table.
QString txPowerText(quint8 code, bool variant);

} // namespace DeviceInfoReply
