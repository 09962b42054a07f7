#include "commandframe.h"
#include "remoterequest.h"
#include "simulatedmodule.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// cc2530ctl running beside the test, which goes on meanwhile.
class CtlRun
{
public:
    explicit CtlRun(const QStringList &arguments)
    {
        m_process.start(QStringLiteral(CC2530CTL), arguments);
    }
    // What it printed so far.
    QString out()
    {
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_out;
    }
    QString err() const { return m_err; }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    // The exit code; -1 when it did not end normally within 30 s.
    int finish()
    {
        if (!m_process.waitForFinished(30000))
            m_process.kill();
        out();
        m_err = QString::fromUtf8(m_process.readAllStandardError());
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
    QString m_out;
    QString m_err;
};

// Arguments apart by blanks; "_" stands for a blank inside one.
QStringList words(const QString &text)
{
    return text.split(u' ', Qt::SkipEmptyParts)
            .replaceInStrings(QStringLiteral("_"), QStringLiteral(" "));
}

const QString Time = QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");

} // namespace

class tst_Remote : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void workedExamples_data();
    void workedExamples();
    void refusalsSendNothing_data();
    void refusalsSendNothing();
    void addressesGoOutInOrder_data();
    void addressesGoOutInOrder();
    void listenCatchesLateFrames_data();
    void listenCatchesLateFrames();
    void ledgerSpec_data();
    void ledgerSpec();
    void ledgerRowsAreTheTargets_data();
    void ledgerRowsAreTheTargets();
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

void tst_Remote::workedExamples_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("frame");

    QTest::newRow("node type router") << "write nodeType router --to 0000"
                                      << "0000 FE 06 21 18 00 00 87 00 00 01 B9";
    QTest::newRow("read PAN ID") << "read panId --to 0000"
                                 << "0000 FE 05 21 19 00 00 83 00 00 BE";
    // The channel list's third entry, 0x0D, is channel 13: bit 13 of the mask.
    QTest::newRow("channel 13") << "write channel 13 --to 0000"
                                << "0000 FE 09 21 18 00 00 84 00 00 00 20 00 00 94";
    QTest::newRow("PWM divider 32") << "write pwmDivider 32 --to 0000"
                                    << "0000 FE 06 21 18 00 00 05 04 00 20 1E";
    QTest::newRow("PWM frequency 1000 Hz") << "write pwmFrequency 00_00_03_E8 --to 0000"
                                           << "0000 FE 07 21 18 00 00 06 04 00 00 7D 41";
    QTest::newRow("PM3 PWM output") << "write io PM3 pwm-output --to 0000"
                                    << "0000 FE 06 21 18 00 00 16 04 0A 10 37";
    QTest::newRow("AD1 high") << "level AD1 high --to 0000"
                              << "0000 FE 06 21 25 00 00 03 04 00 01 04";
    QTest::newRow("serial data to 1234") << "serial AABB --to 1234"
                                         << "1234 FE 04 21 24 12 34 AA BB 36";
    QTest::newRow("restart") << "restart --to 0000"
                             << "0000 FE 02 21 21 00 00 02";
    QTest::newRow("start node scan") << "scan-start"
                                     << "- FE 00 21 2C 0D";
    // No pin is selectable for a read: the empty pin selector gives offset 0.
    QTest::newRow("read pin functions") << "read io --to 0000"
                                        << "0000 FE 05 21 19 00 00 16 04 00 2F";
}

void tst_Remote::workedExamples()
{
    QFETCH(QString, command);
    QFETCH(QString, frame);

    CtlRun run(QStringList { "remote", m_module->devicePath(), "--dry-run" } + words(command));
    QCOMPARE(run.finish(), 0);
    QCOMPARE(run.out(), frame + u'\n');
    QVERIFY(m_module->received().isEmpty());
}

void tst_Remote::refusalsSendNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown command") << "restrat --to 0001"
                                     << "did you mean restart?";
    QTest::newRow("unknown key") << "write chanel 20 --to 0001"
                                 << "did you mean channel?";
    QTest::newRow("unknown word") << "write nodeType rooter --to 0001"
                                  << "did you mean router?";
    QTest::newRow("channel out of range") << "write channel 27 --to 0001"
                                          << "11, 12";
    QTest::newRow("unknown pin") << "level PM5 high --to 0001"
                                 << "did you mean PM1?";
    QTest::newRow("no PWM on AD1") << "pwm AD1 10 --to 0001"
                                   << "unknown pin \"AD1\"";
    QTest::newRow("function not offered") << "write io AD1 pwm-output --to 0001"
                                          << "pin AD1 does not offer pwm-output";
    QTest::newRow("odd digit count") << "write panId 123 --to 0001"
                                     << "odd number";
    QTest::newRow("blank inside a byte") << "serial 1_23 --to 0001"
                                         << "odd number";
    QTest::newRow("not hex") << "serial 0x12 --to 0001"
                             << "not hex digits";
    QTest::newRow("wrong width") << "write extendedPanId 0011 --to 0001"
                                 << "must be 16 hex";
    QTest::newRow("zero frequency") << "write pwmFrequency 00000000 --to 0001"
                                    << "0 Hz";
    QTest::newRow("bad address") << "restart --to 0001,12G4"
                                 << "\"12G4\" is not a short address";
    QTest::newRow("range backwards") << "restart --to 0009-0002"
                                     << "runs backwards";
    QTest::newRow("no address") << "restart"
                                << "needs --to";
    QTest::newRow("scan with an address") << "scan-stop --to 0001"
                                          << "takes no --to";
    QTest::newRow("missing value") << "write panId --to 0001"
                                   << "usage:";
    QTest::newRow("unreadable ledger") << "restart --to @missing.csv"
                                       << "missing.csv";
    QTest::newRow("frame too long") << "serial " + QString(508, u'A') + " --to 0001"
                                    << "256 payload bytes";
    QTest::newRow("baud rate") << "restart --to 0001 --baud 4800"
                               << "--baud";
}

void tst_Remote::refusalsSendNothing()
{
    QFETCH(QString, command);
    QFETCH(QString, message);

    CtlRun run(QStringList { "remote", m_module->devicePath() } + words(command));
    QCOMPARE(run.finish(), 1);
    QVERIFY2(run.err().contains(message), qPrintable(run.err()));
    QVERIFY(run.out().isEmpty());
    QVERIFY(m_module->received().isEmpty());
}

void tst_Remote::addressesGoOutInOrder_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("received");

    QTest::newRow("lines") << ""
                           << "0003 -> FE 02 21 21 00 03 01$"
                           << "0003 <- FE 01 61 21 00 41 \\[intact\\]$";
    QTest::newRow("JSON") << "--json"
                          << "\\{\"address\":\"0003\",\"bytes\":\"FE 02 21 21 00 03 01\","
                             "\"event\":\"sent\",\"time\":\"[0-9:.]{12}\"\\}$"
                          << "\\{\"address\":\"0003\",\"bytes\":\"FE 01 61 21 00 41\","
                             "\"event\":\"received\",\"kind\":\"intact\",";
}

void tst_Remote::addressesGoOutInOrder()
{
    QFETCH(QString, format);
    QFETCH(QString, sent);
    QFETCH(QString, received);

    CtlRun run(QStringList { "remote", m_module->devicePath(), "restart", "--to",
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
    const QString time = format.isEmpty() ? Time : QStringLiteral("^");
    QVERIFY2(QRegularExpression(time + sent).match(lines.at(0)).hasMatch(), qPrintable(lines[0]));
    QVERIFY2(QRegularExpression(time + received).match(lines.at(1)).hasMatch(),
             qPrintable(lines[1]));
}

void tst_Remote::listenCatchesLateFrames_data()
{
    QTest::addColumn<int>("listenMs");
    QTest::addColumn<bool>("caught");

    QTest::newRow("not listening") << 0 << false;
    QTest::newRow("listening 1000 ms") << 1000 << true;
}

// The late frame comes 600 ms after the answer: 300 ms after the reply has ended.
void tst_Remote::listenCatchesLateFrames()
{
    QFETCH(int, listenMs);
    QFETCH(bool, caught);

    m_module->setLateFrameMs(600);
    CtlRun run({ "remote", m_module->devicePath(), "collect", "--to", "0001", "--listen",
                 QString::number(listenMs) });
    QCOMPARE(run.finish(), 0);
    QVERIFY2(run.out().contains(QRegularExpression(Time + "0001 <- FE 01 61 23 00 43 \\[intact\\]$",
                                                   QRegularExpression::MultilineOption)),
             qPrintable(run.out()));
    QCOMPARE(run.out().contains(QRegularExpression(Time + "- <- FE 02 41 23 00 01 61 \\[intact\\]$",
                                                   QRegularExpression::MultilineOption)),
             caught);
}

void tst_Remote::ledgerSpec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // path|key|value, or the refusal

    QTest::newRow("every row") << "@nodes.csv"
                               << "nodes.csv||";
    QTest::newRow("filtered") << "@nodes.csv:nodeType=router"
                              << "nodes.csv|nodeType|router";
    QTest::newRow("colon in the path") << "@C:/ledgers/a.csv:port = /dev/ttyUSB0"
                                       << "C:/ledgers/a.csv|port|/dev/ttyUSB0";
    QTest::newRow("no filter after the colon") << "@a:b.csv"
                                               << "a:b.csv||";
    QTest::newRow("empty key") << "@a.csv:=router"
                               << "is not KEY=VALUE";
    QTest::newRow("empty value") << "@a.csv:nodeType="
                                 << "is not KEY=VALUE";
    QTest::newRow("no file") << "@:nodeType=router"
                             << "name the ledger";
}

void tst_Remote::ledgerSpec()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);

    QString error;
    const auto spec = Ctl::Remote::parseLedgerSpec(text, &error);
    if (spec)
        QCOMPARE(QStringList({ spec->path, spec->key, spec->value }).join(u'|'), parsed);
    else
        QVERIFY2(error.contains(parsed), qPrintable(error));
}

void tst_Remote::ledgerRowsAreTheTargets_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("printed"); // the addresses; or the refusal

    QTest::newRow("every row") << ""
                               << "0003 0001 0002";
    QTest::newRow("routers") << ":nodeType=router"
                             << "0003 0002";
    QTest::newRow("no such row") << ":nodeType=coordinator"
                                 << "no row of the ledger";
    QTest::newRow("no such column") << ":nodeTyp=router"
                                    << "no column nodeTyp";
}

// As a spreadsheet writes it: byte-order mark, CRLF, quoted fields, its own column order; a row
// without an address, an address given twice.
void tst_Remote::ledgerRowsAreTheTargets()
{
    QFETCH(QString, filter);
    QFETCH(QString, printed);

    QTemporaryDir dir;
    QFile ledger(dir.filePath(QStringLiteral("nodes.csv")));
    QVERIFY(ledger.open(QIODevice::WriteOnly));
    ledger.write("\xEF\xBB\xBFnodeType,mac,shortAddress,status,port,time\r\n"
                 "router,00124B0000000001,0003,ok,/dev/ttyUSB0,\r\n"
                 "enddevice,00124B0000000002,0001,ok,,\r\n"
                 "\"Router\",\"00124B0000000003\",\"0002\",ok,,\r\n"
                 "router,00124B0000000004,,failed,,\r\n"
                 "router,00124B0000000005,0003,ok,,\r\n");
    ledger.close();
    CtlRun run({ "remote", m_module->devicePath(), "restart", "--dry-run", "--to",
                 "@" + ledger.fileName() + filter });
    const bool refused = !printed.at(0).isDigit();
    QCOMPARE(run.finish(), refused ? 1 : 0);
    QStringList addresses;
    for (const QString &line : run.out().split(u'\n', Qt::SkipEmptyParts))
        addresses << line.left(4);
    QVERIFY2((refused ? run.err() : addresses.join(u' ')).contains(printed), qPrintable(run.err()));
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
        expected << QString::fromLatin1(frame.toHex(' ').toUpper())
                        + (i == 77 ? QStringLiteral(" [bad check byte]")
                                   : QStringLiteral(" [intact]"));
    }
    CtlRun monitor({ "monitor", m_module->devicePath(), "--baud", "115200" });
    QTRY_COMPARE(m_module->lineBaudRate(), 115200);
    for (qsizetype at = 0; at < stream.size(); at += 16) {
        m_module->sendUnasked(stream.mid(at, 16));
        QTest::qWait(8); // the link delivers after 5 ms of silence
    }
    QTRY_VERIFY(monitor.out().contains(expected.constLast()));
    monitor.signal(SIGINT);
    QCOMPARE(monitor.finish(), 0);
    QStringList lines = monitor.out().split(u'\n', Qt::SkipEmptyParts);
    for (QString &line : lines) {
        QVERIFY2(QRegularExpression(Time + "<- ").match(line).hasMatch(), qPrintable(line));
        line.remove(0, 16);
    }
    QCOMPARE(lines, expected);
}

void tst_Remote::hangUpIsALinkFailure_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("printed");

    QTest::newRow("remote, at the second node") << "remote {P} restart --to 0001-0003"
                                                << "0001 <- FE 01 61 21 00 41 [intact]\n";
    QTest::newRow("monitor") << "monitor {P} --baud 115200"
                             << "";
}

void tst_Remote::hangUpIsALinkFailure()
{
    QFETCH(QString, command);
    QFETCH(QString, printed);

    m_module->setHangUpAfterFrames(2);
    CtlRun run(words(command).replaceInStrings("{P}", m_module->devicePath()));
    if (printed.isEmpty()) {
        QTRY_COMPARE(m_module->lineBaudRate(), 115200);
        m_module->hangUp();
    }
    QCOMPARE(run.finish(), 2);
    QVERIFY2(run.err().contains("line was lost"), qPrintable(run.err()));
    QVERIFY(run.out().contains(printed));
    QVERIFY(!run.out().contains("0003"));
}

QTEST_GUILESS_MAIN(tst_Remote)
#include "tst_remote.moc"
