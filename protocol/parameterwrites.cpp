#include "parameterwrites.h"

#include "commandframe.h"
#include "hextext.h"
#include "modulecommands.h"
#include "optionlists.h"

#include <QDebug>

#include <algorithm>

namespace ParameterWrites {

namespace {

// The radio channels 11–26 are bits 11–26 of the mask; list index i is channel 10 + i.
constexpr int ChannelOffset = 10;

QByteArray littleEndian(quint32 value, int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(value >> (8 * i)));
    return bytes;
}

// Parses as base 10; a text that is no number gives 0.
int decimal(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

// The decoded hex text as a number of size bytes, most significant first: further bytes are
// dropped, missing ones are zeros in front.
std::optional<QByteArray> hexNumber(const QString &text, int size)
{
    QByteArray bytes = HexText::decode(text).left(size);
    if (bytes.isEmpty())
        return std::nullopt;
    bytes.prepend(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

QByteArray reversed(QByteArray bytes)
{
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

QByteArray listValue(const NvWrite &write, int index)
{
    switch (write.rule) {
    case Rule::IndexMinusOne:
        return QByteArray(1, char(index - 1));
    case Rule::Index:
        return QByteArray(1, char(index));
    case Rule::StopBits:
        return QByteArray(1, char(index == 2 ? 4 : 0));
    case Rule::WorkMode:
        return QByteArray(1, char(index >= 2 && index <= 4 ? index + 1 : 0xFF));
    case Rule::ChannelMask: {
        const int bit = index + ChannelOffset;
        const quint32 mask = bit >= 0 && bit < 32 ? quint32(1) << bit : 0;
        return littleEndian(mask, write.size);
    }
    case Rule::HexHighLow:
    case Rule::HexReversed:
    case Rule::Decimal:
    case Rule::DecimalDoubled:
        break;
    }
    Q_ASSERT_X(false, "ParameterWrites::listFrame", "a text parameter");
    return {};
}

std::optional<QByteArray> textValue(const NvWrite &write, const QString &text)
{
    switch (write.rule) {
    case Rule::HexHighLow: {
        // A single decoded byte is the high byte: "12" is sent as 00 12.
        const QByteArray bytes = HexText::decode(text);
        if (bytes.isEmpty())
            return std::nullopt;
        QByteArray value(1, bytes.size() > 1 ? bytes.at(1) : '\0');
        value.append(bytes.at(0));
        return value;
    }
    case Rule::HexReversed: {
        const auto number = hexNumber(text, write.size);
        if (!number)
            return std::nullopt;
        return reversed(*number);
    }
    case Rule::Decimal:
        return QByteArray(1, char(decimal(text)));
    case Rule::DecimalDoubled:
        // Only the low 8 bits go out: taking them first keeps a large number from overflowing.
        return QByteArray(1, char(quint8(decimal(text)) * 2));
    case Rule::IndexMinusOne:
    case Rule::Index:
    case Rule::StopBits:
    case Rule::WorkMode:
    case Rule::ChannelMask:
        break;
    }
    Q_ASSERT_X(false, "ParameterWrites::textFrame", "a list parameter");
    return std::nullopt;
}

} // namespace

QByteArray listFrame(Parameter parameter, int index)
{
    const NvWrite &write = nvWrite(parameter);
    return ModuleCommand::nvWriteFrame(write.item, 0, listValue(write, index));
}

std::optional<QByteArray> textFrame(Parameter parameter, const QString &text)
{
    const NvWrite &write = nvWrite(parameter);
    const auto value = textValue(write, text);
    if (!value)
        return std::nullopt;
    return ModuleCommand::nvWriteFrame(write.item, 0, *value);
}

QByteArray txPowerFrame(const QString &decimalText)
{
    return CommandFrame::build(ModuleCommand::SysRequest, ModuleCommand::SetTxPower,
                               QByteArray(1, char(decimal(decimalText))));
}

std::optional<QByteArray> frequencyFrame(const QString &hexText)
{
    const auto number = hexNumber(hexText, 4);
    if (!number)
        return std::nullopt;
    const QByteArray &b = *number;
    qDebug("%x %x %x %x", uint(quint8(b.at(0))), uint(quint8(b.at(1))), uint(quint8(b.at(2))),
           uint(quint8(b.at(3))));
    return CommandFrame::build(ModuleCommand::SysRequest, ModuleCommand::SetFrequency, reversed(b));
}

std::optional<QByteArray> pinFrame(quint8 pin, const QString &itemText)
{
    const auto code = OptionLists::pinFunctionCode(itemText);
    if (!code)
        return std::nullopt;
    return ModuleCommand::nvWriteFrame(PinFunctionItem, pin, QByteArray(1, char(*code)));
}

} // namespace ParameterWrites
