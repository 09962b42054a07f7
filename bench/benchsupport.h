#pragma once

#include "mythread.h"
#include "windowdriver.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class SimulatedModule;

// What the benchmark programs share: statistics, CPU time and memory of this process, a
// window opened against the simulated module, and the scenarios both windows run.
namespace Bench {

using Clock = std::chrono::steady_clock;

// BENCH_QUICK=1 shortens every scenario, for trying the programs out.
bool quick();
int repeats(int full, int quickly);

double msBetween(Clock::time_point from, Clock::time_point to);
double median(QList<double> values);
// fraction 0.99 gives the 99th percentile (nearest rank).
double percentile(QList<double> values, double fraction);

double processCpuSeconds();
// CPU time of one thread of this process; the main thread's id is the process id.
double threadCpuSeconds(int tid);
// The first thread of this process with that name (Qt names threads after their class).
int threadIdByName(const QByteArray &name);
qint64 residentBytes();

// The GUI thread's own event loop, for ms or until done() holds (checked every millisecond).
void runEventLoop(int ms);
bool runUntil(const std::function<bool()> &done, int timeoutMs);

// One program's window, shown.
class Window : public WindowDriver
{
public:
    virtual MyThread &worker() = 0;
    virtual void displayRxData() = 0;
    // Lays out what the log holds back until its next repaint, if it holds anything back.
    virtual void flushLog() = 0;

    QWidget &widget() const { return *driven(); }
};

template<typename W, typename = void>
struct HasFlushLog : std::false_type
{
};
template<typename W>
struct HasFlushLog<W, std::void_t<decltype(std::declval<W &>().flushLog())>> : std::true_type
{
};

template<typename W>
class WindowOf : public Window
{
public:
    WindowOf() { m_widget->show(); }
    MyThread &worker() override { return m_widget->serialWorker(); }
    void displayRxData() override { m_widget->displayRxData(); }
    void flushLog() override
    {
        if constexpr (HasFlushLog<W>::value)
            m_widget->flushLog();
    }

protected:
    QWidget *driven() const override { return m_widget.get(); }

private:
    const std::unique_ptr<W> m_widget = std::make_unique<W>();
};

struct Row
{
    QString figure;
    QString measured;
    QString target;
    bool met = false;
    QString notes;
    // A missed target here is a fault, not a slow figure: the program ends with status 1.
    bool fault = false;
};

// The row of a figure that could not be measured.
Row unavailable(const QString &figure);

struct Program;
using Scenario = std::function<QList<Row>(const Program &program)>;

struct Program
{
    QString name;
    QString title;
    std::function<std::unique_ptr<Window>()> makeWindow;
    // Rate of the stream scenario, and what the window needs to take it (its baud-rate list).
    int streamBaud = 38400;
    std::function<void(Window &)> prepareStream;
    // The bytes one log line stands for (WindowDriver::dumpBytes or lineBytes); false for a
    // line that is not a delivery.
    std::function<bool(const QString &line, QByteArray &bytes)> parseLogLine;
    // Scenarios of this program alone, by name, in the order they run.
    QList<std::pair<QString, Scenario>> ownScenarios;
};

// The program's window with its port open on module, which it starts; null when no
// pseudo-terminal can be made or the port does not open. prepare runs before the open.
std::unique_ptr<Window> openWindow(const Program &program, SimulatedModule &module,
                                   const std::function<void(Window &)> &prepare = {});

// Runs the scenarios named on the command line (all by default) and prints one markdown
// table row per figure on standard output; exits with 1 when a fault row missed its target. With
// --startup-child, builds and shows the window as the program's main() does and reports the moment
// it is shown.
int run(int argc, char *argv[], const Program &program);

// The programs that take the pictures of docs/ (scripts/screenshots.sh).
// Says why the pictures cannot be taken, on standard error; false.
bool pictureFailed(const char *why);
// Saves widget, repainted, as name in docs; false when that fails.
bool takePicture(QWidget &widget, const QDir &docs, const QString &name);
// Runs take in an application with the windows' catalogue, the folder being the first argument;
// the exit code.
int takePictures(int argc, char *argv[], const std::function<bool(const QDir &docs)> &take);

} // namespace Bench
