#include "station.h"

#include "apply.h"
#include "arguments.h"
#include "directorywatch.h"
#include "ledgerfile.h"
#include "moduleclient.h"
#include "moduleprofile.h"
#include "portlist.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <utility>

namespace {

constexpr int OpenRetryPauseMs = 100;
// Without inotify the watched directory is listed this often.
constexpr int PollMs = 250;

} // namespace

// One module on one port, in a thread of its own: open, read, ask the station for the
// module's values, apply. Its event is read once the thread has finished.
class ModuleRun : public QThread
{
    Q_OBJECT

public:
    ModuleRun(Station &station, const QString &port)
        : m_station(station)
    {
        m_event.port = port;
    }
    // The entry went away: the run ends before its next exchange.
    void requestStop() { m_stop = true; }
    const Station::Event &event() const { return m_event; }
    bool recordsRow() const { return m_recordsRow; }

protected:
    void run() override;

private:
    // The ledger status is the result's word, then the reason.
    void end(Station::Result result, const QString &reason = {});

    Station &m_station;
    Station::Event m_event;
    bool m_recordsRow = true;
    std::atomic_bool m_stop { false };
};

void ModuleRun::end(Station::Result result, const QString &reason)
{
    m_event.ended = true;
    m_event.result = result;
    m_event.status = Station::resultWord(result);
    if (!reason.isEmpty())
        m_event.status += QStringLiteral(": ") + reason;
}

void ModuleRun::run()
{
    const Station::Settings &settings = m_station.m_settings;
    const QString port = m_event.port;
    const QString vanished = QStringLiteral("%1 disappeared").arg(port);
    std::unique_ptr<ModuleClient> client;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        client = std::make_unique<ModuleClient>(settings.gapMs);
        if (client->open(port))
            break;
        if (m_stop || clock.elapsed() + OpenRetryPauseMs > settings.openRetryMs)
            return end(Station::Result::Lost, client->failureText());
        QThread::msleep(OpenRetryPauseMs);
    }
    const auto reply = client->readDeviceInfo();
    if (!reply)
        return end(Station::Result::Lost, client->failureText());
    if (m_stop)
        return end(Station::Result::Lost, vanished);
    m_event.mac = ModuleProfile::fromReply(*reply).module.mac;

    Station::Decision decision;
    QMetaObject::invokeMethod(
            &m_station, [&] { decision = m_station.identified(port, m_event.mac); },
            Qt::BlockingQueuedConnection);
    m_event.values = decision.own;
    m_recordsRow = decision.record;
    if (!decision.refusal.isEmpty())
        return end(Station::Result::Refused, decision.refusal);

    ProfileApply engine(*client);
    engine.setStopRequest([this] { return m_stop.load(); });
    const ProfileApply::End applied = engine.run(*reply, decision.wanted, settings.save);
    m_event.networkUncleared = engine.networkLeftUncleared();
    if (applied == ProfileApply::End::Stopped)
        return end(Station::Result::Lost, vanished);
    if (applied == ProfileApply::End::LinkFailed)
        return end(Station::Result::Lost, client->failureText());
    QStringList failedKeys;
    for (const ProfileApply::Line &line : engine.lines()) {
        m_event.written += line.outcome == ProfileApply::Outcome::Verified;
        m_event.unchanged += line.outcome == ProfileApply::Outcome::Unchanged;
        if (line.outcome == ProfileApply::Outcome::Failed) {
            failedKeys << line.key;
            m_event.failed << line.key + QStringLiteral(": ") + ProfileApply::failureText(line);
        }
    }
    if (failedKeys.isEmpty())
        end(Station::Result::Verified);
    else
        end(Station::Result::Failed, failedKeys.join(QStringLiteral(", ")));
}

QString Station::resultWord(Result result)
{
    switch (result) {
    case Result::Verified:
        return QStringLiteral("verified");
    case Result::Failed:
        return QStringLiteral("failed");
    case Result::Refused:
        return QStringLiteral("refused");
    case Result::Lost:
        break;
    }
    return QStringLiteral("lost");
}

Station::Station(Settings settings, LedgerFile &ledger, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_ledger(ledger)
{
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &Station::entriesChanged);
}

Station::~Station()
{
    m_closing = true;
    const QList<ModuleRun *> runs = m_runs.values();
    for (ModuleRun *run : runs)
        run->requestStop();
    // A run may be waiting for the station to decide its values.
    for (ModuleRun *run : runs) {
        while (!run->wait(20))
            QCoreApplication::processEvents();
        delete run;
    }
}

void Station::setReport(std::function<void(const Event &)> report)
{
    m_report = std::move(report);
}

void Station::setNote(std::function<void(const QString &)> note)
{
    m_note = std::move(note);
}

void Station::note(const QString &text) const
{
    if (m_note)
        m_note(text);
}

void Station::provision(const QString &port)
{
    // Plugged in again before its last run has ended: once more after it.
    if (m_runs.contains(port)) {
        m_again.insert(port);
        return;
    }
    auto *run = new ModuleRun(*this, port);
    m_runs.insert(port, run);
    connect(run, &QThread::finished, this, [this, run] { ended(run); });
    run->start();
}

Station::Decision Station::identified(const QString &port, const QString &mac)
{
    Decision decision;
    if (m_macs.contains(mac)) {
        decision.refusal =
                QStringLiteral("the same MAC is being provisioned on %1").arg(m_macs.value(mac));
        decision.record = false;
        return decision;
    }
    m_macs.insert(mac, port);
    Ledger &ledger = m_ledger.ledger();
    qsizetype row = ledger.findMac(mac);
    Profile own = row >= 0 ? ledger.parameters(row) : Profile();
    QList<std::pair<QString, QString>> assigned;
    for (const Ledger::Range &range : std::as_const(m_settings.ranges)) {
        if (own.contains(range.key))
            continue;
        const auto free = ledger.lowestFree(range);
        if (!free) {
            decision.refusal =
                    QStringLiteral("no free %1 in %2..%3")
                            .arg(range.key, range.text(range.first), range.text(range.last));
            break;
        }
        own.set(range.key, *free);
        assigned.append({ range.key, *free });
    }
    if (row < 0)
        row = ledger.appendRow(mac);
    if (decision.refusal.isEmpty()) {
        for (const auto &[key, value] : std::as_const(assigned))
            ledger.setValue(row, key, value);
    }
    // The values are on disk before the module's first write: a crash never hands them on. A
    // refused module's row is written once, when its run has ended.
    if (decision.refusal.isEmpty()) {
        const QString failure = record(row, QString(), port);
        if (!failure.isEmpty())
            decision.refusal = QStringLiteral("the ledger could not be written (%1)").arg(failure);
    }
    decision.own = ledger.parameters(row);
    decision.own.module = {};
    decision.wanted = m_settings.profile;
    for (const QString &key : decision.own.keys())
        decision.wanted.set(key, decision.own.value(key));
    if (decision.refusal.isEmpty() && m_report) {
        Event started;
        started.port = port;
        started.mac = mac;
        started.values = decision.own;
        m_report(started);
    }
    return decision;
}

QString Station::record(qsizetype row, const QString &status, const QString &port)
{
    Ledger &ledger = m_ledger.ledger();
    ledger.setValue(row, Ledger::Status, status);
    ledger.setValue(row, Ledger::Port, port);
    ledger.setValue(row, Ledger::Time, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    const QString failure = m_ledger.save();
    if (!failure.isEmpty()) {
        m_ledgerTrouble = true;
        note(QStringLiteral("cannot write the ledger %1: %2").arg(m_ledger.path(), failure));
    }
    return failure;
}

void Station::ended(ModuleRun *run)
{
    if (m_closing)
        return;
    run->wait();
    const Event event = run->event();
    const bool recordsRow = run->recordsRow();
    m_runs.remove(event.port);
    delete run;
    if (!event.mac.isEmpty() && recordsRow) {
        m_macs.remove(event.mac);
        record(m_ledger.ledger().findMac(event.mac), event.status, event.port);
    }
    switch (event.result) {
    case Result::Verified:
        ++m_counts.verified;
        break;
    case Result::Failed:
        ++m_counts.failed;
        break;
    case Result::Refused:
        ++m_counts.refused;
        break;
    case Result::Lost:
        ++m_counts.lost;
        break;
    }
    if (m_report)
        m_report(event);
    if (m_again.remove(event.port) && m_watch && QFileInfo::exists(event.port))
        provision(event.port);
    if (m_runs.isEmpty())
        emit idle();
}

void Station::watch(const QString &directory)
{
    m_watch = std::make_unique<DirectoryWatch>(directory);
    m_systemPorts = QFileInfo(directory).canonicalFilePath() == QLatin1String("/dev");
    const QStringList present = m_watch->entries();
    m_known = QSet<QString>(present.begin(), present.end());
    connect(m_watch.get(), &DirectoryWatch::changed, this, &Station::entriesChanged);
    if (!m_watch->isWatching())
        m_poll.start();
}

void Station::stopWatching()
{
    m_poll.stop();
    m_watch.reset();
}

void Station::entriesChanged()
{
    if (!m_watch)
        return;
    const QDir directory(m_watch->path());
    const QStringList now = m_watch->entries();
    const QSet<QString> current(now.begin(), now.end());
    for (const QString &name : m_known - current) {
        m_unlisted.remove(name);
        if (ModuleRun *run = m_runs.value(directory.filePath(name)))
            run->requestStop();
    }
    QStringList appeared;
    for (const QString &name : now) {
        if (!m_known.contains(name))
            appeared << name;
    }
    m_known = current;
    if (m_systemPorts) {
        // A node is listed once the system knows it as a serial port, maybe a moment later.
        for (const QString &name : std::as_const(appeared))
            m_unlisted.insert(name);
        if (m_unlisted.isEmpty())
            return;
        const QList<PortDescription> ports = availablePorts();
        for (const PortDescription &port : ports) {
            const QString name = QFileInfo(port.location).fileName();
            if (m_unlisted.remove(name))
                provision(directory.filePath(name));
        }
        return;
    }
    for (const QString &name : std::as_const(appeared)) {
        const QString path = directory.filePath(name);
        const QStringList problems = Ctl::argumentProblems(QString(), path, Ctl::FileUse::None);
        if (problems.isEmpty())
            provision(path);
        else
            note(problems.join(u'\n') + QStringLiteral("; left alone"));
    }
}

#include "station.moc"
