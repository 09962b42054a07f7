#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// Tells when serial devices may have come or gone, so that port lists can be filled again.
// Linux: an inotify watch on /dev, where the device nodes of adapters appear and disappear;
// it costs nothing until something there changes. Windows: the device-change message the
// system sends to every top-level window. Elsewhere nothing is watched. A burst of changes (a
// node, then its owner and permissions) is reported once, when it has settled.
class PortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit PortWatcher(QObject *parent = nullptr);
    ~PortWatcher() override;

    // False where nothing is watched: the lists then change only by the scan button.
    bool isWatching() const;

    // The directory later watchers watch instead of /dev (tests); empty for /dev.
    static void setWatchedDirectory(const QString &path);

    static constexpr int SettleMs = 500;

Q_SIGNALS:
    void portsChanged();

private:
    void deviceChanged();

    class Native;
    std::unique_ptr<Native> m_native;
    QTimer m_settle;
};
