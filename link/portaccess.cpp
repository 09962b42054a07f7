#include "portaccess.h"

#include <QFileInfo>

std::optional<PortPermissionProblem> portPermissionProblem(const QString &portName)
{
    // Port names without a path are device names under /dev on Unix.
    const QFileInfo device(QFileInfo(portName).isAbsolute() ? portName
                                                            : QStringLiteral("/dev/") + portName);
    if (!device.exists() || device.isWritable())
        return std::nullopt;
    PortPermissionProblem problem { device.filePath(), QString() };
    if (device.permission(QFileDevice::WriteGroup))
        problem.group = device.group();
    return problem;
}
