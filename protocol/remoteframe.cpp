#include "remoteframe.h"

#include "commandframe.h"
#include "hextext.h"
#include "optionlists.h"
#include "remotecatalogue.h"

#include <QByteArrayView>
#include <QDebug>

#include <algorithm>
#include <array>

namespace RemoteFrame {

namespace {

using RemoteCatalogue::Command;

// Indexes in the parameter list that need more than "item 00 value".
enum Parameter {
    IoConfig = 0,
    NodeType = 1,
    Channel = 3,
    SleepMode = 6,
    BaudRate = 9,
    Parity = 10,
    StopBits = 12,
    PwmDivider = 13,
    PwmFrequency = 14,
    WorkMode = 17,
};

// NV item of each parameter, low byte first, in parameter list order. Work mode and the IO
// functions share item 0x0416: offset 0 is the work mode, offset n the pin with pin code n.
const std::array<const char *, 19> ParameterItems {
    "16 04", "87 00", "83 00", "84 00", "11 04", "04 04", "12 04", "2B 00", "14 04", "0B 04",
    "10 04", "13 04", "0F 04", "05 04", "06 04", "17 04", "18 04", "16 04", "47 00",
};

// The PWM timer clock; the module takes the PWM period in clock ticks.
constexpr quint32 PwmClockHz = 32000000;

// The digits HexText::decode pairs into bytes.
qsizetype hexDigitCount(const QString &text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

Result refused(const QString &reason)
{
    Result result;
    result.refusal = reason;
    return result;
}

QString commandCode(Command command)
{
    switch (command) {
    case Command::WriteParameter:
        return QStringLiteral("18 ");
    case Command::ReadParameter:
        return QStringLiteral("19 ");
    case Command::EraseNetwork:
        return QStringLiteral("26 ");
    case Command::LevelOutput:
    case Command::PwmOutput:
        return QStringLiteral("25 ");
    case Command::SerialData:
        return QStringLiteral("24 ");
    case Command::Restart:
        return QStringLiteral("21 ");
    case Command::CollectData:
        return QStringLiteral("23 ");
    case Command::StartNodeScan:
        return QStringLiteral("2C ");
    case Command::StopNodeScan:
        return QStringLiteral("2D ");
    case Command::None:
        break;
    }
    return {};
}

// Pin code digit of a selector holding the pin list: PM1 … AD4 are 1 … 6, PM3 is A, PM4 is
// B. The index decides first, so an empty selector (-1) gives 0, the work-mode offset.
QString pinCode(int index, const QString &text)
{
    if (index >= -1 && index <= 5)
        return QString::number(index + 1);
    if (text == QStringLiteral("PM3"))
        return QStringLiteral("A");
    if (text == QStringLiteral("PM4"))
        return QStringLiteral("B");
    return {};
}

QString pwmPinCode(int index)
{
    static const std::array<const char *, 4> codes { "1", "2", "A", "B" };
    if (index < 0 || index >= int(codes.size()))
        return {};
    return QLatin1String(codes[size_t(index)]);
}

// " " and the function code of a function some pin of the remote lists offers.
QString functionCode(const QString &function)
{
    const QStringList pins = RemoteCatalogue::pins();
    for (const QString &pin : pins) {
        if (!RemoteCatalogue::pinFunctions(pin).contains(function))
            continue;
        if (const auto code = OptionLists::pinFunctionCode(function))
            return QLatin1Char(' ') + HexText::byte(*code);
    }
    return {};
}

// Channel 11 + choice as the 32-bit channel mask, low byte first.
QString channelMask(int choice)
{
    if (choice < 0 || choice > 15)
        return {};
    const quint32 mask = quint32(1) << (11 + choice);
    QStringList bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes << HexText::byte(quint8(mask >> shift));
    return bytes.join(QLatin1Char(' '));
}

// Value text of a choice parameter; nothing for a choice outside its list.
QString choiceValue(int parameter, int choice)
{
    QStringList codes;
    switch (parameter) {
    case NodeType:
        codes = { QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2") };
        break;
    case Channel:
        return channelMask(choice);
    case SleepMode:
        codes = { QStringLiteral("00"), QStringLiteral("01") };
        break;
    case BaudRate:
        codes = { QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("02"),
                  QStringLiteral("03"), QStringLiteral("04") };
        break;
    case Parity:
        codes = { QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("02") };
        break;
    case StopBits:
        codes = { QStringLiteral("00"), QStringLiteral("04") };
        break;
    case PwmDivider:
        codes = { QStringLiteral(" 01"), QStringLiteral(" 08"), QStringLiteral(" 20"),
                  QStringLiteral(" 80") };
        break;
    case WorkMode:
        codes = { QStringLiteral(" FF"), QStringLiteral(" 03"), QStringLiteral(" 04"),
                  QStringLiteral(" 05") };
        break;
    default:
        return {};
    }
    return codes.value(choice);
}

bool isChoiceParameter(int parameter)
{
    switch (parameter) {
    case NodeType:
    case Channel:
    case SleepMode:
    case BaudRate:
    case Parity:
    case StopBits:
    case PwmDivider:
    case WorkMode:
        return true;
    default:
        return false;
    }
}

// The frequency is typed as four bytes, most significant first.
Result pwmPeriod(const QString &frequencyText)
{
    const QByteArray bytes = HexText::decode(frequencyText);
    if (bytes.size() != 4)
        return refused(QStringLiteral("PWM频率须为4字节，如 00 00 03 E8"));
    quint32 frequency = 0;
    for (const char byte : bytes)
        frequency = (frequency << 8) | quint8(byte);
    if (frequency == 0)
        return refused(QStringLiteral("PWM频率不能为0"));
    // Below 489 Hz the period no longer fits 16 bits; only its low 16 bits go out.
    const quint16 period = quint16(PwmClockHz / frequency);
    qDebug().noquote() << QString::asprintf(" %x  ", unsigned(period));
    Result result;
    result.text = HexText::byte(quint8(period)) + QLatin1Char(' ')
            + HexText::byte(quint8(period >> 8)) + QLatin1Char(' ');
    return result;
}

Result writeBody(const Selection &selection)
{
    const int parameter = selection.parameterIndex;
    if (parameter < 0 || parameter >= int(ParameterItems.size()))
        return {};
    const QString item = QLatin1Char(' ') + QLatin1String(ParameterItems[size_t(parameter)]);
    Result body;
    switch (parameter) {
    case IoConfig:
        body.text = item + QStringLiteral(" 0")
                + pinCode(selection.choiceIndex, selection.choiceText)
                + functionCode(selection.option);
        break;
    case NodeType:
        body.text = item + QStringLiteral(" 00 0") + choiceValue(parameter, selection.choiceIndex);
        break;
    case PwmFrequency: {
        const Result period = pwmPeriod(selection.value);
        if (period.isRefused())
            return period;
        body.text = item + QStringLiteral(" 00 ") + period.text;
        break;
    }
    default:
        body.text = item + QStringLiteral(" 00 ")
                + (isChoiceParameter(parameter) ? choiceValue(parameter, selection.choiceIndex)
                                                : selection.value);
        break;
    }
    return body;
}

QString readBody(const Selection &selection)
{
    const int parameter = selection.parameterIndex;
    if (parameter < 0 || parameter >= int(ParameterItems.size()))
        return {};
    const QString item = QLatin1Char(' ') + QLatin1String(ParameterItems[size_t(parameter)]);
    if (parameter == IoConfig)
        return item + QStringLiteral(" 0") + pinCode(selection.choiceIndex, selection.choiceText);
    return item + QStringLiteral(" 00");
}

QString levelBody(const Selection &selection)
{
    QString body = QStringLiteral(" 0") + pinCode(selection.parameterIndex, selection.parameterText)
            + QStringLiteral(" 04");
    // A 16-bit level, 0 or 1.
    if (selection.option == QStringLiteral("低"))
        body += QStringLiteral(" 00 00");
    else if (selection.option == QStringLiteral("高"))
        body += QStringLiteral(" 00 01");
    return body;
}

} // namespace

bool takesAddress(Command command)
{
    return command != Command::StartNodeScan && command != Command::StopNodeScan;
}

Selection selection(Command command, const QString &address, int parameter, int choice,
                    const QString &option, const QString &value)
{
    Selection row;
    row.command = RemoteCatalogue::commands().value(int(command));
    row.address = address;
    QStringList parameterList;
    switch (command) {
    case Command::WriteParameter:
    case Command::ReadParameter:
        parameterList = RemoteCatalogue::parameters();
        break;
    case Command::LevelOutput:
        parameterList = RemoteCatalogue::pins();
        break;
    case Command::PwmOutput:
        parameterList = RemoteCatalogue::pwmPins();
        break;
    default:
        break;
    }
    if (parameter >= 0 && parameter < parameterList.size()) {
        row.parameterIndex = parameter;
        row.parameterText = parameterList.at(parameter);
    }
    if (command == Command::WriteParameter) {
        const QStringList choices = parameter == IoConfig
                ? RemoteCatalogue::pins()
                : RemoteCatalogue::choices(row.parameterText);
        if (choice >= 0 && choice < choices.size()) {
            row.choiceIndex = choice;
            row.choiceText = choices.at(choice);
        }
    }
    row.option = option;
    row.value = value;
    return row;
}

Result compose(const Selection &selection)
{
    const Command command = RemoteCatalogue::command(selection.command);
    if (command == Command::None)
        return refused(QStringLiteral("请先选择指令类型"));

    Result result;
    result.text = QStringLiteral("FE 00 21 ") + commandCode(command);
    if (takesAddress(command))
        result.text += selection.address;

    switch (command) {
    case Command::WriteParameter: {
        const Result body = writeBody(selection);
        if (body.isRefused())
            return body;
        result.text += body.text;
        break;
    }
    case Command::ReadParameter:
        result.text += readBody(selection);
        break;
    case Command::LevelOutput:
        result.text += levelBody(selection);
        break;
    case Command::PwmOutput:
        // Pin, function code 0x10 (PWM output), then the duty cycle as typed.
        result.text += QStringLiteral(" 0") + pwmPinCode(selection.parameterIndex)
                + QStringLiteral(" 10 ") + selection.value;
        break;
    case Command::SerialData:
        result.text += QLatin1Char(' ') + selection.value;
        break;
    default:
        break;
    }
    return result;
}

Result finishFrame(const QString &frameText)
{
    // Digits pair from the end of the text: one digit too many or too few in any field moves
    // every byte boundary before it, and the frame would no longer start with FE.
    if (hexDigitCount(frameText) % 2 != 0)
        return refused(QStringLiteral("十六进制数字个数为奇数：每个字节须写两位，如 01 23"));
    const CommandFrame::FinishedText finished = CommandFrame::finishHexText(frameText);
    if (finished.payloadSize < 0)
        return refused(QStringLiteral("帧不完整：不足4字节"));
    if (!finished.isFinished())
        return refused(QStringLiteral("数据过长：%1字节，最多255字节").arg(finished.payloadSize));

    Result result;
    result.text = finished.text;
    result.bytes = finished.bytes;
    return result;
}

Result build(const Selection &selection)
{
    const Result composed = compose(selection);
    if (composed.isRefused())
        return composed;
    return finishFrame(composed.text);
}

} // namespace RemoteFrame
