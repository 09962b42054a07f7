#include "linksession.h"

#include "mythread.h"

#include <QDebug>
#include <QFileInfo>

namespace {

constexpr int WriteTimeoutMs = 50;
constexpr int FirstReplyByteTimeoutMs = 1000;
constexpr int ReplySilenceMs = 300;
// A line that never falls silent (a module sending RSSI reports every 100 ms) would otherwise
// hold the exchange, and every frame handed over after it, for ever.
constexpr int ReplyCollectionLimitMs = 1000;
constexpr int UnaskedSilenceMs = 5;
constexpr qsizetype UnaskedDeliveryCap = 200;

// Errors after which the device is gone (unplugged adapter, hung-up line). Time-outs and
// operations a pseudo-terminal does not support leave the connection up.
bool meansDeviceGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

// Why the open failed, in words the user can act on. A device the user may not write to
// (on Linux a USB adapter owned by the dialout group) gets a hint naming its group.
QString openFailureReason(const QSerialPort &port, const QString &name)
{
    // Port names without a path are device names under /dev on Unix.
    const QFileInfo device(QFileInfo(name).isAbsolute() ? name : QStringLiteral("/dev/") + name);
    if (port.error() != QSerialPort::PermissionError || !device.exists() || device.isWritable())
        return port.errorString();
    if (device.permission(QFileDevice::WriteGroup) && !device.group().isEmpty()) {
        return QStringLiteral("无权访问 %1，请把当前用户加入 %2 组（sudo usermod -aG %2 $USER），"
                              "然后重新登录")
                .arg(device.filePath(), device.group());
    }
    return QStringLiteral("无权访问 %1").arg(device.filePath());
}

} // namespace

LinkSession::LinkSession(MyThread &link, QSerialPort &port)
    : m_link(link)
    , m_port(port)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LinkSession::onTimeout);
}

bool LinkSession::open()
{
    qDebug() << "Zarno:"
             << "---open com port------";
    m_port.setPortName(m_link.comName());
    if (!m_port.open(QIODevice::ReadWrite)) {
        qDebug() << "打开失败";
        const QString reason = openFailureReason(m_port, m_link.comName());
        m_state = State::Closed;
        m_link.setComOpened(false);
        // The run is over; marked as stopping, so that a connect click waits for the thread
        // to end instead of finding it still running.
        m_link.requestStop();
        emit m_link.comOpenFailed(reason);
        return false;
    }
    qDebug() << "打开成功";
    m_port.setBaudRate(m_link.baudRate());
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // comOpened is set before the window hears of the open, so that its next click closes.
    m_link.setComOpened(true);
    emit m_link.comOpenSuccess(true);

    connect(&m_port, &QSerialPort::readyRead, this, &LinkSession::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &LinkSession::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LinkSession::onError);
    return true;
}

void LinkSession::wake()
{
    if (m_state == State::Closed)
        return;
    // A stop ends the run at once, also in the middle of an exchange.
    if (m_link.stopRequested()) {
        close();
        return;
    }
    if (m_state == State::Idle && m_link.sendRequest())
        startSend();
}

void LinkSession::applyBaudRate()
{
    if (m_port.isOpen())
        m_port.setBaudRate(m_link.baudRate());
}

void LinkSession::startSend()
{
    m_sent = m_link.takeFrameToSend();
    m_port.clear();
    qDebug() << "Zarno:"
             << "send data to " << m_link.comName() << " :" << m_sent.size();
    qDebug() << "arr size:" << m_sent.size();
    if (m_sent.isEmpty()) {
        // Nothing to write counts as a write that did not complete.
        qDebug() << "Zarno:"
                 << "send time out";
        finishExchange();
        return;
    }
    m_port.write(m_sent);
    enter(State::Writing, WriteTimeoutMs);
}

void LinkSession::onBytesWritten()
{
    if (m_state != State::Writing || m_port.bytesToWrite() > 0)
        return;
    qDebug() << "Zarno:"
             << "send data success";
    enter(State::AwaitingReply, FirstReplyByteTimeoutMs);
    if (m_port.bytesAvailable() > 0)
        onReadyRead();
}

void LinkSession::onReadyRead()
{
    switch (m_state) {
    case State::Idle:
    case State::CollectingUnasked:
        appendReadable();
        if (m_link.rxDataSize() > UnaskedDeliveryCap) {
            deliverUnasked();
            finishExchange();
        } else {
            enter(State::CollectingUnasked, UnaskedSilenceMs);
        }
        break;
    case State::AwaitingReply:
        // The first chunk of a reply replaces whatever rxData held.
        m_link.replaceRxData(m_port.readAll());
        m_replyClock.start();
        enter(State::CollectingReply, ReplySilenceMs);
        break;
    case State::CollectingReply:
        appendReadable();
        enter(State::CollectingReply,
              int(qBound(qint64(0), ReplyCollectionLimitMs - m_replyClock.elapsed(),
                         qint64(ReplySilenceMs))));
        break;
    case State::Writing: // read once the write is done
    case State::Closed:
        break;
    }
}

void LinkSession::onTimeout()
{
    switch (m_state) {
    case State::Writing:
        qDebug() << "Zarno:"
                 << "send time out";
        break;
    case State::AwaitingReply:
        qDebug() << "Zarno:"
                 << "wait return time out";
        if (m_link.variant() == MyThread::Variant::NodeConfig)
            emit m_link.comdelayout();
        break;
    case State::CollectingReply:
        // Replies to command frames go to the decoder, replies to raw bytes to the log.
        if (m_link.variant() == MyThread::Variant::NodeConfig && !m_sent.isEmpty()
            && quint8(m_sent.at(0)) == 0xFE) {
            emit m_link.comRecive();
        } else {
            emit m_link.comdelayout();
        }
        break;
    case State::CollectingUnasked:
        deliverUnasked();
        break;
    case State::Idle:
    case State::Closed:
        return;
    }
    finishExchange();
}

void LinkSession::onError(QSerialPort::SerialPortError error)
{
    if (m_state == State::Closed || !meansDeviceGone(error))
        return;
    // The port's error text is often a stale errno here ("Inappropriate ioctl for device"
    // after a hang-up): it goes to the debug output, the window gets a plain reason.
    qDebug() << "Zarno:"
             << "com lost" << m_port.errorString();
    close();
    m_link.requestStop(); // the run is over, as after a failed open
    emit m_link.comLost(QStringLiteral("设备已断开"));
}

void LinkSession::appendReadable()
{
    m_link.appendRxData(m_port.readAll());
}

void LinkSession::deliverUnasked()
{
    emit m_link.comdelayout();
}

void LinkSession::finishExchange()
{
    m_timer.stop();
    m_state = State::Idle;
    if (m_link.stopRequested()) {
        close();
    } else if (m_link.sendRequest()) {
        startSend();
    } else if (m_port.bytesAvailable() > 0) {
        onReadyRead();
    }
}

void LinkSession::close()
{
    m_timer.stop();
    m_state = State::Closed;
    m_port.close();
    m_link.setComOpened(false);
    m_link.quit();
}

void LinkSession::enter(State state, int timeoutMs)
{
    m_state = state;
    m_timer.start(timeoutMs);
}
