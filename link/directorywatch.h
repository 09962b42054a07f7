#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Tells at once when the entries of a directory may have changed. Linux: an inotify watch on
// the directory, which costs nothing until something there changes. A directory that is
// missing or vanishes (/dev/serial/by-id goes with the last USB adapter) is waited for
// through its nearest existing ancestor and watched again once it is back; its coming and
// going count as changes. Elsewhere nothing is watched.
class DirectoryWatch : public QObject
{
    Q_OBJECT

public:
    explicit DirectoryWatch(const QString &path, QObject *parent = nullptr);
    ~DirectoryWatch() override;

    // False where nothing is watched (no inotify).
    bool isWatching() const;
    QString path() const { return m_path; }
    // The names in the directory now, sorted; none while it is missing.
    QStringList entries() const;

Q_SIGNALS:
    void changed();

private:
    class Native;
    QString m_path;
    std::unique_ptr<Native> m_native;
};
