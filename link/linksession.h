#pragma once

#include "linksettings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <memory>

class LinkState;

// One run of the worker on an open port, driven by the port's events in the worker thread.
//
// Timing of one exchange: the transmission must be written within 50 ms; then its reply-end
// rule (the settings' unless it brings its own) says how long the first byte may take and
// when the reply is complete.
// Unasked bytes are collected into deliveries that end after 5 ms of silence or once one
// holds more than 200 bytes. Between those, the thread sleeps until data, a transmission or a
// stop request arrives.
class LinkSession : public QObject
{
    Q_OBJECT

public:
    LinkSession(LinkState &state, LinkSettings settings, QSerialPort &port);

    // The open step. False when the port could not be opened.
    bool open();
    // Looks at the stop request and the pending transmissions.
    void wake();
    // Switches an open port to the current baud rate.
    void applyBaudRate();

Q_SIGNALS:
    // A reply to a command frame is delivered.
    void frameReply();
    // Other data is delivered (unasked bytes, a reply to raw bytes), or a reply never began.
    void otherData();
    // Every exchange, with what was sent and what came back (empty: nothing came).
    void exchangeFinished(const QByteArray &sent, const QByteArray &reply);
    void opened(bool success);
    void openFailed(const QString &reason);
    void lost(const QString &reason);
    // The port is closed; the run is over.
    void closed();

private:
    enum class State { Idle, Writing, AwaitingReply, CollectingReply, CollectingUnasked, Closed };
    enum class Delivery { FrameReply, Other };

    void startSend();
    void onBytesWritten();
    void onReadyRead();
    void onTimeout();
    void onError(QSerialPort::SerialPortError error);
    void continueReply();
    void endReply();
    // Hands what was collected to the handler of the signal emitted for it.
    void deliver(Delivery kind);
    void finishExchange();
    void close();
    void enter(State state, int timeoutMs);

    LinkState &m_state;
    const LinkSettings m_settings;
    QSerialPort &m_port;
    QTimer m_timer;
    State m_phase = State::Idle;
    // The port was purged and nothing has been read since.
    bool m_purged = false;
    QByteArray m_sent;
    std::shared_ptr<const ReplyEndRule> m_replyEnd;
    QElapsedTimer m_replyClock;
};
