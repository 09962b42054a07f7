#pragma once

#include "linksettings.h"
#include "linkstate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QThread>

#include <memory>

// The serial worker: the only code that touches the port. The window submits transmissions;
// the worker writes them one exchange after another, collects each reply into rxData and
// signals. Bytes that arrive unasked are collected and signalled as well.
//
// The fields are shared with the GUI thread (LinkState); the bytes of a signal are complete
// before it is emitted, and stay for its handler however late the handler runs.
class MyThread : public QThread
{
    Q_OBJECT

public:
    explicit MyThread(LinkSettings settings, QObject *parent = nullptr);
    // Stops the run and waits for it: no thread outlives its worker.
    ~MyThread() override;

    void requestStop();
    void clearStop();
    bool stopRequested() const;
    void setComOpened(bool opened);
    bool comOpened() const;
    void setComName(const QString &name);
    QString comName() const;

    // Hands over one transmission (a frame, or a frame and the clear-network frame that goes
    // with it in the same write) in one step. It waits behind the pending ones unless it
    // takes the place of one with the same target (ModuleCommand::sameTarget). Its reply ends
    // by replyEnd when given, otherwise by the rule of the settings. An empty one writes
    // nothing and ends as a write that timed out.
    void submit(const QByteArray &transmission,
                std::shared_ptr<const ReplyEndRule> replyEnd = nullptr);
    // As submit, for the connection it was planned for (connection() at planning time):
    // dropped, and false, once that connection is over. Whatever a program submits on its own
    // (not at the user's click) goes this way, so that none of it reaches the next connection.
    bool submitOn(quint32 connection, const QByteArray &transmission,
                  std::shared_ptr<const ReplyEndRule> replyEnd = nullptr);
    // Changes at every open and every close.
    quint32 connection() const;
    // The pending transmissions, in the order they go out.
    QList<QByteArray> pendingTransmissions() const;
    // All pending transmissions as they will be written, one after the other.
    QByteArray txData() const;
    // True while a transmission is pending.
    bool sendRequest() const;
    // Withdraws every pending transmission.
    void clearTxData();

    // Every received byte not taken yet.
    QByteArray rxData() const;
    // The bytes of the oldest signal not yet handled (comRecive or comdelayout), in one step.
    QByteArray takeRxData();
    // Drops what the signals so far announced, for a program that reads no deliveries.
    void discardRxData();
    // Lets tests stand in for the line: the bytes of one delivery.
    void appendRxData(QByteArrayView bytes);

    // The baud rate the next open uses and an open port is switched to.
    qint32 baudRate() const;
    // For programs whose rate is chosen freely.
    void setBaudRate(qint32 rate);

public Q_SLOTS:
    // 0 → 9600, 1 → 19200, 2 → 38400, 3 → 57600, 4 → 115200, other → 38400.
    // Applied at once by the worker thread when a port is open; ignored at a fixed rate.
    void baudRateChange(int index);

Q_SIGNALS:
    // A reply to a frame starting with 0xFE is in rxData (when the settings route them).
    void comRecive();
    // Other data is in rxData: unasked bytes, a reply to raw bytes, or the reply wait ran
    // out (when the settings signal it).
    void comdelayout();
    // Every exchange: what was sent and what came back (empty when nothing came).
    void exchangeFinished(const QByteArray &sent, const QByteArray &reply);
    void comOpenSuccess(bool success);
    // The open failed; the run has ended with comOpened false.
    void comOpenFailed(const QString &reason);
    // The device went away while open (unplugged, hung up); the port is closed and the run
    // has ended.
    void comLost(const QString &reason);

protected:
    void run() override;

private:
    const LinkSettings m_settings;
    LinkState m_state;
};
