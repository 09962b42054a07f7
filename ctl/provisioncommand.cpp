#include "commandline.h"
#include "commands.h"

#include "apply.h"
#include "arguments.h"
#include "console.h"
#include "interruptwatch.h"
#include "ledgerfile.h"
#include "station.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace Ctl {

namespace {

void printJson(const Station::Event &event)
{
    QJsonObject values;
    for (const QString &key : event.values.keys())
        values.insert(key, event.values.value(key));
    QJsonObject line { { "event", event.ended ? "end" : "start" },
                       { "port", event.port },
                       { "mac", event.mac },
                       { "values", values } };
    if (event.ended) {
        line.insert("result", Station::resultWord(event.result));
        line.insert("status", event.status);
        if (event.result == Station::Result::Verified || event.result == Station::Result::Failed) {
            line.insert("written", event.written);
            line.insert("unchanged", event.unchanged);
            line.insert("failed", QJsonArray::fromStringList(event.failed));
        }
    }
    Console::json(line);
}

// PORT MAC KEY=VALUE...: started | STATUS (details)
void printText(const Station::Event &event)
{
    QStringList head { event.port, event.mac.isEmpty() ? QStringLiteral("-") : event.mac };
    for (const QString &key : event.values.keys())
        head << key + u'=' + event.values.value(key);
    QString tail = event.ended ? event.status : QStringLiteral("started");
    if (event.result == Station::Result::Verified && event.ended)
        tail += QStringLiteral(" (%1 written, %2 unchanged)")
                        .arg(event.written)
                        .arg(event.unchanged);
    else if (event.result == Station::Result::Failed)
        tail += QStringLiteral(" (%1)").arg(event.failed.join(QStringLiteral("; ")));
    Console::out(head.join(u' ') + QStringLiteral(": ") + tail);
}

// What is wrong with the arguments and options, before anything is opened.
QStringList problems(const Options &options, QList<Ledger::Range> &ranges)
{
    QStringList found;
    const QStringList ports = options.arguments.mid(1);
    if (ports.isEmpty() == options.watch.isEmpty())
        found << QStringLiteral("name the modules' ports or --watch DIR, not both");
    if (options.ledger.isEmpty())
        found << QStringLiteral("--ledger FILE is required: the CSV file that records every "
                                "module");
    for (qsizetype i = 0; i < ports.size(); ++i) {
        found << argumentProblems(QStringLiteral("provision"), ports.at(i), FileUse::None);
        if (ports.indexOf(ports.at(i)) < i)
            found << QStringLiteral("%1 is given twice").arg(ports.at(i));
    }
    const QFileInfo watched(options.watch);
    if (!options.watch.isEmpty() && watched.exists() && !watched.isDir())
        found << QStringLiteral("--watch: %1 is not a directory").arg(options.watch);
    for (const QString &text : options.assigns) {
        QString error;
        const auto range = Ledger::parseRange(text, &error);
        if (!range)
            found << QStringLiteral("--assign: ") + error;
        else if (std::any_of(ranges.begin(), ranges.end(),
                             [&](const Ledger::Range &r) { return r.key == range->key; }))
            found << QStringLiteral("--assign: %1 given more than once").arg(range->key);
        else
            ranges << *range;
    }
    return found;
}

} // namespace

int provisionCommand(const Options &options)
{
    Station::Settings settings;
    QStringList faults = problems(options, settings.ranges);
    const auto profile = loadProfile(options.arguments.value(0));
    for (const QString &fault : std::as_const(faults))
        Console::err(fault);
    if (!profile || !faults.isEmpty())
        return Refused;

    LedgerFile ledger(options.ledger);
    QString error;
    if (!ledger.open(&error)) {
        Console::err(QStringLiteral("ledger %1: %2").arg(options.ledger, error));
        return Refused;
    }
    QStringList assigned;
    for (const Ledger::Range &range : std::as_const(settings.ranges))
        assigned << range.key;
    faults = ledger.ledger().check(assigned);
    for (const QString &fault : std::as_const(faults))
        Console::err(QStringLiteral("ledger %1: %2").arg(options.ledger, fault));
    if (!faults.isEmpty())
        return Refused;

    const bool watching = !options.watch.isEmpty();
    settings.profile = *profile;
    settings.save = options.save;
    settings.gapMs = options.gapMs;
    // A fresh adapter may refuse to open while udev sets its permissions.
    settings.openRetryMs = watching ? 2000 : 0;
    InterruptWatch interrupt;
    Station station(settings, ledger);
    station.setReport([json = options.json](const Station::Event &event) {
        json ? printJson(event) : printText(event);
        if (event.networkUncleared)
            Console::err(event.port + QStringLiteral(": ") + ProfileApply::networkUnclearedText());
    });
    station.setNote(&Console::err);
    QEventLoop loop;
    QObject::connect(&station, &Station::idle, &loop, [&] {
        if (!watching || InterruptWatch::requested())
            loop.quit();
    });
    QObject::connect(&interrupt, &InterruptWatch::interrupted, &loop, [&] {
        station.stopWatching();
        Console::err(QStringLiteral("%1: finishing the modules in progress (%2; the same signal "
                                    "again ends at once)")
                             .arg(InterruptWatch::signalName())
                             .arg(station.inProgress()));
        if (station.inProgress() == 0)
            loop.quit();
    });
    if (watching) {
        if (!QFileInfo(options.watch).isDir())
            Console::err(
                    QStringLiteral("%1 does not exist yet; waiting for it").arg(options.watch));
        station.watch(options.watch);
        Console::err(QStringLiteral("watching %1 for modules plugged in; Ctrl+C ends")
                             .arg(options.watch));
    } else {
        for (const QString &port : options.arguments.mid(1))
            station.provision(port);
    }
    loop.exec();

    const Station::Counts counts = station.counts();
    if (options.json)
        Console::json(QJsonObject { { "event", "summary" },
                                    { "verified", counts.verified },
                                    { "failed", counts.failed },
                                    { "refused", counts.refused },
                                    { "lost", counts.lost } });
    else
        Console::out(QStringLiteral("%1 verified, %2 failed, %3 refused, %4 lost")
                             .arg(counts.verified)
                             .arg(counts.failed)
                             .arg(counts.refused)
                             .arg(counts.lost));
    const qsizetype unseen = ledger.ledger().rowsWhere(Ledger::Status, QString()).size();
    if (unseen > 0)
        Console::err(QStringLiteral("%1 rows of the ledger have no status yet: modules planned "
                                    "but not seen")
                             .arg(unseen));
    if (InterruptWatch::requested() && !watching) {
        Console::err(QStringLiteral("stopped by %1").arg(InterruptWatch::signalName()));
        return InterruptWatch::exitCode();
    }
    if (counts.lost > 0 || station.ledgerTrouble())
        return LinkFailed;
    return counts.failed > 0 || counts.refused > 0 ? Refused : Done;
}

} // namespace Ctl
