#include "remotecatalogue.h"

#include "hextext.h"

namespace RemoteCatalogue {

namespace {

QStringList fromUtf8(std::initializer_list<const char *> texts)
{
    QStringList list;
    list.reserve(int(texts.size()));
    for (const char *text : texts)
        list << QString::fromUtf8(text);
    return list;
}

} // namespace

QStringList commands()
{
    return fromUtf8({ "", "参数修改", "参数读取", "擦除组网信息", "高低电平输出", "PWM占空比输出",
                      "串口数据", "远程重启", "数据采集", "启动节点扫描", "关闭节点扫描" });
}

Command command(const QString &text)
{
    const int index = int(commands().indexOf(text));
    return index < 0 ? Command::None : Command(index);
}

QStringList parameters()
{
    return fromUtf8({ "IO功能配置", "节点类型", "PAN ID", "无线频点", "短地址", "发送功率",
                      "休眠模式", "休眠周期", "工作时间", "波特率", "校验位", "串口超时", "停止位",
                      "PWM分频", "PWM频率", "目标短地址", "采集数据自发时间", "工作模式",
                      "扩展PAN ID" });
}

ParameterKind parameterKind(const QString &parameter)
{
    if (parameter == QStringLiteral("IO功能配置"))
        return ParameterKind::IoConfig;
    if (!choices(parameter).isEmpty())
        return ParameterKind::Choice;
    if (parameters().contains(parameter))
        return ParameterKind::Text;
    return ParameterKind::NotAParameter;
}

QStringList choices(const QString &parameter)
{
    if (parameter == QStringLiteral("节点类型"))
        return fromUtf8({ "中心", "路由", "终端" });
    if (parameter == QStringLiteral("无线频点")) {
        QStringList channels;
        for (int channel = 0x0B; channel <= 0x1A; ++channel)
            channels << QStringLiteral("0x") + HexText::byte(quint8(channel));
        return channels;
    }
    if (parameter == QStringLiteral("休眠模式"))
        return fromUtf8({ "自动休眠", "IO控制休眠" });
    if (parameter == QStringLiteral("波特率"))
        return baudRates();
    if (parameter == QStringLiteral("校验位"))
        return parities();
    if (parameter == QStringLiteral("停止位"))
        return stopBits();
    if (parameter == QStringLiteral("PWM分频"))
        return fromUtf8({ "1", "1/8", "1/32", "1/128" });
    if (parameter == QStringLiteral("工作模式"))
        return fromUtf8({ "透传模式", "API模式", "MODBUS模式", "DigiAPI模式" });
    return {};
}

QStringList pins()
{
    return fromUtf8({ "PM1", "PM2", "AD1", "AD2", "AD3", "AD4", "PM3", "PM4" });
}

QStringList pwmPins()
{
    return fromUtf8({ "PM1", "PM2", "PM3", "PM4" });
}

QStringList pinFunctions(const QString &pin)
{
    if (pin == QStringLiteral("PM1") || pin == QStringLiteral("PM3"))
        return fromUtf8({ "无", "开关量采集", "高低电平输出", "PWM输出", "DS18B20" });
    if (pin == QStringLiteral("PM2") || pin == QStringLiteral("PM4"))
        return fromUtf8({ "无", "开关量采集", "高低电平输出", "PWM输出", "4-20MA输入", "0-5V输入",
                          "DS18B20" });
    if (pins().contains(pin))
        return fromUtf8(
                { "无", "开关量采集", "高低电平输出", "4-20MA输入", "0-5V输入", "DS18B20" });
    return {};
}

QStringList levels()
{
    return fromUtf8({ "低", "高" });
}

QStringList baudRates()
{
    return fromUtf8({ "9600", "19200", "38400", "57600", "115200" });
}

QStringList parities()
{
    return fromUtf8({ "无", "奇校验", "偶校验" });
}

QStringList stopBits()
{
    return fromUtf8({ "1", "2" });
}

} // namespace RemoteCatalogue
