#include "directorywatch.h"

#include <QDir>
#include <QFileInfo>

#if defined(Q_OS_LINUX)
#    include <QSocketNotifier>

#    include <sys/inotify.h>
#    include <unistd.h>

#    include <array>

class DirectoryWatch::Native
{
public:
    explicit Native(DirectoryWatch &watch)
        : m_path(watch.path())
    {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &watch, [this, &watch] {
            if (readEvents())
                emit watch.changed();
        });
        rewatch();
    }
    ~Native()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isWatching() const { return m_fd >= 0; }

private:
    // Entries come and go, and udev gives a new node its group and mode right after.
    static constexpr uint32_t EntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO
            | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    static constexpr uint32_t AncestorEvents =
            IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

    int add(const QString &path, uint32_t mask) const
    {
        return ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), mask);
    }

    // The directory itself when it is there, otherwise its nearest existing ancestor, where
    // it (or a folder on the way to it) will be created.
    void rewatch()
    {
        for (int *wd : { &m_directory, &m_ancestor }) {
            if (*wd >= 0)
                ::inotify_rm_watch(m_fd, *wd);
            *wd = -1;
        }
        for (;;) {
            m_directory = add(m_path, EntryEvents);
            if (m_directory >= 0)
                return;
            QString ancestor = m_path;
            do {
                ancestor = QFileInfo(ancestor).path();
            } while (!QFileInfo(ancestor).isDir() && ancestor != QLatin1String("/"));
            m_ancestor = add(ancestor, AncestorEvents);
            // Made between the two looks: watched itself instead.
            if (m_ancestor < 0 || !QFileInfo(m_path).isDir())
                return;
            ::inotify_rm_watch(m_fd, m_ancestor);
            m_ancestor = -1;
        }
    }

    // True when the entries may have changed.
    bool readEvents()
    {
        alignas(inotify_event) std::array<char, 4096> buffer;
        bool entries = false;
        bool moved = false;
        ssize_t size = 0;
        while ((size = ::read(m_fd, buffer.data(), buffer.size())) > 0) {
            for (ssize_t at = 0; at < size;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                if (event->wd == m_directory) {
                    entries = true;
                    moved = moved || (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED));
                } else if (event->wd == m_ancestor) {
                    moved = true;
                }
            }
        }
        if (moved)
            rewatch();
        return entries || (moved && m_directory >= 0);
    }

    QString m_path;
    int m_fd = -1;
    int m_directory = -1;
    int m_ancestor = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

#else

class DirectoryWatch::Native
{
public:
    explicit Native(DirectoryWatch &) { }
    bool isWatching() const { return false; }
};

#endif

DirectoryWatch::DirectoryWatch(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(QFileInfo(path).absoluteFilePath())
    , m_native(std::make_unique<Native>(*this))
{
}

DirectoryWatch::~DirectoryWatch() = default;

bool DirectoryWatch::isWatching() const
{
    return m_native->isWatching();
}

QStringList DirectoryWatch::entries() const
{
    return QDir(m_path).entryList(
            QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
