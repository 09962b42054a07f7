#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// The node window's parameter writes: every editable parameter is written back the moment it
// changes, mostly as one NV write (0x21 0x09) into the parameter's NV item.
namespace ParameterWrites {

// The parameters written as an NV write.
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

// How the selected list index or the entered text becomes the value bytes.
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

// The list rules read the selected index, the others the text.
constexpr bool isListRule(Rule rule)
{
    return rule == Rule::IndexMinusOne || rule == Rule::Index || rule == Rule::StopBits
            || rule == Rule::WorkMode || rule == Rule::ChannelMask;
}

struct NvWrite
{
    Parameter parameter;
    quint16 item;
    quint8 size; // value bytes
    Rule rule;
};

// NV item holding the work mode at offset 0 and each pin's function at offset = pin number.
inline constexpr quint16 PinFunctionItem = 0x0416;

// In the order of Parameter.
inline constexpr std::array<NvWrite, 20> NvWrites { {
        { Parameter::NodeType, 0x0087, 1, Rule::IndexMinusOne },
        { Parameter::Channel, 0x0084, 4, Rule::ChannelMask },
        { Parameter::NetId, 0x0083, 2, Rule::HexHighLow },
        { Parameter::SendMode, 0x0403, 1, Rule::IndexMinusOne },
        { Parameter::AddrMode, 0x040C, 1, Rule::IndexMinusOne },
        { Parameter::BaudRate, 0x040B, 1, Rule::IndexMinusOne },
        { Parameter::ShortAddr, 0x0411, 2, Rule::HexHighLow },
        { Parameter::OutPut, 0x040E, 1, Rule::Index },
        { Parameter::StopBits, 0x040F, 1, Rule::StopBits },
        { Parameter::Parity, 0x0410, 1, Rule::IndexMinusOne },
        { Parameter::SleepMode, 0x0412, 1, Rule::IndexMinusOne },
        { Parameter::SlpCycle, 0x002B, 1, Rule::DecimalDoubled },
        { Parameter::UartTimeout, 0x0413, 1, Rule::Decimal },
        { Parameter::WorkTimeOut, 0x0414, 1, Rule::Decimal },
        { Parameter::SendAddrMode, 0x040D, 1, Rule::IndexMinusOne },
        { Parameter::WorkMode, PinFunctionItem, 1, Rule::WorkMode },
        { Parameter::DesAddr, 0x0417, 2, Rule::HexHighLow },
        { Parameter::AutoSendTimeOut, 0x0418, 2, Rule::HexHighLow },
        { Parameter::Divider, 0x0405, 1, Rule::Decimal },
        { Parameter::ExtPanID, 0x0047, 8, Rule::HexReversed },
} };

static_assert(
        [] {
            for (std::size_t i = 0; i < NvWrites.size(); ++i) {
                if (NvWrites[i].parameter != Parameter(i))
                    return false;
            }
            return true;
        }(),
        "NvWrites lists the parameters in the order of Parameter");

constexpr const NvWrite &nvWrite(Parameter parameter)
{
    return NvWrites.at(std::size_t(parameter));
}

// A list parameter's frame for the selected index (the rules up to ChannelMask).
QByteArray listFrame(Parameter parameter, int index);

// A text parameter's frame. None for a hex text without a hex digit: there is no value to
// write then.
std::optional<QByteArray> textFrame(Parameter parameter, const QString &text);

// Writes with a shape of their own.

// 0x21 0x14 with the decimal text as one byte.
QByteArray txPowerFrame(const QString &decimalText);

// 0x21 0x2B with the hex text as a 32-bit number, low byte first. Prints the four bytes in
// text order ("%x %x %x %x"). None for a text without a hex digit.
std::optional<QByteArray> frequencyFrame(const QString &hexText);

// One byte at offset pin of PinFunctionItem, coded by the item text. None for a text that
// names no pin function.
std::optional<QByteArray> pinFrame(quint8 pin, const QString &itemText);

} // namespace ParameterWrites
