#include "parameterwrites.h"

#include <QStringList>
#include "debugcapture.h"

#include <QTest>

using ParameterWrites::Parameter;

Q_DECLARE_METATYPE(ParameterWrites::Parameter)

class tst_ParameterWrites : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listFrame_data();
    void listFrame();
    void textFrame_data();
    void textFrame();
    void txPowerFrame_data();
    void txPowerFrame();
    void frequencyFrame_data();
    void frequencyFrame();
    void pinFrame_data();
    void pinFrame();
};

void tst_ParameterWrites::listFrame_data()
{
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("expected");

    const auto row = [](const char *name, Parameter p, int index, const char *hex) {
        QTest::newRow(name) << p << index << QByteArray::fromHex(hex);
    };
    row("NodeType Coordinator", Parameter::NodeType, 1, "FE 05 21 09 87 00 00 01 00 AB");
    row("NodeType Router", Parameter::NodeType, 2, "FE 05 21 09 87 00 00 01 01 AA");
    row("NodeType Enddevice", Parameter::NodeType, 3, "FE 05 21 09 87 00 00 01 02 A9");
    row("NodeType empty", Parameter::NodeType, 0, "FE 05 21 09 87 00 00 01 FF 54");
    row("channel 0x0B", Parameter::Channel, 1, "FE 08 21 09 84 00 00 04 00 08 00 00 A8");
    row("channel 0x0F", Parameter::Channel, 5, "FE 08 21 09 84 00 00 04 00 80 00 00 20");
    row("channel 0x1A", Parameter::Channel, 16, "FE 08 21 09 84 00 00 04 00 00 00 04 A4");
    row("channel empty sets bit 10", Parameter::Channel, 0,
        "FE 08 21 09 84 00 00 04 00 04 00 00 A4");
    row("SendMode 广播", Parameter::SendMode, 1, "FE 05 21 09 03 04 00 01 00 2B");
    row("SendMode 点对点", Parameter::SendMode, 3, "FE 05 21 09 03 04 00 01 02 29");
    row("SendMode empty", Parameter::SendMode, 0, "FE 05 21 09 03 04 00 01 FF D4");
    row("AddrMode ASCII", Parameter::AddrMode, 2, "FE 05 21 09 0C 04 00 01 01 25");
    row("AddrMode empty", Parameter::AddrMode, 0, "FE 05 21 09 0C 04 00 01 FF DB");
    row("baudRateBox 115200", Parameter::BaudRate, 5, "FE 05 21 09 0B 04 00 01 04 27");
    row("baudRateBox empty", Parameter::BaudRate, 0, "FE 05 21 09 0B 04 00 01 FF DC");
    row("OutPut no", Parameter::OutPut, 1, "FE 05 21 09 0E 04 00 01 01 27");
    row("OutPut yes", Parameter::OutPut, 2, "FE 05 21 09 0E 04 00 01 02 24");
    row("OutPut empty", Parameter::OutPut, 0, "FE 05 21 09 0E 04 00 01 00 26");
    row("stopBitsBox 1", Parameter::StopBits, 1, "FE 05 21 09 0F 04 00 01 00 27");
    row("stopBitsBox 2", Parameter::StopBits, 2, "FE 05 21 09 0F 04 00 01 04 23");
    row("stopBitsBox empty", Parameter::StopBits, 0, "FE 05 21 09 0F 04 00 01 00 27");
    row("ParityBox 偶校验", Parameter::Parity, 3, "FE 05 21 09 10 04 00 01 02 3A");
    row("ParityBox empty", Parameter::Parity, 0, "FE 05 21 09 10 04 00 01 FF C7");
    row("sleepMode IO控制休眠", Parameter::SleepMode, 2, "FE 05 21 09 12 04 00 01 01 3B");
    row("sleepMode empty", Parameter::SleepMode, 0, "FE 05 21 09 12 04 00 01 FF C5");
    row("SendAddrMode 长地址", Parameter::SendAddrMode, 2, "FE 05 21 09 0D 04 00 01 01 24");
    row("SendAddrMode empty", Parameter::SendAddrMode, 0, "FE 05 21 09 0D 04 00 01 FF DA");
    row("WorkMode 透传模式", Parameter::WorkMode, 1, "FE 05 21 09 16 04 00 01 FF C1");
    row("WorkMode API模式", Parameter::WorkMode, 2, "FE 05 21 09 16 04 00 01 03 3D");
    row("WorkMode MODBUS模式", Parameter::WorkMode, 3, "FE 05 21 09 16 04 00 01 04 3A");
    row("WorkMode DigiAPI模式", Parameter::WorkMode, 4, "FE 05 21 09 16 04 00 01 05 3B");
    row("WorkMode empty", Parameter::WorkMode, 0, "FE 05 21 09 16 04 00 01 FF C1");
}

void tst_ParameterWrites::listFrame()
{
    QFETCH(Parameter, parameter);
    QFETCH(int, index);
    QFETCH(QByteArray, expected);
    QCOMPARE(ParameterWrites::listFrame(parameter, index).toHex(' '), expected.toHex(' '));
}

void tst_ParameterWrites::textFrame_data()
{
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected"); // empty: nothing to send

    const auto row = [](const char *name, Parameter p, const char *text, const char *hex) {
        QTest::newRow(name) << p << QString::fromUtf8(text) << QByteArray::fromHex(hex);
    };
    row("NetId 1A2B", Parameter::NetId, "1A2B", "FE 06 21 09 83 00 00 02 2B 1A 9E");
    row("NetId lower case", Parameter::NetId, "1a2b", "FE 06 21 09 83 00 00 02 2B 1A 9E");
    row("NetId odd digit forms the high byte", Parameter::NetId, "123",
        "FE 06 21 09 83 00 00 02 23 01 8D");
    row("NetId one byte is the high byte", Parameter::NetId, "12",
        "FE 06 21 09 83 00 00 02 00 12 BD");
    row("NetId third byte ignored", Parameter::NetId, "12345", "FE 06 21 09 83 00 00 02 23 01 8D");
    row("NetId empty", Parameter::NetId, "", "");
    row("NetId without a hex digit", Parameter::NetId, "xyz", "");
    row("ShortAddr FFFE", Parameter::ShortAddr, "FFFE", "FE 06 21 09 11 04 00 02 FE FF 38");
    row("DesAddr 0001", Parameter::DesAddr, "0001", "FE 06 21 09 17 04 00 02 01 00 3E");
    row("AutoSendTimeOut 00FF", Parameter::AutoSendTimeOut, "00FF",
        "FE 06 21 09 18 04 00 02 FF 00 CF");
    row("SlpCycle 10 doubled", Parameter::SlpCycle, "10", "FE 05 21 09 2B 00 00 01 14 13");
    row("SlpCycle 99 doubled", Parameter::SlpCycle, "99", "FE 05 21 09 2B 00 00 01 C6 C1");
    row("SlpCycle no number", Parameter::SlpCycle, "ab", "FE 05 21 09 2B 00 00 01 00 07");
    row("SlpCycle doubled past int, low 8 bits", Parameter::SlpCycle, "2147483647",
        "FE 05 21 09 2B 00 00 01 FE F9");
    row("SlpCycle negative doubled past int", Parameter::SlpCycle, "-1099999999",
        "FE 05 21 09 2B 00 00 01 02 05");
    row("UartTimeout 6", Parameter::UartTimeout, "6", "FE 05 21 09 13 04 00 01 06 3D");
    row("workTimeOut 10", Parameter::WorkTimeOut, "10", "FE 05 21 09 14 04 00 01 0A 36");
    row("workTimeOut 300 low 8 bits", Parameter::WorkTimeOut, "300",
        "FE 05 21 09 14 04 00 01 2C 10");
    row("Divider 0128", Parameter::Divider, "0128", "FE 05 21 09 05 04 00 01 80 AD");
    row("Divider 8", Parameter::Divider, "8", "FE 05 21 09 05 04 00 01 08 25");
    row("Divider with a hex letter", Parameter::Divider, "1a", "FE 05 21 09 05 04 00 01 00 2D");
    row("ExtPanID reversed", Parameter::ExtPanID, "0123456789ABCDEF",
        "FE 0C 21 09 47 00 00 08 EF CD AB 89 67 45 23 01 6B");
    row("ExtPanID short text is a number", Parameter::ExtPanID, "9C40",
        "FE 0C 21 09 47 00 00 08 40 9C 00 00 00 00 00 00 B7");
    row("ExtPanID only the first eight bytes", Parameter::ExtPanID, "0123456789ABCDEF77",
        "FE 0C 21 09 47 00 00 08 EF CD AB 89 67 45 23 01 6B");
    row("ExtPanID empty", Parameter::ExtPanID, "", "");
}

void tst_ParameterWrites::textFrame()
{
    QFETCH(Parameter, parameter);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    const auto frame = ParameterWrites::textFrame(parameter, text);
    QCOMPARE(frame.value_or(QByteArray()).toHex(' '), expected.toHex(' '));
}

void tst_ParameterWrites::txPowerFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("20") << "20" << QByteArray::fromHex("FE 01 21 14 14 20");
    QTest::newRow("-22") << "-22" << QByteArray::fromHex("FE 01 21 14 EA DE");
    QTest::newRow("300 low 8 bits") << "300" << QByteArray::fromHex("FE 01 21 14 2C 18");
    QTest::newRow("3.5 is no number") << "3.5" << QByteArray::fromHex("FE 01 21 14 00 34");
    QTest::newRow("empty") << "" << QByteArray::fromHex("FE 01 21 14 00 34");
}

void tst_ParameterWrites::txPowerFrame()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(ParameterWrites::txPowerFrame(text).toHex(' '), expected.toHex(' '));
}

void tst_ParameterWrites::frequencyFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("eight digits") << "01E84800" << QByteArray::fromHex("FE 04 21 2B 00 48 E8 01 AF")
                                  << QStringList { "1 e8 48 0" };
    QTest::newRow("short text is a number")
            << "9c40" << QByteArray::fromHex("FE 04 21 2B 40 9C 00 00 D2")
            << QStringList { "0 0 9c 40" };
    QTest::newRow("only the first four bytes")
            << "123456789A" << QByteArray::fromHex("FE 04 21 2B 78 56 34 12 06")
            << QStringList { "12 34 56 78" };
    QTest::newRow("empty sends nothing") << "" << QByteArray() << QStringList();
}

void tst_ParameterWrites::frequencyFrame()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, lines);

    std::optional<QByteArray> frame;
    QStringList printed;
    {
        DebugCapture capture;
        frame = ParameterWrites::frequencyFrame(text);
        printed = capture.lines;
    }
    QCOMPARE(frame.value_or(QByteArray()).toHex(' '), expected.toHex(' '));
    QCOMPARE(printed, lines);
}

void tst_ParameterWrites::pinFrame_data()
{
    QTest::addColumn<int>("pin");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected"); // empty: nothing to send

    const auto row = [](const char *name, int pin, const char *text, const char *hex) {
        QTest::newRow(name) << pin << QString::fromUtf8(text) << QByteArray::fromHex(hex);
    };
    row("IO_1 PWM输出", 1, "PWM输出", "FE 05 21 09 16 04 01 01 10 2F");
    row("IO_2 开关量采集", 2, "开关量采集", "FE 05 21 09 16 04 02 01 00 3C");
    row("IO_2 0-5V输入", 2, "0-5V输入", "FE 05 21 09 16 04 02 01 08 34");
    row("IO_3 无", 3, "无", "FE 05 21 09 16 04 03 01 FF C2");
    row("IO_4 高低电平输入", 4, "高低电平输入", "FE 05 21 09 16 04 04 01 02 38");
    row("IO_5 高低电平输出", 5, "高低电平输出", "FE 05 21 09 16 04 05 01 04 3F");
    row("IO_6 DS18B20", 6, "DS18B20", "FE 05 21 09 16 04 06 01 09 31");
    row("io_10 4-20MA输入", 10, "4-20MA输入", "FE 05 21 09 16 04 0A 01 05 31");
    row("io_11 DHT21", 11, "DHT21", "FE 05 21 09 16 04 0B 01 0B 3E");
    row("no item", 1, "", "");
    row("unknown text", 1, "PWM", "");
}

void tst_ParameterWrites::pinFrame()
{
    QFETCH(int, pin);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    const auto frame = ParameterWrites::pinFrame(quint8(pin), text);
    QCOMPARE(frame.value_or(QByteArray()).toHex(' '), expected.toHex(' '));
}

QTEST_GUILESS_MAIN(tst_ParameterWrites)
#include "tst_parameterwrites.moc"
