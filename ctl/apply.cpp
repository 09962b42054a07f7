#include "apply.h"

#include "modulecommands.h"

#include <QElapsedTimer>

#include <algorithm>
#include <utility>

namespace {

// How long a module may take to answer again after save and restart.
constexpr int RestartTimeoutMs = 10000;

} // namespace

ProfileApply::ProfileApply(ModuleClient &client)
    : m_client(client)
{
}

void ProfileApply::setStopRequest(std::function<bool()> stopRequested)
{
    m_stopRequested = std::move(stopRequested);
}

void ProfileApply::setStepReport(std::function<void(const QString &)> report)
{
    m_stepReport = std::move(report);
}

void ProfileApply::step(const QString &text) const
{
    if (m_stepReport)
        m_stepReport(text);
}

QString ProfileApply::failureText(const Line &line)
{
    return QStringLiteral("wanted %1, module shows %2")
            .arg(line.wanted, line.shown.isEmpty() ? QStringLiteral("no valid value") : line.shown);
}

QString ProfileApply::networkUnclearedText()
{
    return QStringLiteral("node type, channel or PAN ID went out without the clear-network frame "
                          "after it: the new network setting is not in effect until the network "
                          "is cleared");
}

QList<ModuleProfile::WriteStep> ProfileApply::plan(const Profile &current, const Profile &wanted)
{
    return ModuleProfile::writePlan(ModuleProfile::differences(current, wanted),
                                    ModuleProfile::ClearNetwork::OnceAtEnd);
}

bool ProfileApply::allVerified() const
{
    return std::all_of(m_lines.begin(), m_lines.end(), [](const Line &line) {
        return line.outcome == Outcome::Unchanged || line.outcome == Outcome::Verified;
    });
}

ProfileApply::End ProfileApply::run(const QByteArray &reply, const Profile &wanted,
                                    bool saveAndRestart)
{
    m_lines.clear();
    m_networkUncleared = false;
    m_clearedOnStop = false;
    const Profile current = ModuleProfile::fromReply(reply);
    const QList<ModuleProfile::Difference> first = ModuleProfile::differences(current, wanted);
    const QStringList keys = wanted.keys();
    for (const QString &key : keys) {
        const bool differs = std::any_of(first.begin(), first.end(),
                                         [&](const auto &d) { return d.key == key; });
        m_lines.append({ key, differs ? Outcome::NotSent : Outcome::Unchanged, wanted.value(key),
                         current.value(key) });
    }
    if (first.isEmpty())
        step(QStringLiteral("nothing written: the module already holds every parameter given"));
    if (first.isEmpty() && !saveAndRestart)
        return End::Done;

    // Written, read back, and what did not take written once more.
    QList<ModuleProfile::Difference> pending = first;
    for (int attempt = 0; attempt < 2 && !pending.isEmpty(); ++attempt) {
        const End written =
                write(ModuleProfile::writePlan(pending, ModuleProfile::ClearNetwork::OnceAtEnd));
        if (written != End::Done)
            return written;
        if (stopRequested())
            return End::Stopped;
        const auto now = m_client.readDeviceInfo();
        if (!now)
            return End::LinkFailed;
        compare(*now, wanted);
        pending.clear();
        for (const Line &line : std::as_const(m_lines)) {
            if (line.outcome == Outcome::Failed)
                pending.append({ line.key, line.shown, line.wanted });
        }
    }

    if (!saveAndRestart)
        return End::Done;
    if (stopRequested())
        return End::Stopped;
    if (!m_client.exchange(ModuleCommand::saveAndRestartFrame()))
        return End::LinkFailed;
    step(QStringLiteral("save-and-restart sent; waiting up to %1 s for the module to answer "
                        "again")
                 .arg(RestartTimeoutMs / 1000));
    QElapsedTimer clock;
    clock.start();
    const auto again =
            m_client.waitForRestart(RestartTimeoutMs, [this] { return stopRequested(); });
    if (!again)
        return stopRequested() ? End::Stopped : End::LinkFailed;
    step(QStringLiteral("the module answered again after %1 ms; the lines below are from its "
                        "read-back after the restart")
                 .arg(clock.elapsed()));
    compare(*again, wanted);
    return End::Done;
}

ProfileApply::End ProfileApply::write(const QList<ModuleProfile::WriteStep> &steps)
{
    for (const ModuleProfile::WriteStep &step : steps) {
        if (stopRequested()) {
            // A new node type, channel or PAN ID takes effect with the network cleared.
            if (m_networkUncleared && m_client.exchange(ModuleCommand::clearNetworkFrame())) {
                m_networkUncleared = false;
                m_clearedOnStop = true;
            }
            return End::Stopped;
        }
        const bool clears = step.key.isEmpty();
        for (Line &line : m_lines) {
            if (line.key == step.key)
                line.outcome = Outcome::Sent;
        }
        m_networkUncleared = m_networkUncleared || step.changesNetwork;
        if (!m_client.exchange(step.frame))
            return End::LinkFailed;
        if (clears)
            m_networkUncleared = false;
    }
    return End::Done;
}

void ProfileApply::compare(const QByteArray &reply, const Profile &wanted)
{
    const Profile now = ModuleProfile::fromReply(reply);
    for (Line &line : m_lines) {
        line.shown = now.value(line.key);
        const bool holds = now.value(line.key) == wanted.value(line.key);
        if (line.outcome != Outcome::Unchanged)
            line.outcome = holds ? Outcome::Verified : Outcome::Failed;
        else if (!holds)
            line.outcome = Outcome::Failed; // changed under us, e.g. by a restart
    }
}
