#include "portwatcher.h"

#include <QCoreApplication>
#include <QDebug>

#if defined(Q_OS_LINUX)
#    include <QSocketNotifier>

#    include <cerrno>
#    include <cstring>
#    include <sys/inotify.h>
#    include <unistd.h>
#elif defined(Q_OS_WIN)
#    include <QAbstractNativeEventFilter>

#    include <QtCore/qt_windows.h>

#    include <dbt.h>
#endif

namespace {

QString &watchedDirectory()
{
    static QString path;
    return path;
}

} // namespace

#if defined(Q_OS_LINUX)

class PortWatcher::Native
{
public:
    explicit Native(PortWatcher &watcher)
    {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return;
        const QString directory =
                watchedDirectory().isEmpty() ? QStringLiteral("/dev") : watchedDirectory();
        // Entries come and go, and udev gives a new node its group and mode right after.
        const uint32_t mask =
                IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;
        if (::inotify_add_watch(m_fd, directory.toLocal8Bit().constData(), mask) < 0) {
            qDebug() << "no watch on" << directory << ::strerror(errno);
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &watcher, [this, &watcher] {
            // The events only say that something changed; what is listed is asked afresh.
            char events[4096];
            while (::read(m_fd, events, sizeof events) > 0) { }
            watcher.deviceChanged();
        });
    }
    ~Native()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isWatching() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

#elif defined(Q_OS_WIN)

// WM_DEVICECHANGE reaches every top-level window without a registration: DBT_DEVNODES_CHANGED
// for any device, arrival and removal for ports.
class PortWatcher::Native : public QAbstractNativeEventFilter
{
public:
    explicit Native(PortWatcher &watcher)
        : m_watcher(watcher)
    {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->installNativeEventFilter(this);
    }
    ~Native() override
    {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }
    bool isWatching() const { return QCoreApplication::instance() != nullptr; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_DEVICECHANGE)
            return false;
        switch (msg->wParam) {
        case DBT_DEVNODES_CHANGED:
        case DBT_DEVICEARRIVAL:
        case DBT_DEVICEREMOVECOMPLETE:
            m_watcher.deviceChanged();
            break;
        default:
            break;
        }
        return false;
    }

private:
    PortWatcher &m_watcher;
};

#else

class PortWatcher::Native
{
public:
    explicit Native(PortWatcher &) { }
    bool isWatching() const { return false; }
};

#endif

PortWatcher::PortWatcher(QObject *parent)
    : QObject(parent)
    , m_native(std::make_unique<Native>(*this))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PortWatcher::portsChanged);
}

PortWatcher::~PortWatcher() = default;

bool PortWatcher::isWatching() const
{
    return m_native->isWatching();
}

void PortWatcher::setWatchedDirectory(const QString &path)
{
    watchedDirectory() = path;
}

void PortWatcher::deviceChanged()
{
    m_settle.start();
}
