#include "apply.h"

#include "modulecommands.h"

#include <algorithm>

namespace {

// How long a module may take to answer again after save and restart.
constexpr int RestartTimeoutMs = 10000;

} // namespace

ProfileApply::ProfileApply(ModuleClient &client)
    : m_client(client)
{
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

bool ProfileApply::run(const QByteArray &reply, const Profile &wanted, bool saveAndRestart)
{
    m_lines.clear();
    const Profile current = ModuleProfile::fromReply(reply);
    const QList<ModuleProfile::Difference> first = ModuleProfile::differences(current, wanted);
    const QStringList keys = wanted.keys();
    for (const QString &key : keys) {
        const bool differs = std::any_of(first.begin(), first.end(),
                                         [&](const auto &d) { return d.key == key; });
        m_lines.append({ key, differs ? Outcome::NotVerified : Outcome::Unchanged,
                         wanted.value(key), current.value(key) });
    }
    if (first.isEmpty() && !saveAndRestart)
        return true;

    // Written, read back, and what did not take written once more.
    QList<ModuleProfile::Difference> pending = first;
    for (int attempt = 0; attempt < 2 && !pending.isEmpty(); ++attempt) {
        if (!write(ModuleProfile::writePlan(pending, ModuleProfile::ClearNetwork::OnceAtEnd))
            || !readBack(wanted))
            return false;
        pending.clear();
        for (const Line &line : std::as_const(m_lines)) {
            if (line.outcome == Outcome::Failed)
                pending.append({ line.key, line.shown, line.wanted });
        }
    }

    if (saveAndRestart) {
        if (!m_client.exchange(ModuleCommand::saveAndRestartFrame()))
            return false;
        if (!m_client.waitForRestart(RestartTimeoutMs))
            return false;
        if (!readBack(wanted))
            return false;
    }
    return true;
}

bool ProfileApply::write(const QList<ModuleProfile::WriteStep> &steps)
{
    for (const ModuleProfile::WriteStep &step : steps) {
        if (!m_client.exchange(step.frame))
            return false;
    }
    return true;
}

bool ProfileApply::readBack(const Profile &wanted)
{
    const auto reply = m_client.readDeviceInfo();
    if (!reply)
        return false;
    const Profile now = ModuleProfile::fromReply(*reply);
    for (Line &line : m_lines) {
        line.shown = now.value(line.key);
        const bool holds = now.value(line.key) == wanted.value(line.key);
        if (line.outcome != Outcome::Unchanged)
            line.outcome = holds ? Outcome::Verified : Outcome::Failed;
        else if (!holds)
            line.outcome = Outcome::Failed; // changed under us, e.g. by a restart
    }
    return true;
}
