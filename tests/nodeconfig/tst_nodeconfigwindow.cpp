#include "widget.h"

#include "portlist.h"
#include "windowdriver.h"
#include "portwatcher.h"

#ifdef HAVE_SIMMODULE
#    include "simulatedmodule.h"
#endif

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray ClearNetworkFrame = QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");

const QStringList ParameterLists {
    QStringLiteral("baudRateBox"), QStringLiteral("NodeType"),     QStringLiteral("channel"),
    QStringLiteral("AddrMode"),    QStringLiteral("stopBitsBox"),  QStringLiteral("SendMode"),
    QStringLiteral("OutPut"),      QStringLiteral("SendAddrMode"), QStringLiteral("ParityBox"),
    QStringLiteral("sleepMode"),   QStringLiteral("WorkMode"),
};
const QStringList PinLists {
    QStringLiteral("IO_1"),  QStringLiteral("IO_2"),  QStringLiteral("IO_3"),
    QStringLiteral("IO_4"),  QStringLiteral("IO_5"),  QStringLiteral("IO_6"),
    QStringLiteral("io_10"), QStringLiteral("io_11"),
};
const QStringList ParameterEdits {
    QStringLiteral("DesAddr"),         QStringLiteral("Divider"),  QStringLiteral("Frequency"),
    QStringLiteral("lineEdit"),        QStringLiteral("MACAddr"),  QStringLiteral("NetId"),
    QStringLiteral("ShortAddr"),       QStringLiteral("SlpCycle"), QStringLiteral("TxPower"),
    QStringLiteral("UartTimeout"),     QStringLiteral("version"),  QStringLiteral("workTimeOut"),
    QStringLiteral("AutoSendTimeOut"), QStringLiteral("ExtPanID"),
};
const QStringList Groups {
    QStringLiteral("groupBox_2"), QStringLiteral("groupBox_6"), QStringLiteral("left"),
    QStringLiteral("right"),      QStringLiteral("others"),
};

using Enabling = QMap<QString, bool>;

} // namespace

class tst_NodeConfigWindow : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void widgetTree_data();
    void widgetTree();
    void fonts_data();
    void fonts();
    void windowFrame();
    void optionLists_data();
    void optionLists();
    void constructorEffects();

    void portState_data();
    void portState();
    void pageRule_data();
    void pageRule();
    void workModeRule_data();
    void workModeRule();
    void closeWhileOnPinPage();

    void portListsMirror_data();
    void portListsMirror();
    void rescan_data();
    void rescan();
    void plugRefillsBothLists();
    void typedPathShowsItsStart();
    void connectWithoutPortName();
    void cleanButtonPlacesClearNetworkFrame();
    void fieldReset_data();
    void fieldReset();

#ifdef HAVE_SIMMODULE
    void endToEndOpenCleanClose();
    void endToEndHangUp();
    void endToEndFailedOpen();
#endif

private:
    QTabWidget *tabs() const
    {
        return child<QTabWidget>(QStringLiteral("tabWidget"));
    }
    QComboBox *workMode() const
    {
        return child<QComboBox>(QStringLiteral("WorkMode"));
    }
    // Switches to the open state as a successful open would, without a port.
    void fakeOpen();
    void fakeClose();
    // A group's own state: the groups of page 1 also follow the page's state.
    bool ownEnabled(const QString &name) const;
    Enabling groupStates() const;
    void click(const QString &button);

    // What the system's enumeration reports, and its device directory.
    QList<PortDescription> systemPorts;
    QTemporaryDir dev;
};

void tst_NodeConfigWindow::initTestCase()
{
    QVERIFY(dev.isValid());
    setPortSource([this] { return systemPorts; });
    PortWatcher::setWatchedDirectory(dev.path());
}

void tst_NodeConfigWindow::cleanupTestCase()
{
    setPortSource({});
    PortWatcher::setWatchedDirectory(QString());
}

void tst_NodeConfigWindow::init()
{
    systemPorts.clear();
    QVERIFY(showWindow());
}

void tst_NodeConfigWindow::cleanup()
{
    window.reset();
}

void tst_NodeConfigWindow::fakeOpen()
{
    window->serialWorker().setComOpened(true);
    window->isComOpen(true);
}

void tst_NodeConfigWindow::fakeClose()
{
    window->serialWorker().setComOpened(false);
    window->isComOpen(false);
}

bool tst_NodeConfigWindow::ownEnabled(const QString &name) const
{
    return !child(name)->testAttribute(Qt::WA_ForceDisabled);
}

Enabling tst_NodeConfigWindow::groupStates() const
{
    Enabling states;
    for (const QString &name : Groups)
        states.insert(name, ownEnabled(name));
    return states;
}

void tst_NodeConfigWindow::click(const QString &button)
{
    auto *widget = child<QPushButton>(button);
    QVERIFY(widget->isEnabled());
    QTest::mouseClick(widget, Qt::LeftButton);
}

// ---- the form ----

void tst_NodeConfigWindow::widgetTree_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text"); // label/button text, group title, line-edit text
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<bool>("builtDisabled");

    const auto row = [](const char *name, const char *kind, const QString &text = QString(),
                        int maxLength = -1, bool builtDisabled = false) {
        QTest::newRow(name) << QString::fromLatin1(kind) << text << maxLength << builtDisabled;
    };
    const auto label = [&row](const char *name, const QString &text) { row(name, "QLabel", text); };
    const auto edit = [&row](const char *name, int maxLength, const QString &text = QString()) {
        row(name, "QLineEdit", text, maxLength);
    };
    const auto combo = [&row](const char *name, bool builtDisabled = false) {
        row(name, "QComboBox", QString(), -1, builtDisabled);
    };
    const auto button = [&row](const char *name, const QString &text, bool builtDisabled = false) {
        row(name, "QPushButton", text, -1, builtDisabled);
    };
    const auto group = [&row](const char *name, const QString &title) {
        row(name, "QGroupBox", title);
    };
    constexpr int Unlimited = 32767;

    label("label_28", QString());
    row("tabWidget", "QTabWidget");
    row("table1", "QWidget");
    row("table2", "QWidget", QString(), -1, true); // the empty work mode hides page 1
    row("table3", "QWidget");

    group("groupBox_2", QStringLiteral("基本参数"));
    label("label_3", QStringLiteral("节点类型："));
    combo("NodeType");
    label("label_11", QStringLiteral("PAN ID:"));
    edit("NetId", 4);
    label("label_10", QStringLiteral("节点短地址："));
    edit("ShortAddr", 4);
    label("label_8", QStringLiteral("无线频点："));
    combo("channel");
    label("label_30", QStringLiteral("扩展PAN ID:"));
    edit("ExtPanID", 16);
    label("label_13", QStringLiteral("MAC地址："));
    edit("MACAddr", 16);
    label("label_18", QStringLiteral("休眠模式："));
    combo("sleepMode");
    label("label_21", QStringLiteral("工作模式"));
    combo("WorkMode");
    label("label_5", QStringLiteral("发射功率："));
    edit("TxPower", 3);
    label("label_12", QStringLiteral("波特率："));
    combo("baudRateBox");
    label("label_15", QStringLiteral("休眠周期："));
    edit("SlpCycle", 2);
    label("label_20", QStringLiteral("工作时间："));
    edit("workTimeOut", 5);
    label("label_14", QStringLiteral("停止位："));
    combo("stopBitsBox");
    label("label_17", QStringLiteral("校验位："));
    combo("ParityBox");
    label("label_19", QStringLiteral("串口超时:"));
    edit("UartTimeout", 2);
    label("label_31", QStringLiteral("清除组网："));
    button("cleanDeviceInfo", QStringLiteral("clean"));
    button("digi_api_build_button", QStringLiteral("DigiAPI透传帧生成工具"));
    label("label_29", QStringLiteral("软件版本："));
    edit("version", 16);

    group("groupBox_6", QStringLiteral("透传模式参数"));
    label("label_7", QStringLiteral("发送模式："));
    combo("SendMode");
    label("label_9", QStringLiteral("地址模式："));
    combo("SendAddrMode");
    label("label_4", QStringLiteral("源地址输出："));
    combo("OutPut");
    label("label_6", QStringLiteral("地址编码："));
    combo("AddrMode");

    group("groupBox", QStringLiteral("通信接口"));
    label("label", QStringLiteral("串口编号："));
    combo("serialPortComboBox");
    button("fresh_Button", QStringLiteral("扫描串口"));
    button("openCom_Button", QStringLiteral("打开串口"));
    button("readDeviceInfo", QStringLiteral("连接设备"));
    button("pushButton", QStringLiteral("保存重启"));
    label("label_16", QStringLiteral("读取信息成功次数："));
    edit("SuccessTimer", Unlimited);
    label("portStatus", QString());

    group("others", QString());
    label("label_22", QStringLiteral("目标地址"));
    edit("DesAddr", 4);
    label("label_23", QStringLiteral("自发时间"));
    edit("AutoSendTimeOut", 4);
    label("label_24", QStringLiteral("分频"));
    edit("Divider", 4);
    label("label_25", QStringLiteral("频率"));
    edit("Frequency", 8);
    group("left", QStringLiteral("left"));
    for (const char *pin : { "IO_1", "IO_2", "IO_3", "IO_4", "IO_5", "IO_6" })
        combo(pin);
    button("RUN", QStringLiteral("RUN"), true);
    button("NET", QStringLiteral(" NET"), true);
    button("ALM", QStringLiteral("ALM"), true);
    button("SLEEP", QStringLiteral("SLEEP"), true);
    for (const char *pin : { "IO_7", "IO_8", "IO_9" })
        combo(pin, true);
    button("CFG", QStringLiteral("CFG"), true);
    label("label_27", QString());
    group("right", QStringLiteral("right"));
    combo("io_10");
    combo("io_11");
    for (const char *pin : { "io_12", "io_13", "io_14", "io_15", "io_16", "io_17", "io_18" })
        combo(pin, true);

    group("groupBox_4", QStringLiteral("GroupBox"));
    label("label_26",
          QStringLiteral("      版本号 客户号 频点 PANID 序列号 RxRSSI TxRSSI   MAC地址"));
    row("RssiTestDisplay", "QTextBrowser");
    group("groupBox_3", QStringLiteral("通信接口"));
    label("label_2", QStringLiteral("串口编号："));
    combo("serialPortComboBox_2");
    button("fresh_Button_2", QStringLiteral("扫描串口"));
    button("openCom_Button_2", QStringLiteral("打开串口"));
    button("startRssiTest", QStringLiteral("开始测试"));
    button("stopRssiTest", QStringLiteral("结束测试"));
    edit("lineEdit", Unlimited, QStringLiteral("00 01 02 03 04 05 06 07 08 09 "));
    button("sendDate", QStringLiteral("发送"));
}

void tst_NodeConfigWindow::widgetTree()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, maxLength);
    QFETCH(bool, builtDisabled);

    QWidget *widget = child(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
    if (kind == QLatin1String("QGroupBox"))
        QCOMPARE(widget->property("title").toString(), text);
    else if (kind != QLatin1String("QComboBox") && widget->property("text").isValid())
        QCOMPARE(widget->property("text").toString(), text);
    if (maxLength >= 0)
        QCOMPARE(widget->property("maxLength").toInt(), maxLength);
    // Disabled by the form itself, not by a disabled parent.
    QCOMPARE(widget->testAttribute(Qt::WA_ForceDisabled), builtDisabled);
}

void tst_NodeConfigWindow::fonts_data()
{
    QTest::addColumn<QString>("family"); // empty: the default family
    QTest::addColumn<int>("pointSize");

    const QString yahei = QStringLiteral("微软雅黑");
    for (const char *name :
         { "baudRateBox", "stopBitsBox", "ParityBox", "sleepMode", "serialPortComboBox",
           "fresh_Button", "openCom_Button", "serialPortComboBox_2", "fresh_Button_2",
           "openCom_Button_2", "cleanDeviceInfo", "readDeviceInfo", "startRssiTest", "sendDate" })
        QTest::newRow(name) << yahei << 10;
    QTest::newRow("lineEdit") << yahei << 9;
    QTest::newRow("NodeType") << QStringLiteral("新宋体") << -1;
    QTest::newRow("label_26") << QString() << 8;
}

void tst_NodeConfigWindow::fonts()
{
    QFETCH(QString, family);
    QFETCH(int, pointSize);

    const QFont font = child(QString::fromLatin1(QTest::currentDataTag()))->font();
    if (!family.isEmpty())
        QCOMPARE(font.family(), family);
    if (pointSize > 0)
        QCOMPARE(font.pointSize(), pointSize);
    QVERIFY(!font.bold());
}

void tst_NodeConfigWindow::windowFrame()
{
    QCOMPARE(window->minimumSize(), QSize(650, 660));
    QCOMPARE(window->maximumSize(), QSize(650, 660));
    QCOMPARE(window->size(), QSize(650, 660));

    for (const char *name : { "label_28", "label_27" }) {
        const auto *picture = child<QLabel>(QString::fromLatin1(name));
        QVERIFY2(!picture->pixmap().isNull(), name);
    }
    QVERIFY(child<QLabel>(QStringLiteral("label_28"))->hasScaledContents());

    auto *typed = child<QComboBox>(QStringLiteral("serialPortComboBox"));
    QVERIFY(typed->isEditable());
    QCOMPARE(typed->insertPolicy(), QComboBox::NoInsert);
}

void tst_NodeConfigWindow::optionLists_data()
{
    QTest::addColumn<QStringList>("items");

    // The item index is the value's code: order and texts written out as the module knows them.
    const QStringList pinOne { "无",      "开关量采集", "高低电平输入", "高低电平输出",
                               "PWM输出", "DS18B20",    "DHT21" };
    const QStringList pinTwo { "无",      "开关量采集", "高低电平输入", "高低电平输出", "PWM输出",
                               "DS18B20", "4-20MA输入", "0-5V输入",     "DHT21" };
    const QStringList pinThree { "无",      "开关量采集", "高低电平输入", "高低电平输出",
                                 "DS18B20", "4-20MA输入", "0-5V输入",     "DHT21" };
    QTest::newRow("baudRateBox") << QStringList { "", "9600", "19200", "38400", "57600", "115200" };
    QTest::newRow("NodeType") << QStringList { "", "Coordinator", "Router", "Enddevice" };
    QTest::newRow("channel") << QStringList { "",     "0x0B", "0x0C", "0x0D", "0x0E", "0x0F",
                                              "0x10", "0x11", "0x12", "0x13", "0x14", "0x15",
                                              "0x16", "0x17", "0x18", "0x19", "0x1A" };
    QTest::newRow("AddrMode") << QStringList { "", "Hex", "ASCII" };
    QTest::newRow("stopBitsBox") << QStringList { "", "1", "2" };
    QTest::newRow("SendMode") << QStringList { "", "广播", "主从", "点对点" };
    QTest::newRow("OutPut") << QStringList { "", "no", "yes" };
    QTest::newRow("SendAddrMode") << QStringList { "", "短地址", "长地址" };
    QTest::newRow("ParityBox") << QStringList { "", "无", "奇校验", "偶校验" };
    QTest::newRow("sleepMode") << QStringList { "", "自动休眠", "IO控制休眠" };
    QTest::newRow("WorkMode") << QStringList { "", "透传模式", "API模式", "MODBUS模式",
                                               "DigiAPI模式" };
    QTest::newRow("IO_1") << pinOne;
    QTest::newRow("IO_2") << pinTwo;
    QTest::newRow("IO_3") << pinThree;
    QTest::newRow("IO_4") << pinThree;
    QTest::newRow("IO_5") << pinThree;
    QTest::newRow("IO_6") << pinThree;
    QTest::newRow("io_10") << pinOne;
    QTest::newRow("io_11") << pinTwo;
    for (const char *pin :
         { "IO_7", "IO_8", "IO_9", "io_12", "io_13", "io_14", "io_15", "io_16", "io_17", "io_18" })
        QTest::newRow(pin) << QStringList();
}

void tst_NodeConfigWindow::optionLists()
{
    QFETCH(QStringList, items);

    const auto *list = child<QComboBox>(QString::fromLatin1(QTest::currentDataTag()));
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(list->currentIndex(), items.isEmpty() ? -1 : 0);
}

void tst_NodeConfigWindow::constructorEffects()
{
    MyThread &worker = window->serialWorker();
    // The setters ran while the lists were filled; their frames must not stay pending.
    QCOMPARE(worker.txData(), QByteArray());
    QVERIFY(!worker.sendRequest());
    QVERIFY(!worker.comOpened());
    QVERIFY(!worker.isRunning());
    QVERIFY(!window->isUpdatingFields());

    QTabWidget *tabWidget = tabs();
    QCOMPARE(tabWidget->count(), 2);
    QCOMPARE(tabWidget->tabText(0), QStringLiteral("基本参数"));
    QCOMPARE(tabWidget->tabText(1), QStringLiteral("API参数"));
    QCOMPARE(tabWidget->indexOf(child(QStringLiteral("table3"))), -1);
    QCOMPARE(tabWidget->currentIndex(), 0);
    QVERIFY(!tabWidget->isTabEnabled(1));
    QVERIFY(!child(QStringLiteral("table2"))->isEnabled());

    const Enabling allOn { { "groupBox_2", true },
                           { "groupBox_6", true },
                           { "left", true },
                           { "right", true },
                           { "others", true } };
    QCOMPARE(groupStates(), allOn);
    QVERIFY(child(QStringLiteral("groupBox"))->isEnabled());
    QVERIFY(child(QStringLiteral("serialPortComboBox"))->isEnabled());
    QCOMPARE(buttonText(), Closed);
    QCOMPARE(status(), QString());
}

// ---- enabling ----

void tst_NodeConfigWindow::portState_data()
{
    QTest::addColumn<bool>("closeFirst");
    QTest::addColumn<bool>("open");
    QTest::addColumn<Enabling>("groups");

    // Opening switches on only the two parameter groups; the pin groups and `others` stay
    // as the last close left them.
    QTest::newRow("open after start") << false << true
                                      << Enabling { { "groupBox_2", true },
                                                    { "groupBox_6", true },
                                                    { "left", true },
                                                    { "right", true },
                                                    { "others", true } };
    QTest::newRow("open after close") << true << true
                                      << Enabling { { "groupBox_2", true },
                                                    { "groupBox_6", true },
                                                    { "left", false },
                                                    { "right", false },
                                                    { "others", false } };
    QTest::newRow("close") << false << false
                           << Enabling { { "groupBox_2", false },
                                         { "groupBox_6", false },
                                         { "left", false },
                                         { "right", false },
                                         { "others", false } };
}

void tst_NodeConfigWindow::portState()
{
    QFETCH(bool, closeFirst);
    QFETCH(bool, open);
    QFETCH(Enabling, groups);

    if (closeFirst)
        fakeClose();
    if (open)
        fakeOpen();
    else
        fakeClose();

    QCOMPARE(groupStates(), groups);
    const QString buttonText = open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口");
    for (const char *name : { "openCom_Button", "openCom_Button_2" })
        QCOMPARE(child<QPushButton>(QString::fromLatin1(name))->text(), buttonText);
    for (const char *name : { "serialPortComboBox", "serialPortComboBox_2" })
        QCOMPARE(child(QString::fromLatin1(name))->isEnabled(), !open);
}

void tst_NodeConfigWindow::pageRule_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QList<int>>("pages"); // made current in this order
    QTest::addColumn<bool>("others");
    QTest::addColumn<bool>("groupBox_2");

    QTest::newRow("open, to page 1") << true << QList<int> { 1 } << true << false;
    QTest::newRow("open, page 1 and back") << true << QList<int> { 1, 0 } << false << true;
    // Closed: page changes switch nothing, so both stay as built.
    QTest::newRow("closed, to page 1") << false << QList<int> { 1 } << true << true;
    QTest::newRow("closed, page 1 and back") << false << QList<int> { 1, 0 } << true << true;
}

void tst_NodeConfigWindow::pageRule()
{
    QFETCH(bool, portOpen);
    QFETCH(QList<int>, pages);
    QFETCH(bool, others);
    QFETCH(bool, groupBox_2);

    workMode()->setCurrentIndex(2); // "API模式" makes page 1 reachable
    QVERIFY(tabs()->isTabEnabled(1));
    // The rule asks the worker whether a port is up.
    window->serialWorker().setComOpened(portOpen);

    for (int page : pages) {
        tabs()->setCurrentIndex(page);
        QCOMPARE(tabs()->currentIndex(), page);
    }
    QCOMPARE(ownEnabled(QStringLiteral("others")), others);
    QCOMPARE(child(QStringLiteral("groupBox_2"))->isEnabled(), groupBox_2);
}

void tst_NodeConfigWindow::workModeRule_data()
{
    QTest::addColumn<bool>("pinsOffFirst"); // a close has switched left and right off
    QTest::addColumn<QList<int>>("modes"); // WorkMode indexes, set in this order
    QTest::addColumn<bool>("page1");
    QTest::addColumn<bool>("pins");

    QTest::newRow("透传模式 leaves pins off") << true << QList<int> { 1 } << false << false;
    QTest::newRow("API模式") << true << QList<int> { 2 } << true << true;
    QTest::newRow("MODBUS模式") << true << QList<int> { 3 } << true << true;
    QTest::newRow("DigiAPI模式") << true << QList<int> { 4 } << true << true;
    QTest::newRow("empty item switches pins on") << true << QList<int> { 1, 0 } << false << true;
    QTest::newRow("API模式 to 透传模式 keeps pins on")
            << false << QList<int> { 2, 1 } << false << true;
}

void tst_NodeConfigWindow::workModeRule()
{
    QFETCH(bool, pinsOffFirst);
    QFETCH(QList<int>, modes);
    QFETCH(bool, page1);
    QFETCH(bool, pins);

    if (pinsOffFirst) {
        fakeClose();
        QVERIFY(!ownEnabled(QStringLiteral("left")));
    }
    for (int mode : modes)
        workMode()->setCurrentIndex(mode);

    QCOMPARE(tabs()->isTabEnabled(1), page1);
    QCOMPARE(child(QStringLiteral("table2"))->isEnabled(), page1);
    QCOMPARE(ownEnabled(QStringLiteral("left")), pins);
    QCOMPARE(ownEnabled(QStringLiteral("right")), pins);
}

void tst_NodeConfigWindow::closeWhileOnPinPage()
{
    fakeOpen();
    workMode()->setCurrentIndex(2);
    tabs()->setCurrentIndex(1);
    QVERIFY(ownEnabled(QStringLiteral("others")));
    QVERIFY(!child(QStringLiteral("groupBox_2"))->isEnabled());

    // 透传模式 takes page 1 away: the tab bar falls back to page 0 and the page rule runs.
    workMode()->setCurrentIndex(1);
    QCOMPARE(tabs()->currentIndex(), 0);
    QVERIFY(!ownEnabled(QStringLiteral("others")));
    QVERIFY(child(QStringLiteral("groupBox_2"))->isEnabled());

    workMode()->setCurrentIndex(2);
    tabs()->setCurrentIndex(1);
    // The reset inside the close returns WorkMode to its empty item, which hides page 1.
    fakeClose();
    QCOMPARE(tabs()->currentIndex(), 0);
    QVERIFY(!tabs()->isTabEnabled(1));
    const Enabling allOff { { "groupBox_2", false },
                            { "groupBox_6", false },
                            { "left", false },
                            { "right", false },
                            { "others", false } };
    QCOMPARE(groupStates(), allOff);
}

// ---- ports ----

void tst_NodeConfigWindow::portListsMirror_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    QTest::newRow("page 0 to test page")
            << QStringLiteral("serialPortComboBox") << QStringLiteral("serialPortComboBox_2");
    QTest::newRow("test page to page 0")
            << QStringLiteral("serialPortComboBox_2") << QStringLiteral("serialPortComboBox");
}

void tst_NodeConfigWindow::portListsMirror()
{
    QFETCH(QString, from);
    QFETCH(QString, to);

    const QStringList names { QStringLiteral("ttyA"), QStringLiteral("ttyB"),
                              QStringLiteral("ttyC") };
    for (const char *name : { "serialPortComboBox", "serialPortComboBox_2" }) {
        auto *list = child<QComboBox>(QString::fromLatin1(name));
        list->clear();
        list->addItems(names);
    }
    child<QComboBox>(from)->setCurrentIndex(2);
    QCOMPARE(child<QComboBox>(to)->currentIndex(), 2);
    child<QComboBox>(from)->setCurrentIndex(1);
    QCOMPARE(child<QComboBox>(to)->currentText(), QStringLiteral("ttyB"));
    QCOMPARE(child<QComboBox>(from)->currentIndex(), 1);
}

void tst_NodeConfigWindow::rescan_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("portOpen");

    QTest::newRow("page 0") << QStringLiteral("fresh_Button") << false;
    QTest::newRow("test page") << QStringLiteral("fresh_Button_2") << false;
    QTest::newRow("while open") << QStringLiteral("fresh_Button") << true;
}

void tst_NodeConfigWindow::rescan()
{
    QFETCH(QString, button);
    QFETCH(bool, portOpen);

    if (portOpen)
        fakeOpen();
    for (const char *name : { "serialPortComboBox", "serialPortComboBox_2" })
        child<QComboBox>(QString::fromLatin1(name))->addItem(QStringLiteral("gone"));
    // The test page is never shown; its button is pressed directly.
    child<QPushButton>(button)->click();

    const QStringList expected = availablePortNames();
    for (const char *name : { "serialPortComboBox", "serialPortComboBox_2" }) {
        const auto *list = child<QComboBox>(QString::fromLatin1(name));
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->itemText(i);
        QCOMPARE(shown, expected);
    }
    QCOMPARE(window->serialWorker().comOpened(), portOpen);
}

void tst_NodeConfigWindow::plugRefillsBothLists()
{
    const auto lists = [this] {
        QList<QPair<QStringList, int>> shown;
        for (const char *name : { "serialPortComboBox", "serialPortComboBox_2" }) {
            const auto *list = child<QComboBox>(QString::fromLatin1(name));
            QStringList names;
            for (int i = 0; i < list->count(); ++i)
                names << list->itemText(i);
            shown.append({ names, list->currentIndex() });
        }
        return shown;
    };
    const auto plug = [this](const QStringList &names, const QString &node) {
        systemPorts.clear();
        for (const QString &name : names) {
            PortDescription port;
            port.name = name;
            port.location = QStringLiteral("/dev/") + name;
            systemPorts.append(port);
        }
        QFile file(dev.filePath(node));
        if (file.exists())
            QVERIFY(file.remove());
        else
            QVERIFY(file.open(QIODevice::WriteOnly));
    };
    const QString usb0 = QStringLiteral("ttyUSB0");
    const QString usb1 = QStringLiteral("ttyUSB1");

    plug({ usb0 }, usb0);
    QTRY_COMPARE(lists(), (QList<QPair<QStringList, int>> { { { usb0 }, 0 }, { { usb0 }, 0 } }));
    plug({ usb0, usb1 }, usb1);
    child<QComboBox>(QStringLiteral("serialPortComboBox"))->setCurrentIndex(1);
    plug({ usb1 }, usb0);
    QTRY_COMPARE(lists(), (QList<QPair<QStringList, int>> { { { usb1 }, 0 }, { { usb1 }, 0 } }));
    QCOMPARE(child<QComboBox>(QStringLiteral("serialPortComboBox"))->toolTip(),
             QStringLiteral("/dev/ttyUSB1"));
}

// The box is narrower than most device paths: left, it shows where the path starts. While it
// is being typed, a port plugged in leaves the text and the cursor as they are.
void tst_NodeConfigWindow::typedPathShowsItsStart()
{
    QApplication::setActiveWindow(window.get());
    auto *list = child<QComboBox>(QStringLiteral("serialPortComboBox"));
    list->lineEdit()->setFocus();
    QTRY_VERIFY(list->lineEdit()->hasFocus());
    QVERIFY(typePortName(QStringLiteral("/dev/pt")));
    PortDescription usb;
    usb.name = QStringLiteral("ttyUSB0");
    systemPorts.append(usb);
    QFile node(dev.filePath(usb.name));
    QVERIFY(node.open(QIODevice::WriteOnly));
    QTRY_COMPARE(list->count(), 1);
    QTest::keyClicks(list->lineEdit(), QStringLiteral("s/0"));
    QCOMPARE(list->currentText(), QStringLiteral("/dev/pts/0"));
    child<QPushButton>(QStringLiteral("openCom_Button"))->setFocus();
    QTRY_COMPARE(list->lineEdit()->cursorPosition(), 0);
    QCOMPARE(list->toolTip(), QStringLiteral("/dev/pts/0"));
}

void tst_NodeConfigWindow::connectWithoutPortName()
{
    child<QComboBox>(QStringLiteral("serialPortComboBox"))->clearEditText();
    click(QStringLiteral("openCom_Button"));
    QVERIFY(!window->serialWorker().isRunning());
    QCOMPARE(buttonText(), Closed);
}

void tst_NodeConfigWindow::cleanButtonPlacesClearNetworkFrame()
{
    MyThread &worker = window->serialWorker();
    worker.submit(QByteArray::fromHex("FE 00 21 15 34")); // an untaken frame stays ahead
    click(QStringLiteral("cleanDeviceInfo"));
    QCOMPARE(worker.pendingTransmissions(),
             (QList<QByteArray> { QByteArray::fromHex("FE 00 21 15 34"), ClearNetworkFrame }));
    QVERIFY(worker.sendRequest());
}

// ---- field reset ----

void tst_NodeConfigWindow::fieldReset_data()
{
    QTest::addColumn<QString>("field");

    for (const QString &name : ParameterLists + PinLists + ParameterEdits)
        QTest::newRow(qPrintable(name)) << name;
}

void tst_NodeConfigWindow::fieldReset()
{
    QFETCH(QString, field);

    QWidget *widget = child(field);
    auto *list = qobject_cast<QComboBox *>(widget);
    auto *edit = qobject_cast<QLineEdit *>(widget);
    QVERIFY(list || edit);
    if (list)
        list->setCurrentIndex(list->count() - 1);
    else
        edit->setText(QStringLiteral("12"));
    auto *counter = child<QLineEdit>(QStringLiteral("SuccessTimer"));
    counter->setText(QStringLiteral("7"));
    MyThread &worker = window->serialWorker();
    worker.clearTxData();

    fakeClose();

    if (list)
        QCOMPARE(list->currentIndex(), 0);
    else
        QCOMPARE(edit->text(), QString());
    QCOMPARE(counter->text(), QStringLiteral("7"));
    QVERIFY(!window->isUpdatingFields());
    // The setters that fire during the reset send nothing.
    QCOMPARE(worker.txData(), QByteArray());
    QVERIFY(!worker.sendRequest());
}

// ---- against the simulated module ----

#ifdef HAVE_SIMMODULE

void tst_NodeConfigWindow::endToEndOpenCleanClose()
{
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");

    QVERIFY(openPort(module.devicePath()));
    QCOMPARE(child<QPushButton>(QStringLiteral("openCom_Button_2"))->text(), Open);
    QVERIFY(child(QStringLiteral("groupBox_2"))->isEnabled());
    QVERIFY(child(QStringLiteral("groupBox_6"))->isEnabled());
    QVERIFY(!child(QStringLiteral("serialPortComboBox"))->isEnabled());

    // Everything the module ever received is the clear-network frame: nothing went out at
    // the open, and the frame went out whole.
    click(QStringLiteral("cleanDeviceInfo"));
    QTRY_COMPARE(module.received(), ClearNetworkFrame);

    child<QLineEdit>(QStringLiteral("NetId"))->setText(QStringLiteral("1234"));
    click(QStringLiteral("openCom_Button"));
    QCOMPARE(buttonText(), Closed);
    QCOMPARE(child<QLineEdit>(QStringLiteral("NetId"))->text(), QString());
    QVERIFY(!child(QStringLiteral("groupBox_2"))->isEnabled());
    QVERIFY(!child(QStringLiteral("groupBox_6"))->isEnabled());
    QVERIFY(child(QStringLiteral("serialPortComboBox"))->isEnabled());
    QTRY_VERIFY(!window->serialWorker().comOpened());
    QTRY_VERIFY(window->serialWorker().isFinished());
}

void tst_NodeConfigWindow::endToEndHangUp()
{
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");

    QVERIFY(openPort(module.devicePath()));
    child<QLineEdit>(QStringLiteral("ShortAddr"))->setText(QStringLiteral("0001"));

    module.hangUp();
    QTRY_COMPARE(buttonText(), Closed);
    QVERIFY(!status().isEmpty());
    QCOMPARE(child<QLineEdit>(QStringLiteral("ShortAddr"))->text(), QString());
    QVERIFY(!child(QStringLiteral("groupBox_2"))->isEnabled());
    QVERIFY(child(QStringLiteral("serialPortComboBox"))->isEnabled());
    QVERIFY(!window->serialWorker().comOpened());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void tst_NodeConfigWindow::endToEndFailedOpen()
{
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");

    QVERIFY(typePortName(QStringLiteral("/dev/cc2530-no-such-port")));
    click(QStringLiteral("openCom_Button"));
    QTRY_VERIFY(!status().isEmpty());
    QCOMPARE(buttonText(), Closed);
    QVERIFY(child(QStringLiteral("serialPortComboBox"))->isEnabled());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // The next click opens (it does not take the stop path) and clears the message.
    QVERIFY(typePortName(module.devicePath()));
    click(QStringLiteral("openCom_Button"));
    QCOMPARE(status(), QString());
    QTRY_COMPARE(buttonText(), Open);
    QVERIFY(window->serialWorker().comOpened());
}

#endif

QTEST_MAIN(tst_NodeConfigWindow)

#include "tst_nodeconfigwindow.moc"
