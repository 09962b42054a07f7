#pragma once

#include "moduleclient.h"
#include "moduleprofile.h"
#include "profile.h"

#include <QList>
#include <QString>

#include <functional>

// Makes the attached module hold a wanted profile: reads it, writes only what differs (the
// clear-network frame once after node type, channel or PAN ID), reads back and compares
// every written parameter, writes a parameter that did not take once more, and reports it
// failed if it still does not read back as written. Nothing counts as written until a
// read-back shows it.
class ProfileApply
{
public:
    enum class Outcome {
        Unchanged,
        Verified,
        Failed, // the last read-back showed another value
        Sent, // its frame went out (or was going out when the line was lost); no read-back since
        NotSent,
    };

    enum class End {
        Done,
        Stopped, // the stop request was seen between exchanges
        LinkFailed, // client.failure() says how
    };

    struct Line
    {
        QString key;
        Outcome outcome = Outcome::Unchanged;
        QString wanted;
        QString shown; // what the module showed at the last read
    };

    explicit ProfileApply(ModuleClient &client);

    // Asked before every exchange: true ends the run once the exchange in progress is over,
    // after the clear-network frame if a network parameter went out without it.
    void setStopRequest(std::function<bool()> stopRequested);
    // Told each step the lines do not show: that nothing is to be written, the save, the
    // restart.
    void setStepReport(std::function<void(const QString &)> report);

    // From the module's device-information reply read just before; lines() tells how far it
    // got.
    End run(const QByteArray &reply, const Profile &wanted, bool saveAndRestart);
    // The frames a run would write, for a module that read as current.
    static QList<ModuleProfile::WriteStep> plan(const Profile &current, const Profile &wanted);

    // "wanted X, module shows Y" for a line that did not read back as written.
    static QString failureText(const Line &line);
    // The warning that goes with networkLeftUncleared().
    static QString networkUnclearedText();

    const QList<Line> &lines() const { return m_lines; }
    bool allVerified() const;
    // Node type, channel or PAN ID went out and the clear-network frame did not follow (the
    // line was lost): the module's new network setting is not in effect.
    bool networkLeftUncleared() const { return m_networkUncleared; }
    // The stop request came after a network parameter went out; the clear-network frame was
    // sent before the run ended.
    bool clearedOnStop() const { return m_clearedOnStop; }

private:
    bool stopRequested() const { return m_stopRequested && m_stopRequested(); }
    void step(const QString &text) const;
    End write(const QList<ModuleProfile::WriteStep> &steps);
    // Updates every line from a device-information reply.
    void compare(const QByteArray &reply, const Profile &wanted);

    ModuleClient &m_client;
    std::function<bool()> m_stopRequested;
    std::function<void(const QString &)> m_stepReport;
    QList<Line> m_lines;
    bool m_networkUncleared = false;
    bool m_clearedOnStop = false;
};
