#include "arguments.h"

#include "portaccess.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#    include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#    include <sys/sysmacros.h>
#endif

namespace Ctl {

namespace {

enum class Kind {
    Missing,
    Regular,
    Directory,
    Terminal, // a serial port, pseudo-terminal or console
    OtherDevice, // a character device that is no terminal (/dev/null), a block device
    Fifo,
    Other, // a socket
    Unknown, // a character device this system does not tell about
};

#ifdef Q_OS_LINUX
// sysfs names the subsystem of most character devices; pseudo-terminals (majors 136 to 143)
// are not listed there.
Kind characterDeviceKind(dev_t device)
{
    const unsigned int major = ::major(device);
    if (major >= 136 && major <= 143)
        return Kind::Terminal;
    const QFileInfo subsystem(
            QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major).arg(::minor(device)));
    if (!subsystem.exists())
        return Kind::Unknown;
    return QFileInfo(subsystem.symLinkTarget()).fileName() == QLatin1String("tty")
            ? Kind::Terminal
            : Kind::OtherDevice;
}
#endif

Kind kindOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Kind::Missing;
    if (S_ISREG(status.st_mode))
        return Kind::Regular;
    if (S_ISDIR(status.st_mode))
        return Kind::Directory;
    if (S_ISFIFO(status.st_mode))
        return Kind::Fifo;
    if (S_ISBLK(status.st_mode))
        return Kind::OtherDevice;
    if (S_ISCHR(status.st_mode)) {
#    ifdef Q_OS_LINUX
        return characterDeviceKind(status.st_rdev);
#    else
        return Kind::Unknown;
#    endif
    }
    return Kind::Other;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return Kind::Missing;
    if (info.isDir())
        return Kind::Directory;
    return info.isFile() ? Kind::Regular : Kind::Unknown;
#endif
}

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Regular:
        return QStringLiteral("a regular file");
    case Kind::Directory:
        return QStringLiteral("a directory");
    case Kind::Terminal:
        return QStringLiteral("a terminal device");
    case Kind::OtherDevice:
        return QStringLiteral("a device that is not a terminal");
    case Kind::Fifo:
        return QStringLiteral("a FIFO");
    case Kind::Other:
        return QStringLiteral("a socket");
    case Kind::Unknown:
        return QStringLiteral("a character device");
    case Kind::Missing:
        break;
    }
    return QStringLiteral("missing");
}

// What PORT names: the device the serial port would open or, where no such device exists,
// a file of that name here ("router.json" instead of a port).
Kind portKind(const QString &port)
{
    const Kind device = kindOf(portDevicePath(port));
    if (device == Kind::Missing && kindOf(port) == Kind::Regular)
        return Kind::Regular;
    return device;
}

} // namespace

QStringList argumentProblems(const QString &subcommand, const QString &port, FileUse use,
                             const QString &file)
{
    QStringList problems;
    const Kind portIs = port.isEmpty() ? Kind::Missing : portKind(port);
    const bool portWrong =
            portIs != Kind::Missing && portIs != Kind::Terminal && portIs != Kind::Unknown;
    if (port.isEmpty())
        problems << QStringLiteral("PORT is empty: name a serial port such as /dev/ttyUSB0");
    else if (portWrong)
        problems
                << QStringLiteral("%1 is not a serial port (it is %2)").arg(port, kindText(portIs));
    if (use == FileUse::None)
        return problems;

    const Kind fileIs = file.isEmpty() ? Kind::Missing : kindOf(file);
    if (file.isEmpty())
        problems << QStringLiteral("FILE is empty: name a profile file such as router.json");
    else if (fileIs == Kind::Missing && use == FileUse::Read)
        problems << QStringLiteral("%1: no such profile file").arg(file);
    else if (fileIs != Kind::Missing && fileIs != Kind::Regular && use == FileUse::Read)
        problems << QStringLiteral("%1 is not a profile file (it is %2)")
                            .arg(file, kindText(fileIs));
    else if (fileIs != Kind::Missing && fileIs != Kind::Regular)
        problems << QStringLiteral("%1 is not a regular file (it is %2): the profile is not "
                                   "written over it")
                            .arg(file, kindText(fileIs));

    if (portIs == Kind::Regular && (fileIs == Kind::Terminal || fileIs == Kind::Unknown))
        problems << QStringLiteral("the arguments look swapped: PORT comes first, then FILE "
                                   "(cc2530ctl %1 %2 %3)")
                            .arg(subcommand, file, port);
    return problems;
}

} // namespace Ctl
