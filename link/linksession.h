#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class MyThread;

// One run of the worker on an open port, driven by the port's events in the worker thread.
//
// Timing of one exchange: the frame must be written within 50 ms; the first reply bytes
// must come within 1000 ms; the reply ends after 300 ms of silence, or 1000 ms after its first
// byte on a line that never falls silent. Unasked bytes are collected into deliveries that
// end after 5 ms of silence or once rxData holds more than 200 bytes. Between those, the
// thread sleeps until data, a send request or a stop request arrives.
class LinkSession : public QObject
{
    Q_OBJECT

public:
    LinkSession(MyThread &link, QSerialPort &port);

    // The open step. False when the port could not be opened.
    bool open();
    // Looks at the stop and send requests; called whenever the window sets one.
    void wake();
    // Switches an open port to the worker's current baud rate.
    void applyBaudRate();

private:
    enum class State { Idle, Writing, AwaitingReply, CollectingReply, CollectingUnasked, Closed };

    void startSend();
    void onBytesWritten();
    void onReadyRead();
    void onTimeout();
    void onError(QSerialPort::SerialPortError error);
    void appendReadable();
    void deliverUnasked();
    void finishExchange();
    void close();
    void enter(State state, int timeoutMs);

    MyThread &m_link;
    QSerialPort &m_port;
    QTimer m_timer;
    State m_state = State::Idle;
    QByteArray m_sent;
    QElapsedTimer m_replyClock;
};
