// Soak run of the node window against the simulated module: one device read a second while
// the module streams RSSI reports, for the given number of seconds (default 3600). Samples
// the resident memory once a minute (more often in runs shorter than ten minutes) together
// with the size of the received-data log: memory may grow only with the log.
//
//   soak [seconds] [rssi-interval-ms]
#include "widget.h"

#include "benchsupport.h"
#include "simulatedmodule.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>

namespace {

// VmRSS of /proc/self/status, in kB.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    // A /proc file has no size: read it whole rather than test for its end.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

struct Sample
{
    qint64 seconds;
    long rssKb;
    int logLines;
    int logChars;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Hours of per-delivery debug lines would only measure the terminal.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.qpa.*=false"));

    const QStringList args = QCoreApplication::arguments();
    const int duration = args.size() > 1 ? args.at(1).toInt() : 3600;
    const int rssiIntervalMs = args.size() > 2 ? args.at(2).toInt() : 100;
    if (duration <= 0 || rssiIntervalMs <= 0) {
        std::fprintf(stderr, "usage: soak [seconds > 0] [rssi-interval-ms > 0]\n");
        return 2;
    }
    const int sampleEvery = duration >= 600 ? 60 : qMax(1, duration / 10);

    SimulatedModule module;
    if (!module.start()) {
        std::fprintf(stderr, "no pseudo-terminal available\n");
        return 1;
    }
    module.setRssiReportIntervalMs(rssiIntervalMs);

    Bench::WindowOf<Widget> window;
    auto *counter = window.child<QLineEdit>("SuccessTimer");
    QTextBrowser *log = window.log();
    const auto button = [&window](const char *name) { return window.child<QPushButton>(name); };
    if (!window.openPort(module.devicePath())) {
        std::fprintf(stderr, "could not open %s\n", qPrintable(module.devicePath()));
        return 1;
    }
    QCoreApplication::processEvents();
    button("startRssiTest")->click();

    int readsSent = 0;
    int readsAccepted = 0;
    // The counter text is the low byte of the count: every accepted reply changes it.
    QObject::connect(counter, &QLineEdit::textChanged, [&readsAccepted] { ++readsAccepted; });

    QTimer reads;
    QObject::connect(&reads, &QTimer::timeout, [&] {
        ++readsSent;
        button("readDeviceInfo")->click();
    });
    reads.start(1000);

    QList<Sample> samples;
    QElapsedTimer clock;
    clock.start();
    const auto sample = [&] {
        const Sample s { clock.elapsed() / 1000, residentKb(), log->document()->blockCount(),
                         log->document()->characterCount() };
        samples.append(s);
        std::printf("%6llds  rss %8ld kB  log %7d lines %10d chars  reads %6d sent %6d "
                    "decoded  rssi running %s\n",
                    static_cast<long long>(s.seconds), s.rssKb, s.logLines, s.logChars, readsSent,
                    readsAccepted, module.rssiTestRunning() ? "yes" : "no");
        std::fflush(stdout);
    };
    std::printf("soak: %d s, a device read every second, RSSI reports every %d ms, on %s\n",
                duration, rssiIntervalMs, qPrintable(module.devicePath()));
    sample();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sampler.start(sampleEvery * 1000);
    QTimer::singleShot(duration * 1000, &app, &QCoreApplication::quit);
    app.exec();
    sample();

    // Growth after the first sample (start-up, first layouts) against growth of the log.
    const Sample &first = samples.value(1, samples.first());
    const Sample &last = samples.last();
    const long rssGrowth = last.rssKb - first.rssKb;
    const int logGrowth = last.logChars - first.logChars;
    std::printf("memory growth %ld kB over %d log characters (%.1f bytes per character) after "
                "the first sample; %d of %d reads decoded\n",
                rssGrowth, logGrowth, logGrowth > 0 ? 1024.0 * double(rssGrowth) / logGrowth : 0.0,
                readsAccepted, readsSent);
    return 0;
}
