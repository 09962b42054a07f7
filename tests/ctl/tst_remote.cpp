#include "commandframe.h"
#include "simulatedmodule.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// cc2530ctl running while the test goes on.
class Run : public QProcess
{
public:
    explicit Run(const QStringList &arguments) { start(QStringLiteral(CC2530CTL), arguments); }
    // What it printed so far.
    QString out()
    {
        m_out += QString::fromUtf8(readAllStandardOutput());
        return m_out;
    }
    // The exit code; -1 when it did not end normally within 30 s.
    int finish()
    {
        if (!waitForFinished(30000))
            kill();
        waitForFinished();
        out();
        m_err = QString::fromUtf8(readAllStandardError());
        return exitStatus() == NormalExit ? exitCode() : -1;
    }
    QString err() const { return m_err; }

private:
    QString m_out;
    QString m_err;
};

// Arguments apart by blanks; "_" stands for a blank inside one.
QStringList words(const QString &text)
{
    return text.split(u' ', Qt::SkipEmptyParts)
            .replaceInStrings(QStringLiteral("_"), QStringLiteral(" "));
}

bool hasLine(const QString &text, const QString &pattern)
{
    static const QString time = QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
    return text.contains(
            QRegularExpression(time + pattern + u'$', QRegularExpression::MultilineOption));
}

void addRow(const char *name, const QString &command, int exitCode, const QString &printed)
{
    QTest::newRow(name) << command << exitCode << printed;
}

} // namespace

class tst_Remote : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void framesAndRefusals_data();
    void framesAndRefusals();
    void ledgerRowsAreTheTargets_data();
    void ledgerRowsAreTheTargets();
    void addressesGoOutInOrder_data();
    void addressesGoOutInOrder();
    void listenCatchesLateFrames_data();
    void listenCatchesLateFrames();
    void monitorShowsStreamWhole();
    void hangUpIsALinkFailure_data();
    void hangUpIsALinkFailure();

private:
    std::unique_ptr<SimulatedModule> m_module;
};

void tst_Remote::init()
{
    m_module = std::make_unique<SimulatedModule>();
    if (!m_module->start())
        QSKIP("no pseudo-terminal available");
}

void tst_Remote::framesAndRefusals_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed"); // --dry-run's line, or what the refusal says

    // The remote frame builder's worked examples. The channel list's third entry, 0x0D, is
    // channel 13 (bit 13 of the mask); no pin is selectable for a read (pin code 0).
    addRow("router", "write nodeType router --to 0000", 0, "0000 FE 06 21 18 00 00 87 00 00 01 B9");
    addRow("read PAN ID", "read panId --to 0000", 0, "0000 FE 05 21 19 00 00 83 00 00 BE");
    addRow("channel 13", "write channel 13 --to 0000", 0,
           "0000 FE 09 21 18 00 00 84 00 00 00 20 00 00 94");
    addRow("divider 32", "write pwmDivider 32 --to 0000", 0,
           "0000 FE 06 21 18 00 00 05 04 00 20 1E");
    addRow("1000 Hz", "write pwmFrequency 00_00_03_E8 --to 0000", 0,
           "0000 FE 07 21 18 00 00 06 04 00 00 7D 41");
    addRow("PM3 PWM", "write io PM3 pwm-output --to 0000", 0,
           "0000 FE 06 21 18 00 00 16 04 0A 10 37");
    addRow("AD1 high", "level AD1 high --to 0000", 0, "0000 FE 06 21 25 00 00 03 04 00 01 04");
    addRow("serial data", "serial AABB --to 1234", 0, "1234 FE 04 21 24 12 34 AA BB 36");
    addRow("blanks inside bytes", "serial F_E --to 0001", 0, "0001 FE 03 21 24 00 01 FE F9");
    addRow("restart", "restart --to 0000", 0, "0000 FE 02 21 21 00 00 02");
    addRow("node scan", "scan-start", 0, "- FE 00 21 2C 0D");
    addRow("read pins", "read io --to 0000", 0, "0000 FE 05 21 19 00 00 16 04 00 2F");

    addRow("unknown command", "restrat --to 0001", 1, "did you mean restart?");
    addRow("unknown key", "write chanel 20 --to 0001", 1, "did you mean channel?");
    addRow("unknown word", "write nodeType rooter --to 0001", 1, "did you mean router?");
    addRow("channel 27", "write channel 27 --to 0001", 1, "not one of 11, 12");
    addRow("unknown pin", "level PM5 high --to 0001", 1, "did you mean PM1?");
    addRow("no PWM pin", "pwm AD1 10 --to 0001", 1, "unknown pin \"AD1\"");
    addRow("not offered", "write io AD1 pwm-output --to 0001", 1, "AD1 does not offer pwm-output");
    addRow("odd digits", "write panId 123 --to 0001", 1, "odd number");
    addRow("blank in a byte", "serial 1_23 --to 0001", 1, "odd number");
    addRow("not hex", "serial 0x12 --to 0001", 1, "not hex digits");
    addRow("wrong width", "write extendedPanId 0011 --to 0001", 1, "must be 16 hex");
    addRow("zero frequency", "write pwmFrequency 00000000 --to 0001", 1, "0 Hz");
    addRow("bad address", "restart --to 0001,12G4", 1, "\"12G4\" is not a short address");
    addRow("backwards", "restart --to 0009-0002", 1, "runs backwards");
    addRow("no address", "restart", 1, "needs --to");
    addRow("scan to a node", "scan-stop --to 0001", 1, "takes no --to");
    addRow("missing value", "write panId --to 0001", 1, "usage:");
    addRow("no ledger", "restart --to @missing.csv", 1, "cannot read the ledger missing.csv");
    addRow("too long", "serial " + QString(508, u'A') + " --to 0001", 1, "256 payload bytes");
    addRow("baud rate", "restart --to 0001 --baud 4800", 1, "--baud");
}

void tst_Remote::framesAndRefusals()
{
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);

    // The frames are printed; a refusal comes before the port is opened.
    Run run(QStringList { "remote", m_module->devicePath() }
            + (exitCode == 0 ? QStringList("--dry-run") : QStringList()) + words(command));
    QCOMPARE(run.finish(), exitCode);
    if (exitCode == 0)
        QCOMPARE(run.out(), printed + u'\n');
    else
        QVERIFY2(run.err().contains(printed) && run.out().isEmpty(), qPrintable(run.err()));
    QTest::qWait(50);
    QVERIFY(m_module->received().isEmpty());
}

void tst_Remote::ledgerRowsAreTheTargets_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed"); // the addresses, or what the refusal says

    addRow("every row", "@nodes.csv", 0, "0003 0001 0002");
    addRow("routers", "@nodes.csv:nodeType=router", 0, "0003 0002");
    addRow("colon in the path", "@a:b.csv: nodeType = router", 0, "0003 0002");
    addRow("no such row", "@nodes.csv:nodeType=coordinator", 1, "no row of the ledger");
    addRow("no such column", "@nodes.csv:nodeTyp=router", 1, "no column nodeTyp");
    addRow("no value", "@nodes.csv:nodeType=", 1, "is not KEY=VALUE");
}

// As a spreadsheet writes it: byte-order mark, CRLF, quoted fields, its own column order; a row
// without an address, an address given twice.
void tst_Remote::ledgerRowsAreTheTargets()
{
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);

    QTemporaryDir dir;
    for (const char *name : { "nodes.csv", "a:b.csv" }) {
        QFile ledger(dir.filePath(QLatin1String(name)));
        QVERIFY(ledger.open(QIODevice::WriteOnly));
        ledger.write("\xEF\xBB\xBFnodeType,mac,shortAddress,status,port,time\r\n"
                     "router,00124B0000000001,0003,ok,/dev/ttyUSB0,\r\n"
                     "enddevice,00124B0000000002,0001,ok,,\r\n"
                     "\"Router\",\"00124B0000000003\",\"0002\",ok,,\r\n"
                     "router,00124B0000000004,,failed,,\r\n"
                     "router,00124B0000000005,0003,ok,,\r\n");
    }
    Run run({ "remote", m_module->devicePath(), "restart", "--dry-run", "--to",
              "@" + dir.filePath(command.mid(1)) });
    QCOMPARE(run.finish(), exitCode);
    QStringList addresses;
    for (const QString &line : run.out().split(u'\n', Qt::SkipEmptyParts))
        addresses << line.left(4);
    const QString said = exitCode == 0 ? addresses.join(u' ') : run.err();
    QVERIFY2(said.contains(printed), qPrintable(said));
}

void tst_Remote::addressesGoOutInOrder_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("received");

    QTest::newRow("lines") << QString()
                           << "\\d\\d:\\d\\d:\\d\\d\\.\\d{3} 0003 -> FE 02 21 21 00 03 01"
                           << "0003 <- FE 01 61 21 00 41 \\[intact\\]";
    QTest::newRow("JSON") << "--json"
                          << "\\{\"address\":\"0003\",\"bytes\":\"FE 02 21 21 00 03 01\","
                             "\"event\":\"sent\",\"time\":\"\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\"\\}"
                          << "\\{\"address\":\"0003\",\"bytes\":\"FE 01 61 21 00 41\","
                             "\"event\":\"received\",\"kind\":\"intact\",.*";
}

void tst_Remote::addressesGoOutInOrder()
{
    QFETCH(QString, format);
    QFETCH(QString, sent);
    QFETCH(QString, received);

    Run run(QStringList { "remote", m_module->devicePath(), "restart", "--to",
                          "0003, 0001-0002,0003", "--gap-ms", "20" }
            + words(format));
    QCOMPARE(run.finish(), 0);
    QStringList addresses;
    const QList<QByteArray> frames = m_module->remoteFrames();
    for (const QByteArray &frame : frames)
        addresses << QString::fromLatin1(frame.mid(4, 2).toHex());
    QCOMPARE(addresses, QStringList({ "0003", "0001", "0002" }));
    const QStringList lines = run.out().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QVERIFY2(QRegularExpression(u'^' + sent + u'$').match(lines.at(0)).hasMatch(),
             qPrintable(lines[0]));
    QVERIFY2(lines.at(1).contains(QRegularExpression(received + u'$')), qPrintable(lines[1]));
}

void tst_Remote::listenCatchesLateFrames_data()
{
    QTest::addColumn<int>("listenMs");

    QTest::newRow("not listening") << 0;
    QTest::newRow("listening 1000 ms") << 1000;
}

// The late frame comes 600 ms after the answer: 300 ms after the reply has ended.
void tst_Remote::listenCatchesLateFrames()
{
    QFETCH(int, listenMs);

    m_module->setLateFrameMs(600);
    Run run({ "remote", m_module->devicePath(), "collect", "--to", "0001", "--listen",
              QString::number(listenMs) });
    QCOMPARE(run.finish(), 0);
    QVERIFY2(hasLine(run.out(), "0001 <- FE 01 61 23 00 43 \\[intact\\]"), qPrintable(run.out()));
    QCOMPARE(hasLine(run.out(), "- <- FE 02 41 23 00 01 61 \\[intact\\]"), listenMs > 0);
}

// Frames of every length up to 40 bytes and one with a bad check byte, in 16-byte pieces that
// the link delivers one by one: each frame one line, nothing lost or doubled.
void tst_Remote::monitorShowsStreamWhole()
{
    QByteArray stream;
    QStringList expected;
    for (int i = 0; i < 120; ++i) {
        QByteArray frame = CommandFrame::build(0x44, quint8(i), QByteArray(i % 36, char(i)));
        if (i == 77)
            frame.back() = char(~frame.back());
        stream += frame;
        expected << "<- " + frame.toHex(' ').toUpper()
                        + (i == 77 ? " \\[bad check byte\\]" : " \\[intact\\]");
    }
    Run monitor({ "monitor", m_module->devicePath(), "--baud", "115200" });
    QTRY_COMPARE(m_module->lineBaudRate(), 115200);
    for (qsizetype at = 0; at < stream.size(); at += 16) {
        m_module->sendUnasked(stream.mid(at, 16));
        QTest::qWait(8); // the link delivers after 5 ms of silence
    }
    QTRY_VERIFY(hasLine(monitor.out(), expected.constLast()));
    ::kill(pid_t(monitor.processId()), SIGINT);
    QCOMPARE(monitor.finish(), 0);
    const QStringList lines = monitor.out().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(hasLine(lines.at(i), expected.at(i)), qPrintable(lines.at(i)));
}

void tst_Remote::hangUpIsALinkFailure_data()
{
    QTest::addColumn<QString>("command");

    QTest::newRow("remote, at the second node") << "remote {P} restart --to 0001-0003";
    QTest::newRow("monitor") << "monitor {P} --baud 115200";
}

void tst_Remote::hangUpIsALinkFailure()
{
    QFETCH(QString, command);

    m_module->setHangUpAfterFrames(2);
    Run run(words(command).replaceInStrings("{P}", m_module->devicePath()));
    if (command.startsWith(QLatin1String("monitor"))) {
        QTRY_COMPARE(m_module->lineBaudRate(), 115200);
        m_module->hangUp();
    } else {
        QVERIFY(run.waitForFinished(5000));
        QVERIFY(hasLine(run.out(), "0001 <- FE 01 61 21 00 41 \\[intact\\]"));
        QVERIFY(hasLine(run.out(), "0002 -> FE 02 21 21 00 02 00"));
        QVERIFY(!run.out().contains("0003"));
    }
    QCOMPARE(run.finish(), 2);
    QVERIFY2(run.err().contains("line was lost"), qPrintable(run.err()));
}

QTEST_GUILESS_MAIN(tst_Remote)
#include "tst_remote.moc"
