#include "benchsupport.h"
#include "differencesdialog.h"
#include "moduleprofile.h"
#include "parameterwrites.h"
#include "profile.h"
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

// A full import: the module differs in every parameter from the file; from the click on "写入"
// to the status that the read-back agrees.
QList<Row> fullImport(const Program &program)
{
    const QString figure = QStringLiteral("Import of a profile, every parameter differs: "
                                          "\"写入\" → verified");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("first.json"));
    int written = 0;
    QList<double> ms;
    int failed = 0;
    for (int run = 0; run < repeats(3, 1); ++run) {
        SimulatedModule module;
        QFile file(path);
        if (!module.start() || !file.open(QIODevice::WriteOnly)
            || file.write(ProfileFile::write(ModuleProfile::fromReply(module.deviceInfoReply())))
                    <= 0) {
            return { unavailable(figure) };
        }
        file.close();
        module.changeEveryParameter();
        const std::unique_ptr<Window> window = openWindow(program, module);
        if (!window)
            return { unavailable(figure) };
        auto &widget = static_cast<Widget &>(window->widget());
        widget.setProfileFileChoosers({}, [&path](QWidget *, const QString &) { return path; });
        window->child<QPushButton>("importProfile")->click();
        DifferencesDialog *dialog = nullptr;
        if (!runUntil([&] { return (dialog = widget.findChild<DifferencesDialog *>()); }, 3000)) {
            ++failed;
            continue;
        }
        const Clock::time_point click = Clock::now();
        dialog->findChild<QPushButton *>(QStringLiteral("writeButton"))->click();
        const bool verified = runUntil(
                [&] { return window->status().endsWith(QStringLiteral("项，校验一致")); }, 60000);
        const Clock::time_point done = Clock::now();
        if (!verified) {
            ++failed;
            continue;
        }
        written = window->status().section(u' ', 1, 1).toInt();
        ms << msBetween(click, done);
    }
    const double value = median(ms);
    return { { figure, QStringLiteral("%1 ms").arg(value, 0, 'f', 0), QStringLiteral("—"),
               failed == 0 && written > 0,
               QStringLiteral("%1 parameters written one exchange after another (each ends "
                              "after the protocol's 300 ms of silence), then read back: %2 ms "
                              "per exchange; n=%3, failed %4")
                       .arg(written)
                       .arg(written > 0 ? value / (written + 1) : 0, 0, 'f', 1)
                       .arg(ms.size())
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
                             { QStringLiteral("import"), fullImport } };
    return run(argc, argv, program);
}
