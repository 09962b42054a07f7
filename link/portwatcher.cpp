#include "portwatcher.h"

#include <QCoreApplication>
#include <QDebug>

#if defined(Q_OS_LINUX)
#    include "directorywatch.h"

#    include <QFileInfo>
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
        const QString directory =
                watchedDirectory().isEmpty() ? QStringLiteral("/dev") : watchedDirectory();
        if (!QFileInfo(directory).isDir()) {
            qDebug() << "no watch on" << directory << "(no such directory)";
            return;
        }
        m_watch = std::make_unique<DirectoryWatch>(directory);
        // The events only say that something changed; what is listed is asked afresh.
        QObject::connect(m_watch.get(), &DirectoryWatch::changed, &watcher,
                         [&watcher] { watcher.deviceChanged(); });
    }
    bool isWatching() const { return m_watch && m_watch->isWatching(); }

private:
    std::unique_ptr<DirectoryWatch> m_watch;
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
