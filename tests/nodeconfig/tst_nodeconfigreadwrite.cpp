#include "widget.h"

#include "commandframe.h"
#include "windowdriver.h"

#ifdef HAVE_SIMMODULE
#    include "simulatedmodule.h"
#endif

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

namespace {

const QByteArray ClearNetworkFrame = QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");

// Every field set to something recognisable (see the protocol test for the byte meanings).
const QByteArray FullReply = QByteArray::fromHex("FE 39 61 08"
                                                 " 01 34 12 CD AB 00 88 00 00 02 02 01 01 0B 95 04"
                                                 " 01 02 03 04 05 06 07 08 04 02 01 0A 1E 8B 03"
                                                 " 10 08 09 05 0B 10 20 20 03 0B 05 AA BB CC"
                                                 " 02 01 FF 00 11 22 33 44 55 66 77 88"
                                                 " 3B");

QByteArray patched(int offset, const QByteArray &bytes)
{
    QByteArray payload = FullReply.mid(4, FullReply.size() - 5);
    payload.replace(offset - 4, bytes.size(), bytes);
    return CommandFrame::build(0x61, 0x08, payload);
}

using Fields = QMap<QString, QVariant>;

} // namespace

class tst_NodeConfigReadWrite : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void listSetters_data();
    void listSetters();
    void textSetters_data();
    void textSetters();
    void validators_data();
    void validators();
    void emptyHexTextSendsNothing();
    void macAddrSendsNothing();
    void saveAndRestart();
    void readRequest();

    void decodeFullReply();
    void decodeSendsNothing();
    void invalidRepliesChangeNothing_data();
    void invalidRepliesChangeNothing();
    void channelKeptOnZeroMask();
    void workModeKeptOnUnknownCode();
    void textsCutToFieldLength();
    void counterWraps();

#ifdef HAVE_SIMMODULE
    void endToEndReadAndWrite();
#endif

private:
    void resetLine();
    void selectFresh(const QString &list, int index);
    void type(const QString &edit, const QString &text);
    void feed(const QByteArray &bytes);
    Fields shownFields() const;
};

void tst_NodeConfigReadWrite::init()
{
    QVERIFY(showWindow());
    QCOMPARE(window->serialWorker().txData(), QByteArray());
}

void tst_NodeConfigReadWrite::cleanup()
{
    window.reset();
}

// Forgets whatever earlier steps placed.
void tst_NodeConfigReadWrite::resetLine()
{
    window->serialWorker().clearTxData();
}

// Selects index in a list so that its change signal fires, with the line reset before.
void tst_NodeConfigReadWrite::selectFresh(const QString &list, int index)
{
    auto *box = child<QComboBox>(list);
    if (box->currentIndex() == index)
        box->setCurrentIndex(index == 0 ? 1 : 0);
    resetLine();
    box->setCurrentIndex(index);
}

void tst_NodeConfigReadWrite::type(const QString &edit, const QString &text)
{
    auto *field = child<QLineEdit>(edit);
    QVERIFY(field->isEnabled());
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void tst_NodeConfigReadWrite::feed(const QByteArray &bytes)
{
    window->serialWorker().appendRxData(bytes);
    window->checkRxData();
}

Fields tst_NodeConfigReadWrite::shownFields() const
{
    Fields fields;
    for (const char *name :
         { "NodeType", "channel", "OutPut", "SendMode", "AddrMode", "SendAddrMode", "baudRateBox",
           "stopBitsBox", "ParityBox", "sleepMode", "WorkMode", "IO_1", "IO_2", "IO_3", "IO_4",
           "IO_5", "IO_6", "io_10", "io_11" }) {
        fields.insert(QString::fromLatin1(name),
                      child<QComboBox>(QString::fromLatin1(name))->currentIndex());
    }
    for (const char *name : { "NetId", "ShortAddr", "SlpCycle", "version", "TxPower", "MACAddr",
                              "UartTimeout", "workTimeOut", "Divider", "Frequency", "DesAddr",
                              "AutoSendTimeOut", "ExtPanID", "SuccessTimer" }) {
        fields.insert(QString::fromLatin1(name),
                      child<QLineEdit>(QString::fromLatin1(name))->text());
    }
    return fields;
}

// ---- writes ----

void tst_NodeConfigReadWrite::listSetters_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("expected");

    const auto row = [](const char *name, const char *list, int index, const QByteArray &bytes) {
        QTest::newRow(name) << QString::fromLatin1(list) << index << bytes;
    };
    const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
    row("NodeType Router", "NodeType", 2, hex("FE 05 21 09 87 00 00 01 01 AA") + ClearNetworkFrame);
    row("channel 0x0F", "channel", 5,
        hex("FE 08 21 09 84 00 00 04 00 80 00 00 20") + ClearNetworkFrame);
    row("SendMode 点对点", "SendMode", 3, hex("FE 05 21 09 03 04 00 01 02 29"));
    row("AddrMode ASCII", "AddrMode", 2, hex("FE 05 21 09 0C 04 00 01 01 25"));
    row("baudRateBox 115200", "baudRateBox", 5, hex("FE 05 21 09 0B 04 00 01 04 27"));
    row("OutPut empty", "OutPut", 0, hex("FE 05 21 09 0E 04 00 01 00 26"));
    row("stopBitsBox 2", "stopBitsBox", 2, hex("FE 05 21 09 0F 04 00 01 04 23"));
    row("ParityBox 偶校验", "ParityBox", 3, hex("FE 05 21 09 10 04 00 01 02 3A"));
    row("sleepMode empty", "sleepMode", 0, hex("FE 05 21 09 12 04 00 01 FF C5"));
    row("SendAddrMode 长地址", "SendAddrMode", 2, hex("FE 05 21 09 0D 04 00 01 01 24"));
    row("WorkMode 透传模式", "WorkMode", 1, hex("FE 05 21 09 16 04 00 01 FF C1"));
    // Pins by item text: index 4 is PWM on IO_2 but DS18B20 on IO_3.
    row("IO_2 PWM输出", "IO_2", 4, hex("FE 05 21 09 16 04 02 01 10 2C"));
    row("IO_3 DS18B20", "IO_3", 4, hex("FE 05 21 09 16 04 03 01 09 34"));
    row("IO_1 无", "IO_1", 0, hex("FE 05 21 09 16 04 01 01 FF C0"));
    row("IO_4 4-20MA输入", "IO_4", 5, hex("FE 05 21 09 16 04 04 01 05 3F"));
    row("IO_5 0-5V输入", "IO_5", 6, hex("FE 05 21 09 16 04 05 01 08 33"));
    row("IO_6 DHT21", "IO_6", 7, hex("FE 05 21 09 16 04 06 01 0B 33"));
    row("io_10 DHT21", "io_10", 6, hex("FE 05 21 09 16 04 0A 01 0B 3F"));
    row("io_11 0-5V输入", "io_11", 7, hex("FE 05 21 09 16 04 0B 01 08 3D"));
}

void tst_NodeConfigReadWrite::listSetters()
{
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(QByteArray, expected);

    selectFresh(list, index);
    QCOMPARE(window->serialWorker().txData().toHex(' '), expected.toHex(' '));
    QVERIFY(window->serialWorker().sendRequest());
}

void tst_NodeConfigReadWrite::textSetters_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    const auto row = [](const char *name, const char *edit, const char *text,
                        const QByteArray &bytes) {
        QTest::newRow(name) << QString::fromLatin1(edit) << QString::fromLatin1(text) << bytes;
    };
    const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
    row("NetId lower case", "NetId", "1a2b",
        hex("FE 06 21 09 83 00 00 02 2B 1A 9E") + ClearNetworkFrame);
    row("ShortAddr odd digit", "ShortAddr", "123", hex("FE 06 21 09 11 04 00 02 23 01 1B"));
    row("DesAddr one byte", "DesAddr", "12", hex("FE 06 21 09 17 04 00 02 00 12 2D"));
    row("AutoSendTimeOut", "AutoSendTimeOut", "00FF", hex("FE 06 21 09 18 04 00 02 FF 00 CF"));
    row("SlpCycle 99", "SlpCycle", "99", hex("FE 05 21 09 2B 00 00 01 C6 C1"));
    row("UartTimeout 6", "UartTimeout", "6", hex("FE 05 21 09 13 04 00 01 06 3D"));
    row("workTimeOut 10", "workTimeOut", "10", hex("FE 05 21 09 14 04 00 01 0A 36"));
    row("TxPower -22", "TxPower", "-22", hex("FE 01 21 14 EA DE"));
    row("Divider 0128", "Divider", "0128", hex("FE 05 21 09 05 04 00 01 80 AD"));
    row("Frequency short text", "Frequency", "9c40", hex("FE 04 21 2B 40 9C 00 00 D2"));
    row("ExtPanID", "ExtPanID", "0123456789abcdef",
        hex("FE 0C 21 09 47 00 00 08 EF CD AB 89 67 45 23 01 6B"));
}

void tst_NodeConfigReadWrite::textSetters()
{
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    // The page-1 fields are usable in the pin modes only.
    child<QComboBox>(QStringLiteral("WorkMode"))->setCurrentIndex(2);
    resetLine();
    type(edit, text);
    QCOMPARE(child<QLineEdit>(edit)->text(), text);
    QCOMPARE(window->serialWorker().txData().toHex(' '), expected.toHex(' '));
    QVERIFY(window->serialWorker().sendRequest());
}

void tst_NodeConfigReadWrite::validators_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    // Hex fields take their validator at their first finished edit.
    QTest::newRow("NetId") << "NetId"
                           << "g1h-2"
                           << "12";
    QTest::newRow("ShortAddr") << "ShortAddr"
                               << "zAb"
                               << "Ab";
    QTest::newRow("Frequency") << "Frequency"
                               << "0x1E"
                               << "01E";
    QTest::newRow("ExtPanID") << "ExtPanID"
                              << "01 23"
                              << "0123";
    QTest::newRow("SlpCycle") << "SlpCycle"
                              << "a9x9"
                              << "99";
    QTest::newRow("UartTimeout negative") << "UartTimeout"
                                          << "-5"
                                          << "5";
    QTest::newRow("TxPower negative") << "TxPower"
                                      << "-22"
                                      << "-22";
    QTest::newRow("TxPower no hex") << "TxPower"
                                    << "1a"
                                    << "1";
    QTest::newRow("workTimeOut") << "workTimeOut"
                                 << "2b5"
                                 << "25";
    QTest::newRow("Divider 32") << "Divider"
                                << "0032"
                                << "0032";
    QTest::newRow("Divider no other values") << "Divider"
                                             << "64"
                                             << "";
    QTest::newRow("Divider no hex") << "Divider"
                                    << "1a"
                                    << "1";
}

void tst_NodeConfigReadWrite::validators()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    child<QComboBox>(QStringLiteral("WorkMode"))->setCurrentIndex(2);
    const bool hexField = !child<QLineEdit>(edit)->validator();
    if (hexField)
        type(edit, QStringLiteral("1"));
    type(edit, typed);
    QCOMPARE(child<QLineEdit>(edit)->text(), kept);
    // The decimal fields never hand a validator to another field.
    if (!hexField)
        QVERIFY(!child<QLineEdit>(QStringLiteral("ShortAddr"))->validator());
}

void tst_NodeConfigReadWrite::emptyHexTextSendsNothing()
{
    for (const char *name : { "NetId", "ShortAddr", "ExtPanID" }) {
        const QString edit = QString::fromLatin1(name);
        resetLine();
        // The first edit finishes even on an empty text: there is no validator yet.
        QTest::keyClick(child<QLineEdit>(edit), Qt::Key_Return);
        QVERIFY2(child<QLineEdit>(edit)->validator(), name);
        QCOMPARE(window->serialWorker().txData(), QByteArray());
        QVERIFY(!window->serialWorker().sendRequest());
    }
}

void tst_NodeConfigReadWrite::macAddrSendsNothing()
{
    resetLine();
    type(QStringLiteral("MACAddr"), QStringLiteral("0011223344556677"));
    QCOMPARE(window->serialWorker().txData(), QByteArray());
    QVERIFY(!window->serialWorker().sendRequest());
}

void tst_NodeConfigReadWrite::saveAndRestart()
{
    resetLine();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("pushButton")), Qt::LeftButton);
    QCOMPARE(window->serialWorker().txData(), QByteArray::fromHex("FE 01 41 00 00 40"));
    QVERIFY(window->serialWorker().sendRequest());
}

void tst_NodeConfigReadWrite::readRequest()
{
    child<QComboBox>(QStringLiteral("SendMode"))->setCurrentIndex(2);
    const QList<QByteArray> write = window->serialWorker().pendingTransmissions();
    QCOMPARE(write.size(), 1);
    // The request goes out after the pending write, and once however often it is pressed.
    QTest::mouseClick(child<QPushButton>(QStringLiteral("readDeviceInfo")), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(QStringLiteral("readDeviceInfo")), Qt::LeftButton);
    QCOMPARE(window->serialWorker().pendingTransmissions(),
             write + QList<QByteArray> { QByteArray::fromHex("FE 00 21 15 34") });
    QVERIFY(window->serialWorker().sendRequest());
}

// ---- reads ----

void tst_NodeConfigReadWrite::decodeFullReply()
{
    QTest::ignoreMessage(QtDebugMsg, "校验正确");
    QTest::ignoreMessage(QtDebugMsg, "10"); // IO_1's code
    QTest::ignoreMessage(QtDebugMsg, " 9c40"); // the frequency
    feed(FullReply);

    const Fields expected {
        { "NodeType", 2 },
        { "channel", 5 },
        { "OutPut", 2 },
        { "SendMode", 3 },
        { "AddrMode", 2 },
        { "SendAddrMode", 2 },
        { "baudRateBox", 5 },
        { "stopBitsBox", 2 },
        { "ParityBox", 3 },
        { "sleepMode", 2 },
        { "WorkMode", 2 },
        { "IO_1", 4 },
        { "IO_2", 7 },
        { "IO_3", 4 },
        { "IO_4", 5 },
        { "IO_5", 7 },
        { "IO_6", 0 },
        { "io_10", 6 },
        { "io_11", 6 },
        { "NetId", "1234" },
        { "ShortAddr", "ABCD" },
        { "SlpCycle", "5" },
        { "version", "1.1.1" },
        { "TxPower", "19" },
        { "MACAddr", "0807060504030201" },
        { "UartTimeout", "10" },
        { "workTimeOut", "30" },
        { "Divider", "0032" },
        { "Frequency", "00009C40" },
        { "DesAddr", "0102" },
        { "AutoSendTimeOut", "00FF" },
        { "ExtPanID", "8877665544332211" },
        { "SuccessTimer", "01" },
    };
    QCOMPARE(shownFields(), expected);
    QVERIFY(child<QTabWidget>(QStringLiteral("tabWidget"))->isTabEnabled(1));
    QCOMPARE(window->serialWorker().rxData(), QByteArray());
    QVERIFY(!window->isUpdatingFields());
}

void tst_NodeConfigReadWrite::decodeSendsNothing()
{
    // Every list changes from its empty item; each setter runs and must find the flag set.
    QList<bool> flagSeen;
    QList<QMetaObject::Connection> watches;
    for (const char *name : { "NodeType", "channel", "WorkMode", "IO_1", "io_11", "baudRateBox" }) {
        watches << connect(child<QComboBox>(QString::fromLatin1(name)),
                           &QComboBox::currentIndexChanged, this,
                           [&] { flagSeen.append(window->isUpdatingFields()); });
    }
    resetLine();
    feed(FullReply);
    for (const auto &watch : std::as_const(watches))
        disconnect(watch);
    QCOMPARE(flagSeen, QList<bool>(6, true));
    QCOMPARE(window->serialWorker().txData(), QByteArray());
    QVERIFY(!window->serialWorker().sendRequest());
    QVERIFY(!window->isUpdatingFields());
}

void tst_NodeConfigReadWrite::invalidRepliesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("line");

    QTest::newRow("nothing") << QByteArray() << "无数据返回";
    QTest::newRow("reply to a write") << QByteArray::fromHex("FE 01 61 09 00 69") << "无效数据";
    QTest::newRow("wrong check byte")
            << patched(4, QByteArray::fromHex("01")).chopped(1) + 'x' << "校验错误";
    QTest::newRow("truncated") << FullReply.left(50) << "无效数据";
}

void tst_NodeConfigReadWrite::invalidRepliesChangeNothing()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, line);

    feed(FullReply);
    const Fields before = shownFields();
    QTest::ignoreMessage(QtDebugMsg, line.toUtf8().constData());
    feed(received);
    QCOMPARE(shownFields(), before);
    QCOMPARE(window->serialWorker().rxData(), QByteArray());
    QVERIFY(!window->isUpdatingFields());
}

void tst_NodeConfigReadWrite::channelKeptOnZeroMask()
{
    auto *channel = child<QComboBox>(QStringLiteral("channel"));
    const QByteArray zeroMask = patched(9, QByteArray::fromHex("00 00 00 00"));
    // No channel decoded yet: index -10 selects no item.
    feed(zeroMask);
    QCOMPARE(channel->currentIndex(), -1);
    feed(patched(9, QByteArray::fromHex("00 00 00 04")));
    QCOMPARE(channel->currentText(), QStringLiteral("0x1A"));
    channel->setCurrentIndex(1);
    feed(zeroMask);
    QCOMPARE(channel->currentText(), QStringLiteral("0x1A"));
}

void tst_NodeConfigReadWrite::workModeKeptOnUnknownCode()
{
    auto *workMode = child<QComboBox>(QStringLiteral("WorkMode"));
    feed(patched(34, QByteArray::fromHex("04")));
    QCOMPARE(workMode->currentText(), QStringLiteral("MODBUS模式"));
    feed(patched(34, QByteArray::fromHex("02")));
    QCOMPARE(workMode->currentText(), QStringLiteral("MODBUS模式"));
    feed(patched(34, QByteArray::fromHex("FF")));
    QCOMPARE(workMode->currentText(), QStringLiteral("透传模式"));
    QVERIFY(!child<QTabWidget>(QStringLiteral("tabWidget"))->isTabEnabled(1));
}

void tst_NodeConfigReadWrite::textsCutToFieldLength()
{
    feed(patched(31, QByteArray::fromHex("80")));
    QCOMPARE(child<QLineEdit>(QStringLiteral("UartTimeout"))->text(), QStringLiteral("-1"));
    feed(patched(31, QByteArray::fromHex("7F")));
    QCOMPARE(child<QLineEdit>(QStringLiteral("UartTimeout"))->text(), QStringLiteral("12"));
}

void tst_NodeConfigReadWrite::counterWraps()
{
    auto *counter = child<QLineEdit>(QStringLiteral("SuccessTimer"));
    QCOMPARE(counter->text(), QString());
    for (int i = 1; i <= 255; ++i)
        feed(FullReply);
    QCOMPARE(counter->text(), QStringLiteral("FF"));
    feed(FullReply);
    QCOMPARE(counter->text(), QStringLiteral("00"));
    feed(FullReply.left(20));
    QCOMPARE(counter->text(), QStringLiteral("00"));
}

#ifdef HAVE_SIMMODULE
void tst_NodeConfigReadWrite::endToEndReadAndWrite()
{
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");

    QVERIFY(openPort(module.devicePath()));

    QTest::mouseClick(child<QPushButton>(QStringLiteral("readDeviceInfo")), Qt::LeftButton);
    QTRY_COMPARE(child<QLineEdit>(QStringLiteral("SuccessTimer"))->text(), QStringLiteral("01"));
    QCOMPARE(module.received(), QByteArray::fromHex("FE 00 21 15 34"));
    const Fields initial {
        { "NodeType", 2 },
        { "channel", 5 },
        { "OutPut", 1 },
        { "SendMode", 1 },
        { "AddrMode", 1 },
        { "SendAddrMode", 1 },
        { "baudRateBox", 3 },
        { "stopBitsBox", 1 },
        { "ParityBox", 1 },
        { "sleepMode", 1 },
        { "WorkMode", 2 },
        { "IO_1", 3 },
        { "IO_2", 2 },
        { "IO_3", 4 },
        { "IO_4", 0 },
        { "IO_5", 0 },
        { "IO_6", 0 },
        { "io_10", 4 },
        { "io_11", 0 },
        { "NetId", "1A2B" },
        { "ShortAddr", "0001" },
        { "SlpCycle", "10" },
        { "version", "1.1.1" },
        { "TxPower", "13" },
        { "MACAddr", "0011223344556677" },
        { "UartTimeout", "5" },
        { "workTimeOut", "10" },
        { "Divider", "0032" },
        { "Frequency", "00009C40" },
        { "DesAddr", "0000" },
        { "AutoSendTimeOut", "0000" },
        { "ExtPanID", "0123456789ABCDEF" },
        { "SuccessTimer", "01" },
    };
    QCOMPARE(shownFields(), initial);

    // Each change is waited for at the module: a frame placed before the worker took the
    // previous one would replace it.
    const auto expectWrite = [&](const QByteArray &bytes) {
        QTRY_COMPARE(module.received().toHex(' '), bytes.toHex(' '));
        // Both frames of a change leave in one write.
        QVERIFY(module.receivedChunks().contains(bytes));
        module.clearReceived();
    };
    module.clearReceived();
    child<QComboBox>(QStringLiteral("SendMode"))->setCurrentIndex(3);
    expectWrite(QByteArray::fromHex("FE 05 21 09 03 04 00 01 02 29"));
    type(QStringLiteral("ShortAddr"), QStringLiteral("BEEF"));
    expectWrite(QByteArray::fromHex("FE 06 21 09 11 04 00 02 EF BE 68"));
    type(QStringLiteral("SlpCycle"), QStringLiteral("7"));
    expectWrite(QByteArray::fromHex("FE 05 21 09 2B 00 00 01 0E 09"));
    child<QComboBox>(QStringLiteral("IO_3"))->setCurrentIndex(3);
    expectWrite(QByteArray::fromHex("FE 05 21 09 16 04 03 01 04 39"));
    child<QComboBox>(QStringLiteral("NodeType"))->setCurrentIndex(3);
    expectWrite(QByteArray::fromHex("FE 05 21 09 87 00 00 01 02 A9") + ClearNetworkFrame);
    child<QComboBox>(QStringLiteral("channel"))->setCurrentIndex(16);
    expectWrite(QByteArray::fromHex("FE 08 21 09 84 00 00 04 00 00 00 04 A4") + ClearNetworkFrame);
    type(QStringLiteral("NetId"), QStringLiteral("1234"));
    expectWrite(QByteArray::fromHex("FE 06 21 09 83 00 00 02 34 12 89") + ClearNetworkFrame);

    QTest::mouseClick(child<QPushButton>(QStringLiteral("readDeviceInfo")), Qt::LeftButton);
    QTRY_COMPARE(child<QLineEdit>(QStringLiteral("SuccessTimer"))->text(), QStringLiteral("02"));
    Fields changed = initial;
    changed["SendMode"] = 3;
    changed["ShortAddr"] = "BEEF";
    changed["SlpCycle"] = "7";
    changed["IO_3"] = 3;
    changed["NodeType"] = 3;
    changed["channel"] = 16;
    changed["NetId"] = "1234";
    changed["SuccessTimer"] = "02";
    QCOMPARE(shownFields(), changed);
    // The module's answers to the writes were discarded without a frame in return.
    QCOMPARE(module.received(), QByteArray::fromHex("FE 00 21 15 34"));

    clickOpenButton();
    QTRY_VERIFY(window->serialWorker().isFinished());
}
#endif

QTEST_MAIN(tst_NodeConfigReadWrite)
#include "tst_nodeconfigreadwrite.moc"
