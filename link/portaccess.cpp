#include "portaccess.h"

#include <QFileInfo>

QString portDevicePath(const QString &portName)
{
    return QFileInfo(portName).isAbsolute() ? portName : QStringLiteral("/dev/") + portName;
}

std::optional<PortPermissionProblem> portPermissionProblem(const QString &portName)
{
    const QFileInfo device(portDevicePath(portName));
    if (!device.exists() || device.isWritable())
        return std::nullopt;
    PortPermissionProblem problem { device.filePath(), QString() };
    if (device.permission(QFileDevice::WriteGroup))
        problem.group = device.group();
    return problem;
}
