#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The node window's parameter writes: every editable parameter is written back the moment it
// changes, mostly as one NV write (0x21 0x09) into the parameter's NV item.
namespace ParameterWrites {

// The parameters written as an NV write, named after their widgets.
enum class Parameter {
    NodeType,
    Channel,
    NetId,
    SendMode,
    AddrMode,
    BaudRate,
    ShortAddr,
    OutPut,
    StopBits,
    Parity,
    SleepMode,
    SlpCycle,
    UartTimeout,
    WorkTimeOut,
    SendAddrMode,
    WorkMode,
    DesAddr,
    AutoSendTimeOut,
    Divider,
    ExtPanID,
};

// How the widget's content becomes the value bytes.
enum class Rule {
    IndexMinusOne, // list index − 1; the empty item gives 0xFF
    Index, // list index itself
    StopBits, // index 2 ("2") gives 4, every other index 0
    WorkMode, // indexes 2–4 give 3–5, every other index (transparent, empty) 0xFF
    ChannelMask, // 1 << (index + 10), low byte first
    HexHighLow, // hex text: first decoded byte high, second low, further bytes ignored
    HexReversed, // hex text read as a number of `size` bytes, low byte first
    Decimal, // base-10 text, low 8 bits; text that is no number gives 0
    DecimalDoubled, // as Decimal, doubled before the low 8 bits are taken
};

struct NvWrite
{
    Parameter parameter;
    const char *widget; // object name of the widget the value comes from
    quint16 item;
    quint8 size; // value bytes
    Rule rule;
};

const NvWrite &nvWrite(Parameter parameter);

// A list parameter's frame for the selected index (the rules up to ChannelMask).
QByteArray listFrame(Parameter parameter, int index);

// A text parameter's frame. None for a hex text without a hex digit: there is no value to
// write then.
std::optional<QByteArray> textFrame(Parameter parameter, const QString &text);

// Writes with a shape of their own.

// NV item holding the work mode at offset 0 and each pin's function at offset = pin number.
inline constexpr quint16 PinFunctionItem = 0x0416;

// 0x21 0x14 with the decimal text as one byte.
QByteArray txPowerFrame(const QString &decimalText);

// 0x21 0x2B with the hex text as a 32-bit number, low byte first. Prints the four bytes in
// text order ("%x %x %x %x"). None for a text without a hex digit.
std::optional<QByteArray> frequencyFrame(const QString &hexText);

// One byte at offset pin of PinFunctionItem, coded by the item text. None for a text that
// names no pin function.
std::optional<QByteArray> pinFrame(quint8 pin, const QString &itemText);

} // namespace ParameterWrites
