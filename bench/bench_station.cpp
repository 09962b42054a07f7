// Figures of the provisioning station (cc2530ctl provision) against simulated modules: a
// module alone and 4 and 8 at once on separate ports, the time from a link appearing in the
// watched directory to the module's first frame, and recording one more module in a ledger
// of 1,000 rows.
#include "benchsupport.h"
#include "ledgerfile.h"
#include "moduleprofile.h"
#include "simulatedmodule.h"
#include "station.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Bench::median;

QString macText(int n)
{
    return QStringLiteral("00124B%1").arg(n, 10, 16, QLatin1Char('0')).toUpper();
}

QByteArray macBytes(int n)
{
    // Least significant byte first, as the reply carries it.
    QByteArray mac = QByteArray::fromHex(macText(n).toLatin1());
    std::reverse(mac.begin(), mac.end());
    return mac;
}

std::unique_ptr<SimulatedModule> module(int n, bool changed, int replyDelayMs = 0)
{
    auto m = std::make_unique<SimulatedModule>();
    m->start();
    m->setMacAddress(macBytes(n));
    m->setReplyDelayMs(replyDelayMs);
    if (changed)
        m->changeEveryParameter();
    return m;
}

Station::Settings settings()
{
    Station::Settings s;
    s.profile = ModuleProfile::fromReply(SimulatedModule().deviceInfoReply());
    QString error;
    s.ranges << *Ledger::parseRange(QStringLiteral("shortAddress=0010..FFF0"), &error);
    return s;
}

// Milliseconds from the start of count modules, every parameter differing, to the last one
// recorded; -1 unless every one was verified.
double batch(const QString &ledgerPath, int count, int replyDelayMs, int *serial)
{
    std::vector<std::unique_ptr<SimulatedModule>> modules;
    for (int i = 0; i < count; ++i)
        modules.push_back(module(++*serial, true, replyDelayMs));
    LedgerFile ledger(ledgerPath);
    QString error;
    if (!ledger.open(&error))
        return -1;
    Station station(settings(), ledger);
    QElapsedTimer clock;
    clock.start();
    for (const auto &m : modules)
        station.provision(m->devicePath());
    Bench::runUntil([&] { return station.inProgress() == 0; }, 30000);
    const double ms = clock.nsecsElapsed() / 1e6;
    return station.counts().verified == count ? ms : -1;
}

// Milliseconds from a link's creation in the watched directory to the module's first frame.
double appearing(Station &station, const QDir &directory, int *serial)
{
    const auto m = module(++*serial, false);
    std::atomic<qint64> firstFrameNs { 0 };
    QElapsedTimer clock;
    QObject::connect(
            m.get(), &SimulatedModule::frameReceived, m.get(),
            [&](const QByteArray &) {
                qint64 expected = 0;
                firstFrameNs.compare_exchange_strong(expected, clock.nsecsElapsed());
            },
            Qt::DirectConnection);
    const QString link = directory.filePath(QStringLiteral("m%1").arg(*serial));
    clock.start();
    QFile::link(m->devicePath(), link);
    Bench::runUntil([&] { return firstFrameNs != 0 && station.inProgress() == 0; }, 5000);
    QFile::remove(link);
    return firstFrameNs != 0 ? firstFrameNs / 1e6 : -1;
}

void row(const char *figure, double value, const char *unit, const char *target, bool met,
         const QString &notes)
{
    std::printf("| %s | cc2530ctl provision | %.1f %s | %s | %s | %s |\n", figure, value, unit,
                target, met ? "met" : "MISSED", notes.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = Bench::repeats(11, 3);
    QTemporaryDir dir;
    int serial = 0;

    // Rounds of 1, 4 and 8 modules in turn, each into a ledger of its own. A pseudo-terminal
    // has no wire time: there every exchange is work of the processor, which 2 cores share
    // among 8 modules. With each reply after 4 ms (a write and its answer on a 38400-baud
    // line) the modules wait as on real lines.
    for (const int delayMs : { 4, 0 }) {
        QMap<int, QList<double>> times;
        for (int round = 0; round < rounds; ++round) {
            for (const int count : { 1, 4, 8 }) {
                const QString ledger = dir.filePath(
                        QStringLiteral("batch-%1-%2-%3.csv").arg(delayMs).arg(count).arg(round));
                times[count] << batch(ledger, count, delayMs, &serial);
            }
        }
        const double alone = median(times[1]);
        const QString line = delayMs ? QStringLiteral("replies after %1 ms").arg(delayMs)
                                     : QStringLiteral("bare pseudo-terminal");
        for (const int count : { 1, 4, 8 }) {
            const double ms = median(times[count]);
            const QString figure = count == 1
                    ? QStringLiteral("one module alone (%1)").arg(line)
                    : QStringLiteral("%1 modules at once on separate ports (%2)")
                              .arg(count)
                              .arg(line);
            row(figure.toUtf8().constData(), ms, "ms",
                count == 8 && delayMs ? "≤ 1.5 × one alone" : "",
                ms > 0 && (count != 8 || delayMs == 0 || ms <= 1.5 * alone),
                QStringLiteral("×%1 of one alone; every parameter differs, the module answers "
                               "writes; read, 30 writes, clear network, read-back, two ledger "
                               "writes each")
                        .arg(ms / alone, 0, 'f', 2));
        }
    }

    {
        const QDir watched(dir.filePath(QStringLiteral("by-id")));
        watched.mkpath(QStringLiteral("."));
        LedgerFile ledger(dir.filePath(QStringLiteral("watch.csv")));
        QString error;
        ledger.open(&error);
        Station station(settings(), ledger);
        station.watch(watched.path());
        QList<double> latency;
        for (int round = 0; round < rounds; ++round)
            latency << appearing(station, watched, &serial);
        const double ms = median(latency);
        row("link appears in the watched directory → module's first frame", ms, "ms", "< 1000 ms",
            ms > 0 && ms < 1000, QStringLiteral("inotify, then open and read request"));
    }

    {
        const QString path = dir.filePath(QStringLiteral("large.csv"));
        {
            LedgerFile ledger(path);
            QString error;
            ledger.open(&error);
            for (int i = 0; i < 1000; ++i) {
                const qsizetype r = ledger.ledger().appendRow(macText(100000 + i));
                ledger.ledger().setValue(
                        r, QStringLiteral("shortAddress"),
                        QStringLiteral("%1").arg(i + 16, 4, 16, QLatin1Char('0')).toUpper());
                ledger.ledger().setValue(r, Ledger::Status, QStringLiteral("verified"));
                ledger.ledger().setValue(r, Ledger::Port, QStringLiteral("/dev/ttyUSB0"));
                ledger.ledger().setValue(r, Ledger::Time, QStringLiteral("2026-12-07T10:00:00Z"));
            }
            ledger.save();
        }
        LedgerFile ledger(path);
        QString error;
        ledger.open(&error);
        const Ledger::Range range = settings().ranges.first();
        QList<double> record;
        for (int round = 0; round < rounds * 3; ++round) {
            QElapsedTimer clock;
            clock.start();
            const qsizetype r = ledger.ledger().appendRow(macText(200000 + round));
            const auto free = ledger.ledger().lowestFree(range);
            ledger.ledger().setValue(r, QStringLiteral("shortAddress"), free.value_or(QString()));
            ledger.ledger().setValue(r, Ledger::Status, QStringLiteral("verified"));
            const bool saved = ledger.save().isEmpty();
            record << (saved ? clock.nsecsElapsed() / 1e6 : -1);
        }
        const double ms = median(record);
        row("ledger of 1,000 rows: one more module recorded", ms, "ms", "< 20 ms",
            ms > 0 && ms < 20,
            QStringLiteral("lowest free address, the file replaced whole (%1 kB)")
                    .arg(QFileInfo(path).size() / 1024));
    }
    return 0;
}
