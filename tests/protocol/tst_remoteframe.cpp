#include "remotecatalogue.h"
#include "remoteframe.h"

#include <QTest>

using RemoteFrame::Selection;

Q_DECLARE_METATYPE(RemoteFrame::Selection)

namespace {

const QString Write = QStringLiteral("参数修改");
const QString Read = QStringLiteral("参数读取");

// The row as the window holds it: the parameter list in NVID_IO, its choice list (or the pin
// list) in Type_IOport.
Selection parameter(const QString &command, int index, int choice = -1, const QString &option = {},
                    const QString &value = {})
{
    Selection s;
    s.command = command;
    s.address = QStringLiteral("00 00");
    s.parameterIndex = index;
    s.parameterText = RemoteCatalogue::parameters().value(index);
    const QStringList choices =
            index == 0 ? RemoteCatalogue::pins() : RemoteCatalogue::choices(s.parameterText);
    if (!choices.isEmpty() && choice >= 0) {
        s.choiceIndex = choice;
        s.choiceText = choices.value(choice);
    }
    s.option = option;
    s.value = value;
    return s;
}

Selection command(const QString &command, const QString &address = QStringLiteral("00 00"))
{
    Selection s;
    s.command = command;
    s.address = address;
    return s;
}

Selection pinCommand(const QString &cmd, const QStringList &pins, int pin,
                     const QString &option = {}, const QString &value = {})
{
    Selection s = command(cmd);
    s.parameterIndex = pin;
    s.parameterText = pins.value(pin);
    s.option = option;
    s.value = value;
    return s;
}

} // namespace

class tst_RemoteFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExamples_data();
    void workedExamples();
    void writeTable_data();
    void writeTable();
    void readTable_data();
    void readTable();
    void commandTypes_data();
    void commandTypes();
    void pwmPeriod_data();
    void pwmPeriod();
    void refusals_data();
    void refusals();
    void finishFrame_data();
    void finishFrame();
    void finishFrameRefusals_data();
    void finishFrameRefusals();
    void catalogue();

private:
    void addFrameColumns();
    void checkFrame();
};

void tst_RemoteFrame::addFrameColumns()
{
    QTest::addColumn<Selection>("selection");
    QTest::addColumn<QString>("text");
}

void tst_RemoteFrame::checkFrame()
{
    QFETCH(Selection, selection);
    QFETCH(QString, text);
    const RemoteFrame::Result result = RemoteFrame::build(selection);
    QVERIFY2(!result.isRefused(), qPrintable(result.refusal));
    QCOMPARE(result.text, text);
    QCOMPARE(result.bytes.toHex(' '), QByteArray::fromHex(text.toLatin1()).toHex(' '));
}

void tst_RemoteFrame::workedExamples_data()
{
    addFrameColumns();
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("write node type Router")
            << parameter(Write, 1, 1) << QStringLiteral("FE 06 21 18 00 00 87 00 00 01 B9")
            << QByteArray::fromHex("FE 06 21 18 00 00 87 00 00 01 B9");
    QTest::newRow("read PAN ID") << parameter(Read, 2)
                                 << QStringLiteral("FE 05 21 19 00 00 83 00 00 BE")
                                 << QByteArray::fromHex("FE 05 21 19 00 00 83 00 00 BE");
    // Choice 2 is channel 13: bit 13 of the mask.
    QTest::newRow("write channel 0x0D")
            << parameter(Write, 3, 2) << QStringLiteral("FE 09 21 18 00 00 84 00 00 00 20 00 00 94")
            << QByteArray::fromHex("FE 09 21 18 00 00 84 00 00 00 20 00 00 94");
    QTest::newRow("write PWM divider 1/32")
            << parameter(Write, 13, 2) << QStringLiteral("FE 06 21 18 00 00 05 04 00  20 1E")
            << QByteArray::fromHex("FE 06 21 18 00 00 05 04 00 20 1E");
    QTest::newRow("write PWM frequency 1000 Hz")
            << parameter(Write, 14, -1, {}, QStringLiteral("00 00 03 E8"))
            << QStringLiteral("FE 07 21 18 00 00 06 04 00 00 7D  41")
            << QByteArray::fromHex("FE 07 21 18 00 00 06 04 00 00 7D 41");
    QTest::newRow("IO config PM3 PWM output")
            << parameter(Write, 0, 6, QStringLiteral("PWM输出"))
            << QStringLiteral("FE 06 21 18 00 00 16 04 0A 10 37")
            << QByteArray::fromHex("FE 06 21 18 00 00 16 04 0A 10 37");
    QTest::newRow("level output AD1 high")
            << pinCommand(QStringLiteral("高低电平输出"), RemoteCatalogue::pins(), 2,
                          QStringLiteral("高"))
            << QStringLiteral("FE 06 21 25 00 00 03 04 00 01 04")
            << QByteArray::fromHex("FE 06 21 25 00 00 03 04 00 01 04");
    Selection serial = command(QStringLiteral("串口数据"), QStringLiteral("12 34"));
    serial.value = QStringLiteral("AA BB");
    QTest::newRow("serial data to 12 34") << serial << QStringLiteral("FE 04 21 24 12 34 AA BB 36")
                                          << QByteArray::fromHex("FE 04 21 24 12 34 AA BB 36");
    QTest::newRow("restart") << command(QStringLiteral("远程重启"))
                             << QStringLiteral("FE 02 21 21 00 00 02")
                             << QByteArray::fromHex("FE 02 21 21 00 00 02");
    QTest::newRow("start node scan")
            << command(QStringLiteral("启动节点扫描")) << QStringLiteral("FE 00 21 2C  0D")
            << QByteArray::fromHex("FE 00 21 2C 0D");
}

void tst_RemoteFrame::workedExamples()
{
    QFETCH(Selection, selection);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const RemoteFrame::Result result = RemoteFrame::build(selection);
    QVERIFY2(!result.isRefused(), qPrintable(result.refusal));
    QCOMPARE(result.text, text);
    QCOMPARE(result.bytes.toHex(' '), bytes.toHex(' '));

    const RemoteFrame::Result again = RemoteFrame::build(selection);
    QCOMPARE(again.text, result.text);
    QCOMPARE(again.bytes, result.bytes);
}

void tst_RemoteFrame::writeTable_data()
{
    addFrameColumns();
    QTest::newRow("0 IO config AD2 0-5V") << parameter(Write, 0, 3, QStringLiteral("0-5V输入"))
                                          << QStringLiteral("FE 06 21 18 00 00 16 04 04 08 21");
    QTest::newRow("0 IO config PM4 none") << parameter(Write, 0, 7, QStringLiteral("无"))
                                          << QStringLiteral("FE 06 21 18 00 00 16 04 0B FF D9");
    QTest::newRow("0 IO config PM1 DS18B20") << parameter(Write, 0, 0, QStringLiteral("DS18B20"))
                                             << QStringLiteral("FE 06 21 18 00 00 16 04 01 09 25");
    QTest::newRow("1 node type end device")
            << parameter(Write, 1, 2) << QStringLiteral("FE 06 21 18 00 00 87 00 00 02 BA");
    QTest::newRow("2 PAN ID as typed") << parameter(Write, 2, -1, {}, QStringLiteral("34 12"))
                                       << QStringLiteral("FE 07 21 18 00 00 83 00 00 34 12 9B");
    QTest::newRow("3 channel 0x0B") << parameter(Write, 3, 0)
                                    << QStringLiteral("FE 09 21 18 00 00 84 00 00 00 08 00 00 BC");
    QTest::newRow("3 channel 0x10") << parameter(Write, 3, 5)
                                    << QStringLiteral("FE 09 21 18 00 00 84 00 00 00 00 01 00 B5");
    QTest::newRow("3 channel 0x18") << parameter(Write, 3, 13)
                                    << QStringLiteral("FE 09 21 18 00 00 84 00 00 00 00 00 01 B5");
    QTest::newRow("3 channel 0x1A") << parameter(Write, 3, 15)
                                    << QStringLiteral("FE 09 21 18 00 00 84 00 00 00 00 00 04 B0");
    QTest::newRow("4 short address") << parameter(Write, 4, -1, {}, QStringLiteral("AB CD"))
                                     << QStringLiteral("FE 07 21 18 00 00 11 04 00 AB CD 4D");
    QTest::newRow("5 transmit power") << parameter(Write, 5, -1, {}, QStringLiteral("35"))
                                      << QStringLiteral("FE 06 21 18 00 00 04 04 00 35 0A");
    QTest::newRow("6 sleep mode IO")
            << parameter(Write, 6, 1) << QStringLiteral("FE 06 21 18 00 00 12 04 00 01 28");
    // Not doubled, unlike the local write.
    QTest::newRow("7 sleep cycle") << parameter(Write, 7, -1, {}, QStringLiteral("00 3C"))
                                   << QStringLiteral("FE 07 21 18 00 00 2B 00 00 00 3C 29");
    QTest::newRow("8 work time") << parameter(Write, 8, -1, {}, QStringLiteral("0A"))
                                 << QStringLiteral("FE 06 21 18 00 00 14 04 00 0A 25");
    QTest::newRow("9 baud rate 115200")
            << parameter(Write, 9, 4) << QStringLiteral("FE 06 21 18 00 00 0B 04 00 04 34");
    QTest::newRow("10 parity even")
            << parameter(Write, 10, 2) << QStringLiteral("FE 06 21 18 00 00 10 04 00 02 29");
    QTest::newRow("11 uart timeout") << parameter(Write, 11, -1, {}, QStringLiteral("05"))
                                     << QStringLiteral("FE 06 21 18 00 00 13 04 00 05 2D");
    QTest::newRow("12 two stop bits")
            << parameter(Write, 12, 1) << QStringLiteral("FE 06 21 18 00 00 0F 04 00 04 30");
    QTest::newRow("13 PWM divider 1/128")
            << parameter(Write, 13, 3) << QStringLiteral("FE 06 21 18 00 00 05 04 00  80 BE");
    QTest::newRow("14 PWM frequency 20 kHz")
            << parameter(Write, 14, -1, {}, QStringLiteral("00 00 4E 20"))
            << QStringLiteral("FE 07 21 18 00 00 06 04 00 40 06  7A");
    QTest::newRow("15 destination address")
            << parameter(Write, 15, -1, {}, QStringLiteral("00 00"))
            << QStringLiteral("FE 07 21 18 00 00 17 04 00 00 00 2D");
    QTest::newRow("16 auto send time") << parameter(Write, 16, -1, {}, QStringLiteral("1E"))
                                       << QStringLiteral("FE 06 21 18 00 00 18 04 00 1E 3D");
    QTest::newRow("17 work mode transparent")
            << parameter(Write, 17, 0) << QStringLiteral("FE 06 21 18 00 00 16 04 00  FF D2");
    QTest::newRow("18 extended PAN ID")
            << parameter(Write, 18, -1, {}, QStringLiteral("01 02 03 04 05 06 07 08"))
            << QStringLiteral("FE 0D 21 18 00 00 47 00 00 01 02 03 04 05 06 07 08 7B");
    QTest::newRow("text parameter left empty")
            << parameter(Write, 2) << QStringLiteral("FE 05 21 18 00 00 83 00 00  BF");
    QTest::newRow("no parameter") << parameter(Write, -1) << QStringLiteral("FE 02 21 18 00 00 3B");
}

void tst_RemoteFrame::writeTable()
{
    checkFrame();
}

void tst_RemoteFrame::readTable_data()
{
    addFrameColumns();
    const QStringList frames {
        QStringLiteral("FE 05 21 19 00 00 16 04 00 2F"),
        QStringLiteral("FE 05 21 19 00 00 87 00 00 BA"),
        QStringLiteral("FE 05 21 19 00 00 83 00 00 BE"),
        QStringLiteral("FE 05 21 19 00 00 84 00 00 B9"),
        QStringLiteral("FE 05 21 19 00 00 11 04 00 28"),
        QStringLiteral("FE 05 21 19 00 00 04 04 00 3D"),
        QStringLiteral("FE 05 21 19 00 00 12 04 00 2B"),
        QStringLiteral("FE 05 21 19 00 00 2B 00 00 16"),
        QStringLiteral("FE 05 21 19 00 00 14 04 00 2D"),
        QStringLiteral("FE 05 21 19 00 00 0B 04 00 32"),
        QStringLiteral("FE 05 21 19 00 00 10 04 00 29"),
        QStringLiteral("FE 05 21 19 00 00 13 04 00 2A"),
        QStringLiteral("FE 05 21 19 00 00 0F 04 00 36"),
        QStringLiteral("FE 05 21 19 00 00 05 04 00 3C"),
        QStringLiteral("FE 05 21 19 00 00 06 04 00 3F"),
        QStringLiteral("FE 05 21 19 00 00 17 04 00 2E"),
        QStringLiteral("FE 05 21 19 00 00 18 04 00 21"),
        QStringLiteral("FE 05 21 19 00 00 16 04 00 2F"),
        QStringLiteral("FE 05 21 19 00 00 47 00 00 7A"),
    };
    const QStringList names = RemoteCatalogue::parameters();
    QCOMPARE(names.size(), frames.size());
    // While reading, Type_IOport is empty, so the IO row reads offset 0 like the work mode.
    for (int i = 0; i < frames.size(); ++i)
        QTest::addRow("%d %s", i, qPrintable(names.at(i))) << parameter(Read, i) << frames.at(i);
    QTest::newRow("IO config with a pin still selected")
            << parameter(Read, 0, 4) << QStringLiteral("FE 05 21 19 00 00 16 04 05 2A");
}

void tst_RemoteFrame::readTable()
{
    checkFrame();
}

void tst_RemoteFrame::commandTypes_data()
{
    addFrameColumns();
    QTest::newRow("erase network")
            << command(QStringLiteral("擦除组网信息")) << QStringLiteral("FE 02 21 26 00 00 05");
    QTest::newRow("level output PM4 low") << pinCommand(
            QStringLiteral("高低电平输出"), RemoteCatalogue::pins(), 7, QStringLiteral("低"))
                                          << QStringLiteral("FE 06 21 25 00 00 0B 04 00 00 0D");
    Selection level = pinCommand(QStringLiteral("高低电平输出"), RemoteCatalogue::pins(), 0,
                                 QStringLiteral("高"));
    level.address = QStringLiteral("12 34");
    QTest::newRow("level output PM1 high to 12 34")
            << level << QStringLiteral("FE 06 21 25 12 34 01 04 00 01 20");
    QTest::newRow("PWM output PM3 duty 32")
            << pinCommand(QStringLiteral("PWM占空比输出"), RemoteCatalogue::pwmPins(), 2, {},
                          QStringLiteral("32"))
            << QStringLiteral("FE 05 21 25 00 00 0A 10 32 29");
    QTest::newRow("PWM output PM2 no duty")
            << pinCommand(QStringLiteral("PWM占空比输出"), RemoteCatalogue::pwmPins(), 1)
            << QStringLiteral("FE 04 21 25 00 00 02 10  12");
    Selection serial = command(QStringLiteral("串口数据"));
    serial.value = QStringLiteral("31 32 33");
    QTest::newRow("serial data") << serial << QStringLiteral("FE 05 21 24 00 00 31 32 33 30");
    QTest::newRow("serial data empty")
            << command(QStringLiteral("串口数据")) << QStringLiteral("FE 02 21 24 00 00  07");
    QTest::newRow("restart") << command(QStringLiteral("远程重启"))
                             << QStringLiteral("FE 02 21 21 00 00 02");
    QTest::newRow("collect data") << command(QStringLiteral("数据采集"))
                                  << QStringLiteral("FE 02 21 23 00 00 00");
    QTest::newRow("start node scan ignores the address")
            << command(QStringLiteral("启动节点扫描"), QStringLiteral("12 34"))
            << QStringLiteral("FE 00 21 2C  0D");
    QTest::newRow("stop node scan")
            << command(QStringLiteral("关闭节点扫描")) << QStringLiteral("FE 00 21 2D  0C");
    QTest::newRow("restart without address")
            << command(QStringLiteral("远程重启"), QString()) << QStringLiteral("FE 00 21 21  00");
    QTest::newRow("non-hex address characters skipped")
            << command(QStringLiteral("远程重启"), QStringLiteral("x12:34"))
            << QStringLiteral("FE 02 21 21 x12:34 24");
}

void tst_RemoteFrame::commandTypes()
{
    checkFrame();
}

void tst_RemoteFrame::pwmPeriod_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QByteArray>("period");

    QTest::newRow("1000 Hz") << QStringLiteral("00 00 03 E8") << QByteArray::fromHex("00 7D");
    QTest::newRow("typed without blanks")
            << QStringLiteral("000003e8") << QByteArray::fromHex("00 7D");
    QTest::newRow("489 Hz fits") << QStringLiteral("00 00 01 E9") << QByteArray::fromHex("9F FF");
    QTest::newRow("488 Hz keeps the low 16 bits")
            << QStringLiteral("00 00 01 E8") << QByteArray::fromHex("25 00");
    QTest::newRow("1 Hz") << QStringLiteral("00 00 00 01") << QByteArray::fromHex("00 48");
    QTest::newRow("above the clock")
            << QStringLiteral("02 62 5A 00") << QByteArray::fromHex("00 00");
}

void tst_RemoteFrame::pwmPeriod()
{
    QFETCH(QString, frequency);
    QFETCH(QByteArray, period);
    const RemoteFrame::Result result = RemoteFrame::build(parameter(Write, 14, -1, {}, frequency));
    QVERIFY2(!result.isRefused(), qPrintable(result.refusal));
    QCOMPARE(result.bytes.size(), 12);
    QCOMPARE(result.bytes.mid(9, 2).toHex(' '), period.toHex(' '));
    QVERIFY(result.text.endsWith(QLatin1String("  ") + result.text.right(2)));
}

void tst_RemoteFrame::refusals_data()
{
    QTest::addColumn<Selection>("selection");

    QTest::newRow("empty command") << command(QString());
    QTest::newRow("unknown command") << command(QStringLiteral("参数"));
    QTest::newRow("PWM frequency zero")
            << parameter(Write, 14, -1, {}, QStringLiteral("00 00 00 00"));
    QTest::newRow("PWM frequency two bytes")
            << parameter(Write, 14, -1, {}, QStringLiteral("03 E8"));
    QTest::newRow("PWM frequency five bytes")
            << parameter(Write, 14, -1, {}, QStringLiteral("00 00 00 03 E8"));
    QTest::newRow("PWM frequency empty") << parameter(Write, 14);
    Selection serial = command(QStringLiteral("串口数据"));
    serial.value = QString(2 * 254, u'A');
    QTest::newRow("payload of 256 bytes") << serial;
    // An odd digit would shift every byte boundary before it: FE would go out as 0F E...
    QTest::newRow("odd address digits")
            << command(QStringLiteral("远程重启"), QStringLiteral("1 23"));
    serial.value = QStringLiteral("１２ 3");
    QTest::newRow("odd value digits, full-width digits skipped") << serial;
}

void tst_RemoteFrame::refusals()
{
    QFETCH(Selection, selection);
    const RemoteFrame::Result result = RemoteFrame::build(selection);
    QVERIFY(result.isRefused());
    QVERIFY(result.bytes.isEmpty());
}

void tst_RemoteFrame::finishFrame_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("placeholder replaced")
            << QStringLiteral("FE 00 21 21 00 00") << QStringLiteral("FE 02 21 21 00 00 02")
            << QByteArray::fromHex("FE 02 21 21 00 00 02");
    QTest::newRow("a stale length is overwritten")
            << QStringLiteral("FE 7F 21 21 00 00") << QStringLiteral("FE 02 21 21 00 00 02")
            << QByteArray::fromHex("FE 02 21 21 00 00 02");
    QTest::newRow("trailing blank gives two blanks")
            << QStringLiteral("FE 00 21 2D ") << QStringLiteral("FE 00 21 2D  0C")
            << QByteArray::fromHex("FE 00 21 2D 0C");
    const QString payload = QString(2 * 253, u'1');
    QTest::newRow("255-byte payload")
            << QStringLiteral("FE 00 21 24 00 00 ") + payload
            << QStringLiteral("FE FF 21 24 00 00 ") + payload + QStringLiteral(" EB")
            << QByteArray::fromHex("FE FF 21 24 00 00") + QByteArray(253, '\x11')
                    + QByteArray::fromHex("EB");
}

void tst_RemoteFrame::finishFrame()
{
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const RemoteFrame::Result result = RemoteFrame::finishFrame(input);
    QVERIFY2(!result.isRefused(), qPrintable(result.refusal));
    QCOMPARE(result.text, text);
    QCOMPARE(result.bytes.toHex(' '), bytes.toHex(' '));
}

void tst_RemoteFrame::finishFrameRefusals_data()
{
    QTest::addColumn<QString>("input");

    // Taken literally this would give FE FF 21 DE.
    QTest::newRow("three bytes") << QStringLiteral("FE 00 21 ");
    QTest::newRow("empty") << QString();
    QTest::newRow("no hex digits") << QStringLiteral("xyz");
    QTest::newRow("256-byte payload") << QStringLiteral("FE 00 21 24 ") + QString(2 * 256, u'2');
    QTest::newRow("odd digit count") << QStringLiteral("FE 00 21 21 1 23");
}

void tst_RemoteFrame::finishFrameRefusals()
{
    QFETCH(QString, input);
    const RemoteFrame::Result result = RemoteFrame::finishFrame(input);
    QVERIFY(result.isRefused());
    QVERIFY(result.text.isEmpty());
    QVERIFY(result.bytes.isEmpty());
}

void tst_RemoteFrame::catalogue()
{
    using RemoteCatalogue::Command;
    QCOMPARE(RemoteCatalogue::commands().size(), 11);
    QCOMPARE(RemoteCatalogue::command(QStringLiteral("PWM占空比输出")), Command::PwmOutput);
    QCOMPARE(RemoteCatalogue::command(QStringLiteral("关闭节点扫描")), Command::StopNodeScan);
    QCOMPARE(RemoteCatalogue::parameters().size(), 19);
    QCOMPARE(RemoteCatalogue::choices(QStringLiteral("无线频点")).first(), QStringLiteral("0x0B"));
    QCOMPARE(RemoteCatalogue::choices(QStringLiteral("无线频点")).last(), QStringLiteral("0x1A"));
    QCOMPARE(RemoteCatalogue::choices(QStringLiteral("无线频点")).size(), 16);
    QCOMPARE(RemoteCatalogue::parameterKind(QStringLiteral("扩展PAN ID")),
             RemoteCatalogue::ParameterKind::Text);
    QCOMPARE(RemoteCatalogue::parameterKind(QStringLiteral("PWM分频")),
             RemoteCatalogue::ParameterKind::Choice);
    QCOMPARE(RemoteCatalogue::parameterKind(QStringLiteral("PM1")),
             RemoteCatalogue::ParameterKind::NotAParameter);
    QCOMPARE(RemoteCatalogue::parameterKind(QString()),
             RemoteCatalogue::ParameterKind::NotAParameter);
    QVERIFY(RemoteCatalogue::pinFunctions(QStringLiteral("低")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_RemoteFrame)
#include "tst_remoteframe.moc"
