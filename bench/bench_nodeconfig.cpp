#include "benchsupport.h"
#include "differencesdialog.h"
#include "moduleprofile.h"
#include "parameterwrites.h"
#include "profile.h"
#include "replyend.h"
#include "simulatedmodule.h"
#include "widget.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>

using namespace Bench;

namespace {

// 8N1: ten bit times per byte at 38400 baud.
double wireMs(qsizetype bytes)
{
    return bytes * 10 * 1000.0 / 38400;
}

QList<Row> deviceRead(const Program &program)
{
    const QString figure = QStringLiteral("Device read: click → last field");
    SimulatedModule module;
    const std::unique_ptr<Window> window = openWindow(program, module);
    if (!window)
        return { unavailable(figure) };
    auto *button = window->child<QPushButton>("readDeviceInfo");
    auto *extPanId = window->child<QLineEdit>("ExtPanID");

    // Connected after the window's own connection: runs once checkRxData has written the fields.
    QObject probe;
    bool replied = false;
    Clock::time_point lastField;
    QObject::connect(&window->worker(), &MyThread::comRecive, &probe, [&replied, &lastField] {
        lastField = Clock::now();
        replied = true;
    });

    QList<double> ms;
    int failed = 0;
    for (int run = 0; run < repeats(21, 5); ++run) {
        extPanId->clear();
        replied = false;
        const Clock::time_point click = Clock::now();
        button->click();
        if (!runUntil([&replied] { return replied; }, 3000) || extPanId->text().isEmpty()) {
            ++failed;
            continue;
        }
        ms << msBetween(click, lastField);
        runEventLoop(50);
    }
    const double floor = wireMs(5) + wireMs(module.deviceInfoReply().size()) + 300;
    const double value = median(ms);
    return { { figure, QStringLiteral("%1 ms").arg(value, 0, 'f', 1),
               QStringLiteral("≤ floor + 10 = %1 ms").arg(floor + 10, 0, 'f', 1),
               failed == 0 && value <= floor + 10,
               QStringLiteral(
                       "floor %1 ms = request %2 + reply %3 on the wire + 300 silence; a "
                       "pseudo-terminal has no wire time: beyond the 300 ms wait %4 ms; n=%5, "
                       "failed %6")
                       .arg(floor, 0, 'f', 1)
                       .arg(wireMs(5), 0, 'f', 1)
                       .arg(wireMs(module.deviceInfoReply().size()), 0, 'f', 1)
                       .arg(value - 300, 0, 'f', 1)
                       .arg(ms.size())
                       .arg(failed) } };
}

QList<Row> parameterWrite(const Program &program)
{
    const QString figure = QStringLiteral("Parameter write: list change → last byte at module");
    SimulatedModule module;
    const std::unique_ptr<Window> window = openWindow(program, module);
    if (!window)
        return { unavailable(figure) };
    auto *sendMode = window->child<QComboBox>("SendMode");

    // The module's thread counts what arrives and stamps the byte that completes the frame.
    std::atomic<qint64> expected { 0 };
    std::atomic<qint64> arrived { 0 };
    std::atomic<bool> complete { false };
    Clock::time_point lastByte;
    QObject::connect(
            &module, &SimulatedModule::bytesReceived, &module,
            [&](const QByteArray &chunk) {
                if (arrived += chunk.size(); arrived >= expected && !complete) {
                    lastByte = Clock::now();
                    complete = true;
                }
            },
            Qt::DirectConnection);
    QObject probe;
    bool exchangeDone = false;
    QObject::connect(&window->worker(), &MyThread::comRecive, &probe,
                     [&exchangeDone] { exchangeDone = true; });

    QList<double> ms;
    qsizetype frameSize = 0;
    int failed = 0;
    for (int run = 0; run < repeats(21, 5); ++run) {
        const int index = 1 + run % 2;
        const QByteArray frame =
                ParameterWrites::listFrame(ParameterWrites::Parameter::SendMode, index);
        frameSize = frame.size();
        complete = false;
        exchangeDone = false;
        expected = arrived + frame.size();
        const Clock::time_point change = Clock::now();
        sendMode->setCurrentIndex(index);
        if (!runUntil([&complete] { return bool(complete); }, 2000)) {
            ++failed;
            continue;
        }
        ms << msBetween(change, lastByte);
        // The module's status reply ends after 300 ms of silence; the next write waits for it.
        runUntil([&exchangeDone] { return exchangeDone; }, 3000);
        runEventLoop(20);
    }
    const double value = median(ms);
    return { { figure, QStringLiteral("%1 ms").arg(value, 0, 'f', 2), QStringLiteral("< 8 ms"),
               failed == 0 && value < 8,
               QStringLiteral("SendMode, a %1-byte frame (%2 ms on the wire, not included: a "
                              "pseudo-terminal has none); stamped in the module's thread; n=%3, "
                              "max %4 ms, failed %5")
                       .arg(frameSize)
                       .arg(wireMs(frameSize), 0, 'f', 1)
                       .arg(ms.size())
                       .arg(ms.isEmpty() ? 0 : *std::max_element(ms.cbegin(), ms.cend()), 0, 'f', 2)
                       .arg(failed) } };
}

using ReplyEndMaker = Widget::ReplyEndMaker;

// The import's and the export's own exchanges: the frame rule, and the windows' 300 ms rule
// (the worker's own) that they used before.
const ReplyEndMaker FrameRule = [] { return std::make_shared<ModuleReplyEnd>(); };
const ReplyEndMaker SilenceRule = [] { return std::shared_ptr<const ReplyEndRule>(); };

struct Import
{
    QList<double> ms;
    int written = 0;
    int failed = 0;
};

// Full imports: the module differs in every parameter from the file; from the click on "写入"
// to the status that the read-back agrees.
Import timeImports(const Program &program, const ReplyEndMaker &rule, bool answersWrites, int runs)
{
    Import result;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("first.json"));
    for (int run = 0; run < runs; ++run) {
        SimulatedModule module;
        QFile file(path);
        if (!module.start() || !file.open(QIODevice::WriteOnly)
            || file.write(ProfileFile::write(ModuleProfile::fromReply(module.deviceInfoReply())))
                    <= 0) {
            ++result.failed;
            continue;
        }
        file.close();
        module.changeEveryParameter();
        module.setUnansweredWrites(!answersWrites);
        const std::unique_ptr<Window> window = openWindow(program, module);
        if (!window) {
            ++result.failed;
            continue;
        }
        auto &widget = static_cast<Widget &>(window->widget());
        widget.setProfileFileChoosers({}, [&path](QWidget *, const QString &) { return path; });
        widget.setProfileReplyEnd(rule);
        window->child<QPushButton>("importProfile")->click();
        DifferencesDialog *dialog = nullptr;
        if (!runUntil([&] { return (dialog = widget.findChild<DifferencesDialog *>()); }, 3000)) {
            ++result.failed;
            continue;
        }
        const Clock::time_point click = Clock::now();
        dialog->findChild<QPushButton *>(QStringLiteral("writeButton"))->click();
        const bool verified = runUntil(
                [&] { return window->status().endsWith(QStringLiteral("项，校验一致")); }, 90000);
        const Clock::time_point done = Clock::now();
        if (!verified) {
            ++result.failed;
            continue;
        }
        result.written = window->status().section(u' ', 1, 1).toInt();
        result.ms << msBetween(click, done);
    }
    return result;
}

QList<Row> fullImport(const Program &program)
{
    QList<Row> rows;
    for (const bool answersWrites : { true, false }) {
        const QString figure = answersWrites
                ? QStringLiteral("Import, every parameter differs, module answers writes: "
                                 "\"写入\" → verified")
                : QStringLiteral("Import, every parameter differs, module silent on writes: "
                                 "\"写入\" → verified");
        const int target = answersWrites ? 1000 : 4000;
        const Import frame = timeImports(program, FrameRule, answersWrites, repeats(11, 3));
        // The 300 ms rule takes 10 to 40 s an import: fewer runs of it.
        const Import silence = timeImports(program, SilenceRule, answersWrites, repeats(3, 1));
        const double value = median(frame.ms);
        const double before = median(silence.ms);
        rows.append({ figure, QStringLiteral("%1 ms").arg(value, 0, 'f', 0),
                      QStringLiteral("< %1 ms").arg(target),
                      frame.failed == 0 && frame.written > 0 && value < target,
                      QStringLiteral("%1 parameters written one exchange after another and read "
                                     "back, frame rule (a write unanswered after 100 ms); the "
                                     "windows' 300 ms rule: %2 ms (×%3); n=%4 and %5, failed %6 "
                                     "and %7")
                              .arg(frame.written)
                              .arg(before, 0, 'f', 0)
                              .arg(before / value, 0, 'f', 1)
                              .arg(frame.ms.size())
                              .arg(silence.ms.size())
                              .arg(frame.failed)
                              .arg(silence.failed) });
    }
    return rows;
}

// From the click on "导出配置…" to the save dialog: the module is read first.
QList<double> timeExports(Window &window, const ReplyEndMaker &rule, int runs, int *failed)
{
    auto &widget = static_cast<Widget &>(window.widget());
    Clock::time_point asked;
    bool shown = false;
    widget.setProfileFileChoosers(
            [&](QWidget *, const QString &) {
                asked = Clock::now();
                shown = true;
                return QString(); // cancelled
            },
            {});
    widget.setProfileReplyEnd(rule);
    auto *button = window.child<QPushButton>("exportProfile");
    QList<double> ms;
    for (int run = 0; run < runs; ++run) {
        shown = false;
        const Clock::time_point click = Clock::now();
        button->click();
        if (!runUntil([&] { return shown; }, 3000)) {
            ++*failed;
            continue;
        }
        ms << msBetween(click, asked);
        runUntil([button] { return button->isEnabled(); }, 1000);
        runEventLoop(20);
    }
    return ms;
}

QList<Row> exportClick(const Program &program)
{
    const QString figure = QStringLiteral("Export: click → save dialog");
    SimulatedModule module;
    const std::unique_ptr<Window> window = openWindow(program, module);
    if (!window)
        return { unavailable(figure) };
    int failed = 0;
    const double value = median(timeExports(*window, FrameRule, repeats(21, 5), &failed));
    const double before = median(timeExports(*window, SilenceRule, repeats(5, 2), &failed));
    return { { figure, QStringLiteral("%1 ms").arg(value, 0, 'f', 1), QStringLiteral("< 100 ms"),
               failed == 0 && value < 100,
               QStringLiteral("the module is read at every export, frame rule; the windows' "
                              "300 ms rule: %1 ms; failed %2")
                       .arg(before, 0, 'f', 1)
                       .arg(failed) } };
}

} // namespace

int main(int argc, char *argv[])
{
    Program program;
    program.name = QStringLiteral("nodeconfig");
    program.title = QStringLiteral("CC2530全功能配置工具V1.4");
    program.makeWindow = [] { return std::make_unique<WindowOf<Widget>>(); };
    program.streamBaud = 38400;
    // An 8-byte delivery is logged as an RSSI report.
    program.parseLogLine = WindowDriver::lineBytes;
    program.ownScenarios = { { QStringLiteral("deviceread"), deviceRead },
                             { QStringLiteral("paramwrite"), parameterWrite },
                             { QStringLiteral("import"), fullImport },
                             { QStringLiteral("export"), exportClick } };
    return run(argc, argv, program);
}
