#include "benchsupport.h"

#include "modulecommands.h"
#include "simulatedmodule.h"
#include "translations.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace Bench {

namespace {

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// CPU time of the calling thread: unlike the clock, it does not count time spent waiting for a
// core, which a busy machine adds to any wall-clock figure.
double threadCpuMicroseconds()
{
    timespec ts {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// How long a thread of this process has run on a core and waited for one, from the scheduler's
// statistics (zero where the kernel keeps none).
struct SchedTimes
{
    double runMs = 0;
    double waitMs = 0;
};

SchedTimes schedTimes(int tid)
{
    QFile schedstat(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
    if (!schedstat.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = schedstat.readAll().split(' ');
    return { fields.value(0).toLongLong() / 1e6, fields.value(1).toLongLong() / 1e6 };
}

// CPU time since construction as shares of one core: the whole process, and the program's two
// threads (the GUI thread's id is the process id; Qt names the worker's thread after its class).
class CpuMeter
{
public:
    struct Shares
    {
        double process;
        double gui;
        double worker;
    };

    CpuMeter()
        : m_from(Clock::now())
        , m_process(processCpuSeconds())
        , m_gui(threadCpuSeconds(m_guiTid))
        , m_worker(threadCpuSeconds(m_workerTid))
    {
    }
    Shares shares() const
    {
        const double wall = msBetween(m_from, Clock::now()) / 1000;
        return { 100 * (processCpuSeconds() - m_process) / wall,
                 100 * (threadCpuSeconds(m_guiTid) - m_gui) / wall,
                 100 * (threadCpuSeconds(m_workerTid) - m_worker) / wall };
    }

private:
    const int m_guiTid = int(::getpid());
    const int m_workerTid = threadIdByName("MyThread");
    const Clock::time_point m_from;
    const double m_process;
    const double m_gui;
    const double m_worker;
};

// A 10 ms timer of the GUI thread measuring its own lateness: how long the thread was held up.
// The scheduler's figures for each interval tell our own work from waiting for a core and from
// sleeping or being blocked.
class StallMeter
{
public:
    StallMeter()
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(IntervalMs);
        QObject::connect(&m_tick, &QTimer::timeout, &m_tick, [this] { onTick(); });
    }
    void start()
    {
        m_last = Clock::now();
        m_lastSched = schedTimes(int(::getpid()));
        m_tick.start();
    }
    void stop() { m_tick.stop(); }

    double max() const { return m_lateness.at(worst()); }
    double p99() const { return percentile(m_lateness, 0.99); }
    // The interval before the latest tick.
    SchedTimes atMax() const { return m_sched.at(worst()); }

private:
    static constexpr int IntervalMs = 10;

    void onTick()
    {
        const Clock::time_point now = Clock::now();
        const SchedTimes sched = schedTimes(int(::getpid()));
        m_lateness << msBetween(m_last, now) - IntervalMs;
        m_sched << SchedTimes { sched.runMs - m_lastSched.runMs,
                                sched.waitMs - m_lastSched.waitMs };
        m_last = now;
        m_lastSched = sched;
    }
    qsizetype worst() const
    {
        return std::max_element(m_lateness.cbegin(), m_lateness.cend()) - m_lateness.cbegin();
    }

    QTimer m_tick;
    Clock::time_point m_last;
    SchedTimes m_lastSched;
    QList<double> m_lateness;
    QList<SchedTimes> m_sched;
};

// ---- start-up ----

// Builds and shows the window as main() does, then prints when it was shown (steady clock,
// which is the system-wide monotonic clock) and the resident memory at that moment.
int startupChild(const Program &program)
{
    QGuiApplication::setDesktopFileName(QStringLiteral("cc2530-") + program.name);
    const std::unique_ptr<Window> window = program.makeWindow();
    window->widget().setWindowTitle(program.title);
    runUntil(
            [&window] {
                const QWindow *handle = window->widget().windowHandle();
                return handle && handle->isExposed();
            },
            5000);
    QCoreApplication::processEvents(); // the first paint
    const auto shown = Clock::now().time_since_epoch();
    std::printf("%lld %lld\n", static_cast<long long>(std::chrono::nanoseconds(shown).count()),
                static_cast<long long>(residentBytes()));
    return 0;
}

QList<Row> startup(const Program &)
{
    QList<double> ms;
    QList<double> mib;
    for (int run = 0; run < repeats(11, 3); ++run) {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({ QStringLiteral("--startup-child") });
        const auto started = Clock::now().time_since_epoch();
        child.start();
        if (!child.waitForFinished(30000) || child.exitCode() != 0)
            continue;
        const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
        if (fields.size() != 2)
            continue;
        const qint64 startedNs = std::chrono::nanoseconds(started).count();
        ms << (fields.at(0).toLongLong() - startedNs) / 1e6;
        mib << fields.at(1).toLongLong() / 1048576.0;
    }
    if (ms.isEmpty())
        return { { QStringLiteral("Start-up to window shown"), QStringLiteral("n/a"), QString(),
                   false, QStringLiteral("the child did not report") } };
    const QString how = QStringLiteral("offscreen; stamped by the launcher before it spawns the "
                                       "process and by the process after construct, show, title, "
                                       "expose and first paint; n=%1, min %2, max %3 ms")
                                .arg(ms.size())
                                .arg(number(*std::min_element(ms.cbegin(), ms.cend()), 1),
                                     number(*std::max_element(ms.cbegin(), ms.cend()), 1));
    return {
        { QStringLiteral("Start-up to window shown"), number(median(ms), 1) + QStringLiteral(" ms"),
          QStringLiteral("< 300 ms"), median(ms) < 300, how },
        { QStringLiteral("Resident memory when shown"),
          number(median(mib), 1) + QStringLiteral(" MiB"), QStringLiteral("—"), true,
          QStringLiteral("VmRSS of the child at the moment above") },
    };
}

// ---- idle ----

// The window left alone for a while, with its port open against the simulated module or closed
// (then only the port-list watch is up).
QList<Row> idle(const Program &program)
{
    const int seconds = quick() ? 3 : 30;
    QList<Row> rows;
    for (const bool open : { true, false }) {
        QList<double> process;
        QList<double> worker;
        QList<double> gui;
        for (int run = 0; run < repeats(3, 1); ++run) {
            const std::unique_ptr<SimulatedModule> module =
                    open ? std::make_unique<SimulatedModule>() : nullptr;
            const std::unique_ptr<Window> window = program.makeWindow();
            if (module && (!module->start() || !window->openPort(module->devicePath())))
                return { unavailable(QStringLiteral("Idle CPU")) };
            runEventLoop(1000);
            const CpuMeter meter;
            runEventLoop(seconds * 1000);
            const CpuMeter::Shares shares = meter.shares();
            process << shares.process;
            gui << shares.gui;
            worker << shares.worker;
        }
        const QString threads = open
                ? QStringLiteral("whole bench process (window, worker, "
                                 "simulated module); GUI thread %1 %, worker "
                                 "thread %2 %")
                          .arg(number(median(gui), 4), number(median(worker), 4))
                : QStringLiteral("whole bench process (the window alone, its "
                                 "worker not running); GUI thread %1 %")
                          .arg(number(median(gui), 4));
        rows.append({ open ? QStringLiteral("Idle CPU, port open")
                           : QStringLiteral("Idle CPU, port closed"),
                      number(median(process), 4) + QStringLiteral(" % of a core"),
                      QStringLiteral("< 0.1 %"), median(process) < 0.1,
                      QStringLiteral("%1 s per run, n=%2; ").arg(seconds).arg(process.size())
                              + threads });
    }
    return rows;
}

// ---- after a hang-up, and closing while a reply is awaited ----

// The line hangs up under the open window. The worker's run must end: one that polled the dead
// line would take a whole core.
QList<Row> idleAfterHangUp(const Program &program)
{
    const QString figure = QStringLiteral("Idle CPU after a hang-up");
    const int seconds = quick() ? 3 : 10;
    QList<double> process;
    int running = 0;
    for (int run = 0; run < repeats(3, 1); ++run) {
        SimulatedModule module;
        const std::unique_ptr<Window> window = openWindow(program, module);
        if (!window)
            return { unavailable(figure) };
        MyThread &worker = window->worker();
        module.hangUp();
        if (!runUntil([&worker] { return !worker.isRunning(); }, 5000))
            ++running;
        runEventLoop(500);
        const CpuMeter meter;
        runEventLoop(seconds * 1000);
        process << meter.shares().process;
    }
    const double value = median(process);
    return { { figure, number(value, 4) + QStringLiteral(" % of a core"), QStringLiteral("< 1 %"),
               running == 0 && value < 1,
               QStringLiteral("%1 s per run from half a second after the hang-up, n=%2; whole "
                              "bench process; runs whose worker was still running 5 s after "
                              "the hang-up: %3")
                       .arg(seconds)
                       .arg(process.size())
                       .arg(running),
               true } };
}

// The window closed while its worker waits for the reply of a silent module (up to 1000 ms):
// the stop ends the exchange at once.
QList<Row> closeWhileAwaitingReply(const Program &program)
{
    const QString figure = QStringLiteral("Close while a reply is awaited: window destroyed");
    QList<double> ms;
    int failed = 0;
    for (int run = 0; run < repeats(11, 3); ++run) {
        SimulatedModule module;
        std::unique_ptr<Window> window = openWindow(program, module);
        if (!window)
            return { unavailable(figure) };
        module.setSilent(true);
        window->worker().submit(ModuleCommand::readDeviceInfoFrame());
        if (!runUntil([&module] { return !module.received().isEmpty(); }, 3000)) {
            ++failed;
            continue;
        }
        const Clock::time_point from = Clock::now();
        window.reset();
        ms << msBetween(from, Clock::now());
    }
    const double value = median(ms);
    return { { figure, number(value, 1) + QStringLiteral(" ms"), QStringLiteral("< 2000 ms"),
               failed == 0 && value < 2000,
               QStringLiteral("the window and its worker destroyed, the worker's thread ended; "
                              "n=%1, max %2 ms, failed %3")
                       .arg(ms.size())
                       .arg(number(ms.isEmpty() ? 0 : *std::max_element(ms.cbegin(), ms.cend()), 1))
                       .arg(failed) } };
}

// ---- stream ----

struct StreamCheck
{
    qint64 logged = 0;
    qint64 lost = 0;
    qint64 duplicated = 0;
    int unreadable = 0;
};

// The stream is 00 01 … FF 00 …: a byte ahead of the expected one means bytes were lost, one
// behind it a repeat.
StreamCheck checkStream(const Program &program, Window &window, qint64 streamed)
{
    StreamCheck check;
    qint64 next = 0;
    const QTextDocument *document = window.log()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QByteArray bytes;
        if (block.text().isEmpty())
            continue;
        if (!program.parseLogLine(block.text(), bytes)) {
            ++check.unreadable;
            continue;
        }
        check.logged += bytes.size();
        for (const char byte : std::as_const(bytes)) {
            const int ahead = quint8(quint8(byte) - quint8(next));
            if (ahead < 128) {
                check.lost += ahead;
                next += ahead + 1;
            } else {
                ++check.duplicated;
            }
        }
    }
    check.lost += qMax<qint64>(0, streamed - next);
    return check;
}

QList<Row> stream(const Program &program)
{
    const int seconds = quick() ? 5 : 60;
    QList<double> stallMax;
    QList<double> stallP99;
    double worstStall = 0;
    SchedTimes worstStallSched;
    QList<double> process;
    QList<double> gui;
    QList<double> worker;
    QList<double> rate;
    StreamCheck total;
    qint64 streamed = 0;
    for (int run = 0; run < repeats(3, 1); ++run) {
        SimulatedModule module;
        const std::unique_ptr<Window> window = openWindow(program, module, program.prepareStream);
        if (!window)
            return { unavailable(QStringLiteral("Stream")) };
        runEventLoop(200);

        StallMeter stalls;
        const CpuMeter meter;
        stalls.start();
        module.startStream(program.streamBaud);
        runEventLoop(seconds * 1000);
        module.stopStream();
        stalls.stop();
        const CpuMeter::Shares shares = meter.shares();
        process << shares.process;
        gui << shares.gui;
        worker << shares.worker;
        rate << module.streamedBytes() / double(seconds);
        runEventLoop(500); // the last delivery

        streamed += module.streamedBytes();
        const StreamCheck check = checkStream(program, *window, module.streamedBytes());
        total.logged += check.logged;
        total.lost += check.lost;
        total.duplicated += check.duplicated;
        total.unreadable += check.unreadable;
        stallMax << stalls.max();
        stallP99 << stalls.p99();
        if (stalls.max() > worstStall) {
            worstStall = stalls.max();
            worstStallSched = stalls.atMax();
        }
    }
    const QString figure =
            QStringLiteral("Stream %1 s at %2 baud: ").arg(seconds).arg(program.streamBaud);
    const bool exact = total.lost == 0 && total.duplicated == 0 && total.unreadable == 0
            && total.logged == streamed;
    return {
        { figure + QStringLiteral("lost / duplicated bytes"),
          QStringLiteral("%1 / %2").arg(total.lost).arg(total.duplicated), QStringLiteral("0 / 0"),
          exact,
          QStringLiteral("all %1 runs: %2 bytes streamed, %3 logged, %4 unreadable lines; %5 B/s "
                         "sent (line floor %6 B/s; a pseudo-terminal has no wire time, the "
                         "module paces itself)")
                  .arg(stallMax.size())
                  .arg(streamed)
                  .arg(total.logged)
                  .arg(total.unreadable)
                  .arg(number(median(rate), 0), number(program.streamBaud / 10.0, 0)) },
        { figure + QStringLiteral("GUI thread stall, max / p99"),
          QStringLiteral("%1 / %2 ms")
                  .arg(number(median(stallMax), 1), number(median(stallP99), 1)),
          QStringLiteral("max < 50 ms"), median(stallMax) < 50,
          QStringLiteral("lateness of a 10 ms timer; medians over %1 runs; worst tick %2 ms "
                         "late: of its %3 ms the GUI thread ran %4 ms, waited for a core %5 ms "
                         "and slept or was blocked the rest")
                  .arg(stallMax.size())
                  .arg(number(worstStall, 1), number(worstStall + 10, 1),
                       number(worstStallSched.runMs, 1), number(worstStallSched.waitMs, 1)) },
        { figure + QStringLiteral("CPU"),
          number(median(process), 2) + QStringLiteral(" % of a core"), QStringLiteral("< 5 %"),
          median(process) < 5,
          QStringLiteral("whole bench process incl. the simulated module; the program's own "
                         "threads %1 % (GUI %2 %, worker %3 %)")
                  .arg(number(median(gui) + median(worker), 2), number(median(gui), 2),
                       number(median(worker), 2)) },
    };
}

// ---- log at scale ----

QList<Row> logAtScale(const Program &program)
{
    const int lines = quick() ? 10000 : 100000;
    const std::unique_ptr<Window> window = program.makeWindow();
    runEventLoop(100);
    // A 16-byte delivery: one dump line of 48 hex digits.
    const QByteArray delivery =
            QByteArray::fromHex("FE 0B 61 21 00 12 34 56 78 9A BC DE F0 11 22 4C");
    QList<double> append;
    QList<double> withRepaint;
    append.reserve(lines);
    withRepaint.reserve(lines);
    const qint64 rss0 = residentBytes();
    for (int line = 0; line < lines; ++line) {
        window->worker().appendRxData(delivery);
        const double from = threadCpuMicroseconds();
        window->displayRxData();
        // Each line laid out on its own, as a line that arrives alone is.
        window->flushLog();
        const double appended = threadCpuMicroseconds();
        // The repaint and whatever else the window posts, as between two deliveries.
        QCoreApplication::processEvents();
        append << appended - from;
        withRepaint << threadCpuMicroseconds() - from;
    }
    const double perLine = double(residentBytes() - rss0) / lines;
    // p99 over the 1,000 lines around line 1,000 and the last 1,000 lines.
    const auto p99 = [lines](const QList<double> &cost, bool late) {
        return percentile(cost.mid(late ? lines - 1000 : 500, 1000), 0.99);
    };
    const double early = p99(append, false);
    const double late = p99(append, true);
    const QString linesText = QLocale(QLocale::English).toString(lines);
    return {
        { QStringLiteral("Log append p99, line 1,000 → %1").arg(linesText),
          QStringLiteral("%1 → %2 µs").arg(number(early, 1), number(late, 1)),
          QStringLiteral("≤ 2 × (ratio %1)").arg(number(late / early, 2)), late <= 2 * early,
          QStringLiteral("GUI-thread CPU time of displayRxData and the line's layout, 16-byte "
                         "deliveries, p99 of the "
                         "1,000 lines around each point; with the repaint that follows: %1 → %2 µs")
                  .arg(number(p99(withRepaint, false), 1), number(p99(withRepaint, true), 1)) },
        { QStringLiteral("Log memory per line"), number(perLine, 0) + QStringLiteral(" B"),
          QStringLiteral("—"), true,
          QStringLiteral("RSS growth over %1 lines, none trimmed").arg(linesText) },
    };
}

void printRow(const Program &program, const Row &row)
{
    const QString line =
            QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |\n")
                    .arg(row.figure, program.name, row.measured, row.target,
                         row.met ? QStringLiteral("met") : QStringLiteral("**missed**"), row.notes);
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

bool quick()
{
    return qEnvironmentVariableIntValue("BENCH_QUICK") != 0;
}

int repeats(int full, int quickly)
{
    return quick() ? quickly : full;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(QList<double> values)
{
    return percentile(std::move(values), 0.5);
}

double percentile(QList<double> values, double fraction)
{
    if (values.isEmpty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const qsizetype rank = qsizetype(std::ceil(fraction * values.size()));
    return values.at(qBound<qsizetype>(0, rank - 1, values.size() - 1));
}

double processCpuSeconds()
{
    timespec ts {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double threadCpuSeconds(int tid)
{
    const QString task = QStringLiteral("/proc/self/task/%1/").arg(tid);
    // schedstat: nanoseconds on the CPU; stat: utime and stime in clock ticks.
    QFile schedstat(task + QStringLiteral("schedstat"));
    if (schedstat.open(QIODevice::ReadOnly))
        return schedstat.readAll().split(' ').value(0).toLongLong() / 1e9;
    QFile stat(task + QStringLiteral("stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the parenthesised name, starting with field 3 (state).
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toLongLong() + fields.value(12).toLongLong())
            / double(::sysconf(_SC_CLK_TCK));
}

int threadIdByName(const QByteArray &name)
{
    const QStringList tasks =
            QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return task.toInt();
    }
    return -1;
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, &done] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

std::unique_ptr<Window> openWindow(const Program &program, SimulatedModule &module,
                                   const std::function<void(Window &)> &prepare)
{
    if (!module.start())
        return nullptr;
    std::unique_ptr<Window> window = program.makeWindow();
    if (prepare)
        prepare(*window);
    if (!window->openPort(module.devicePath()))
        return nullptr;
    return window;
}

Row unavailable(const QString &figure)
{
    return { figure, QStringLiteral("n/a"), QString(), false,
             QStringLiteral("no pseudo-terminal, or the port did not open") };
}

int run(int argc, char *argv[], const Program &program)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList chosen = QCoreApplication::arguments().mid(1);
    if (chosen.contains(QStringLiteral("--startup-child")))
        return startupChild(program);

    QList<std::pair<QString, Scenario>> scenarios { { QStringLiteral("startup"), startup } };
    scenarios += program.ownScenarios;
    scenarios += { { QStringLiteral("idle"), idle },
                   { QStringLiteral("hangup"), idleAfterHangUp },
                   { QStringLiteral("close"), closeWhileAwaitingReply },
                   { QStringLiteral("stream"), stream },
                   { QStringLiteral("log"), logAtScale } };
    int status = 0;
    for (const auto &[name, scenario] : std::as_const(scenarios)) {
        if (!chosen.isEmpty() && !chosen.contains(name))
            continue;
        for (const Row &row : scenario(program)) {
            printRow(program, row);
            if (row.fault && !row.met) {
                std::fprintf(stderr, "FAULT: %s: %s: %s (target %s)\n", qPrintable(program.name),
                             qPrintable(row.figure), qPrintable(row.measured),
                             qPrintable(row.target));
                status = 1;
            }
        }
    }
    return status;
}

bool pictureFailed(const char *why)
{
    std::fprintf(stderr, "screenshots: %s\n", why);
    return false;
}

bool takePicture(QWidget &widget, const QDir &docs, const QString &name)
{
    runEventLoop(300); // repainted
    if (!widget.grab().save(docs.filePath(name)))
        return pictureFailed("cannot save a picture");
    std::printf("%s\n", qPrintable(docs.filePath(name)));
    return true;
}

int takePictures(int argc, char *argv[], const std::function<bool(const QDir &docs)> &take)
{
    QApplication app(argc, argv);
    if (!Translations::install(QStringLiteral("zh_CN"))) {
        pictureFailed("the Chinese catalogue is not built into the program");
        return 1;
    }
    const QStringList arguments = QCoreApplication::arguments();
    return take(QDir(arguments.value(1, QStringLiteral(".")))) ? 0 : 1;
}

} // namespace Bench
