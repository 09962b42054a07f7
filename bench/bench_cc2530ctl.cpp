// Figures of cc2530ctl against simulated modules: the read exchange, the whole program's read,
// a verified restore of every parameter (module answering writes and not), and the same
// changes with the windows' 300 ms rule, side by side.
#include "apply.h"
#include "benchsupport.h"
#include "moduleclient.h"
#include "simulatedmodule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

using Bench::median;

int rounds()
{
    return qEnvironmentVariableIsSet("BENCH_QUICK") ? 3 : 11;
}

Profile firstState()
{
    SimulatedModule a;
    a.start();
    ModuleClient client(100);
    client.open(a.devicePath());
    return ModuleProfile::fromReply(client.readDeviceInfo().value_or(QByteArray()));
}

double timeRestore(const Profile &wanted, const std::function<LinkSettings()> &settings,
                   bool answering, int *written)
{
    SimulatedModule module;
    module.start();
    module.changeEveryParameter();
    module.setUnansweredWrites(!answering);
    ModuleClient client(settings());
    client.open(module.devicePath());
    QElapsedTimer clock;
    clock.start();
    ProfileApply engine(client);
    engine.run(client.readDeviceInfo().value_or(QByteArray()), wanted, false);
    const double ms = clock.nsecsElapsed() / 1e6;
    *written = 0;
    for (const auto &line : engine.lines())
        *written += line.outcome == ProfileApply::Outcome::Verified;
    return engine.allVerified() ? ms : -1;
}

void row(const char *figure, double value, const char *unit, const char *target, bool met,
         const QString &notes)
{
    std::printf("| %s | cc2530ctl | %.1f %s | %s | %s | %s |\n", figure, value, unit, target,
                met ? "met" : "MISSED", notes.toUtf8().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = QCoreApplication::applicationDirPath() + "/../app/cc2530ctl";

    SimulatedModule module;
    module.start();
    QList<double> exchange;
    {
        ModuleClient client(100);
        client.open(module.devicePath());
        for (int i = 0; i < rounds() * 3; ++i) {
            QElapsedTimer clock;
            clock.start();
            client.readDeviceInfo();
            exchange << clock.nsecsElapsed() / 1e6;
        }
    }
    QList<double> process;
    for (int i = 0; i < rounds(); ++i) {
        QElapsedTimer clock;
        clock.start();
        QProcess run;
        run.setStandardOutputFile(QProcess::nullDevice());
        run.setStandardErrorFile(QProcess::nullDevice());
        run.start(program, { "read", module.devicePath() });
        run.waitForFinished();
        process << clock.nsecsElapsed() / 1e6;
    }
    row("read: request → reply decoded", median(exchange), "ms", "< 40 ms", median(exchange) < 40,
        QStringLiteral("frame rule; the windows' rule waits 300 ms more"));
    row("read: whole process", median(process), "ms", "< 200 ms", median(process) < 200,
        QStringLiteral("start, open, read, print, exit"));

    const Profile wanted = firstState();
    const auto frameRule = [] { return ModuleClient::settings(100); };
    const auto windowRule = [] { return LinkSettings::nodeConfig(); };
    for (const bool answering : { true, false }) {
        QList<double> frame;
        QList<double> window;
        int written = 0;
        // The windows' rule takes 10 to 30 s a restore: fewer rounds of it.
        for (int i = 0; i < rounds(); ++i) {
            frame << timeRestore(wanted, frameRule, answering, &written);
            if (i < 3)
                window << timeRestore(wanted, windowRule, answering, &written);
        }
        const double f = median(frame);
        const double w = median(window);
        row(answering ? "restore, every parameter, verified: module answers writes"
                      : "restore, every parameter, verified: module silent on writes",
            f, "ms", answering ? "< 2000 ms" : "< 5000 ms", f > 0 && f < (answering ? 2000 : 5000),
            QStringLiteral("%1 parameters; the windows' 300 ms rule: %2 ms (×%3)")
                    .arg(written)
                    .arg(w, 0, 'f', 0)
                    .arg(w / f, 0, 'f', 1));
    }
    return 0;
}
