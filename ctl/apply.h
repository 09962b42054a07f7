#pragma once

#include "moduleclient.h"
#include "moduleprofile.h"
#include "profile.h"

#include <QList>
#include <QString>

// Makes the attached module hold a wanted profile: reads it, writes only what differs (the
// clear-network frame once after node type, channel or PAN ID), reads back and compares
// every written parameter, writes a parameter that did not take once more, and reports it
// failed if it still does not read back as written. Nothing counts as written until a
// read-back shows it.
class ProfileApply
{
public:
    enum class Outcome { Unchanged, Verified, Failed, NotVerified };

    struct Line
    {
        QString key;
        Outcome outcome = Outcome::Unchanged;
        QString wanted;
        QString shown; // what the module showed at the last read
    };

    explicit ProfileApply(ModuleClient &client);

    // From the module's device-information reply read just before. False when the link
    // failed (client.failure() says how); lines() tells how far it got.
    bool run(const QByteArray &reply, const Profile &wanted, bool saveAndRestart);
    // The frames a run would write, for a module that read as current.
    static QList<ModuleProfile::WriteStep> plan(const Profile &current, const Profile &wanted);

    const QList<Line> &lines() const { return m_lines; }
    bool allVerified() const;

private:
    bool write(const QList<ModuleProfile::WriteStep> &steps);
    // Reads the module and updates every line from it; false when the link failed.
    bool readBack(const Profile &wanted);

    ModuleClient &m_client;
    QList<Line> m_lines;
};
