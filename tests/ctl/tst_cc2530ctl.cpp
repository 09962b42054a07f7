#include "commandframe.h"
#include "firststate.h"
#include "moduleclient.h"
#include "modulecommands.h"
#include "moduleprofile.h"
#include "simulatedmodule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The program runs while the simulated modules serve their lines from threads of their own.
// started gets its process id; inChild runs in the child before the program starts.
Run ctl(const QStringList &arguments, const QString &workingDirectory = QString(),
        const std::function<void(qint64)> &started = {}, const std::function<void()> &inChild = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(CC2530CTL), arguments);
    if (started && process.waitForStarted())
        started(process.processId());
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
             QString::fromUtf8(process.readAllStandardOutput()),
             QString::fromUtf8(process.readAllStandardError()) };
}

QJsonObject parametersOf(const QString &profileJson)
{
    return QJsonDocument::fromJson(profileJson.toUtf8()).object().value("parameters").toObject();
}

// A module in another state than the simulated module's first one.
void changeState(SimulatedModule &module)
{
    module.setNvItem(0x0087, QByteArray::fromHex("00")); // coordinator
    module.setNvItem(0x0083, QByteArray::fromHex("3412")); // PAN ID 1234
    module.setNvItem(0x0084, QByteArray::fromHex("00000200")); // channel 17
    module.setNvItem(0x0411, QByteArray::fromHex("0900")); // short address 0009
    module.setNvItem(0x0413, QByteArray::fromHex("FF")); // UART timeout 255
    module.setTxPowerCode(0x15);
    module.setFrequencyDivisor(1600);
}

const QByteArray ReadRequest = QByteArray::fromHex("FE 00 21 15 34");

// Frames the module took in, in order.
QList<QByteArray> framesIn(const QByteArray &received)
{
    QList<QByteArray> frames;
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(received);
    for (const CommandFrame::Segment &segment : segments) {
        if (segment.kind == CommandFrame::Segment::Frame)
            frames.append(segment.bytes.toByteArray());
    }
    return frames;
}

// An NV write of node type (0x0087), PAN ID (0x0083) or channel (0x0084).
bool writesNetwork(const QByteArray &frame)
{
    return frame.size() > 5 && frame.mid(2, 2) == QByteArray::fromHex("2109") && frame.at(5) == 0
            && QByteArray::fromHex("878384").contains(frame.at(4));
}

} // namespace

class tst_Cc2530Ctl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void backupThenRestoreOntoAnotherModule();
    void overrideAndDryRun();
    void refusedInputWritesNothing_data();
    void refusedInputWritesNothing();
    void ignoredItemIsNamedAsFailed();
    void frequencyIsStoredAsTheNearest();
    void unknownByteIsNoValue();
    void silentModuleIsALinkFailure();
    void hangUpMidRestoreListsWhatWasVerified();
    void lateModuleIsRestored_data();
    void lateModuleIsRestored();
    void stoppedRestoreTellsTheTruth_data();
    void stoppedRestoreTellsTheTruth();
    void saveWaitsForTheRestart_data();
    void saveWaitsForTheRestart();
    void restartWaitEnds_data();
    void restartWaitEnds();
    void sendMarksFrames();
    void wrongArgumentsAndTroubleAreNamed_data();
    void wrongArgumentsAndTroubleAreNamed();
    void portsAreListed();
    void backupKeepsWhatWasThere_data();
    void backupKeepsWhatWasThere();

private:
    QString writeFile(const QString &name, const QByteArray &text);
    // A profile of the given members of "parameters".
    QString writeParameters(const QString &name, const QByteArray &members);

    QTemporaryDir m_dir;
    std::unique_ptr<SimulatedModule> m_a;
    std::unique_ptr<SimulatedModule> m_b;
};

void tst_Cc2530Ctl::init()
{
    m_a = std::make_unique<SimulatedModule>();
    m_b = std::make_unique<SimulatedModule>();
    if (!m_a->start() || !m_b->start())
        QSKIP("no pseudo-terminal available");
    changeState(*m_b);
}

QString tst_Cc2530Ctl::writeFile(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

QString tst_Cc2530Ctl::writeParameters(const QString &name, const QByteArray &members)
{
    return writeFile(
            name, R"({"format": "cc2530-profile", "version": 1, "parameters": {)" + members + "}}");
}

void tst_Cc2530Ctl::backupThenRestoreOntoAnotherModule()
{
    const QString backup = m_dir.filePath(QStringLiteral("a.json"));
    QCOMPARE(ctl({ "backup", m_a->devicePath(), backup }).exitCode, 0);

    const Run restore = ctl({ "restore", m_b->devicePath(), backup });
    QCOMPARE(restore.exitCode, 0);
    QVERIFY2(!restore.out.contains("FAILED"), qPrintable(restore.out));
    QVERIFY(restore.out.contains("shortAddress: written and verified"));

    QFile file(backup);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(parametersOf(QString::fromUtf8(file.readAll())), FirstState::parameters());
    const Run readB = ctl({ "read", m_b->devicePath(), "--json" });
    QCOMPARE(parametersOf(readB.out), FirstState::parameters());
    QCOMPARE(FirstState::storedDifferences(*m_a, *m_b), QStringList());

    // Nothing differs any more: a second restore only reads.
    m_b->clearReceived();
    QCOMPARE(ctl({ "restore", m_b->devicePath(), backup }).exitCode, 0);
    QCOMPARE(m_b->received(), ReadRequest);
    QCOMPARE(ctl({ "diff", m_b->devicePath(), backup }).exitCode, 0);
}

void tst_Cc2530Ctl::overrideAndDryRun()
{
    const QString backup = m_dir.filePath(QStringLiteral("a.json"));
    QCOMPARE(ctl({ "backup", m_a->devicePath(), backup }).exitCode, 0);

    const Run dry = ctl({ "restore", m_b->devicePath(), backup, "--dry-run" });
    QCOMPARE(dry.exitCode, 0);
    QCOMPARE(m_b->received(), ReadRequest);
    // Short address 0001 as the window writes it, then the clear-network frame once.
    QVERIFY2(dry.out.contains("FE 06 21 09 11 04 00 02 01 00 38  shortAddress=0001"),
             qPrintable(dry.out));
    QCOMPARE(dry.out.count("FE 05 21 09 03 00 00 01 02 2D"), 1);

    const Run diff = ctl({ "diff", m_b->devicePath(), backup });
    QCOMPARE(diff.exitCode, 1);
    QVERIFY(diff.out.contains("shortAddress: module 0009, file 0001"));

    const Run set = ctl({ "restore", m_b->devicePath(), backup, "--set", "shortAddress=0002" });
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(m_b->nvItem(0x0411), QByteArray::fromHex("0200"));
    QCOMPARE(m_a->nvItem(0x0083), m_b->nvItem(0x0083));
}

void tst_Cc2530Ctl::refusedInputWritesNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("message");

    const QByteArray head = R"({"format": "cc2530-profile", "version": 1, "parameters": )";
    QTest::newRow("malformed") << QByteArray("{\"format\": \n  \"cc2530-profile\",,}")
                               << QStringList() << "line 2";
    QTest::newRow("other format") << QByteArray(R"({"format": "x", "version": 1})") << QStringList()
                                  << "format";
    QTest::newRow("newer version") << QByteArray(R"({"format": "cc2530-profile", "version": 2})")
                                   << QStringList() << "version";
    QTest::newRow("unknown key") << head + R"({"shortAdress": "0002"}})" << QStringList()
                                 << "shortAddress";
    QTest::newRow("out of range") << head + R"({"channel": 27}})" << QStringList() << "26";
    QTest::newRow("pin not offered")
            << head + R"({"pins": {"io3": "pwm-output"}}})" << QStringList() << "io3";
    QTest::newRow("bad --set") << head + R"({"channel": 20}})"
                               << QStringList { "--set", "panId=12345" } << "panId";
    QTest::newRow("key twice in the file") << head + R"({"channel": 15, "channel": 22}})"
                                           << QStringList() << "channel: given more than once";
    QTest::newRow("key twice in --set")
            << head + R"({"channel": 20}})"
            << QStringList { "--set", "channel=21", "--set", "channel=22" }
            << "channel: given more than once";
    // The --set value is checked although the file is refused.
    QTest::newRow("refused file and bad --set")
            << QByteArray() << QStringList { "--set", "panId=12345" }
            << R"(panId: "12345" is not allowed)";
}

void tst_Cc2530Ctl::refusedInputWritesNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, extra);
    QFETCH(QString, message);

    const Run run = ctl(QStringList { "restore", m_b->devicePath(),
                                      writeFile(QStringLiteral("bad.json"), file) }
                        + extra);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QTest::qWait(50);
    QVERIFY(m_b->received().isEmpty());
}

void tst_Cc2530Ctl::ignoredItemIsNamedAsFailed()
{
    m_b->setIgnoredNvItems({ 0x0411 });
    const Run run = ctl({ "set", m_b->devicePath(), "shortAddress=0002", "panId=ABCD" });
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains("shortAddress: FAILED: wanted 0002, module shows 0009"),
             qPrintable(run.out));
    QVERIFY(run.out.contains("panId: written and verified"));
    // Written once more before it counts as failed.
    QCOMPARE(m_b->received().count(QByteArray::fromHex("FE 06 21 09 11 04 00 02 02 00 3B")), 2);
}

void tst_Cc2530Ctl::frequencyIsStoredAsTheNearest()
{
    const Run restore =
            ctl({ "restore", m_b->devicePath(),
                  writeParameters(QStringLiteral("f.json"), R"("pwmFrequency": 30000)") });
    QCOMPARE(restore.exitCode, 0);
    QVERIFY2(restore.err.contains("pwmFrequency: 30000 Hz is stored as 29990 Hz"),
             qPrintable(restore.err));
    QVERIFY2(restore.out.contains("pwmFrequency: written and verified"), qPrintable(restore.out));
}

// Baud-rate byte 07 stands for no item (the window shows 38400 for it).
void tst_Cc2530Ctl::unknownByteIsNoValue()
{
    m_b->setNvItem(0x040B, QByteArray::fromHex("07"));
    const Run read = ctl({ "read", m_b->devicePath() });
    QVERIFY2(read.out.contains("uartBaudRate\tunknown (07)\t38400\n"), qPrintable(read.out));

    const QString backup = m_dir.filePath(QStringLiteral("b.json"));
    const Run saved = ctl({ "backup", m_b->devicePath(), backup });
    QCOMPARE(saved.exitCode, 0);
    QVERIFY2(saved.err.contains("uartBaudRate: unknown value 07 in the module, left out"),
             qPrintable(saved.err));
    QFile file(backup);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!parametersOf(QString::fromUtf8(file.readAll())).contains("uartBaudRate"));

    const QString wanted = writeParameters(QStringLiteral("w.json"), R"("uartBaudRate": 38400)");
    const Run diff = ctl({ "diff", m_b->devicePath(), wanted });
    QCOMPARE(diff.exitCode, 1);
    QVERIFY2(diff.out.contains("uartBaudRate: module unknown (07), file 38400"),
             qPrintable(diff.out));
    const Run restore = ctl({ "restore", m_b->devicePath(), wanted });
    QCOMPARE(restore.exitCode, 0);
    QVERIFY2(restore.out.contains("uartBaudRate: written and verified"), qPrintable(restore.out));
    QCOMPARE(m_b->nvItem(0x040B), QByteArray::fromHex("02"));
}

void tst_Cc2530Ctl::silentModuleIsALinkFailure()
{
    m_b->setSilent(true);
    const Run run = ctl({ "read", m_b->devicePath() });
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("did not answer"));
    QCOMPARE(ctl({ "read", m_dir.filePath("no-such-port") }).exitCode, 2);
}

void tst_Cc2530Ctl::hangUpMidRestoreListsWhatWasVerified()
{
    m_b->setUnansweredWrites(true);
    connect(
            m_b.get(), &SimulatedModule::bytesReceived, m_b.get(),
            [this](const QByteArray &chunk) {
                if (chunk.startsWith(QByteArray::fromHex("FE 06 21 09 11 04")))
                    m_b->hangUp();
            },
            Qt::DirectConnection);
    const Run run =
            ctl({ "set", m_b->devicePath(), "panId=ABCD", "shortAddress=0002", "--gap-ms", "300" });
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("line was lost"), qPrintable(run.err));
    QVERIFY2(run.out.contains("shortAddress: sent, not verified"), qPrintable(run.out));
    QVERIFY(run.out.contains("panId: sent, not verified"));
    QVERIFY(!run.out.contains(": written and verified"));
}

void tst_Cc2530Ctl::lateModuleIsRestored_data()
{
    QTest::addColumn<int>("delayMs");

    QTest::newRow("80 ms") << 80;
    QTest::newRow("180 ms") << 180;
    QTest::newRow("250 ms") << 250;
}

// A module that answers every frame late (storing in flash): late answers land on the purge
// before the next write, and answers queue up behind each other.
void tst_Cc2530Ctl::lateModuleIsRestored()
{
    QFETCH(int, delayMs);

    // A network parameter among them: the clear-network frame goes out too.
    const QString profile = writeParameters(
            QStringLiteral("few.json"),
            R"("nodeType": "router", "channel": 15, "shortAddress": "0001", "uartTimeout": 5)");
    m_b->setReplyDelayMs(delayMs);
    const Run run = ctl({ "restore", m_b->devicePath(), profile });
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains("\n4 written and verified, 0 unchanged, 0 failed, 0 sent"),
             qPrintable(run.out));
    QCOMPARE(m_b->received().count(ModuleCommand::clearNetworkFrame()), 1);
}

void tst_Cc2530Ctl::stoppedRestoreTellsTheTruth_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: the line hangs up instead
    QTest::addColumn<int>("frame");

    SimulatedModule first;
    SimulatedModule changed;
    changed.changeEveryParameter();
    const auto differences =
            ModuleProfile::differences(ModuleProfile::fromReply(changed.deviceInfoReply()),
                                       ModuleProfile::fromReply(first.deviceInfoReply()));
    // The first read, every write, the clear-network frame, the read-back.
    const qsizetype frames = 2
            + ModuleProfile::writePlan(differences, ModuleProfile::ClearNetwork::OnceAtEnd).size();
    for (int k = 1; k <= frames; ++k) {
        QTest::addRow("hang-up at frame %d", k) << 0 << k;
        QTest::addRow("SIGINT at frame %d", k) << int(SIGINT) << k;
    }
    QTest::addRow("SIGTERM at frame 3") << int(SIGTERM) << 3;
}

// A full restore stopped at every frame: never exit 0, "verified" only for what the module
// holds, "sent" for exactly the writes that went out, and after a signal no new network
// setting without the clear-network frame behind it.
void tst_Cc2530Ctl::stoppedRestoreTellsTheTruth()
{
    QFETCH(int, signalNumber);
    QFETCH(int, frame);

    const Profile wanted = ModuleProfile::fromReply(m_a->deviceInfoReply());
    const QString profile = writeFile(QStringLiteral("first.json"), ProfileFile::write(wanted));
    m_b->changeEveryParameter();
    std::atomic<qint64> pid { 0 };
    std::atomic<int> seen { 0 };
    if (signalNumber == 0) {
        m_b->setHangUpAfterFrames(frame);
    } else {
        connect(
                m_b.get(), &SimulatedModule::frameReceived, m_b.get(),
                [&](const QByteArray &) {
                    if (++seen == frame)
                        ::kill(pid_t(pid.load()), signalNumber);
                },
                Qt::DirectConnection);
    }
    const Run run = ctl({ "restore", m_b->devicePath(), profile }, QString(),
                        [&pid](qint64 id) { pid = id; });
    QCOMPARE(run.exitCode, signalNumber == 0 ? 2 : 128 + signalNumber);

    const Profile now = ModuleProfile::fromReply(m_b->deviceInfoReply());
    int sent = 0;
    const QStringList keys = wanted.keys();
    for (const QString &key : keys) {
        if (run.out.contains(key + QStringLiteral(": written and verified")))
            QCOMPARE(now.value(key), wanted.value(key));
        sent += run.out.contains(key + QStringLiteral(": sent, not verified"));
    }
    const QList<QByteArray> frames = framesIn(m_b->received());
    const QByteArray clear = ModuleCommand::clearNetworkFrame();
    const auto writes = std::count_if(frames.begin(), frames.end(), [&](const QByteArray &f) {
        return f != ReadRequest && f != clear;
    });
    if (!run.out.contains(QStringLiteral(": written and verified")))
        QCOMPARE(sent, int(writes));
    if (signalNumber != 0) {
        const auto network = std::find_if(frames.rbegin(), frames.rend(), writesNetwork);
        QVERIFY2(network == frames.rend() || std::find(frames.rbegin(), network, clear) != network,
                 qPrintable(run.out));
    }
}

void tst_Cc2530Ctl::saveWaitsForTheRestart_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("delayMs"); // from save-and-restart to the restart
    QTest::addColumn<int>("lostAtMs"); // the line hangs up this long after the save (0: never)
    QTest::addColumn<QString>("before"); // set without --save first, on a module that loses
                                         // every write at the restart (empty: it keeps them)

    const QString changed = QStringLiteral("channel: written and verified");
    QTest::newRow("a change") << "channel=20" << changed << 0 << 0 << "";
    QTest::newRow("nothing to write")
            << "shortAddress=0009"
            << "nothing written: the module already holds" << 0 << 0 << "";
    QTest::newRow("answers reads before it restarts") << "channel=20" << changed << 400 << 0 << "";
    QTest::newRow("line lost while waiting") << "channel=20" << changed << 400 << 300 << "";
    QTest::newRow("a write lost at the restart")
            << "channel=20"
            << "channel: FAILED: wanted 20, module shows 17" << 0 << 0 << "channel=21";
    QTest::newRow("a value held unsaved, lost at the restart")
            << "shortAddress=0005"
            << "shortAddress: FAILED: wanted 0005, module shows 0009" << 0 << 0
            << "shortAddress=0005";
}

void tst_Cc2530Ctl::saveWaitsForTheRestart()
{
    QFETCH(QString, setting);
    QFETCH(QString, line);
    QFETCH(int, delayMs);
    QFETCH(int, lostAtMs);
    QFETCH(QString, before);

    constexpr int RestartMs = 300;
    if (!before.isEmpty()) {
        m_b->setForgetWritesAtRestart(true);
        QCOMPARE(ctl({ "set", m_b->devicePath(), before }).exitCode, 0);
    }
    m_b->setRestartOnSave(true);
    m_b->setRestartMs(RestartMs);
    m_b->setRestartDelayMs(delayMs);
    if (lostAtMs > 0) {
        connect(
                m_b.get(), &SimulatedModule::frameReceived, m_b.get(),
                [this, lostAtMs](const QByteArray &frame) {
                    if (frame == ModuleCommand::saveAndRestartFrame()) // in the line's thread
                        QTimer::singleShot(lostAtMs, [this] { m_b->hangUp(); });
                },
                Qt::DirectConnection);
    }
    const Run run = ctl({ "set", m_b->devicePath(), setting, "--save" });
    if (lostAtMs > 0) {
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("line was lost"), qPrintable(run.err));
        return;
    }
    QVERIFY2(run.exitCode == (before.isEmpty() ? 0 : 1), qPrintable(run.err));
    QCOMPARE(m_b->restartCount(), 1);
    QVERIFY(m_b->received().endsWith(ReadRequest));
    // Each step said, in order.
    const qsizetype said = run.out.indexOf(line);
    const qsizetype saved = run.out.indexOf("save-and-restart sent");
    const qsizetype again = run.out.indexOf("the module answered again after");
    QVERIFY2(said >= 0 && saved >= 0 && again > saved, qPrintable(run.out));
    // By a read answered after the restart; the wait begins after the save's gap of 100 ms.
    const auto afterMs = QRegularExpression("again after (\\d+) ms").match(run.out).captured(1);
    QVERIFY2(afterMs.toInt() >= delayMs + RestartMs - 150, qPrintable(run.out));
}

void tst_Cc2530Ctl::restartWaitEnds_data()
{
    QTest::addColumn<bool>("restarts");
    QTest::addColumn<QString>("failure");

    QTest::newRow("no answer after the restart")
            << true << "the module did not answer again within 300 ms of the restart";
    QTest::newRow("no restart") << false << "the module went on answering for 300 ms";
}

// The wait after save-and-restart ends at its time-out (cc2530ctl waits 10 s).
void tst_Cc2530Ctl::restartWaitEnds()
{
    QFETCH(bool, restarts);
    QFETCH(QString, failure);

    m_b->setRestartOnSave(true);
    m_b->setRestartMs(5000);
    ModuleClient client(100);
    QVERIFY(client.open(m_b->devicePath()));
    // Without the save the module goes on answering.
    if (restarts)
        QVERIFY(client.exchange(ModuleCommand::saveAndRestartFrame()));
    QVERIFY(!client.waitForRestart(300));
    QCOMPARE(client.failure(), ModuleClient::Failure::NoAnswer);
    QVERIFY2(client.failureText().startsWith(failure), qPrintable(client.failureText()));
}

void tst_Cc2530Ctl::sendMarksFrames()
{
    const Run run = ctl({ "send", m_a->devicePath(), "21 09 11 04 00 02 05 00", "--frame" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("sent: FE 06 21 09 11 04 00 02 05 00 3C"), qPrintable(run.out));
    QVERIFY2(run.out.contains("(frame, intact)"), qPrintable(run.out));
    QCOMPARE(ctl({ "send", m_a->devicePath(), "F" }).exitCode, 1);
}

void tst_Cc2530Ctl::wrongArgumentsAndTroubleAreNamed_data()
{
    QTest::addColumn<QStringList>("arguments"); // {B}: the module's port
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // {pid}: this test's process id

    QTest::newRow("read: a profile as port")
            << QStringList { "read", "router.json" } << "" << 1
            << "router.json is not a serial port (it is a regular file)";
    QTest::newRow("read: ./profile as port") << QStringList { "read", "./router.json" } << "" << 1
                                             << "./router.json is not a serial port";
    QTest::newRow("read: /dev/null")
            << QStringList { "read", "/dev/null" } << "" << 1 << "/dev/null is not a serial port";
    QTest::newRow("read: empty port") << QStringList { "read", "" } << "" << 1 << "PORT is empty";
    QTest::newRow("read: port in use") << QStringList { "read", "{B}" } << "held" << 2
                                       << "in use by process {pid} (tst_cc2530ctl)";
    QTest::newRow("restore: arguments swapped") << QStringList { "restore", "router.json", "{B}" }
                                                << "" << 1 << "the arguments look swapped";
    QTest::newRow("backup: arguments swapped") << QStringList { "backup", "router.json", "{B}" }
                                               << "" << 1 << "the arguments look swapped";
    QTest::newRow("restore: FIFO as profile") << QStringList { "restore", "{B}", "fifo" } << "" << 1
                                              << "fifo is not a profile file (it is a FIFO)";
    QTest::newRow("diff: missing file") << QStringList { "diff", "{B}", "missing.json" } << "" << 2
                                        << "missing.json: no such profile file";
    QTest::newRow("diff: refused file")
            << QStringList { "diff", "{B}", "bad.json" } << "" << 2 << "bad.json";
    QTest::newRow("diff: silent module")
            << QStringList { "diff", "{B}", "router.json" } << "silent" << 2 << "did not answer";
    QTest::newRow("diff: wrong usage") << QStringList { "diff", "{B}" } << "" << 2 << "usage";
    QTest::newRow("send: no reply")
            << QStringList { "send", "{B}", "21 15", "--frame" } << "silent" << 2 << "no reply";
    const QString gap = QStringLiteral("--gap-ms: expected 1 to 10000 milliseconds");
    QTest::newRow("set: --gap-ms 0")
            << QStringList { "set", "{B}", "channel=20", "--gap-ms", "0" } << "" << 1 << gap;
    QTest::newRow("restore: --gap-ms 10001")
            << QStringList { "restore", "{B}", "router.json", "--gap-ms", "10001" } << "" << 1
            << gap;
    QTest::newRow("set: --gap-ms not a number")
            << QStringList { "set", "{B}", "channel=20", "--gap-ms", "5ms" } << "" << 1 << gap;
    QTest::newRow("remote: --gap-ms below 0")
            << QStringList { "remote", "{B}", "restart", "--to", "0001", "--gap-ms", "-1" } << ""
            << 1 << "--gap-ms: expected 0 to 3600000 milliseconds";
    QTest::newRow("ports: an argument")
            << QStringList { "ports", "{B}" } << "" << 1 << "usage: cc2530ctl ports";
    QTest::newRow("unknown subcommand") << QStringList { "restor", "{B}", "router.json" } << "" << 1
                                        << "unknown subcommand 'restor'";
    QTest::newRow("no subcommand") << QStringList() << "" << 1 << "Usage: cc2530ctl SUBCOMMAND";
}

void tst_Cc2530Ctl::wrongArgumentsAndTroubleAreNamed()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, fault);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(QFile::copy(writeFile(QStringLiteral("router.json"),
                                  R"({"format": "cc2530-profile", "version": 1,
                                      "parameters": {"channel": 20}})"),
                        dir.filePath(QStringLiteral("router.json"))));
    QVERIFY(QFile::copy(writeFile(QStringLiteral("bad.json"), "{"),
                        dir.filePath(QStringLiteral("bad.json"))));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600),
             0);
    arguments.replaceInStrings(QStringLiteral("{B}"), m_b->devicePath());
    message.replace(QStringLiteral("{pid}"), QString::number(QCoreApplication::applicationPid()));
    m_b->setSilent(fault == QLatin1String("silent"));
    QSerialPort holder;
    holder.setPortName(m_b->devicePath());
    QVERIFY(fault != QLatin1String("held") || holder.open(QIODevice::ReadWrite));

    const Run run = ctl(arguments, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    if (fault.isEmpty() && exitCode == 1)
        QCOMPARE(m_b->received(), QByteArray());
}

// The system's serial ports, in both forms.
void tst_Cc2530Ctl::portsAreListed()
{
    QStringList system;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        system << info.systemLocation();

    const Run text = ctl({ "ports" });
    QCOMPARE(text.exitCode, 0);
    QStringList listed;
    for (const QString &line : text.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList columns = line.split(u'\t');
        QVERIFY2(columns.size() == 5 && !columns.contains(QString()), qPrintable(line));
        listed << columns.first();
    }
    QCOMPARE(listed, system);
    QCOMPARE(text.err.contains("no serial ports found"), system.isEmpty());

    const Run json = ctl({ "ports", "--json" });
    QCOMPARE(json.exitCode, 0);
    listed.clear();
    const QJsonArray entries = QJsonDocument::fromJson(json.out.toUtf8()).array();
    for (const QJsonValue &entry : entries) {
        QCOMPARE(entry.toObject().keys(),
                 QStringList({ "description", "manufacturer", "port", "serialNumber", "usbId" }));
        listed << entry["port"].toString();
    }
    QCOMPARE(listed, system);
}

void tst_Cc2530Ctl::backupKeepsWhatWasThere_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("FIFO") << "fifo" << 1 << "fifo is not a regular file (it is a FIFO)";
    QTest::newRow("link to a FIFO") << "link" << 1 << "link is not a regular file (it is a FIFO)";
    QTest::newRow("full disk, a good profile there") << "profile.json" << 2 << "File too large";
}

void tst_Cc2530Ctl::backupKeepsWhatWasThere()
{
    QFETCH(QString, target);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("fifo")),
                        dir.filePath(QStringLiteral("link"))));
    const QByteArray good = R"({"format": "cc2530-profile", "version": 1})";
    QFile old(dir.filePath(QStringLiteral("profile.json")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write(good) == good.size());
    old.close();

    // Files may grow to 400 bytes (a lock file fits, a profile does not).
    const Run run = ctl({ "backup", m_a->devicePath(), dir.filePath(target) }, QString(), {}, [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 400, 400 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    struct stat status = {};
    QVERIFY(::stat(fifo.constData(), &status) == 0 && S_ISFIFO(status.st_mode));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), good);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList({ "fifo", "link", "profile.json" }));
}

QTEST_GUILESS_MAIN(tst_Cc2530Ctl)
#include "tst_cc2530ctl.moc"
