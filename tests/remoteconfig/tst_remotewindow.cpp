#include "widget.h"

#include "portlist.h"
#include "portwatcher.h"
#include "translations.h"
#include "windowdriver.h"

#ifdef HAVE_SIMMODULE
#    include "simulatedmodule.h"

#    include <fcntl.h>
#    include <termios.h>
#    include <unistd.h>
#endif
#ifdef Q_OS_UNIX
#    include <sys/stat.h>
#endif

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <utility>

namespace {

const QStringList None;
const QString Write = QStringLiteral("参数修改");
const QString Read = QStringLiteral("参数读取");

// The remote command catalogue, written out here so that a wrong entry in the program's own
// catalogue cannot agree with itself.
const QStringList Commands {
    "",         "参数修改", "参数读取", "擦除组网信息", "高低电平输出", "PWM占空比输出",
    "串口数据", "远程重启", "数据采集", "启动节点扫描", "关闭节点扫描"
};
const QStringList Parameters { "IO功能配置", "节点类型",         "PAN ID",   "无线频点",  "短地址",
                               "发送功率",   "休眠模式",         "休眠周期", "工作时间",  "波特率",
                               "校验位",     "串口超时",         "停止位",   "PWM分频",   "PWM频率",
                               "目标短地址", "采集数据自发时间", "工作模式", "扩展PAN ID" };
const QStringList Pins { "PM1", "PM2", "AD1", "AD2", "AD3", "AD4", "PM3", "PM4" };
const QStringList PwmPins { "PM1", "PM2", "PM3", "PM4" };
const QStringList Levels { "低", "高" };
const QStringList Pm1Functions { "无", "开关量采集", "高低电平输出", "PWM输出", "DS18B20" };
const QStringList Pm2Functions { "无",         "开关量采集", "高低电平输出", "PWM输出",
                                 "4-20MA输入", "0-5V输入",   "DS18B20" };
const QStringList Parities { "无", "奇校验", "偶校验" };
const QStringList StopBits { "1", "2" };

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

class tst_RemoteWindow : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startState();
    void rowState_data();
    void rowState();
    void pinChoiceReloadsFunctions();
    void levelToPwmEmptiesLevels();
    void pinOfLevelCommandKeepsLevels();
    void typedValueLostOnChange();

    void build_data();
    void build();
    void commandLineBuildsTheSameFrame_data();
    void commandLineBuildsTheSameFrame();
    void refusedBuildKeepsLastFrame_data();
    void refusedBuildKeepsLastFrame();
    void editedLineSendsBuiltFrame();
    void send();
    void sendWithEmptyLineDoesNothing();

    void logLine_data();
    void logLine();
    void oneLinePerDelivery();
    void cleanEmptiesLog();
    void burstKeepsEndInView();
    void saveLog_data();
    void saveLog();
    void refusedSave_data();
    void refusedSave();
    void saveButton_data();
    void saveButton();

    void baudRateReachesWorker();
    void openStateFollowsWorker();
    void lostPortShowsReason();
    void connectWithoutPortName();
    void refill_data();
    void refill();
    void portToolTips();

#ifdef HAVE_SIMMODULE
    void endToEnd();
    void endToEndFailedOpen();
    void scanKeepsTypedPseudoTerminal();
#endif

private:
    QComboBox *box(const char *name) const
    {
        return child<QComboBox>(name);
    }
    QString labelText(const char *name) const
    {
        return child<QLabel>(name)->text();
    }
    // Picks an entry as the user would; fails the test if the list does not hold it.
    void choose(const char *boxName, const QString &text);
    void typeInto(const char *editName, const QString &text);
    void click(const char *buttonName);
    // Chooses and types the row as given (empty: left as it is), then clicks "组帧".
    void buildInForm(const QString &command, const QString &parameter, const QString &choice,
                     const QString &option, const QString &address, const QString &value);
    void deliver(int count);
    // Makes the system's port list names, then lets the window learn it by trigger: the scan
    // button, or a device node appearing in the watched directory.
    void plug(const QStringList &names, const QString &trigger);

    // What the system's enumeration reports, and its device directory.
    QList<PortDescription> systemPorts;
    QTemporaryDir dev;
    int nodes = 0;
};

void tst_RemoteWindow::initTestCase()
{
    // As remoteconfig starts.
    QVERIFY(Translations::install(QStringLiteral("zh_CN")));
    QVERIFY(dev.isValid());
    setPortSource([this] { return systemPorts; });
    PortWatcher::setWatchedDirectory(dev.path());
}

void tst_RemoteWindow::cleanupTestCase()
{
    setPortSource({});
    PortWatcher::setWatchedDirectory(QString());
}

void tst_RemoteWindow::init()
{
    systemPorts.clear();
    QVERIFY(showWindow());
}

void tst_RemoteWindow::cleanup()
{
    window.reset();
}

void tst_RemoteWindow::choose(const char *boxName, const QString &text)
{
    QComboBox *list = box(boxName);
    QVERIFY(list);
    const int index = list->findText(text);
    QVERIFY2(index >= 0,
             qPrintable(QStringLiteral("%1 has no %2").arg(QLatin1String(boxName), text)));
    list->setCurrentIndex(index);
}

void tst_RemoteWindow::typeInto(const char *editName, const QString &text)
{
    auto *edit = child<QLineEdit>(editName);
    QVERIFY(edit);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void tst_RemoteWindow::click(const char *buttonName)
{
    auto *button = child<QPushButton>(buttonName);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void tst_RemoteWindow::buildInForm(const QString &command, const QString &parameter,
                                   const QString &choice, const QString &option,
                                   const QString &address, const QString &value)
{
    choose("CMD_type", command);
    if (!parameter.isEmpty())
        choose("NVID_IO", parameter);
    if (!choice.isEmpty())
        choose("Type_IOport", choice);
    if (!option.isEmpty())
        choose("comboBox", option);
    if (!address.isEmpty())
        typeInto("DesAddr", address);
    if (!value.isEmpty())
        typeInto("function", value);
    click("build");
}

void tst_RemoteWindow::deliver(int count)
{
    MyThread &worker = window->serialWorker();
    for (int i = 0; i < count; ++i) {
        worker.appendRxData(QByteArray::fromHex("FE 0B 61 21 00 12 34 56 78 9A BC DE F0 11 22")
                            + char(i));
        emit worker.comdelayout();
    }
}

void tst_RemoteWindow::plug(const QStringList &names, const QString &trigger)
{
    systemPorts.clear();
    for (const QString &name : names) {
        PortDescription port;
        port.name = name;
        port.location = QStringLiteral("/dev/") + name;
        systemPorts << port;
    }
    if (trigger == QStringLiteral("button")) {
        click("fresh_Button");
        return;
    }
    QFile node(dev.filePath(QStringLiteral("tty%1").arg(++nodes)));
    QVERIFY(node.open(QIODevice::WriteOnly));
    QTRY_COMPARE(items(box("serialPortComboBox")), names);
}

void tst_RemoteWindow::startState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("SerialPort Widget"));
    QCOMPARE(window->minimumSize(), QSize(650, 600));
    QCOMPARE(window->maximumSize(), QSize(650, 650));
    QVERIFY(!child<QLabel>("label_4")->pixmap().isNull());

    QCOMPARE(items(box("CMD_type")), Commands);
    QCOMPARE(box("CMD_type")->currentIndex(), 0);
    for (const char *name : { "NVID_IO", "Type_IOport", "comboBox" }) {
        QCOMPARE(box(name)->count(), 0);
        QVERIFY(!box(name)->isEnabled());
    }
    QVERIFY(child<QLineEdit>("function")->text().isEmpty());
    QVERIFY(!child<QLineEdit>("function")->isEnabled());
    for (const char *name : { "canshu", "Type_IOport_label", "NVID_IO_Label", "function_label" })
        QVERIFY(labelText(name).isEmpty());
    QCOMPARE(child<QLineEdit>("DesAddr")->text(), QStringLiteral("00 00"));
    QCOMPARE(child<QLineEdit>("DesAddr")->maxLength(), 5);
    QVERIFY(child<QLineEdit>("lineEdit")->text().isEmpty());
    QVERIFY(logLines().isEmpty());
    QVERIFY(window->builtFrameBytes().isEmpty());

    QCOMPARE(box("baudRateBox")->currentText(), QStringLiteral("38400"));
    QCOMPARE(box("baudRateBox")->currentData().toInt(), 38400);
    QCOMPARE(window->serialWorker().baudRate(), 38400);
    QCOMPARE(items(box("ParityBox")), Parities);
    QCOMPARE(items(box("stopBitsBox")), StopBits);

    QVERIFY(box("serialPortComboBox")->isEditable());
    QCOMPARE(box("serialPortComboBox")->insertPolicy(), QComboBox::NoInsert);
    QCOMPARE(child<QPushButton>("openCom_Button")->text(), QStringLiteral("打开串口"));
    QVERIFY(!window->serialWorker().sendRequest());
    QVERIFY(window->serialWorker().txData().isEmpty());
    QVERIFY(!window->serialWorker().isRunning());
}

void tst_RemoteWindow::rowState_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("parameter"); // empty: leave the first entry
    QTest::addColumn<QString>("canshu");
    QTest::addColumn<QStringList>("nvid");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QString>("choiceCaption");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("optionsEnabled");
    QTest::addColumn<bool>("functionEnabled");
    QTest::addColumn<QString>("functionCaption");

    const QString paramCaption = QStringLiteral("参数名称");
    const QString pinCaption = QStringLiteral("管脚名称");

    QTest::newRow("nothing chosen") << QString() << QString() << QString() << None << None
                                    << QString() << None << false << false << QString();
    for (const char *scan : { "启动节点扫描", "关闭节点扫描" }) {
        QTest::newRow(scan) << QString::fromUtf8(scan) << QString() << QString() << None << None
                            << QString() << None << false << false << QString();
    }
    QTest::newRow("write IO config")
            << Write << QString() << paramCaption << Parameters << Pins << QStringLiteral("管脚号")
            << Pm1Functions << true << false << QString();
    const QList<std::pair<QString, QStringList>> choiceLists {
        { "节点类型", { "中心", "路由", "终端" } },
        { "无线频点",
          { "0x0B", "0x0C", "0x0D", "0x0E", "0x0F", "0x10", "0x11", "0x12", "0x13", "0x14", "0x15",
            "0x16", "0x17", "0x18", "0x19", "0x1A" } },
        { "休眠模式", { "自动休眠", "IO控制休眠" } },
        { "波特率", { "9600", "19200", "38400", "57600", "115200" } },
        { "校验位", Parities },
        { "停止位", StopBits },
        { "PWM分频", { "1", "1/8", "1/32", "1/128" } },
        { "工作模式", { "透传模式", "API模式", "MODBUS模式", "DigiAPI模式" } },
    };
    for (const auto &[name, choices] : choiceLists) {
        QTest::addRow("write %s", qPrintable(name))
                << Write << name << paramCaption << Parameters << choices << name << None << false
                << false << QString();
    }
    for (const char *text : { "PAN ID", "PWM频率", "扩展PAN ID" }) {
        const QString name = QString::fromUtf8(text);
        QTest::addRow("write %s", text) << Write << name << paramCaption << Parameters << None
                                        << QString() << None << false << true << name;
    }
    // Reading keeps the functions of PM1 from the IO row, disabled.
    QTest::newRow("read IO config") << Read << QString() << paramCaption << Parameters << None
                                    << QString() << Pm1Functions << false << false << QString();
    QTest::newRow("read a choice") << Read << QStringLiteral("校验位") << paramCaption << Parameters
                                   << None << QString() << None << false << false << QString();
    QTest::newRow("read a text parameter")
            << Read << QStringLiteral("短地址") << paramCaption << Parameters << None << QString()
            << None << false << false << QStringLiteral("短地址");
    for (const char *plain : { "擦除组网信息", "远程重启", "数据采集" }) {
        QTest::newRow(plain) << QString::fromUtf8(plain) << QString() << QString() << None << None
                             << QString() << None << false << false << QString();
    }
    QTest::newRow("level output") << QStringLiteral("高低电平输出") << QString() << pinCaption
                                  << Pins << None << QString() << Levels << true << false
                                  << QString();
    QTest::newRow("PWM output") << QStringLiteral("PWM占空比输出") << QString() << pinCaption
                                << PwmPins << None << QString() << None << false << true
                                << QStringLiteral("占空比");
    QTest::newRow("serial data") << QStringLiteral("串口数据") << QString() << QString() << None
                                 << None << QString() << None << false << true
                                 << QStringLiteral("串口数据");
}

void tst_RemoteWindow::rowState()
{
    QFETCH(QString, command);
    QFETCH(QString, parameter);
    QFETCH(QString, canshu);
    QFETCH(QStringList, nvid);
    QFETCH(QStringList, choices);
    QFETCH(QString, choiceCaption);
    QFETCH(QStringList, options);
    QFETCH(bool, optionsEnabled);
    QFETCH(bool, functionEnabled);
    QFETCH(QString, functionCaption);

    // Start from another command with a typed value, so that every handler runs its reset.
    if (command == Write) {
        choose("CMD_type", QStringLiteral("串口数据"));
    } else {
        choose("CMD_type", Write);
        choose("NVID_IO", QStringLiteral("PAN ID"));
    }
    typeInto("function", QStringLiteral("12 34"));
    choose("CMD_type", command);
    if (!parameter.isEmpty())
        choose("NVID_IO", parameter);

    QCOMPARE(labelText("canshu"), canshu);
    QCOMPARE(items(box("NVID_IO")), nvid);
    QCOMPARE(box("NVID_IO")->isEnabled(), !nvid.isEmpty());
    QCOMPARE(box("NVID_IO")->currentText(), parameter.isEmpty() ? nvid.value(0) : parameter);
    QCOMPARE(items(box("Type_IOport")), choices);
    QCOMPARE(box("Type_IOport")->isEnabled(), !choices.isEmpty());
    QCOMPARE(box("Type_IOport")->currentIndex(), choices.isEmpty() ? -1 : 0);
    QCOMPARE(labelText("Type_IOport_label"), choiceCaption);
    QCOMPARE(items(box("comboBox")), options);
    QCOMPARE(box("comboBox")->isEnabled(), optionsEnabled);
    QCOMPARE(box("comboBox")->currentIndex(), options.isEmpty() ? -1 : 0);
    QCOMPARE(child<QLineEdit>("function")->isEnabled(), functionEnabled);
    QVERIFY(child<QLineEdit>("function")->text().isEmpty());
    QCOMPARE(labelText("function_label"), functionCaption);
    QVERIFY(labelText("NVID_IO_Label").isEmpty());
}

void tst_RemoteWindow::pinChoiceReloadsFunctions()
{
    choose("CMD_type", Write);
    QCOMPARE(box("Type_IOport")->currentText(), QStringLiteral("PM1"));
    QCOMPARE(box("comboBox")->currentText(), QStringLiteral("无"));

    choose("Type_IOport", QStringLiteral("AD1"));
    const QStringList ad { QStringLiteral("无"),           QStringLiteral("开关量采集"),
                           QStringLiteral("高低电平输出"), QStringLiteral("4-20MA输入"),
                           QStringLiteral("0-5V输入"),     QStringLiteral("DS18B20") };
    QCOMPARE(items(box("comboBox")), ad);
    QVERIFY(box("comboBox")->isEnabled());

    choose("Type_IOport", QStringLiteral("PM4"));
    QCOMPARE(items(box("comboBox")), Pm2Functions);
    choose("Type_IOport", QStringLiteral("PM3"));
    QCOMPARE(items(box("comboBox")), Pm1Functions);
}

void tst_RemoteWindow::levelToPwmEmptiesLevels()
{
    choose("CMD_type", QStringLiteral("高低电平输出"));
    QCOMPARE(items(box("comboBox")), Levels);
    choose("CMD_type", QStringLiteral("PWM占空比输出"));
    QCOMPARE(box("comboBox")->count(), 0);
    QVERIFY(!box("comboBox")->isEnabled());
    QVERIFY(child<QLineEdit>("function")->isEnabled());
    QCOMPARE(labelText("function_label"), QStringLiteral("占空比"));
}

void tst_RemoteWindow::pinOfLevelCommandKeepsLevels()
{
    choose("CMD_type", QStringLiteral("高低电平输出"));
    choose("comboBox", QStringLiteral("高"));
    choose("NVID_IO", QStringLiteral("PM2"));
    // No function list: the parameter handler reloads the levels, first entry current.
    QCOMPARE(items(box("comboBox")), Levels);
    QCOMPARE(box("comboBox")->currentText(), QStringLiteral("低"));
    QVERIFY(box("comboBox")->isEnabled());
}

void tst_RemoteWindow::typedValueLostOnChange()
{
    choose("CMD_type", Write);
    choose("NVID_IO", QStringLiteral("PAN ID"));
    typeInto("function", QStringLiteral("34 12"));
    choose("NVID_IO", QStringLiteral("短地址"));
    QVERIFY(child<QLineEdit>("function")->text().isEmpty());
    QCOMPARE(labelText("function_label"), QStringLiteral("短地址"));
    // The caption of NVID_IO stays visible through the nested refills.
    QCOMPARE(labelText("canshu"), QStringLiteral("参数名称"));
}

void tst_RemoteWindow::build_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("address"); // empty: keep "00 00"
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("write channel 0x0D")
            << Write << QStringLiteral("无线频点") << QStringLiteral("0x0D") << QString()
            << QString() << QString() << QStringLiteral("FE 09 21 18 00 00 84 00 00 00 20 00 00 94")
            << QByteArray::fromHex("FE 09 21 18 00 00 84 00 00 00 20 00 00 94");
    QTest::newRow("write PWM frequency 1000 Hz")
            << Write << QStringLiteral("PWM频率") << QString() << QString() << QString()
            << QStringLiteral("00 00 03 E8")
            << QStringLiteral("FE 07 21 18 00 00 06 04 00 00 7D  41")
            << QByteArray::fromHex("FE 07 21 18 00 00 06 04 00 00 7D 41");
    QTest::newRow("IO config PM3 PWM output")
            << Write << QStringLiteral("IO功能配置") << QStringLiteral("PM3")
            << QStringLiteral("PWM输出") << QString() << QString()
            << QStringLiteral("FE 06 21 18 00 00 16 04 0A 10 37")
            << QByteArray::fromHex("FE 06 21 18 00 00 16 04 0A 10 37");
    QTest::newRow("read IO config reads offset 0")
            << Read << QStringLiteral("IO功能配置") << QString() << QString() << QString()
            << QString() << QStringLiteral("FE 05 21 19 00 00 16 04 00 2F")
            << QByteArray::fromHex("FE 05 21 19 00 00 16 04 00 2F");
    QTest::newRow("level output AD1 high")
            << QStringLiteral("高低电平输出") << QStringLiteral("AD1") << QString()
            << QStringLiteral("高") << QString() << QString()
            << QStringLiteral("FE 06 21 25 00 00 03 04 00 01 04")
            << QByteArray::fromHex("FE 06 21 25 00 00 03 04 00 01 04");
    QTest::newRow("PWM output PM4 duty 50")
            << QStringLiteral("PWM占空比输出") << QStringLiteral("PM4") << QString() << QString()
            << QString() << QStringLiteral("50") << QStringLiteral("FE 05 21 25 00 00 0B 10 50 4A")
            << QByteArray::fromHex("FE 05 21 25 00 00 0B 10 50 4A");
    QTest::newRow("serial data to 12 34")
            << QStringLiteral("串口数据") << QString() << QString() << QString()
            << QStringLiteral("12 34") << QStringLiteral("AA BB")
            << QStringLiteral("FE 04 21 24 12 34 AA BB 36")
            << QByteArray::fromHex("FE 04 21 24 12 34 AA BB 36");
}

void tst_RemoteWindow::build()
{
    QFETCH(QString, command);
    QFETCH(QString, parameter);
    QFETCH(QString, choice);
    QFETCH(QString, option);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(QString, line);
    QFETCH(QByteArray, bytes);

    buildInForm(command, parameter, choice, option, address, value);
    QCOMPARE(child<QLineEdit>("lineEdit")->text(), line);
    QCOMPARE(window->builtFrameBytes().toHex(' '), bytes.toHex(' '));
    QVERIFY(labelText("buildStatus").isEmpty());

    click("build");
    QCOMPARE(child<QLineEdit>("lineEdit")->text(), line);
    QCOMPARE(window->builtFrameBytes().toHex(' '), bytes.toHex(' '));
}

void tst_RemoteWindow::commandLineBuildsTheSameFrame_data()
{
    QTest::addColumn<QString>("words"); // of cc2530ctl remote; "_" stands for a blank
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("parameter"); // or pin
    QTest::addColumn<QString>("choice"); // or the pin of the IO configuration
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");

    const auto row = [](const char *words, const char *command, const char *parameter = "",
                        const char *choice = "", const char *option = "", const char *value = "") {
        QTest::newRow(words) << QString::fromUtf8(words) << QString::fromUtf8(command)
                             << QString::fromUtf8(parameter) << QString::fromUtf8(choice)
                             << QString::fromUtf8(option) << QString::fromUtf8(value);
    };
    row("write io PM4 4-20ma-input", "参数修改", "IO功能配置", "PM4", "4-20MA输入");
    row("write nodeType enddevice", "参数修改", "节点类型", "终端");
    row("write panId 1A2B", "参数修改", "PAN ID", "", "", "1A2B");
    row("write channel 26", "参数修改", "无线频点", "0x1A");
    row("write shortAddress 00_05", "参数修改", "短地址", "", "", "00 05");
    row("write txPower 35", "参数修改", "发送功率", "", "", "35");
    row("write sleepMode io", "参数修改", "休眠模式", "IO控制休眠");
    row("write sleepCycle 3C", "参数修改", "休眠周期", "", "", "3C");
    row("write workTime 0a", "参数修改", "工作时间", "", "", "0a");
    row("write uartBaudRate 57600", "参数修改", "波特率", "57600");
    row("write uartParity even", "参数修改", "校验位", "偶校验");
    row("write uartTimeout 05", "参数修改", "串口超时", "", "", "05");
    row("write uartStopBits 2", "参数修改", "停止位", "2");
    row("write pwmDivider 128", "参数修改", "PWM分频", "1/128");
    row("write pwmFrequency 00004E20", "参数修改", "PWM频率", "", "", "00 00 4E 20");
    row("write destinationAddress 0000", "参数修改", "目标短地址", "", "", "0000");
    row("write autoSendTime 001E", "参数修改", "采集数据自发时间", "", "", "001E");
    row("write workMode digiapi", "参数修改", "工作模式", "DigiAPI模式");
    row("write extendedPanId 0123456789ABCDEF", "参数修改", "扩展PAN ID", "", "",
        "0123456789ABCDEF");
    row("read uartParity", "参数读取", "校验位");
    row("read io", "参数读取", "IO功能配置");
    row("erase", "擦除组网信息");
    row("level PM3 low", "高低电平输出", "PM3", "", "低");
    row("pwm PM2 64", "PWM占空比输出", "PM2", "", "", "64");
    row("serial 31_32_33", "串口数据", "", "", "", "31 32 33");
    row("restart", "远程重启");
    row("collect", "数据采集");
    row("scan-start", "启动节点扫描");
    row("scan-stop", "关闭节点扫描");
}

// The same frame from the form and from `cc2530ctl remote`, to node 0102.
void tst_RemoteWindow::commandLineBuildsTheSameFrame()
{
    QFETCH(QString, words);
    QFETCH(QString, command);
    QFETCH(QString, parameter);
    QFETCH(QString, choice);
    QFETCH(QString, option);
    QFETCH(QString, value);

    buildInForm(command, parameter, choice, option, QStringLiteral("0102"), value);
    QVERIFY(labelText("buildStatus").isEmpty());

    QStringList arguments { "remote", "/dev/no-such-port", "--dry-run" };
    arguments += words.split(u' ').replaceInStrings(QStringLiteral("_"), QStringLiteral(" "));
    if (!words.startsWith(QLatin1String("scan")))
        arguments += { "--to", "0102" };
    QProcess ctl;
    ctl.start(QStringLiteral(CC2530CTL), arguments);
    QVERIFY(ctl.waitForFinished());
    QCOMPARE(ctl.exitCode(), 0);
    const QString printed = QString::fromLatin1(ctl.readAllStandardOutput()).trimmed();
    QCOMPARE(printed.section(u' ', 0, 0), words.startsWith(QLatin1String("scan")) ? "-" : "0102");
    QCOMPARE(QByteArray::fromHex(printed.section(u' ', 1).toLatin1()).toHex(' '),
             window->builtFrameBytes().toHex(' '));
}

void tst_RemoteWindow::refusedBuildKeepsLastFrame_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("frequency");

    QTest::newRow("no command") << QString() << QString();
    QTest::newRow("PWM frequency zero") << Write << QStringLiteral("00 00 00 00");
    QTest::newRow("PWM frequency two bytes") << Write << QStringLiteral("03 E8");
}

void tst_RemoteWindow::refusedBuildKeepsLastFrame()
{
    QFETCH(QString, command);
    QFETCH(QString, frequency);

    const QString restart = QStringLiteral("FE 02 21 21 00 00 02");
    choose("CMD_type", QStringLiteral("远程重启"));
    click("build");
    QCOMPARE(child<QLineEdit>("lineEdit")->text(), restart);

    choose("CMD_type", command);
    if (!frequency.isEmpty()) {
        choose("NVID_IO", QStringLiteral("PWM频率"));
        typeInto("function", frequency);
    }
    click("build");
    QCOMPARE(child<QLineEdit>("lineEdit")->text(), restart);
    QCOMPARE(window->builtFrameBytes().toHex(' '),
             QByteArray::fromHex(restart.toLatin1()).toHex(' '));
    QVERIFY(!labelText("buildStatus").isEmpty());

    // The next good build clears the reason.
    choose("CMD_type", QStringLiteral("数据采集"));
    click("build");
    QCOMPARE(child<QLineEdit>("lineEdit")->text(), QStringLiteral("FE 02 21 23 00 00 00"));
    QVERIFY(labelText("buildStatus").isEmpty());
}

void tst_RemoteWindow::editedLineSendsBuiltFrame()
{
    choose("CMD_type", QStringLiteral("远程重启"));
    click("build");
    auto *line = child<QLineEdit>("lineEdit");
    line->setFocus();
    line->end(false);
    QTest::keyClicks(line, QStringLiteral(" 99"));
    QCOMPARE(line->text(), QStringLiteral("FE 02 21 21 00 00 02 99"));
    QCOMPARE(window->builtFrameBytes(), QByteArray::fromHex("FE 02 21 21 00 00 02"));

    click("sendDate");
    QCOMPARE(window->serialWorker().txData(), QByteArray::fromHex("FE 02 21 21 00 00 02"));
}

void tst_RemoteWindow::send()
{
    MyThread &worker = window->serialWorker();
    worker.submit(QByteArray::fromHex("AA BB")); // still pending: stays ahead
    choose("CMD_type", QStringLiteral("擦除组网信息"));
    click("build");
    click("sendDate");
    QCOMPARE(worker.txData(), QByteArray::fromHex("AA BB FE 02 21 26 00 00 05"));
    QVERIFY(worker.sendRequest());

    // A second click before the worker takes the frame still holds one such frame.
    click("sendDate");
    QCOMPARE(worker.pendingTransmissions(),
             (QList<QByteArray> { QByteArray::fromHex("AA BB"), window->builtFrameBytes() }));
    QCOMPARE(window->builtFrameBytes(), QByteArray::fromHex("FE 02 21 26 00 00 05"));
}

void tst_RemoteWindow::sendWithEmptyLineDoesNothing()
{
    MyThread &worker = window->serialWorker();
    click("sendDate");
    QVERIFY(!worker.sendRequest());
    QVERIFY(worker.txData().isEmpty());

    // A line typed without a build hands over the (empty) last built frame.
    typeInto("lineEdit", QStringLiteral("FE 00 21 21"));
    click("sendDate");
    QVERIFY(worker.sendRequest());
    QVERIFY(worker.txData().isEmpty());
}

void tst_RemoteWindow::logLine_data()
{
    QTest::addColumn<QByteArray>("delivery");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty delivery") << QByteArray() << QStringLiteral(" 收到数据: ");
    QTest::newRow("three bytes end in a blank")
            << QByteArray::fromHex("FE 01 61") << QStringLiteral(" 收到数据: FE 01 61 ");
    QByteArray many;
    QString manyText = QStringLiteral(" 收到数据: ");
    for (int i = 0; i < 600; ++i) {
        many.append(char(i));
        manyText += QStringLiteral("%1 ").arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
    }
    QTest::newRow("600 bytes on one line") << many << manyText;
}

void tst_RemoteWindow::logLine()
{
    QFETCH(QByteArray, delivery);
    QFETCH(QString, text);

    MyThread &worker = window->serialWorker();
    worker.appendRxData(delivery);
    emit worker.comdelayout();

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(QTime::fromString(lines.first().left(8), QStringLiteral("HH:mm:ss")).isValid(),
             qPrintable(lines.first()));
    QCOMPARE(lines.first().mid(8), text);
    QVERIFY(worker.rxData().isEmpty());
}

void tst_RemoteWindow::oneLinePerDelivery()
{
    MyThread &worker = window->serialWorker();
    worker.appendRxData(QByteArray::fromHex("01"));
    emit worker.comdelayout();
    worker.appendRxData(QByteArray::fromHex("02 03"));
    emit worker.comdelayout();

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).mid(8), QStringLiteral(" 收到数据: 01 "));
    QCOMPARE(lines.at(1).mid(8), QStringLiteral(" 收到数据: 02 03 "));
}

void tst_RemoteWindow::cleanEmptiesLog()
{
    MyThread &worker = window->serialWorker();
    worker.appendRxData(QByteArray::fromHex("01"));
    emit worker.comdelayout();
    QCOMPARE(logLines().size(), 1);
    click("clean");
    QVERIFY(logLines().isEmpty());
}

void tst_RemoteWindow::burstKeepsEndInView()
{
    // Far more lines than the log shows, faster than it repaints.
    deliver(300);
    QCOMPARE(logLines().size(), 300);
    const QScrollBar *bar = child<QTextBrowser>("RssiTestDisplay")->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
    deliver(300);
    QTRY_VERIFY(bar->value() == bar->maximum());
    // Cleared while lines are held for the repaint.
    deliver(20);
    click("clean");
    QVERIFY(logLines().isEmpty());
    deliver(2);
    QCOMPARE(logLines().size(), 2);
}

void tst_RemoteWindow::saveLog_data()
{
    QTest::addColumn<int>("deliveries");

    QTest::newRow("empty log") << 0;
    QTest::newRow("one line") << 1;
    QTest::newRow("a burst not yet repainted") << 120;
}

void tst_RemoteWindow::saveLog()
{
    QFETCH(int, deliveries);

    deliver(deliveries);
    const QStringList before = logLines();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("日志.txt"));
    QVERIFY(window->saveLog(path));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QByteArray expected;
    for (const QString &line : before)
        expected += line.toUtf8() + '\n';
    QCOMPARE(bytes, expected);
    if (deliveries > 0)
        QVERIFY(bytes.contains(
                QByteArray::fromHex("20 E6 94 B6 E5 88 B0 E6 95 B0 E6 8D AE 3A 20")));
    QCOMPARE(logLines(), before);
    QVERIFY(labelText("logStatus").isEmpty());
}

void tst_RemoteWindow::refusedSave_data()
{
    QTest::addColumn<QString>("where");

    QTest::newRow("a directory") << QString();
    QTest::newRow("in a missing directory") << QStringLiteral("missing/log.txt");
#ifdef Q_OS_UNIX
    // Renamed over, the FIFO (or a device) would be gone.
    QTest::newRow("a FIFO") << QStringLiteral("fifo");
#endif
}

void tst_RemoteWindow::refusedSave()
{
    QFETCH(QString, where);

    deliver(2);
    const QStringList before = logLines();
    QTemporaryDir folder;
    const QString path = where.isEmpty() ? folder.path() : folder.filePath(where);
    const bool fifo = where == QLatin1String("fifo");
#ifdef Q_OS_UNIX
    if (fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    QVERIFY(!window->saveLog(path));
    QVERIFY2(labelText("logStatus").startsWith(QStringLiteral("保存失败：")),
             qPrintable(labelText("logStatus")));
    if (fifo)
        QCOMPARE(child<QLabel>("logStatus")->toolTip(), "保存失败：不是普通文件\n" + path);
    QVERIFY(child<QLabel>("logStatus")->toolTip().contains(path));
    QCOMPARE(logLines(), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
             fifo ? QStringList { where } : QStringList());
    QVERIFY(!QFileInfo(path).isFile());

    // A save that works takes the reason away.
    QVERIFY(window->saveLog(folder.filePath(QStringLiteral("log.txt"))));
    QVERIFY(labelText("logStatus").isEmpty());
}

void tst_RemoteWindow::saveButton_data()
{
    QTest::addColumn<bool>("cancel");

    QTest::newRow("saved") << false;
    QTest::newRow("cancelled") << true;
}

void tst_RemoteWindow::saveButton()
{
    QFETCH(bool, cancel);

    QCOMPARE(child<QPushButton>("saveLog")->text(), QStringLiteral("保存日志…"));
    deliver(1);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log.txt"));
    QString suggested;
    window->setSaveLogDialog([&](QWidget *, const QString &name) {
        suggested = name;
        return cancel ? QString() : path;
    });
    click("saveLog");
    QVERIFY2(QRegularExpression(QStringLiteral("/remoteconfig-log-\\d{8}-\\d{6}\\.txt$"))
                     .match(suggested)
                     .hasMatch(),
             qPrintable(suggested));
    QCOMPARE(QFile::exists(path), !cancel);
    QVERIFY(labelText("logStatus").isEmpty());
}

void tst_RemoteWindow::baudRateReachesWorker()
{
    QSignalSpy spy(window.get(), &Widget::baudrate);
    QVERIFY(spy.isValid());
    choose("baudRateBox", QStringLiteral("115200"));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 4);
    QCOMPARE(window->serialWorker().baudRate(), 115200);
    choose("baudRateBox", QStringLiteral("9600"));
    QCOMPARE(window->serialWorker().baudRate(), 9600);

    // Parity and stop bits are shown only.
    choose("ParityBox", QStringLiteral("偶校验"));
    choose("stopBitsBox", QStringLiteral("2"));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(window->serialWorker().baudRate(), 9600);
}

void tst_RemoteWindow::openStateFollowsWorker()
{
    window->isComOpen(true);
    QVERIFY(!box("serialPortComboBox")->isEnabled());
    QCOMPARE(child<QPushButton>("openCom_Button")->text(), QStringLiteral("关闭串口"));
    window->isComOpen(false);
    QVERIFY(box("serialPortComboBox")->isEnabled());
    QCOMPARE(child<QPushButton>("openCom_Button")->text(), QStringLiteral("打开串口"));
}

void tst_RemoteWindow::lostPortShowsReason()
{
    window->isComOpen(true);
    emit window->serialWorker().comLost(QStringLiteral("line hung up"));
    QVERIFY(box("serialPortComboBox")->isEnabled());
    QCOMPARE(child<QPushButton>("openCom_Button")->text(), QStringLiteral("打开串口"));
    QVERIFY(labelText("portStatus").contains(QStringLiteral("line hung up")));

    emit window->serialWorker().comOpenFailed(QStringLiteral("no such device"));
    QVERIFY(labelText("portStatus").contains(QStringLiteral("no such device")));
    QVERIFY(!labelText("portStatus").contains(QStringLiteral("line hung up")));
}

void tst_RemoteWindow::connectWithoutPortName()
{
    box("serialPortComboBox")->clear();
    box("serialPortComboBox")->setEditText(QString());
    click("openCom_Button");
    QVERIFY(!window->serialWorker().isRunning());
    QCOMPARE(child<QPushButton>("openCom_Button")->text(), QStringLiteral("打开串口"));
}

void tst_RemoteWindow::refill_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("shown"); // picked where listed, else typed
    QTest::addColumn<bool>("open");
    QTest::addColumn<QStringList>("after");

    const QString s0 = QStringLiteral("ttyS0");
    const QString usb0 = QStringLiteral("ttyUSB0");
    const QString usb1 = QStringLiteral("ttyUSB1");
    for (const QString &trigger : { QStringLiteral("button"), QStringLiteral("watch") }) {
        const QByteArray by = (QStringLiteral(", by ") + trigger).toLatin1();
        QTest::newRow("plugged" + by)
                << trigger << QStringList { s0 } << s0 << false << QStringList { s0, usb0 };
        QTest::newRow("another unplugged" + by) << trigger << QStringList { s0, usb0, usb1 } << usb1
                                                << false << QStringList { s0, usb1 };
        QTest::newRow("typed path" + by)
                << trigger << QStringList { s0 } << QStringLiteral("/dev/pts/7") << false
                << QStringList { usb0 };
        QTest::newRow("open port unplugged" + by)
                << trigger << QStringList { s0, usb0 } << usb0 << true << QStringList { s0 };
    }
}

void tst_RemoteWindow::refill()
{
    QFETCH(QString, trigger);
    QFETCH(QStringList, before);
    QFETCH(QString, shown);
    QFETCH(bool, open);
    QFETCH(QStringList, after);

    QComboBox *ports = box("serialPortComboBox");
    plug(before, QStringLiteral("button"));
    // A path typed while a port is plugged in: half typed when the list fills again.
    const bool typing = !before.contains(shown) && trigger == QStringLiteral("watch");
    if (before.contains(shown)) {
        choose("serialPortComboBox", shown);
    } else {
        QApplication::setActiveWindow(window.get());
        ports->lineEdit()->setFocus();
        QTRY_VERIFY(ports->lineEdit()->hasFocus());
        ports->clearEditText();
        QTest::keyClicks(ports, typing ? shown.chopped(2) : shown);
    }
    if (open) {
        window->serialWorker().setComOpened(true);
        window->isComOpen(true);
    }

    plug(after, trigger);
    if (typing)
        QTest::keyClicks(ports, shown.right(2));
    QCOMPARE(items(ports), after);
    QCOMPARE(ports->currentText(), shown);
    QCOMPARE(ports->isEnabled(), !open);
    QCOMPARE(window->serialWorker().comOpened(), open);
}

void tst_RemoteWindow::portToolTips()
{
    PortDescription adapter;
    adapter.name = QStringLiteral("ttyUSB0");
    adapter.location = QStringLiteral("/dev/ttyUSB0");
    adapter.description = QStringLiteral("FT232R USB UART");
    adapter.serialNumber = QStringLiteral("A10001");
    adapter.vendorId = 0x0403;
    adapter.productId = 0x6001;
    PortDescription twin = adapter;
    twin.name = QStringLiteral("ttyUSB1");
    twin.location = QStringLiteral("/dev/ttyUSB1");
    twin.serialNumber = QStringLiteral("A10002");
    systemPorts = { adapter, twin };
    click("fresh_Button");

    QComboBox *ports = box("serialPortComboBox");
    QCOMPARE(items(ports), (QStringList { adapter.name, twin.name }));
    QCOMPARE(ports->itemData(0, Qt::ToolTipRole).toString(), adapter.toolTip());
    QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(), twin.toolTip());
    QCOMPARE(ports->toolTip(), adapter.toolTip());
    ports->setCurrentIndex(1);
    QCOMPARE(ports->toolTip(), twin.toolTip());
    ports->clearEditText();
    QTest::keyClicks(ports, QStringLiteral("/dev/pts/12"));
    QCOMPARE(ports->toolTip(), QStringLiteral("/dev/pts/12"));
}

#ifdef HAVE_SIMMODULE

namespace {

// The line rate set on the pseudo-terminal, as the program's port configured it.
speed_t lineSpeed(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return B0;
    termios tio {};
    const speed_t speed = ::tcgetattr(fd, &tio) == 0 ? ::cfgetospeed(&tio) : B0;
    ::close(fd);
    return speed;
}

} // namespace

void tst_RemoteWindow::endToEnd()
{
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");
    MyThread &worker = window->serialWorker();

    QComboBox *ports = box("serialPortComboBox");
    QVERIFY(openPort(module.devicePath()));
    QVERIFY(!ports->isEnabled());
    QCOMPARE(lineSpeed(module.devicePath()), speed_t(B38400));

    choose("CMD_type", QStringLiteral("远程重启"));
    typeInto("DesAddr", QStringLiteral("12 34"));
    click("build");
    QCOMPARE(window->builtFrameBytes(), QByteArray::fromHex("FE 02 21 21 12 34 24"));
    click("sendDate");
    QTRY_COMPARE(module.received(), window->builtFrameBytes());

    // The module's status reply FE 01 61 21 00 41, one time-stamped line.
    QTRY_COMPARE(logLines().size(), 1);
    QCOMPARE(logLines().first().mid(8), QStringLiteral(" 收到数据: FE 01 61 21 00 41 "));
    QVERIFY(QTime::fromString(logLines().first().left(8), QStringLiteral("HH:mm:ss")).isValid());

    choose("baudRateBox", QStringLiteral("115200"));
    QCOMPARE(worker.baudRate(), 115200);
    QTRY_COMPARE(lineSpeed(module.devicePath()), speed_t(B115200));

    click("clean");
    QVERIFY(logLines().isEmpty());

    click("openCom_Button");
    QCOMPARE(buttonText(), Closed);
    QVERIFY(ports->isEnabled());
    QTRY_VERIFY(!worker.isRunning());
}

void tst_RemoteWindow::endToEndFailedOpen()
{
    QComboBox *ports = box("serialPortComboBox");
    QVERIFY(typePortName(QStringLiteral("/dev/no-such-port")));
    click("openCom_Button");
    QTRY_VERIFY(!status().isEmpty());
    QCOMPARE(buttonText(), Closed);
    QVERIFY(ports->isEnabled());
    QTRY_VERIFY(!window->serialWorker().isRunning());

    // The next attempt clears the reason before it tries again.
    click("openCom_Button");
    QVERIFY(status().isEmpty());
    QTRY_VERIFY(!status().isEmpty());
}

void tst_RemoteWindow::scanKeepsTypedPseudoTerminal()
{
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");
    plug({ QStringLiteral("ttyS0") }, QStringLiteral("button"));
    QComboBox *ports = box("serialPortComboBox");
    ports->clearEditText();
    QTest::keyClicks(ports, module.devicePath());
    click("fresh_Button");
    QCOMPARE(items(ports), QStringList { QStringLiteral("ttyS0") });
    QCOMPARE(ports->currentText(), module.devicePath());

    click("openCom_Button");
    QTRY_COMPARE(child<QPushButton>("openCom_Button")->text(), QStringLiteral("关闭串口"));
    QCOMPARE(window->serialWorker().comName(), module.devicePath());
    click("openCom_Button");
    QTRY_VERIFY(!window->serialWorker().isRunning());
}

#endif

QTEST_MAIN(tst_RemoteWindow)
#include "tst_remotewindow.moc"
