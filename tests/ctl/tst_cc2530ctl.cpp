#include "modulecommands.h"
#include "simulatedmodule.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The program runs while the simulated modules serve their lines from threads of their own.
Run ctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(CC2530CTL), arguments);
    if (!process.waitForFinished(30000))
        return {};
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
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
    module.setNvItem(0x0084, QByteArray::fromHex("00000200")); // channel 25
    module.setNvItem(0x0411, QByteArray::fromHex("0900")); // short address 0009
    module.setNvItem(0x0413, QByteArray::fromHex("FF")); // UART timeout 255
    module.setTxPowerCode(0x15);
    module.setFrequencyDivisor(1600);
}

const QByteArray ReadRequest = QByteArray::fromHex("FE 00 21 15 34");

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
    void saveWaitsForTheRestart();
    void sendMarksFrames();

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
    const Run readB = ctl({ "read", m_b->devicePath(), "--json" });
    QCOMPARE(parametersOf(readB.out), parametersOf(QString::fromUtf8(file.readAll())));

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
    QVERIFY2(run.out.contains("shortAddress: not verified"), qPrintable(run.out));
    QVERIFY(!run.out.contains(": written and verified"));
}

void tst_Cc2530Ctl::saveWaitsForTheRestart()
{
    m_b->setRestartOnSave(true);
    m_b->setRestartMs(500);
    const Run run = ctl({ "set", m_b->devicePath(), "channel=20", "--save" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("channel: written and verified"), qPrintable(run.out));
    QCOMPARE(m_b->restartCount(), 1);
    QVERIFY(m_b->received().endsWith(ReadRequest));
}

void tst_Cc2530Ctl::sendMarksFrames()
{
    const Run run = ctl({ "send", m_a->devicePath(), "21 09 11 04 00 02 05 00", "--frame" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("sent: FE 06 21 09 11 04 00 02 05 00 3C"), qPrintable(run.out));
    QVERIFY2(run.out.contains("(frame, intact)"), qPrintable(run.out));
    QCOMPARE(ctl({ "send", m_a->devicePath(), "F" }).exitCode, 1);
}

QTEST_GUILESS_MAIN(tst_Cc2530Ctl)
#include "tst_cc2530ctl.moc"
