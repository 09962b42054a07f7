#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class MyThread;
class ReplyEndRule;

// One device-information read through the window's worker, reported once its exchange is over.
// The window's own decoding runs as for any other read (checkRxData); this only hands the reply
// to whoever asked.
class DeviceInfoRead : public QObject
{
    Q_OBJECT

public:
    explicit DeviceInfoRead(MyThread &worker, QObject *parent = nullptr);

    // Submits the read request on that connection (nothing once it is over), its reply ended
    // by replyEnd; finished follows when its exchange is over.
    void start(quint32 connection, std::shared_ptr<const ReplyEndRule> replyEnd);
    // Forgets the read: no finished for it.
    void cancel() { m_running = false; }

Q_SIGNALS:
    // The intact reply, exactly its bytes; empty when none came.
    void finished(const QByteArray &reply);

private:
    void onExchangeFinished(const QByteArray &sent, const QByteArray &reply);

    MyThread &m_worker;
    bool m_running = false;
};
