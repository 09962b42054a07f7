// The node window against a misbehaving module and line: whatever happens, the window keeps
// working, tells the truth about the port, and its worker's run ends with the connection. (The
// process's CPU once idle is a benchmark figure: bench/.)
#include "widget.h"

#include "commandframe.h"
#include "failingport.h"
#include "modulecommands.h"
#include "simulatedmodule.h"
#include "windowdriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class tst_NodeConfigFaults : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void silentModule();
    void splitReply_data();
    void splitReply();
    void garbageAroundReply_data();
    void garbageAroundReply();
    void badReply_data();
    void badReply();
    void streamIsLoggedWithoutLoss();
    void readWhileReportsStream();
    void hangUp_data();
    void hangUp();
    void reopenAfterHangUp_data();
    void reopenAfterHangUp();
    void openFailure_data();
    void openFailure();
    void rapidConnectClicks_data();
    void rapidConnectClicks();
    void stopClickedBeforeOpenIsReported();
    void destroyWhileBusy_data();
    void destroyWhileBusy();

private:
    QString counter() const { return child<QLineEdit>("SuccessTimer")->text(); }
    void openPort(const QString &path);
    void readDevice();
    // The device-information read goes through and is shown: the window still works.
    void readSucceeds();
    void verifyOpenState();
    void verifyClosedState();

    std::unique_ptr<SimulatedModule> module;
};

void tst_NodeConfigFaults::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("connectSlotsByName")));
    module = std::make_unique<SimulatedModule>();
    if (!module->start())
        QSKIP("no pseudo-terminal available");
    QVERIFY(showWindow());
}

void tst_NodeConfigFaults::cleanup()
{
    window.reset();
    module.reset();
}

void tst_NodeConfigFaults::openPort(const QString &path)
{
    QVERIFY(WindowDriver::openPort(path));
    verifyOpenState();
}

void tst_NodeConfigFaults::readDevice()
{
    auto *button = child<QPushButton>("readDeviceInfo");
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

void tst_NodeConfigFaults::readSucceeds()
{
    const int before = counter().toInt(nullptr, 16);
    module->clearReceived();
    readDevice();
    QTRY_COMPARE(counter().toInt(nullptr, 16), before + 1);
    QCOMPARE(child<QLineEdit>("NetId")->text(), QStringLiteral("1A2B"));
    QCOMPARE(module->received(), ModuleCommand::readDeviceInfoFrame());
}

void tst_NodeConfigFaults::verifyOpenState()
{
    QCOMPARE(buttonText(), Open);
    QCOMPARE(child<QPushButton>("openCom_Button_2")->text(), Open);
    QVERIFY(!child("serialPortComboBox")->isEnabled());
    QVERIFY(child("groupBox_2")->isEnabled());
    QVERIFY(child("groupBox_6")->isEnabled());
    QCOMPARE(status(), QString());
    QVERIFY(window->serialWorker().comOpened());
    QVERIFY(window->serialWorker().isRunning());
}

void tst_NodeConfigFaults::verifyClosedState()
{
    QCOMPARE(buttonText(), Closed);
    QCOMPARE(child<QPushButton>("openCom_Button_2")->text(), Closed);
    QVERIFY(child("serialPortComboBox")->isEnabled());
    QVERIFY(!child("groupBox_2")->isEnabled());
    QVERIFY(!child("groupBox_6")->isEnabled());
    QCOMPARE(child<QLineEdit>("NetId")->text(), QString());
    QTRY_VERIFY(!window->serialWorker().isRunning());
    QVERIFY(!window->serialWorker().comOpened());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void tst_NodeConfigFaults::silentModule()
{
    openPort(module->devicePath());
    module->setSilent(true);
    readDevice();
    // The wait for a reply runs out after a second and logs an empty delivery.
    QTRY_COMPARE_WITH_TIMEOUT(logLines().size(), 1, 5000);
    QVERIFY(logLines().first().endsWith(QStringLiteral(" 收到数据: ")));
    QCOMPARE(counter(), QString());
    QCOMPARE(child<QLineEdit>("NetId")->text(), QString());
    verifyOpenState();

    module->setSilent(false);
    readSucceeds();
}

void tst_NodeConfigFaults::splitReply_data()
{
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("gapMs");
    // 1: one reply, decoded; 0: the line fell silent for longer than 300 ms, so the reply ended
    // early and the rest came as unasked data; -1: either, at the edge of the 300 ms.
    QTest::addColumn<int>("decoded");

    QTest::newRow("gaps of 100 ms") << 3 << 100 << 1;
    // 299 and 301 ms lie within a timer tick and a scheduler slice of the edge: they must
    // not break anything, but which side they fall on is not asserted. 250 and 400 ms are
    // the edges asserted, with margins a loaded machine keeps.
    QTest::newRow("gaps of 250 ms") << 3 << 250 << 1;
    QTest::newRow("gap of 299 ms") << 2 << 299 << -1;
    QTest::newRow("gap of 301 ms") << 2 << 301 << -1;
    QTest::newRow("gap of 400 ms") << 2 << 400 << 0;
    QTest::newRow("gap of 1000 ms") << 2 << 1000 << 0;
}

void tst_NodeConfigFaults::splitReply()
{
    QFETCH(int, pieces);
    QFETCH(int, gapMs);
    QFETCH(int, decoded);

    openPort(module->devicePath());
    module->setReplySplit(pieces, gapMs);
    const QByteArray reply = module->deviceInfoReply();
    const QByteArray lastPiece = reply.mid(reply.size() - reply.size() / pieces);
    readDevice();

    // Either the reply was decoded, or its head was dropped as invalid and its tail logged.
    QTRY_VERIFY_WITH_TIMEOUT(counter() == QStringLiteral("01") || !logLines().isEmpty(),
                             3 * gapMs + 3000);
    QTest::qWait(400);
    const bool wasDecoded = counter() == QStringLiteral("01");
    if (decoded != -1)
        QCOMPARE(wasDecoded, decoded == 1);
    if (wasDecoded) {
        QCOMPARE(child<QLineEdit>("NetId")->text(), QStringLiteral("1A2B"));
        // At the edge the tail may reach rxData while the decoder's signal is still queued:
        // the decoder then takes the whole reply and the log gets an empty delivery.
        QCOMPARE(loggedBytes().toHex(' '), QByteArray());
    } else {
        QCOMPARE(counter(), QString());
        QCOMPARE(child<QLineEdit>("NetId")->text(), QString());
        QCOMPARE(loggedBytes().toHex(' '), lastPiece.toHex(' '));
    }
    verifyOpenState();

    module->setReplySplit(1, 0);
    readSucceeds();
}

void tst_NodeConfigFaults::garbageAroundReply_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("before") << QByteArray::fromHex("00 11 22 33") << QByteArray();
    QTest::newRow("after") << QByteArray() << QByteArray::fromHex("FE 44 55");
    QTest::newRow("both") << QByteArray::fromHex("AA") << QByteArray::fromHex("BB CC");
    QTest::newRow("false starts before")
            << QByteArray::fromHex("FE FE 39 61 08 FE 00 61 08") << QByteArray();
    QTest::newRow("200 bytes of noise before") << QByteArray(200, '\x55') << QByteArray();
}

void tst_NodeConfigFaults::garbageAroundReply()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    openPort(module->devicePath());
    module->setGarbageBeforeReply(before);
    module->setGarbageAfterReply(after);
    readDevice();
    QTRY_COMPARE(counter(), QStringLiteral("01"));
    QCOMPARE(child<QLineEdit>("NetId")->text(), QStringLiteral("1A2B"));
    QCOMPARE(child<QLineEdit>("ExtPanID")->text(), QStringLiteral("0123456789ABCDEF"));
    // What follows the reply belongs to it and is dropped with it, not logged.
    QTest::qWait(400);
    QCOMPARE(logLines(), QStringList());
    verifyOpenState();
}

void tst_NodeConfigFaults::badReply_data()
{
    QTest::addColumn<QByteArray>("replacement"); // empty: the module's own reply
    QTest::addColumn<bool>("corruptCheckByte");
    QTest::addColumn<int>("truncateTo");
    QTest::addColumn<bool>("decoded");

    const QByteArray payload = SimulatedModule().deviceInfoReply().mid(4, 57);
    const QByteArray none;

    QTest::newRow("wrong check byte") << none << true << 0 << false;
    QTest::newRow("truncated to 40 bytes") << none << false << 40 << false;
    QTest::newRow("one byte short") << none << false << 61 << false;
    QTest::newRow("FE and LEN only") << none << false << 2 << false;
    QTest::newRow("LEN 0") << QByteArray::fromHex("FE 00 61 08 69") << false << 0 << false;
    QTest::newRow("LEN 56, intact but a field short")
            << CommandFrame::build(0x61, 0x08, payload.left(56)) << false << 0 << false;
    QTest::newRow("LEN 255, only 57 payload bytes")
            << QByteArray::fromHex("FE FF 61 08") + payload << false << 0 << false;
    QTest::newRow("LEN 255, intact")
            << CommandFrame::build(0x61, 0x08, payload + QByteArray(255 - 57, '\0')) << false << 0
            << true;
    QTest::newRow("another command's reply")
            << QByteArray::fromHex("FE 01 61 09 00 69") << false << 0 << false;
}

void tst_NodeConfigFaults::badReply()
{
    QFETCH(QByteArray, replacement);
    QFETCH(bool, corruptCheckByte);
    QFETCH(int, truncateTo);
    QFETCH(bool, decoded);

    openPort(module->devicePath());
    module->setReplyReplacement(replacement);
    module->setCorruptCheckByte(corruptCheckByte);
    module->setTruncateReplyTo(truncateTo);
    QSignalSpy exchanges(&window->serialWorker(), &MyThread::exchangeFinished);
    readDevice();
    if (decoded) {
        QTRY_COMPARE(counter(), QStringLiteral("01"));
        QCOMPARE(child<QLineEdit>("NetId")->text(), QStringLiteral("1A2B"));
    } else {
        // The reply ends after 300 ms of silence and is turned down: nothing changes. The
        // decoder's signal comes before the end of the exchange.
        QVERIFY(exchanges.wait(3000));
        QCOMPARE(counter(), QString());
        QCOMPARE(child<QLineEdit>("NetId")->text(), QString());
        QCOMPARE(child<QLineEdit>("MACAddr")->text(), QString());
    }
    QCOMPARE(logLines(), QStringList());
    verifyOpenState();

    module->setReplyReplacement({});
    module->setCorruptCheckByte(false);
    module->setTruncateReplyTo(0);
    readSucceeds();
}

void tst_NodeConfigFaults::streamIsLoggedWithoutLoss()
{
    openPort(module->devicePath());
    module->startStream(38400);
    QTest::qWait(1000);
    module->stopStream();
    QTRY_COMPARE(qint64(loggedBytes().size()), module->streamedBytes());

    // The module counts 00 01 02 … FF 00 …: every byte once, in order.
    const QByteArray bytes = loggedBytes();
    QVERIFY(bytes.size() > 1000);
    for (int i = 0; i < bytes.size(); ++i) {
        if (quint8(bytes.at(i)) != quint8(i))
            QFAIL(qPrintable(QStringLiteral("byte %1 out of sequence").arg(i)));
    }
    verifyOpenState();
}

// Reports every 100 ms keep the line from ever falling silent for 300 ms: the exchange must
// still end, or no frame would go out again and the test could not even be stopped.
void tst_NodeConfigFaults::readWhileReportsStream()
{
    module->setRssiReportIntervalMs(100);
    openPort(module->devicePath());
    child<QPushButton>("startRssiTest")->click();
    QTRY_VERIFY(module->rssiTestRunning());

    readDevice();
    QTRY_COMPARE_WITH_TIMEOUT(counter(), QStringLiteral("01"), 5000);
    readDevice();
    QTRY_COMPARE_WITH_TIMEOUT(counter(), QStringLiteral("02"), 5000);
    child<QPushButton>("stopRssiTest")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!module->rssiTestRunning(), 5000);
    verifyOpenState();
}

void tst_NodeConfigFaults::hangUp_data()
{
    QTest::addColumn<QString>("activity");

    QTest::newRow("while idle") << QStringLiteral("idle");
    QTest::newRow("while waiting for a reply") << QStringLiteral("waiting");
    QTest::newRow("while a reply is being collected") << QStringLiteral("collecting");
    QTest::newRow("while streaming") << QStringLiteral("streaming");
}

void tst_NodeConfigFaults::hangUp()
{
    QFETCH(QString, activity);

    openPort(module->devicePath());
    child<QLineEdit>("NetId")->setText(QStringLiteral("1234"));
    if (activity == QLatin1String("waiting")) {
        module->setSilent(true);
        readDevice();
        QTRY_COMPARE(module->received(), ModuleCommand::readDeviceInfoFrame());
    } else if (activity == QLatin1String("collecting")) {
        module->setReplySplit(2, 200);
        readDevice();
        QTRY_VERIFY(!window->serialWorker().rxData().isEmpty());
    } else if (activity == QLatin1String("streaming")) {
        module->startStream(38400);
        QTRY_VERIFY(!logLines().isEmpty());
    }
    module->hangUp();

    QTRY_COMPARE(buttonText(), Closed);
    QVERIFY2(status().startsWith(QStringLiteral("连接断开：")), qPrintable(status()));
    verifyClosedState();
}

void tst_NodeConfigFaults::reopenAfterHangUp_data()
{
    QTest::addColumn<bool>("newModule");

    QTest::newRow("new line of the same module") << false;
    QTest::newRow("another module") << true;
}

void tst_NodeConfigFaults::reopenAfterHangUp()
{
    QFETCH(bool, newModule);

    openPort(module->devicePath());
    module->hangUp();
    QTRY_COMPARE(buttonText(), Closed);
    QTRY_VERIFY(!window->serialWorker().isRunning());

    if (newModule)
        module = std::make_unique<SimulatedModule>();
    QVERIFY(module->start());
    openPort(module->devicePath());
    readSucceeds();
}

void tst_NodeConfigFaults::openFailure_data()
{
    FailingPort::addRows();
}

void tst_NodeConfigFaults::openFailure()
{
    QFETCH(QString, kind);

    FailingPort port;
    QVERIFY(port.make(kind, module->devicePath()));
    QVERIFY(typePortName(port.path()));
    // A failed open leaves the window as it was: before the first open the groups are
    // enabled as built.
    const bool groupsBefore = child("groupBox_2")->isEnabled();
    clickOpenButton();
    QTRY_VERIFY(!status().isEmpty());
    QVERIFY2(status().startsWith(QStringLiteral("打开失败：")) && status().size() > 5,
             qPrintable(status()));
    // The lock file names who holds the port: here this test.
    if (kind == QLatin1String("held")) {
        QCOMPARE(status(),
                 QStringLiteral("打开失败：串口 %1 正被进程 %2（%3）占用")
                         .arg(port.path())
                         .arg(QCoreApplication::applicationPid())
                         .arg(QCoreApplication::applicationName()));
    }
    QCOMPARE(buttonText(), Closed);
    QVERIFY(child("serialPortComboBox")->isEnabled());
    QCOMPARE(child("groupBox_2")->isEnabled(), groupsBefore);
    QTRY_VERIFY(!window->serialWorker().isRunning());
    QVERIFY(!window->serialWorker().comOpened());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // Once the port is free, the next click opens it.
    port.release();
    openPort(module->devicePath());
    readSucceeds();
}

void tst_NodeConfigFaults::rapidConnectClicks_data()
{
    QTest::addColumn<bool>("eventsBetween");

    QTest::newRow("a fast hand: events between clicks") << true;
    QTest::newRow("one burst: no events between clicks") << false;
}

void tst_NodeConfigFaults::rapidConnectClicks()
{
    QFETCH(bool, eventsBetween);

    QVERIFY(typePortName(module->devicePath()));
    MyThread &worker = window->serialWorker();
    for (int i = 0; i < 200; ++i) {
        clickOpenButton();
        if (eventsBetween)
            QCoreApplication::processEvents();
    }

    // Settled: a run with its port open, or no run at all.
    QTRY_VERIFY(worker.comOpened() == worker.isRunning());
    QTest::qWait(300);
    QVERIFY(worker.comOpened() == worker.isRunning());
    // The window says what the worker does.
    QCOMPARE(buttonText(), worker.comOpened() ? Open : Closed);
    if (worker.comOpened()) {
        QVERIFY(child("groupBox_6")->isEnabled());
        QVERIFY(!child("serialPortComboBox")->isEnabled());
    } else if (buttonText() == Closed) {
        QVERIFY(child("serialPortComboBox")->isEnabled());
    }

    // One more click opens a port that is not open, whatever the button said.
    if (!worker.comOpened()) {
        clickOpenButton();
        QTRY_COMPARE(buttonText(), Open);
        QTRY_VERIFY(worker.comOpened());
    }
    verifyOpenState();
    readSucceeds();
}

// The second click lands after the worker has opened the port but before its report has
// reached the window (the window was busy): the report must not undo the close.
void tst_NodeConfigFaults::stopClickedBeforeOpenIsReported()
{
    QVERIFY(typePortName(module->devicePath()));
    MyThread &worker = window->serialWorker();
    clickOpenButton();
    QElapsedTimer opening;
    opening.start();
    while (!worker.comOpened() && opening.elapsed() < 5000)
        QThread::msleep(1);
    QVERIFY(worker.comOpened());
    clickOpenButton();
    QCOMPARE(buttonText(), Closed);

    QTRY_VERIFY(!worker.isRunning());
    // The open's report, queued before the run ended, arrives now.
    QCoreApplication::processEvents();
    QCOMPARE(buttonText(), Closed);
    QVERIFY(child("serialPortComboBox")->isEnabled());
}

void tst_NodeConfigFaults::destroyWhileBusy_data()
{
    QTest::addColumn<QString>("activity");

    QTest::newRow("reply on its way") << QStringLiteral("delayed");
    QTest::newRow("silent module") << QStringLiteral("silent");
    QTest::newRow("reply being collected") << QStringLiteral("collecting");
    QTest::newRow("unasked stream") << QStringLiteral("streaming");
}

void tst_NodeConfigFaults::destroyWhileBusy()
{
    QFETCH(QString, activity);

    const QString path = module->devicePath();
    openPort(path);
    if (activity == QLatin1String("streaming")) {
        module->startStream(38400);
        QTRY_VERIFY(!logLines().isEmpty());
    } else {
        if (activity == QLatin1String("delayed"))
            module->setReplyDelayMs(800);
        else if (activity == QLatin1String("silent"))
            module->setSilent(true);
        else
            module->setReplySplit(3, 200);
        readDevice();
        QTRY_COMPARE(module->received(), ModuleCommand::readDeviceInfoFrame());
    }

    // The window waits for its worker's thread to end.
    window.reset();

    QVERIFY(canOpen(path));
    module->stopStream();
}

QTEST_MAIN(tst_NodeConfigFaults)
#include "tst_nodeconfigfaults.moc"
