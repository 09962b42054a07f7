#include "ledger.h"
#include "moduleprofile.h"
#include "simulatedmodule.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <atomic>
#include <csignal>

namespace {

// The simulated modules' MACs, and D's, a module that is never plugged.
const QStringList Macs { "00124B00000000A0", "00124B00000000A1", "00124B00000000A2" };
const QString D = QStringLiteral("00124B00000000D0");
const QByteArray ReadRequest = QByteArray::fromHex("FE 00 21 15 34");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run finish(QProcess &station)
{
    if (!station.waitForFinished(30000))
        station.kill();
    station.waitForFinished();
    return { station.exitStatus() == QProcess::NormalExit ? station.exitCode() : -1,
             QString::fromUtf8(station.readAllStandardOutput()),
             QString::fromUtf8(station.readAllStandardError()) };
}

} // namespace

// cc2530ctl provision against several simulated modules with distinct MACs.
class tst_Provision : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void modulesOnPorts_data();
    void modulesOnPorts();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void watchProvisionsWhatIsPlugged();
    void unpluggedModuleIsLost();
    void killedStationIsResumed();

private:
    // {P}: the profile, {L}: the ledger, {A} {B} {C}: the modules' ports.
    QStringList arguments(QStringList list) const;
    Run provision(const QStringList &list) const;
    // A station watching directory, once it watches.
    bool startWatching(QProcess &station, const QString &directory) const;
    Ledger ledger() const;
    void writeLedger(const QByteArray &csv) const;
    // Every per-unit value of the module's row is what the module holds.
    bool holdsItsRow(int module, const Ledger &ledger) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::array<std::unique_ptr<SimulatedModule>, 3> m_modules;
};

void tst_Provision::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < 3; ++i) {
        m_modules[i] = std::make_unique<SimulatedModule>();
        if (!m_modules[i]->start())
            QSKIP("no pseudo-terminal available");
        QByteArray mac = QByteArray::fromHex(Macs[i].toLatin1());
        std::reverse(mac.begin(), mac.end());
        m_modules[i]->setMacAddress(mac);
    }
    m_modules[2]->changeEveryParameter();
    QFile profile(m_dir->filePath(QStringLiteral("profile.json")));
    QVERIFY(profile.open(QIODevice::WriteOnly));
    profile.write(
            ProfileFile::write(ModuleProfile::fromReply(SimulatedModule().deviceInfoReply())));
}

QStringList tst_Provision::arguments(QStringList list) const
{
    list.replaceInStrings(QStringLiteral("{P}"), m_dir->filePath(QStringLiteral("profile.json")));
    list.replaceInStrings(QStringLiteral("{L}"), m_dir->filePath(QStringLiteral("ledger.csv")));
    for (int i = 0; i < 3; ++i)
        list.replaceInStrings(QStringLiteral("{%1}").arg(QChar(u'A' + i)),
                              m_modules[i]->devicePath());
    return QStringList { "provision" } + list;
}

Run tst_Provision::provision(const QStringList &list) const
{
    QProcess station;
    station.start(QStringLiteral(CC2530CTL), arguments(list));
    return finish(station);
}

Ledger tst_Provision::ledger() const
{
    QString error;
    auto read = Ledger::load(m_dir->filePath(QStringLiteral("ledger.csv")), &error);
    const QStringList faults =
            read ? read->check({ QStringLiteral("shortAddress") }) : QStringList { error };
    if (!faults.isEmpty() && QFile::exists(m_dir->filePath(QStringLiteral("ledger.csv"))))
        qWarning() << "ledger refused:" << faults;
    return read.value_or(Ledger());
}

void tst_Provision::writeLedger(const QByteArray &csv) const
{
    QFile file(m_dir->filePath(QStringLiteral("ledger.csv")));
    if (!csv.isEmpty() && file.open(QIODevice::WriteOnly))
        file.write(csv);
}

bool tst_Provision::startWatching(QProcess &station, const QString &directory) const
{
    station.start(QStringLiteral(CC2530CTL),
                  arguments({ "{P}", "--ledger", "{L}", "--assign", "shortAddress=0010..00FF",
                              "--gap-ms", "50", "--watch", directory }));
    QByteArray err;
    return QTest::qWaitFor(
            [&] { return (err += station.readAllStandardError()).contains("watching"); });
}

bool tst_Provision::holdsItsRow(int module, const Ledger &ledger) const
{
    const Profile own = ledger.parameters(ledger.findMac(Macs[module]));
    const Profile now = ModuleProfile::fromReply(m_modules[module]->deviceInfoReply());
    const QStringList keys = own.keys();
    return !keys.isEmpty() && std::all_of(keys.begin(), keys.end(), [&](const QString &key) {
        return now.value(key) == own.value(key);
    });
}

void tst_Provision::modulesOnPorts_data()
{
    QTest::addColumn<QByteArray>("csv"); // the ledger before the run
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("fault"); // of module A
    QTest::addColumn<QStringList>("statuses"); // A's and B's
    QTest::addColumn<int>("exitCode");

    const QString verified = QStringLiteral("verified");
    QTest::newRow("addresses assigned") << QByteArray() << "0010..00FF"
                                        << "" << QStringList { verified, verified } << 0;
    // The coordinator planned in a ledger saved by a spreadsheet.
    QTest::newRow("planned row") << QByteArray("\xEF\xBB\xBFnote,nodeType,mac,shortAddress\r\n"
                                               "\"desk 1, \"\"left\"\"\",coordinator,"
                                               "00124B00000000A0,0000\r\n")
                                 << "0010..00FF"
                                 << "" << QStringList { verified, verified } << 0;
    QTest::newRow("range exhausted")
            << QByteArray("mac,shortAddress,status\r\n00124B00000000D0,0010,verified\r\n")
            << "0010..0010"
            << "" << QStringList(2, QStringLiteral("refused: no free shortAddress in 0010..0010"))
            << 1;
    QTest::newRow("short address ignored")
            << QByteArray() << "0010..00FF"
            << "ignore" << QStringList { "failed: shortAddress", verified } << 1;
    // Between the address's write and its read-back.
    QTest::newRow("hang-up") << QByteArray("mac,shortAddress,status\r\n"
                                           "00124B00000000D0,0010,verified\r\n")
                             << "0010..00FF"
                             << "hangup" << QStringList { "lost: the line was lost", verified }
                             << 2;
}

void tst_Provision::modulesOnPorts()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, range);
    QFETCH(QString, fault);
    QFETCH(QStringList, statuses);
    QFETCH(int, exitCode);

    writeLedger(csv);
    if (fault == QLatin1String("ignore"))
        m_modules[0]->setIgnoredNvItems({ 0x0411 });
    if (fault == QLatin1String("hangup"))
        m_modules[0]->setHangUpAfterFrames(3);
    const QStringList list { "{P}", "--ledger", "{L}", "--assign", "shortAddress=" + range,
                             "{A}", "{C}" };
    const Run run = provision(list);
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));

    const Ledger after = ledger();
    const QStringList addresses = after.values(QStringLiteral("shortAddress"));
    QCOMPARE(QSet<QString>(addresses.begin(), addresses.end()).size(), addresses.size());
    for (const int module : { 0, 2 }) {
        const QString status = after.value(after.findMac(Macs[module]), QStringLiteral("status"));
        QVERIFY2(status.startsWith(statuses[module / 2]), qPrintable(status));
        if (!status.startsWith(QLatin1String("lost")))
            QCOMPARE(holdsItsRow(module, after), status == QLatin1String("verified"));
        if (status.startsWith(QLatin1String("refused")))
            QCOMPARE(m_modules[module]->received(), ReadRequest);
    }
    if (after.findMac(D) >= 0)
        QCOMPARE(after.value(after.findMac(D), QStringLiteral("status")), "verified");
    if (after.columns().contains(QStringLiteral("note")))
        QCOMPARE(after.value(after.findMac(Macs[0]), QStringLiteral("note")), "desk 1, \"left\"");
    if (exitCode != 0)
        return;

    // Once more: nothing to write, every module keeps its address.
    m_modules[0]->clearReceived();
    m_modules[2]->clearReceived();
    QCOMPARE(provision(list).exitCode, 0);
    QCOMPARE(m_modules[0]->received() + m_modules[2]->received(), ReadRequest + ReadRequest);
    QCOMPARE(ledger().values(QStringLiteral("shortAddress")), addresses);
}

void tst_Provision::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("message");

    QTest::newRow("a refused value in the ledger")
            << QByteArray("mac,shortAddress\r\n00124B00000000A0,12345\r\n") << QStringList()
            << "row 2 (00124B00000000A0): shortAddress: \"12345\" is not allowed";
    QTest::newRow("an address planned twice")
            << QByteArray("mac,shortAddress\r\n00124B00000000A0,0010\r\n00124B00000000D0,0010\r\n")
            << QStringList() << "rows 2 and 3 both hold shortAddress 0010";
    QTest::newRow("a word to count through")
            << QByteArray() << QStringList { "--assign", "nodeType=router..coordinator" }
            << "nodeType: its values are words";
    QTest::newRow("ports and --watch")
            << QByteArray() << QStringList { "--watch", "/dev" } << "not both";
}

void tst_Provision::refusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, extra);
    QFETCH(QString, message);

    writeLedger(csv);
    const Run run = provision(
            QStringList { "{P}", "--ledger", "{L}", "--assign", "shortAddress=0010..00FF", "{A}" }
            + extra);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QFile file(m_dir->filePath(QStringLiteral("ledger.csv")));
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), csv);
    QTest::qWait(50);
    QVERIFY(m_modules[0]->received().isEmpty());
}

// Links to the modules' lines come and go in the watched directory, as adapters in
// /dev/serial/by-id do; the directory itself goes with the last one.
void tst_Provision::watchProvisionsWhatIsPlugged()
{
    QDir byId(m_dir->filePath(QStringLiteral("by-id")));
    QVERIFY(byId.mkpath(QStringLiteral(".")));
    QVERIFY(QFile::link(m_modules[1]->devicePath(), byId.filePath(QStringLiteral("present"))));
    QProcess station;
    QVERIFY(startWatching(station, byId.path()));

    const Run second = provision({ "{P}", "--ledger", "{L}", "{B}" });
    QCOMPARE(second.exitCode, 1);
    QVERIFY2(second.err.contains(QStringLiteral("in use by process %1").arg(station.processId())),
             qPrintable(second.err));

    QVERIFY(QFile::link(m_modules[0]->devicePath(), byId.filePath(QStringLiteral("a"))));
    QTRY_COMPARE(ledger().value(ledger().findMac(Macs[0]), QStringLiteral("status")), "verified");
    QVERIFY(byId.removeRecursively());
    QTest::qWait(100);
    QVERIFY(byId.mkpath(QStringLiteral(".")));
    QVERIFY(QFile::link(m_modules[2]->devicePath(), byId.filePath(QStringLiteral("c"))));
    QTRY_COMPARE(ledger().value(ledger().findMac(Macs[2]), QStringLiteral("status")), "verified");

    ::kill(pid_t(station.processId()), SIGINT);
    const Run run = finish(station);
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY(run.out.contains("2 verified, 0 failed, 0 refused, 0 lost"));
    QVERIFY(holdsItsRow(0, ledger()) && holdsItsRow(2, ledger()));
    QVERIFY(m_modules[1]->received().isEmpty());
}

void tst_Provision::unpluggedModuleIsLost()
{
    const QDir byId(m_dir->filePath(QStringLiteral("by-id")));
    QVERIFY(byId.mkpath(QStringLiteral(".")));
    const QString link = byId.filePath(QStringLiteral("c"));
    m_modules[2]->setUnansweredWrites(true);
    std::atomic<int> frames { 0 };
    connect(
            m_modules[2].get(), &SimulatedModule::frameReceived, m_modules[2].get(),
            [&](const QByteArray &) {
                if (++frames == 3)
                    QFile::remove(link);
            },
            Qt::DirectConnection);
    QProcess station;
    QVERIFY(startWatching(station, byId.path()));
    QVERIFY(QFile::link(m_modules[2]->devicePath(), link));
    QTRY_COMPARE(ledger().value(ledger().findMac(Macs[2]), QStringLiteral("status")),
                 QStringLiteral("lost: %1 disappeared").arg(link));
    ::kill(pid_t(station.processId()), SIGINT);
    QCOMPARE(finish(station).exitCode, 2);
    QVERIFY(frames < 10);
}

void tst_Provision::killedStationIsResumed()
{
    m_modules[0]->changeEveryParameter();
    std::atomic<qint64> pid { 0 };
    std::atomic<int> frames { 0 };
    connect(
            m_modules[0].get(), &SimulatedModule::frameReceived, m_modules[0].get(),
            [&](const QByteArray &) {
                if (++frames == 5)
                    ::kill(pid_t(pid.load()), SIGKILL);
            },
            Qt::DirectConnection);
    const QStringList list { "{P}", "--ledger", "{L}", "--assign", "shortAddress=0010..00FF",
                             "{A}", "{B}",      "{C}" };
    QProcess station;
    station.start(QStringLiteral(CC2530CTL), arguments(list));
    QVERIFY(station.waitForStarted());
    pid = station.processId();
    QCOMPARE(finish(station).exitCode, -1);

    const Ledger killed = ledger();
    QVERIFY(!killed.value(killed.findMac(Macs[0]), QStringLiteral("shortAddress")).isEmpty());
    const Run run = provision(list);
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    const Ledger after = ledger();
    for (int module = 0; module < 3; ++module) {
        const QString before =
                killed.value(killed.findMac(Macs[module]), QStringLiteral("shortAddress"));
        QVERIFY(before.isEmpty()
                || after.value(after.findMac(Macs[module]), QStringLiteral("shortAddress"))
                        == before);
        QVERIFY(holdsItsRow(module, after));
    }
    const QStringList addresses = after.values(QStringLiteral("shortAddress"));
    QCOMPARE(QSet<QString>(addresses.begin(), addresses.end()).size(), 3);
}

QTEST_GUILESS_MAIN(tst_Provision)
#include "tst_provision.moc"
