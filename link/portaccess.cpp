#include "portaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <utility>

QString portDevicePath(const QString &portName)
{
#ifdef Q_OS_UNIX
    if (portName.startsWith(u'/') || portName.startsWith(QLatin1String("./"))
        || portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
#else
    return portName;
#endif
}

namespace {

using DeviceAccessSource = std::function<std::optional<DeviceAccess>(const QString &path)>;

DeviceAccessSource &deviceAccessSource()
{
    static DeviceAccessSource source;
    return source;
}

std::optional<DeviceAccess> deviceAccess(const QString &path)
{
    if (deviceAccessSource())
        return deviceAccessSource()(path);
    const QFileInfo device(path);
    if (!device.exists())
        return std::nullopt;
    return DeviceAccess { device.isWritable(), device.permission(QFileDevice::WriteGroup),
                          device.group() };
}

} // namespace

std::optional<PortPermissionProblem> portPermissionProblem(const QString &portName)
{
    const QString path = portDevicePath(portName);
    const std::optional<DeviceAccess> access = deviceAccess(path);
    if (!access || access->writable)
        return std::nullopt;
    return PortPermissionProblem { path, access->groupWritable ? access->group : QString() };
}

void setDeviceAccessSource(DeviceAccessSource source)
{
    deviceAccessSource() = std::move(source);
}

std::optional<PortLock> portLock(const QString &portName)
{
#ifdef Q_OS_UNIX
    QString name = portDevicePath(portName);
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    const QString fileName = QStringLiteral("LCK..") + name.replace(u'/', u'_');
    // The folders Qt's serial port tries, in its order.
    const QStringList folders {
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation),
    };
    for (const QString &folder : folders) {
        PortLock lock { QDir(folder).filePath(fileName), 0, QString() };
        if (!QFileInfo::exists(lock.lockFile))
            continue;
        QString host;
        if (!QLockFile(lock.lockFile).getLockInfo(&lock.pid, &host, &lock.program))
            lock.pid = 0;
        return lock;
    }
#else
    Q_UNUSED(portName);
#endif
    return std::nullopt;
}
