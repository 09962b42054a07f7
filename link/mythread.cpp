#include "mythread.h"

#include "linksession.h"

#include <QSerialPort>

#include <utility>

MyThread::MyThread(LinkSettings settings, QObject *parent)
    : QThread(parent)
    , m_settings(std::move(settings))
{
}

MyThread::~MyThread()
{
    requestStop();
    wait();
}

void MyThread::requestStop()
{
    m_state.requestStop();
}

void MyThread::clearStop()
{
    m_state.clearStop();
}

bool MyThread::stopRequested() const
{
    return m_state.stopRequested();
}

void MyThread::setComOpened(bool opened)
{
    m_state.setComOpened(opened);
}

bool MyThread::comOpened() const
{
    return m_state.comOpened();
}

void MyThread::setComName(const QString &name)
{
    m_state.setComName(name);
}

QString MyThread::comName() const
{
    return m_state.comName();
}

void MyThread::submit(const QByteArray &transmission, std::shared_ptr<const ReplyEndRule> replyEnd)
{
    m_state.submit({ transmission, std::move(replyEnd) });
}

bool MyThread::submitOn(quint32 connection, const QByteArray &transmission,
                        std::shared_ptr<const ReplyEndRule> replyEnd)
{
    return m_state.submitOn(connection, { transmission, std::move(replyEnd) });
}

quint32 MyThread::connection() const
{
    return m_state.connection();
}

QList<QByteArray> MyThread::pendingTransmissions() const
{
    return m_state.pending();
}

QByteArray MyThread::txData() const
{
    QByteArray all;
    const QList<QByteArray> pending = m_state.pending();
    for (const QByteArray &transmission : pending)
        all += transmission;
    return all;
}

bool MyThread::sendRequest() const
{
    return m_state.hasPending();
}

void MyThread::clearTxData()
{
    m_state.withdrawPending();
}

QByteArray MyThread::rxData() const
{
    return m_state.untaken();
}

QByteArray MyThread::takeRxData()
{
    return m_state.takeDelivery();
}

void MyThread::discardRxData()
{
    m_state.discardDeliveries();
}

void MyThread::appendRxData(QByteArrayView bytes)
{
    m_state.deliver(bytes);
}

qint32 MyThread::baudRate() const
{
    return m_state.baudRate();
}

void MyThread::setBaudRate(qint32 rate)
{
    m_state.setBaudRate(rate);
}

void MyThread::baudRateChange(int index)
{
    if (m_settings.fixedBaudRate)
        return;
    static constexpr qint32 Rates[] = { 9600, 19200, 38400, 57600, 115200 };
    m_state.setBaudRate(index >= 0 && index < 5 ? Rates[index] : 38400);
}

void MyThread::run()
{
    QSerialPort port;
    LinkSession session(m_state, m_settings, port);
    connect(&session, &LinkSession::frameReply, this, &MyThread::comRecive);
    connect(&session, &LinkSession::otherData, this, &MyThread::comdelayout);
    connect(&session, &LinkSession::exchangeFinished, this, &MyThread::exchangeFinished);
    connect(&session, &LinkSession::opened, this, &MyThread::comOpenSuccess);
    connect(&session, &LinkSession::openFailed, this, &MyThread::comOpenFailed);
    connect(&session, &LinkSession::lost, this, &MyThread::comLost);
    if (!session.open())
        return;
    // The port belongs to this thread: requests from the window reach the session queued.
    connect(&m_state, &LinkState::requested, &session, &LinkSession::wake);
    connect(&m_state, &LinkState::baudRateChanged, &session, &LinkSession::applyBaudRate);
    connect(&session, &LinkSession::closed, this, &QThread::quit, Qt::DirectConnection);
    // Requests made while the port was opening.
    session.wake();
    exec();
}
