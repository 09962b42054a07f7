#pragma once

#include "profile.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace Ctl {

// What the command line asked for, after parsing.
struct Options
{
    QStringList arguments; // positional, after the subcommand
    bool json = false;
    bool frame = false;
    bool save = false;
    bool dryRun = false;
    QStringList sets; // KEY=VALUE, in the order given
    int gapMs = 100;
    QString ledger;
    QStringList assigns; // KEY=FIRST..LAST
    QString watch; // a directory
    // remote, monitor
    QString to; // --to ADDRESSES
    bool toSet = false;
    qint32 baud = 38400;
    int listenMs = 0;
};

// A profile file, its faults and notes told on standard error; none when it is refused.
std::optional<Profile> loadProfile(const QString &path);

int portsCommand(const Options &options);
int readCommand(const Options &options);
int backupCommand(const Options &options);
int diffCommand(const Options &options);
int restoreCommand(const Options &options);
int setCommand(const Options &options);
int sendCommand(const Options &options);
int provisionCommand(const Options &options);
int remoteCommand(const Options &options);
int monitorCommand(const Options &options);

} // namespace Ctl
