#pragma once

#include <QString>

#include <functional>
#include <optional>

// The device file Qt's serial port opens for a port name: on Unix a name that starts with
// "/", "./" or "../" is a path, any other name is a device under /dev ("ttyUSB0"). Elsewhere
// the name itself.
QString portDevicePath(const QString &portName);

// A device the user may not write to (on Linux a USB adapter owned by the dialout group).
struct PortPermissionProblem
{
    QString path;
    // The group that may write the device, when joining it would help; otherwise empty.
    QString group;
};

// Looked at after an open failed; none when the device is writable or missing.
std::optional<PortPermissionProblem> portPermissionProblem(const QString &portName);

// What the system says of a device file, as far as opening it goes.
struct DeviceAccess
{
    bool writable = false; // by this user
    bool groupWritable = false;
    QString group;
};

// Lets tests stand in for the system's answer (root may write any file); the function returns
// none for a file that does not exist. An empty function gives the system's answer back.
void setDeviceAccessSource(std::function<std::optional<DeviceAccess>(const QString &path)> source);

// The lock on a port: Qt's serial port takes a lock file LCK..<name> (slashes of the name
// under /dev as underscores: LCK..ttyUSB0, LCK..pts_3) in the first usable of the usual lock
// folders, /var/lock on Linux, and keeps it while the port is open. A lock file that names
// no process (left empty by a program that could not write it) keeps every open failing.
struct PortLock
{
    QString lockFile;
    qint64 pid = 0; // 0: the file names none
    QString program; // as the lock file names it; may be empty
};

// Looked at after an open failed; none when there is no lock file.
std::optional<PortLock> portLock(const QString &portName);
