#pragma once

#include <QString>

#include <optional>

// A device the user may not write to (on Linux a USB adapter owned by the dialout group).
struct PortPermissionProblem
{
    QString path;
    // The group that may write the device, when joining it would help; otherwise empty.
    QString group;
};

// The device node of a port name: names without a path are device names under /dev on Unix.
QString portDevicePath(const QString &portName);

// Looked at after an open failed for lack of permission; none when the device is writable,
// missing, or the failure was another one.
std::optional<PortPermissionProblem> portPermissionProblem(const QString &portName);
