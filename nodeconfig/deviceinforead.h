#pragma once

#include <QByteArray>
#include <QObject>

class MyThread;

// One device-information read through the window's worker, reported once its exchange is over.
// The window's own decoding runs as for any other read (checkRxData); this only hands the reply
// to whoever asked.
class DeviceInfoRead : public QObject
{
    Q_OBJECT

public:
    explicit DeviceInfoRead(MyThread &worker, QObject *parent = nullptr);

    // Submits the read request on that connection (nothing once it is over); finished follows
    // when its exchange is over.
    void start(quint32 connection);
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
