#include "debugcapture.h"
#include "modulecommands.h"
#include "mythread.h"
#include "portaccess.h"
#include "simulatedmodule.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

namespace {

enum class Program { Node, Remote };

LinkSettings settingsOf(Program program)
{
    return program == Program::Node ? LinkSettings::nodeConfig() : LinkSettings::remoteConfig();
}

// Takes rxData when signalled, as the windows do, and remembers what came in.
class Receiver : public QObject
{
    Q_OBJECT

public:
    enum Kind { Reply, Other };
    struct Delivery
    {
        Kind kind;
        QByteArray bytes;
        qint64 atMs;
    };

    explicit Receiver(MyThread &worker)
    {
        clock.start();
        connect(&worker, &MyThread::comRecive, this, [this, &worker] {
            deliveries.append({ Reply, worker.takeRxData(), clock.elapsed() });
        });
        connect(&worker, &MyThread::comdelayout, this, [this, &worker] {
            deliveries.append({ Other, worker.takeRxData(), clock.elapsed() });
        });
        connect(&worker, &MyThread::comOpenSuccess, this, [this](bool ok) { opened = ok; });
        connect(&worker, &MyThread::comOpenFailed, this, [this](const QString &r) { failure = r; });
        connect(&worker, &MyThread::comLost, this, [this](const QString &r) { lost = r; });
    }

    QByteArray all() const
    {
        QByteArray bytes;
        for (const Delivery &d : deliveries)
            bytes += d.bytes;
        return bytes;
    }

    QElapsedTimer clock;
    QList<Delivery> deliveries;
    bool opened = false;
    QString failure;
    QString lost;
};

// A pseudo-terminal whose other end is never read: a long write to it cannot complete.
class QuietLine
{
public:
    QuietLine()
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && (::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~QuietLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    QuietLine(const QuietLine &) = delete;
    QuietLine &operator=(const QuietLine &) = delete;
    QString path() const { return m_fd >= 0 ? QString::fromLocal8Bit(::ptsname(m_fd)) : QString(); }

private:
    int m_fd = -1;
};

// Keeps the worker thread busy until it goes out of scope, as a loaded machine may.
class WorkerHold
{
public:
    explicit WorkerHold(MyThread &worker)
    {
        QMetaObject::invokeMethod(worker.eventDispatcher(), [held = m_held, release = m_release] {
            held->release();
            release->acquire();
        });
        m_held->acquire();
    }
    ~WorkerHold() { m_release->release(); }
    WorkerHold(const WorkerHold &) = delete;
    WorkerHold &operator=(const WorkerHold &) = delete;

private:
    const std::shared_ptr<QSemaphore> m_held = std::make_shared<QSemaphore>();
    const std::shared_ptr<QSemaphore> m_release = std::make_shared<QSemaphore>();
};

} // namespace

Q_DECLARE_METATYPE(Program)

class tst_MyThread : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void replyRouting_data();
    void replyRouting();
    void replyTimeout_data();
    void replyTimeout();
    void exchangeEndsWithoutReply_data();
    void exchangeEndsWithoutReply();
    void refusedSettingKeepsTheLinkUp();
    void splitReply_data();
    void splitReply();
    void frameHandedOverWhileClosedGoesOutAfterOpen();
    void laterFrameReplacesUntakenOne_data();
    void laterFrameReplacesUntakenOne();
    void frameSubmittedDuringExchangesIsSentOnceWhole();
    void closedConnectionLeavesNoBytesBehind();
    void unaskedDataIsDeliveredAtOnce();
    void slowWindowGetsEachDeliveryWhole();
    void streamIsDeliveredWithoutLossInCappedDeliveries();
    void stopWhileWaitingForReply();
    void hangUpEndsTheRun();
    void answerPurgedBeforeItsReadIsNoLoss();
    void bytesBeforeAWriteAreNotItsReply();
    void failedOpenEndsTheRunWithReason();
    void reopenAfterStop();
    void permissionDeniedNamesTheGroup_data();
    void permissionDeniedNamesTheGroup();
    void baudRateChangeReachesOpenPort();

private:
    void openWorker(Program variant);
    void openWorker(const LinkSettings &settings, const QString &path = QString());
    void send(const QByteArray &bytes);

    std::unique_ptr<SimulatedModule> m_module;
    std::unique_ptr<MyThread> m_worker;
    std::unique_ptr<Receiver> m_receiver;
};

void tst_MyThread::init()
{
    m_module = std::make_unique<SimulatedModule>();
    if (!m_module->start())
        QSKIP("no pseudo-terminal available");
}

void tst_MyThread::cleanup()
{
    setDeviceAccessSource({});
    m_receiver.reset();
    m_worker.reset();
    m_module.reset();
}

void tst_MyThread::openWorker(Program variant)
{
    openWorker(settingsOf(variant));
}

void tst_MyThread::openWorker(const LinkSettings &settings, const QString &path)
{
    m_worker = std::make_unique<MyThread>(settings);
    m_receiver = std::make_unique<Receiver>(*m_worker);
    m_worker->setComName(path.isEmpty() ? m_module->devicePath() : path);
    m_worker->start();
    QTRY_VERIFY(m_receiver->opened);
    QVERIFY(m_worker->comOpened());
}

void tst_MyThread::send(const QByteArray &bytes)
{
    m_worker->submit(bytes);
}

void tst_MyThread::replyRouting_data()
{
    QTest::addColumn<Program>("variant");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("kind");

    const QByteArray request = ModuleCommand::readDeviceInfoFrame();
    QTest::newRow("node, command frame → decoder")
            << Program::Node << request << int(Receiver::Reply);
    QTest::newRow("node, raw bytes → log")
            << Program::Node << QByteArray::fromHex("00 FE 00 21 15 34") << int(Receiver::Other);
    QTest::newRow("remote, command frame → log")
            << Program::Remote << request << int(Receiver::Other);
}

void tst_MyThread::replyRouting()
{
    QFETCH(Program, variant);
    QFETCH(QByteArray, frame);
    QFETCH(int, kind);

    openWorker(variant);
    send(frame);
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver->deliveries.size(), 1, 3000);
    QCOMPARE(int(m_receiver->deliveries.first().kind), kind);
    QTRY_COMPARE(m_module->received(), frame);
    if (kind == Receiver::Reply || variant == Program::Remote)
        QCOMPARE(m_receiver->deliveries.first().bytes, m_module->deviceInfoReply());
    QVERIFY(!m_worker->sendRequest());
    // The reply came as one delivery: nothing follows.
    QTest::qWait(400);
    QCOMPARE(m_receiver->deliveries.size(), 1);
}

void tst_MyThread::replyTimeout_data()
{
    QTest::addColumn<Program>("variant");
    QTest::addColumn<int>("expectedSignals");

    QTest::newRow("node signals an empty delivery") << Program::Node << 1;
    QTest::newRow("remote signals nothing") << Program::Remote << 0;
}

void tst_MyThread::replyTimeout()
{
    QFETCH(Program, variant);
    QFETCH(int, expectedSignals);

    m_module->setSilent(true);
    openWorker(variant);
    QSignalSpy exchanges(m_worker.get(), &MyThread::exchangeFinished);
    const qint64 sentAt = m_receiver->clock.elapsed();
    send(ModuleCommand::readDeviceInfoFrame());
    // The exchange ends when the wait runs out; what it signals comes before.
    QVERIFY(exchanges.wait(3000));
    QCOMPARE(m_module->received(), ModuleCommand::readDeviceInfoFrame());
    QCOMPARE(m_receiver->deliveries.size(), expectedSignals);
    if (expectedSignals) {
        QCOMPARE(int(m_receiver->deliveries.first().kind), int(Receiver::Other));
        QVERIFY(m_receiver->deliveries.first().bytes.isEmpty());
        QVERIFY(m_receiver->deliveries.first().atMs - sentAt >= 950);
    }
}

void tst_MyThread::exchangeEndsWithoutReply_data()
{
    QTest::addColumn<QByteArray>("transmission");
    QTest::addColumn<bool>("quietLine");

    QTest::newRow("nothing to write") << QByteArray() << false;
    QTest::newRow("write not done within 50 ms: nobody reads the line")
            << QByteArray(1 << 20, '\x55') << true;
}

// Such an exchange still ends, with nothing received, and the next one is taken up.
void tst_MyThread::exchangeEndsWithoutReply()
{
    QFETCH(QByteArray, transmission);
    QFETCH(bool, quietLine);

    QuietLine quiet;
    if (quietLine)
        QVERIFY(!quiet.path().isEmpty());
    openWorker(LinkSettings::nodeConfig(), quietLine ? quiet.path() : QString());
    QSignalSpy exchanges(m_worker.get(), &MyThread::exchangeFinished);
    const DebugCapture debug;
    send(transmission);
    QVERIFY(exchanges.wait());
    QCOMPARE(exchanges.first().at(0).toByteArray().size(), transmission.size());
    QCOMPARE(exchanges.first().at(1).toByteArray(), QByteArray());
    QVERIFY2(debug.lines.contains(QStringLiteral("Zarno: send time out")),
             qPrintable(debug.lines.join(u'\n')));

    send(ModuleCommand::readDeviceInfoFrame());
    QTRY_COMPARE_WITH_TIMEOUT(exchanges.size(), 2, 3000);
    QCOMPARE(exchanges.last().at(0).toByteArray(), ModuleCommand::readDeviceInfoFrame());
    QCOMPARE(exchanges.last().at(1).toByteArray(),
             quietLine ? QByteArray() : m_module->deviceInfoReply());
    QVERIFY(m_worker->comOpened());
}

// The serial library refuses a rate of 0: an error that does not mean the device is gone.
void tst_MyThread::refusedSettingKeepsTheLinkUp()
{
    openWorker(Program::Remote);
    m_worker->setBaudRate(0);
    send(ModuleCommand::readDeviceInfoFrame());
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver->all(), m_module->deviceInfoReply(), 3000);
    QVERIFY2(m_receiver->lost.isEmpty(), qPrintable(m_receiver->lost));
    QVERIFY(m_worker->comOpened());
}

void tst_MyThread::splitReply_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<int>("deliveries");

    QTest::newRow("gaps of 100 ms: one reply") << 100 << 1;
    QTest::newRow("gaps of 250 ms: one reply") << 250 << 1;
    QTest::newRow("gap of 450 ms: split") << 450 << 2;
}

void tst_MyThread::splitReply()
{
    QFETCH(int, gapMs);
    QFETCH(int, deliveries);

    m_module->setReplySplit(2, gapMs);
    openWorker(Program::Node);
    send(ModuleCommand::readDeviceInfoFrame());
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver->all().size(), m_module->deviceInfoReply().size(), 5000);
    QTest::qWait(400);
    QCOMPARE(m_receiver->deliveries.size(), deliveries);
    QCOMPARE(m_receiver->all(), m_module->deviceInfoReply());
    QCOMPARE(int(m_receiver->deliveries.first().kind), int(Receiver::Reply));
    // A piece after the reply has ended arrives as unasked data.
    if (deliveries == 2)
        QCOMPARE(int(m_receiver->deliveries.last().kind), int(Receiver::Other));
}

void tst_MyThread::frameHandedOverWhileClosedGoesOutAfterOpen()
{
    m_worker = std::make_unique<MyThread>(LinkSettings::nodeConfig());
    m_receiver = std::make_unique<Receiver>(*m_worker);
    m_worker->submit(ModuleCommand::clearNetworkFrame());
    m_worker->setComName(m_module->devicePath());
    m_worker->start();
    QTRY_COMPARE(m_module->received(), ModuleCommand::clearNetworkFrame());
}

void tst_MyThread::laterFrameReplacesUntakenOne_data()
{
    QTest::addColumn<QList<QByteArray>>("submitted");
    QTest::addColumn<QByteArray>("sent");

    const QByteArray panId = QByteArray::fromHex("FE 06 21 09 83 00 00 02 2B 1A 9E");
    const QByteArray otherPanId = QByteArray::fromHex("FE 06 21 09 83 00 00 02 00 01 AE");
    const QByteArray shortAddr = QByteArray::fromHex("FE 06 21 09 11 04 00 02 02 00 3B");
    const QByteArray clear = ModuleCommand::clearNetworkFrame();
    QTest::newRow("same NV item: the later one in its place")
            << QList<QByteArray> { panId + clear, shortAddr, otherPanId + clear }
            << otherPanId + clear + shortAddr;
    QTest::newRow("different targets: both, in order")
            << QList<QByteArray> { clear, ModuleCommand::readDeviceInfoFrame() }
            << clear + ModuleCommand::readDeviceInfoFrame();
    QTest::newRow("same command: the later one")
            << QList<QByteArray> { QByteArray::fromHex("FE 01 21 14 35 01"),
                                   QByteArray::fromHex("FE 01 21 14 15 21") }
            << QByteArray::fromHex("FE 01 21 14 15 21");
    QTest::newRow("raw bytes: identical ones once")
            << QList<QByteArray> { QByteArray::fromHex("01 23"), QByteArray::fromHex("45"),
                                   QByteArray::fromHex("01 23") }
            << QByteArray::fromHex("01 23 45");
}

void tst_MyThread::laterFrameReplacesUntakenOne()
{
    QFETCH(QList<QByteArray>, submitted);
    QFETCH(QByteArray, sent);

    m_module->setSilent(true);
    m_worker = std::make_unique<MyThread>(LinkSettings::nodeConfig());
    m_receiver = std::make_unique<Receiver>(*m_worker);
    for (const QByteArray &transmission : std::as_const(submitted))
        send(transmission);
    m_worker->setComName(m_module->devicePath());
    m_worker->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_module->received().toHex(' '), sent.toHex(' '), 10000);
    QTRY_VERIFY(!m_worker->sendRequest());
}

void tst_MyThread::frameSubmittedDuringExchangesIsSentOnceWhole()
{
    openWorker(Program::Node);

    // Fifty writes of different items, submitted while the worker is busy with the previous,
    // each with the frame rule.
    const auto frameRule = std::make_shared<FrameReplyEnd>();
    QByteArray expected;
    for (quint16 item = 0x0500; item < 0x0532; ++item) {
        const QByteArray frame = ModuleCommand::nvWriteFrame(item, 0, QByteArray(1, char(item)));
        expected += frame;
        m_worker->submit(frame, frameRule);
        QTest::qWait(1);
    }
    // Each exchange ends with the module's status frame, not after 300 ms of silence.
    QTRY_COMPARE_WITH_TIMEOUT(m_module->received().toHex(' '), expected.toHex(' '), 5000);
    QTRY_COMPARE(m_receiver->deliveries.size(), 50);

    // The rule went with those transmissions: the next one ends by the worker's own.
    QSignalSpy exchanges(m_worker.get(), &MyThread::exchangeFinished);
    QElapsedTimer clock;
    clock.start();
    send(ModuleCommand::readDeviceInfoFrame());
    QVERIFY(exchanges.wait());
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
}

void tst_MyThread::closedConnectionLeavesNoBytesBehind()
{
    m_module->setReplySplit(2, 250);
    openWorker(Program::Node);
    send(ModuleCommand::readDeviceInfoFrame());
    QTRY_VERIFY(!m_worker->rxData().isEmpty());
    QVERIFY(m_module->deviceInfoReply().startsWith(m_worker->rxData()));
    m_worker->requestStop();
    QVERIFY(m_worker->wait(2000));
    QVERIFY(m_receiver->deliveries.isEmpty());

    m_module->setReplySplit(1, 0);
    m_receiver->opened = false;
    m_worker->clearStop();
    m_worker->start();
    QTRY_VERIFY(m_receiver->opened);
    QTest::qWait(300); // the old reply's second half may reach the new connection
    m_module->sendUnasked(QByteArray::fromHex("01 02 03"));
    QTRY_VERIFY(!m_receiver->deliveries.isEmpty());
    QTRY_COMPARE(m_receiver->all().right(3), QByteArray::fromHex("01 02 03"));
    // The half collected before the stop never shows up.
    QVERIFY(!m_receiver->all().contains(m_module->deviceInfoReply().first(10)));
}

void tst_MyThread::unaskedDataIsDeliveredAtOnce()
{
    openWorker(Program::Node);
    const QByteArray report = QByteArray::fromHex("01 02 0B 34 12 05 D2 C8");
    m_module->sendUnasked(report);
    QTRY_COMPARE(m_receiver->deliveries.size(), 1);
    QCOMPARE(int(m_receiver->deliveries.first().kind), int(Receiver::Other));
    // rxData holds the burst when the signal arrives.
    QCOMPARE(m_receiver->deliveries.first().bytes, report);
}

void tst_MyThread::slowWindowGetsEachDeliveryWhole()
{
    openWorker(Program::Node);
    const QByteArray report = QByteArray::fromHex("01 02 0B 34 12 05 D2 C8");
    m_module->sendUnasked(report);
    // The window thread is busy: the burst is announced, then a reply begins before the
    // window has taken the burst.
    QThread::msleep(100);
    send(ModuleCommand::readDeviceInfoFrame());
    QThread::msleep(100);
    QTRY_COMPARE(m_receiver->deliveries.size(), 2);
    QCOMPARE(int(m_receiver->deliveries.at(0).kind), int(Receiver::Other));
    QCOMPARE(m_receiver->deliveries.at(0).bytes.toHex(' '), report.toHex(' '));
    QCOMPARE(int(m_receiver->deliveries.at(1).kind), int(Receiver::Reply));
    QCOMPARE(m_receiver->deliveries.at(1).bytes, m_module->deviceInfoReply());
}

void tst_MyThread::streamIsDeliveredWithoutLossInCappedDeliveries()
{
    openWorker(Program::Remote);
    m_module->startStream(115200);
    QTest::qWait(1000);
    m_module->stopStream();
    QTRY_COMPARE(m_receiver->all().size(), m_module->streamedBytes());

    const QByteArray bytes = m_receiver->all();
    QVERIFY(bytes.size() > 2000);
    for (int i = 0; i < bytes.size(); ++i) {
        if (quint8(bytes.at(i)) != quint8(i))
            QFAIL(qPrintable(QStringLiteral("byte %1 out of sequence").arg(i)));
    }
    // A continuous stream is cut into deliveries once rxData passes 200 bytes.
    QVERIFY(m_receiver->deliveries.size() >= bytes.size() / 400);
}

void tst_MyThread::stopWhileWaitingForReply()
{
    m_module->setSilent(true);
    openWorker(Program::Node);
    QSignalSpy exchanges(m_worker.get(), &MyThread::exchangeFinished);
    send(ModuleCommand::readDeviceInfoFrame());
    QTRY_VERIFY(!m_module->received().isEmpty());
    m_worker->requestStop();
    QVERIFY(m_worker->wait(2000));
    QVERIFY(!m_worker->comOpened());
    // The run ended inside the exchange, not once the wait for the reply had run out: the
    // signals it queued before it ended say nothing of the exchange.
    QCoreApplication::processEvents();
    QCOMPARE(exchanges.size(), 0);
    QVERIFY(m_receiver->deliveries.isEmpty());
}

void tst_MyThread::hangUpEndsTheRun()
{
    openWorker(Program::Node);
    m_module->hangUp();
    QTRY_VERIFY(!m_receiver->lost.isEmpty());
    QVERIFY(m_worker->wait(2000));
    QVERIFY(!m_worker->comOpened());
}

// The answer to a write comes after its exchange has ended, together with the next
// submission; the purge before the next write takes it, and the read it woke finds nothing.
void tst_MyThread::answerPurgedBeforeItsReadIsNoLoss()
{
    LinkSettings settings = LinkSettings::nodeConfig();
    settings.replyEnd = std::make_shared<FrameReplyEnd>([](QByteArrayView) { return 50; });
    m_module->setReplyDelayMs(100);
    openWorker(settings);
    const QByteArray first = ModuleCommand::nvWriteFrame(0x0500, 0, QByteArray(1, 1));
    const QByteArray second = ModuleCommand::nvWriteFrame(0x0501, 0, QByteArray(1, 2));
    QSignalSpy exchanges(m_worker.get(), &MyThread::exchangeFinished);
    send(first);
    QVERIFY(exchanges.wait());
    // The worker is held until the answer is in; the submission made meanwhile comes first.
    {
        const WorkerHold hold(*m_worker);
        send(second);
        QThread::msleep(150);
    }
    QVERIFY2(exchanges.wait(), qPrintable(m_receiver->lost));
    QCOMPARE(m_module->received(), first + second);
    QVERIFY(m_worker->comOpened());
}

// Bytes that came before a write and were never read are not its reply: the write purges them.
void tst_MyThread::bytesBeforeAWriteAreNotItsReply()
{
    openWorker(Program::Node);
    QSignalSpy exchanges(m_worker.get(), &MyThread::exchangeFinished);
    {
        const WorkerHold hold(*m_worker);
        m_module->sendUnasked(QByteArray::fromHex("01 02 03"));
        send(ModuleCommand::readDeviceInfoFrame());
    }
    QVERIFY(exchanges.wait());
    QCOMPARE(exchanges.first().at(1).toByteArray().toHex(' '),
             m_module->deviceInfoReply().toHex(' '));
}

void tst_MyThread::failedOpenEndsTheRunWithReason()
{
    m_worker = std::make_unique<MyThread>(LinkSettings::nodeConfig());
    m_receiver = std::make_unique<Receiver>(*m_worker);
    m_worker->setComName(QStringLiteral("/dev/does-not-exist-cc2530"));
    m_worker->start();
    QTRY_VERIFY(!m_receiver->failure.isEmpty());
    QVERIFY(m_worker->wait(2000));
    QVERIFY(!m_worker->comOpened());
    QVERIFY(!m_receiver->opened);

    // The next attempt opens.
    m_worker->setComName(m_module->devicePath());
    m_worker->start();
    QTRY_VERIFY(m_receiver->opened);
}

void tst_MyThread::permissionDeniedNamesTheGroup_data()
{
    QTest::addColumn<bool>("standIn"); // false: the system's own answer about /dev/ttyS0
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("groupWritable");

    QTest::newRow("its group may write: joining it is named") << true << false << true;
    QTest::newRow("only its owner may write") << true << false << false;
    QTest::newRow("writable: the serial library's reason") << true << true << true;
    QTest::newRow("a real device of another group") << false << false << false;
}

// The open of a device (here a file that is no terminal) fails; the reason says what the user
// can do about the permission. Root may write every file, so the system's answer is stood in
// for, except in the last row, which needs a user outside the group of /dev/ttyS0.
void tst_MyThread::permissionDeniedNamesTheGroup()
{
    QFETCH(bool, standIn);
    QFETCH(bool, writable);
    QFETCH(bool, groupWritable);

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("ttyUSB0"));
    QString name = path;
    QString group = QStringLiteral("dialout");
    if (standIn) {
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        setDeviceAccessSource([=](const QString &asked) -> std::optional<DeviceAccess> {
            if (asked != path)
                return std::nullopt;
            return DeviceAccess { writable, groupWritable, group };
        });
    } else {
        const QFileInfo device(QStringLiteral("/dev/ttyS0"));
        if (!device.exists() || device.isWritable() || device.group().isEmpty())
            QSKIP("needs a serial device this user may not write to (a user outside its group)");
        name = QStringLiteral("ttyS0");
        path = device.filePath();
        group = device.group();
        groupWritable = device.permission(QFileDevice::WriteGroup);
    }
    m_worker = std::make_unique<MyThread>(LinkSettings::nodeConfig());
    m_receiver = std::make_unique<Receiver>(*m_worker);
    m_worker->setComName(name);
    m_worker->start();
    QTRY_VERIFY(!m_receiver->failure.isEmpty());
    if (writable) {
        QVERIFY2(!m_receiver->failure.contains(path), qPrintable(m_receiver->failure));
    } else if (groupWritable) {
        QCOMPARE(m_receiver->failure,
                 QStringLiteral("无权访问 %1，请把当前用户加入 %2 组（sudo usermod -aG %2 $USER），"
                                "然后重新登录")
                         .arg(path, group));
    } else {
        QCOMPARE(m_receiver->failure, QStringLiteral("无权访问 %1").arg(path));
    }
}

void tst_MyThread::reopenAfterStop()
{
    openWorker(Program::Node);
    m_worker->requestStop();
    QVERIFY(m_worker->wait(2000));
    m_receiver->opened = false;
    m_worker->clearStop();
    m_worker->start();
    QTRY_VERIFY(m_receiver->opened);
    send(ModuleCommand::readDeviceInfoFrame());
    QTRY_COMPARE(m_receiver->deliveries.size(), 1);
}

void tst_MyThread::baudRateChangeReachesOpenPort()
{
    openWorker(Program::Remote);
    QCOMPARE(m_worker->baudRate(), 38400);
    QTRY_COMPARE(m_module->lineBaudRate(), 38400);
    m_worker->baudRateChange(4);
    QCOMPARE(m_worker->baudRate(), 115200);
    QTRY_COMPARE(m_module->lineBaudRate(), 115200);
    m_worker->baudRateChange(9);
    QTRY_COMPARE(m_module->lineBaudRate(), 38400);
}

QTEST_GUILESS_MAIN(tst_MyThread)
#include "tst_mythread.moc"
