// Figures of cc2530ctl monitor and remote against a simulated module: the monitor's CPU on a
// 115200-baud stream of frames handed over in 16-byte pieces (and that every byte is shown),
// and the time a remote command takes per node beyond the windows' 300 ms reply rule.
#include "benchsupport.h"
#include "commandframe.h"
#include "simulatedmodule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTime>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

using Bench::median;

// 115200 baud, 8N1: 11.52 bytes a millisecond, handed over as an adapter does, 16 at a time.
constexpr double StreamBytesPerMs = 11.52;
constexpr int PieceSize = 16;
constexpr int ReplySilenceMs = 300;

const QString Program = QStringLiteral("/../app/cc2530ctl");

// User and system time of a process so far, in seconds.
double processSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command name, which is in parentheses: utime and stime are the
    // 12th and 13th of them.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ::sysconf(_SC_CLK_TCK);
}

// Frames of 8 to 40 bytes, their payload counting on.
QByteArray frameStream(qsizetype size)
{
    QByteArray stream;
    quint8 next = 0;
    for (int i = 0; stream.size() < size; ++i) {
        QByteArray payload(3 + i % 33, Qt::Uninitialized);
        for (char &byte : payload)
            byte = char(next++ % 0xF0); // no start byte inside a frame
        stream += CommandFrame::build(0x44, quint8(i), payload);
    }
    return stream;
}

struct MonitorRun
{
    double cpuPercent = 0;
    bool exact = false; // every byte shown once, in order, every frame intact
    qsizetype bytes = 0;
};

MonitorRun monitor(const QString &program, int seconds)
{
    SimulatedModule module;
    module.start();
    QProcess process;
    process.start(program, { "monitor", module.devicePath(), "--baud", "115200" });
    if (!Bench::runUntil([&] { return module.lineBaudRate() == 115200; }, 5000))
        return {};
    QByteArray out;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                     [&] { out += process.readAllStandardOutput(); });

    const QByteArray stream = frameStream(qsizetype(StreamBytesPerMs * 1000 * seconds));
    const double cpu0 = processSeconds(process.processId());
    QElapsedTimer clock;
    clock.start();
    qsizetype sent = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        const qsizetype due =
                qMin(stream.size(), qsizetype(clock.nsecsElapsed() / 1e6 * StreamBytesPerMs));
        for (; sent + PieceSize <= due || (sent < due && due == stream.size()); sent += PieceSize)
            module.sendUnasked(stream.mid(sent, PieceSize));
        if (sent >= stream.size())
            loop.quit();
    });
    tick.start();
    loop.exec();
    tick.stop();
    const double wall = clock.nsecsElapsed() / 1e9;
    MonitorRun run;
    run.cpuPercent = 100 * (processSeconds(process.processId()) - cpu0) / wall;
    Bench::runEventLoop(1000);
    process.terminate();
    process.waitForFinished();
    out += process.readAllStandardOutput();

    QByteArray shown;
    bool intact = true;
    const QList<QByteArray> lines = out.split('\n');
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        intact = intact && line.endsWith(" [intact]");
        shown += QByteArray::fromHex(line.mid(16, line.lastIndexOf(" [") - 16));
    }
    run.bytes = shown.size();
    run.exact = intact && shown == stream;
    return run;
}

// The gaps between the frames sent to consecutive nodes, minus the 300 ms a reply takes to end.
QList<double> remote(const QString &program, int nodes)
{
    SimulatedModule module;
    module.start();
    QProcess process;
    process.start(program,
                  { "remote", module.devicePath(), "restart", "--to",
                    QStringLiteral("0001-%1").arg(nodes, 4, 16, QLatin1Char('0')) });
    process.waitForFinished(nodes * 1000 + 10000);
    static const QRegularExpression sentLine(QStringLiteral("^(\\S+) \\S+ -> "),
                                             QRegularExpression::MultilineOption);
    QList<QTime> times;
    auto matches = sentLine.globalMatch(QString::fromLatin1(process.readAllStandardOutput()));
    while (matches.hasNext())
        times << QTime::fromString(matches.next().captured(1), QStringLiteral("HH:mm:ss.zzz"));
    QList<double> beyond;
    for (qsizetype i = 1; i < times.size(); ++i)
        beyond << times.at(i - 1).msecsTo(times.at(i)) - ReplySilenceMs;
    return times.size() == nodes ? beyond : QList<double>();
}

void row(const char *figure, const QString &measured, const char *target, bool met,
         const QString &notes)
{
    std::printf("| %s | cc2530ctl | %s | %s | %s | %s |\n", figure, measured.toUtf8().constData(),
                target, met ? "met" : "MISSED", notes.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = QCoreApplication::applicationDirPath() + Program;

    const int seconds = Bench::quick() ? 5 : 30;
    const int rounds = Bench::repeats(3, 1);
    QList<double> cpu;
    bool exact = true;
    qsizetype bytes = 0;
    for (int i = 0; i < rounds; ++i) {
        const MonitorRun run = monitor(program, seconds);
        cpu << run.cpuPercent;
        exact = exact && run.exact;
        bytes += run.bytes;
    }
    const double cpuMedian = median(cpu);
    row("monitor: 115200-baud stream of frames in 16-byte pieces, CPU of a core",
        QStringLiteral("%1 %").arg(cpuMedian, 0, 'f', 2), "< 2 %", cpuMedian < 2,
        QStringLiteral("the monitor process; median of %1 runs of %2 s").arg(rounds).arg(seconds));
    row("monitor: bytes lost / doubled",
        exact ? QStringLiteral("0 / 0") : QStringLiteral("**differ**"), "0 / 0", exact,
        QStringLiteral("%1 bytes shown, every frame one line, intact, in order").arg(bytes));

    const int nodes = Bench::quick() ? 20 : 100;
    QList<double> beyond;
    for (int i = 0; i < rounds; ++i)
        beyond += remote(program, nodes);
    const double perNode = beyond.isEmpty() ? -1 : median(beyond);
    row("remote: per node beyond the 300 ms reply rule, module answering at once",
        QStringLiteral("%1 ms").arg(perNode, 0, 'f', 1), "< 5 ms", perNode >= 0 && perNode < 5,
        QStringLiteral("restart to %1 nodes, %2 runs; median gap between two frames sent, less "
                       "300 ms (p90 %3 ms)")
                .arg(nodes)
                .arg(rounds)
                .arg(beyond.isEmpty() ? -1 : Bench::percentile(beyond, 0.9), 0, 'f', 1));
    return 0;
}
