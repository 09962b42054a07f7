#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMutex>
#include <QString>
#include <QThread>

class LinkSession;

// The serial worker: the only code that touches the port. The window hands over a frame
// through txData and the send request; the worker writes it, collects the reply into rxData
// and signals. Bytes that arrive unasked are collected and signalled as well.
//
// The fields are shared with the GUI thread and guarded by one mutex; the hand-over order
// stays: the window fills txData before it sets the send request, the worker clears the
// request before it takes txData, and rxData is complete before the signal is emitted.
class MyThread : public QThread
{
    Q_OBJECT

public:
    // The two programs differ in the routing of replies, in what a reply time-out signals
    // and in whether the baud rate is fixed.
    enum class Variant { NodeConfig, RemoteConfig };

    explicit MyThread(Variant variant, QObject *parent = nullptr);
    // Stops the run and waits for it: no thread outlives its worker.
    ~MyThread() override;

    Variant variant() const { return m_variant; }

    void requestStop();
    void clearStop();
    bool stopRequested() const;
    void setComOpened(bool opened);
    bool comOpened() const;
    void setComName(const QString &name);
    QString comName() const;
    void setSendRequest(bool request);
    bool sendRequest() const;

    QByteArray txData() const;
    void clearTxData();
    void appendTxData(QByteArrayView bytes);

    QByteArray rxData() const;
    // Reads and empties rxData in one step.
    QByteArray takeRxData();
    void clearRxData();
    // Lets tests stand in for the line.
    void appendRxData(QByteArrayView bytes);

    // The baud rate the next open uses and an open port is switched to (rate table of the
    // remote window's list; the node variant always uses 38400).
    qint32 baudRate() const;

public Q_SLOTS:
    // 0 → 9600, 1 → 19200, 2 → 38400, 3 → 57600, 4 → 115200, other → 38400.
    // Applied at once by the worker thread when a port is open.
    void baudRateChange(int index);

Q_SIGNALS:
    // A reply to a frame starting with 0xFE is in rxData (node variant only).
    void comRecive();
    // Other data is in rxData: unasked bytes, a reply to raw bytes, or (node variant) the
    // reply wait ran out.
    void comdelayout();
    void comOpenSuccess(bool success);
    // The open failed; the run has ended with comOpened false.
    void comOpenFailed(const QString &reason);
    // The device went away while open (unplugged, hung up); the port is closed and the run
    // has ended.
    void comLost(const QString &reason);

protected:
    void run() override;

private:
    friend class LinkSession;

    // Called with m_mutex held: asks a running session to look at the flags.
    void wakeSessionLocked();
    // Worker side of the hand-over: clears the send request and returns the frame.
    QByteArray takeFrameToSend();
    void replaceRxData(const QByteArray &bytes);
    qsizetype rxDataSize() const;

    const Variant m_variant;
    mutable QMutex m_mutex;
    QByteArray m_rxData;
    QByteArray m_txData;
    bool m_comOpened = false;
    QString m_comName;
    bool m_stopRequest = false;
    bool m_sendRequest = false;
    qint32 m_baudRate = 38400;
    LinkSession *m_session = nullptr;
};
