#include "mythread.h"

#include "linksession.h"

#include <QMutexLocker>
#include <QSerialPort>

#include <utility>

MyThread::MyThread(Variant variant, QObject *parent)
    : QThread(parent)
    , m_variant(variant)
{
}

MyThread::~MyThread()
{
    requestStop();
    wait();
}

void MyThread::requestStop()
{
    const QMutexLocker locker(&m_mutex);
    m_stopRequest = true;
    wakeSessionLocked();
}

void MyThread::clearStop()
{
    const QMutexLocker locker(&m_mutex);
    m_stopRequest = false;
}

bool MyThread::stopRequested() const
{
    const QMutexLocker locker(&m_mutex);
    return m_stopRequest;
}

void MyThread::setComOpened(bool opened)
{
    const QMutexLocker locker(&m_mutex);
    m_comOpened = opened;
}

bool MyThread::comOpened() const
{
    const QMutexLocker locker(&m_mutex);
    return m_comOpened;
}

void MyThread::setComName(const QString &name)
{
    const QMutexLocker locker(&m_mutex);
    m_comName = name;
}

QString MyThread::comName() const
{
    const QMutexLocker locker(&m_mutex);
    return m_comName;
}

void MyThread::setSendRequest(bool request)
{
    const QMutexLocker locker(&m_mutex);
    m_sendRequest = request;
    if (request)
        wakeSessionLocked();
}

bool MyThread::sendRequest() const
{
    const QMutexLocker locker(&m_mutex);
    return m_sendRequest;
}

QByteArray MyThread::txData() const
{
    const QMutexLocker locker(&m_mutex);
    return m_txData;
}

void MyThread::clearTxData()
{
    const QMutexLocker locker(&m_mutex);
    m_txData.clear();
}

void MyThread::appendTxData(QByteArrayView bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_txData.append(bytes);
}

QByteArray MyThread::rxData() const
{
    const QMutexLocker locker(&m_mutex);
    return m_rxData;
}

QByteArray MyThread::takeRxData()
{
    const QMutexLocker locker(&m_mutex);
    return std::exchange(m_rxData, QByteArray());
}

void MyThread::clearRxData()
{
    const QMutexLocker locker(&m_mutex);
    m_rxData.clear();
}

void MyThread::appendRxData(QByteArrayView bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_rxData.append(bytes);
}

qint32 MyThread::baudRate() const
{
    const QMutexLocker locker(&m_mutex);
    return m_baudRate;
}

void MyThread::baudRateChange(int index)
{
    if (m_variant == Variant::NodeConfig)
        return; // the node program always talks at 38400
    static constexpr qint32 Rates[] = { 9600, 19200, 38400, 57600, 115200 };
    const qint32 rate = index >= 0 && index < 5 ? Rates[index] : 38400;
    const QMutexLocker locker(&m_mutex);
    m_baudRate = rate;
    // The port belongs to the worker thread: the running session applies the rate there.
    if (m_session)
        QMetaObject::invokeMethod(m_session, &LinkSession::applyBaudRate, Qt::QueuedConnection);
}

void MyThread::wakeSessionLocked()
{
    if (m_session)
        QMetaObject::invokeMethod(m_session, &LinkSession::wake, Qt::QueuedConnection);
}

QByteArray MyThread::takeFrameToSend()
{
    const QMutexLocker locker(&m_mutex);
    m_sendRequest = false;
    return m_txData;
}

void MyThread::replaceRxData(const QByteArray &bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_rxData = bytes;
}

qsizetype MyThread::rxDataSize() const
{
    const QMutexLocker locker(&m_mutex);
    return m_rxData.size();
}

void MyThread::run()
{
    QSerialPort port;
    LinkSession session(*this, port);
    if (!session.open())
        return;
    {
        const QMutexLocker locker(&m_mutex);
        m_session = &session;
        // Requests made while the port was opening are looked at once the loop runs.
        wakeSessionLocked();
    }
    exec();
    const QMutexLocker locker(&m_mutex);
    m_session = nullptr;
}
