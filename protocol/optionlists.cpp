#include "optionlists.h"

#include "hextext.h"

#include <algorithm>
#include <array>
#include <utility>

namespace OptionLists {

namespace {

const auto NoFunction = QStringLiteral("无");

// Function texts and the codes the module uses for them.
const std::array<std::pair<const char *, quint8>, 9> PinFunctionCodes { {
        { "无", 0xFF },
        { "开关量采集", 0x00 },
        { "高低电平输入", 0x02 },
        { "高低电平输出", 0x04 },
        { "PWM输出", 0x10 },
        { "DS18B20", 0x09 },
        { "4-20MA输入", 0x05 },
        { "0-5V输入", 0x08 },
        { "DHT21", 0x0B },
} };

} // namespace

QStringList nodeType()
{
    return { QString(), QStringLiteral("Coordinator"), QStringLiteral("Router"),
             QStringLiteral("Enddevice") };
}

QStringList channel()
{
    QStringList items { QString() };
    for (int channel = 11; channel <= 26; ++channel)
        items << QStringLiteral("0x") + HexText::byte(quint8(channel));
    return items;
}

QStringList baudRate()
{
    return { QString(),
             QStringLiteral("9600"),
             QStringLiteral("19200"),
             QStringLiteral("38400"),
             QStringLiteral("57600"),
             QStringLiteral("115200") };
}

QStringList stopBits()
{
    return { QString(), QStringLiteral("1"), QStringLiteral("2") };
}

QStringList parity()
{
    return { QString(), QStringLiteral("无"), QStringLiteral("奇校验"), QStringLiteral("偶校验") };
}

QStringList sleepMode()
{
    return { QString(), QStringLiteral("自动休眠"), QStringLiteral("IO控制休眠") };
}

QStringList workMode()
{
    return { QString(), QStringLiteral("透传模式"), QStringLiteral("API模式"),
             QStringLiteral("MODBUS模式"), QStringLiteral("DigiAPI模式") };
}

QStringList sendMode()
{
    return { QString(), QStringLiteral("广播"), QStringLiteral("主从"), QStringLiteral("点对点") };
}

QStringList sendAddrMode()
{
    return { QString(), QStringLiteral("短地址"), QStringLiteral("长地址") };
}

QStringList outPut()
{
    return { QString(), QStringLiteral("no"), QStringLiteral("yes") };
}

QStringList addrMode()
{
    return { QString(), QStringLiteral("Hex"), QStringLiteral("ASCII") };
}

QStringList pinFunctions(PinList list)
{
    switch (list) {
    case PinList::One:
        return { NoFunction,
                 QStringLiteral("开关量采集"),
                 QStringLiteral("高低电平输入"),
                 QStringLiteral("高低电平输出"),
                 QStringLiteral("PWM输出"),
                 QStringLiteral("DS18B20"),
                 QStringLiteral("DHT21") };
    case PinList::Two:
        return { NoFunction,
                 QStringLiteral("开关量采集"),
                 QStringLiteral("高低电平输入"),
                 QStringLiteral("高低电平输出"),
                 QStringLiteral("PWM输出"),
                 QStringLiteral("DS18B20"),
                 QStringLiteral("4-20MA输入"),
                 QStringLiteral("0-5V输入"),
                 QStringLiteral("DHT21") };
    case PinList::Three:
        return { NoFunction,
                 QStringLiteral("开关量采集"),
                 QStringLiteral("高低电平输入"),
                 QStringLiteral("高低电平输出"),
                 QStringLiteral("DS18B20"),
                 QStringLiteral("4-20MA输入"),
                 QStringLiteral("0-5V输入"),
                 QStringLiteral("DHT21") };
    }
    return {};
}

std::optional<quint8> pinFunctionCode(const QString &itemText)
{
    for (const auto &[text, code] : PinFunctionCodes) {
        if (itemText == QString::fromUtf8(text))
            return code;
    }
    return std::nullopt;
}

int pinFunctionIndex(PinList list, quint8 code)
{
    for (const auto &[text, functionCode] : PinFunctionCodes) {
        if (functionCode == code && code != 0xFF)
            return std::max(0, int(pinFunctions(list).indexOf(QString::fromUtf8(text))));
    }
    return 0;
}

} // namespace OptionLists
