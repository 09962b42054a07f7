#include "benchsupport.h"
#include "rxlog.h"
#include "widget.h"

#include <QComboBox>
#include <QDebug>
#include <QElapsedTimer>
#include <QFont>
#include <QEventLoop>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTime>
#include <QTimer>

#include <unistd.h>

using namespace Bench;

namespace {

// What a USB-serial adapter hands over at 115200 baud: 11,520 B/s in pieces of 16 bytes.
constexpr double StreamBytesPerMs = 11.52;
constexpr int PieceSize = 16;

// How one delivery reaches the log.
enum class LogPath {
    None, // taken from the worker and dropped: the feed's own cost
    PerDeliveryAppend, // each line appended and laid out on its own
    Window, // the window's displayRxData
};

// The log as it was before lines were laid out per repaint: every delivery appended to the
// browser and laid out at once, its text shaped, repaints of the whole browser held back for
// 40 ms.
void appendPerDelivery(Window &window)
{
    const QByteArray received = window.worker().takeRxData();
    qDebug() << "receive num:" << received.size();
    QTextBrowser *log = window.log();
    if (log->updatesEnabled()) {
        log->setUpdatesEnabled(false);
        QTimer::singleShot(40, log, [log] { log->setUpdatesEnabled(true); });
    }
    log->append(RxLog::dumpLine(QTime::currentTime(), received));
}

struct FeedResult
{
    double guiCpu = 0; // % of a core
    qint64 pieces = 0;
    bool exact = false; // one line per piece, every byte in order
};

// Feeds the stream 00 01 … FF 00 … from a 1 ms timer of the GUI thread, each piece handed over
// as the worker's signal hands it over, and measures the GUI thread's CPU time meanwhile.
FeedResult feed(const Program &program, LogPath path, int seconds)
{
    const std::unique_ptr<Window> window = program.makeWindow();
    if (path == LogPath::PerDeliveryAppend) {
        // The log's font as it was: shaped.
        QFont font = window->log()->font();
        font.setStyleStrategy(QFont::PreferDefault);
        window->log()->setFont(font);
    }
    runEventLoop(300);
    const int gui = int(::getpid());
    const double cpu0 = threadCpuSeconds(gui);
    QElapsedTimer clock;
    clock.start();
    qint64 pieces = 0;
    quint8 next = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        const qint64 due = qint64(clock.nsecsElapsed() / 1e6 * StreamBytesPerMs / PieceSize);
        for (; pieces < due; ++pieces) {
            QByteArray piece(PieceSize, Qt::Uninitialized);
            for (char &byte : piece)
                byte = char(next++);
            window->worker().appendRxData(piece);
            switch (path) {
            case LogPath::None:
                window->worker().takeRxData();
                break;
            case LogPath::PerDeliveryAppend:
                appendPerDelivery(*window);
                break;
            case LogPath::Window:
                window->displayRxData();
                break;
            }
        }
    });
    tick.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    tick.stop();
    const double wall = clock.nsecsElapsed() / 1e9;
    FeedResult result;
    result.guiCpu = 100 * (threadCpuSeconds(gui) - cpu0) / wall;
    result.pieces = pieces;
    runEventLoop(100);

    if (path == LogPath::None) {
        result.exact = true;
        return result;
    }
    QByteArray logged;
    qint64 lines = 0;
    const QTextDocument *document = window->log()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QByteArray bytes;
        if (!WindowDriver::dumpBytes(block.text(), bytes) || bytes.size() != PieceSize)
            return result;
        logged += bytes;
        ++lines;
    }
    bool inOrder = true;
    for (qsizetype i = 0; i < logged.size() && inOrder; ++i)
        inOrder = quint8(logged.at(i)) == quint8(i);
    result.exact = inOrder && lines == pieces;
    return result;
}

QString percent(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral(" %");
}

QList<Row> logStream(const Program &program)
{
    const int seconds = quick() ? 3 : 15;
    QList<double> feedOnly;
    QList<double> before;
    QList<double> after;
    qint64 pieces = 0;
    bool exact = true;
    // Side by side: each round runs the three paths, in a rotating order.
    const LogPath paths[] = { LogPath::None, LogPath::PerDeliveryAppend, LogPath::Window };
    const int rounds = repeats(5, 1);
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 3; ++i) {
            const LogPath path = paths[(round + i) % 3];
            const FeedResult result = feed(program, path, seconds);
            exact = exact && result.exact;
            pieces += result.pieces;
            (path == LogPath::None             ? feedOnly
                     : path == LogPath::Window ? after
                                               : before)
                    << result.guiCpu;
        }
    }
    const double base = median(feedOnly);
    const double logBefore = median(before) - base;
    const double logAfter = median(after) - base;
    const QString figure = QStringLiteral("Log of a stream, 16-byte pieces at 11.5 KB/s: ");
    return {
        { figure + QStringLiteral("CPU of the log, before → now"),
          QStringLiteral("%1 → %2 of a core").arg(percent(logBefore), percent(logAfter)),
          QStringLiteral("now < 4 %"), logAfter < 4,
          QStringLiteral("GUI-thread CPU with the log minus the feed alone (%1); medians of %2 "
                         "runs of %3 s each, the paths alternating; before: each delivery "
                         "appended and laid out on its own, text shaped (%4 with the feed), now: "
                         "the window's "
                         "displayRxData (%5 with the feed)")
                  .arg(percent(base))
                  .arg(rounds)
                  .arg(seconds)
                  .arg(percent(median(before)), percent(median(after))) },
        { figure + QStringLiteral("lines and bytes logged"),
          exact ? QStringLiteral("exact") : QStringLiteral("**differ**"), QStringLiteral("exact"),
          exact,
          QStringLiteral("every run: one line per piece, every byte in order; %1 pieces")
                  .arg(pieces) },
    };
}

} // namespace

int main(int argc, char *argv[])
{
    Program program;
    program.name = QStringLiteral("remoteconfig");
    program.title = QStringLiteral("CC2530远程配置工具");
    program.makeWindow = [] { return std::make_unique<WindowOf<Widget>>(); };
    program.streamBaud = 115200;
    program.prepareStream = [](Window &window) {
        auto *rates = window.child<QComboBox>("baudRateBox");
        rates->setCurrentIndex(rates->findText(QStringLiteral("115200")));
    };
    program.parseLogLine = WindowDriver::dumpBytes;
    program.ownScenarios = { { QStringLiteral("logstream"), logStream } };
    return run(argc, argv, program);
}
