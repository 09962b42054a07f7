#include "linksession.h"

#include "commandframe.h"
#include "linkstate.h"
#include "portaccess.h"

#include <QDebug>
#include <QFileInfo>

#include <utility>

#ifdef Q_OS_UNIX
#    include <cerrno>
#    include <poll.h>
#endif

namespace {

constexpr int WriteTimeoutMs = 50;
constexpr int UnaskedSilenceMs = 5;
constexpr qsizetype UnaskedDeliveryCap = 200;

// Errors after which the device may be gone (unplugged adapter, hung-up line). Time-outs and
// operations a pseudo-terminal does not support leave the connection up.
bool mayMeanDeviceGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

// Asks the line itself whether it is down: a hung-up tty (the adapter unplugged, the other
// side of a pseudo-terminal closed) shows POLLHUP for good and reads nothing for ever.
bool lineIsDown(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd line {};
    line.fd = port.handle();
    line.events = POLLIN;
    int ready = 0;
    do {
        ready = ::poll(&line, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0 || (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        return true;
    return !QFileInfo::exists(portDevicePath(port.portName()));
#else
    Q_UNUSED(port);
    return true;
#endif
}

// Why the open failed, in words the user can act on.
QString openFailureReason(const QSerialPort &port, const QString &name)
{
    // Qt's serial port reports a port another program has locked as a permission error.
    const auto lock = port.error() == QSerialPort::PermissionError ? portLock(name) : std::nullopt;
    if (lock) {
        if (lock->pid <= 0) {
            return QStringLiteral("串口 %1 的锁文件 %2 未写明进程；若没有程序在用该串口，可删除它")
                    .arg(name, lock->lockFile);
        }
        if (lock->program.isEmpty())
            return QStringLiteral("串口 %1 正被进程 %2 占用").arg(name, QString::number(lock->pid));
        return QStringLiteral("串口 %1 正被进程 %2（%3）占用")
                .arg(name, QString::number(lock->pid), lock->program);
    }
    // A device this user may not write fails to open for that reason, whatever the serial
    // library makes of the error.
    const auto problem = portPermissionProblem(name);
    if (!problem)
        return port.errorString();
    if (!problem->group.isEmpty()) {
        return QStringLiteral("无权访问 %1，请把当前用户加入 %2 组（sudo usermod -aG %2 $USER），"
                              "然后重新登录")
                .arg(problem->path, problem->group);
    }
    return QStringLiteral("无权访问 %1").arg(problem->path);
}

} // namespace

LinkSession::LinkSession(LinkState &state, LinkSettings settings, QSerialPort &port)
    : m_state(state)
    , m_settings(std::move(settings))
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
    const QString name = m_state.comName();
    m_port.setPortName(name);
    if (!m_port.open(QIODevice::ReadWrite)) {
        qDebug() << "打开失败";
        const QString reason = openFailureReason(m_port, name);
        m_phase = State::Closed;
        m_state.setComOpened(false);
        // The run is over; marked as stopping, so that a connect click waits for the thread
        // to end instead of finding it still running.
        m_state.requestStop();
        emit openFailed(reason);
        return false;
    }
    qDebug() << "打开成功";
    m_port.setBaudRate(m_state.baudRate());
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // comOpened is set before the window hears of the open, so that its next click closes.
    m_state.openConnection();
    emit opened(true);

    connect(&m_port, &QSerialPort::readyRead, this, &LinkSession::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &LinkSession::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LinkSession::onError);
    return true;
}

void LinkSession::wake()
{
    if (m_phase == State::Closed)
        return;
    // A stop ends the run at once, also in the middle of an exchange.
    if (m_state.stopRequested()) {
        close();
        return;
    }
    if (m_phase == State::Idle && m_state.hasPending())
        startSend();
}

void LinkSession::applyBaudRate()
{
    if (m_port.isOpen())
        m_port.setBaudRate(m_state.baudRate());
}

void LinkSession::startSend()
{
    Transmission next = m_state.takeNext();
    m_sent = std::move(next.bytes);
    m_replyEnd = next.replyEnd ? std::move(next.replyEnd) : m_settings.replyEnd;
    m_port.clear();
    m_purged = true;
    qDebug() << "Zarno:"
             << "send data to " << m_state.comName() << " :" << m_sent.size();
    qDebug() << "arr size:" << m_sent.size();
    if (m_sent.isEmpty()) {
        // Nothing to write counts as a write that did not complete; the exchange still ends
        // as every other does, so that whoever waits for it goes on.
        qDebug() << "Zarno:"
                 << "send time out";
        emit exchangeFinished(m_sent, QByteArray());
        finishExchange();
        return;
    }
    m_port.write(m_sent);
    enter(State::Writing, WriteTimeoutMs);
}

void LinkSession::onBytesWritten()
{
    if (m_phase != State::Writing || m_port.bytesToWrite() > 0)
        return;
    qDebug() << "Zarno:"
             << "send data success";
    enter(State::AwaitingReply, m_replyEnd->firstByteTimeoutMs(m_sent));
    if (m_port.bytesAvailable() > 0)
        onReadyRead();
}

void LinkSession::onReadyRead()
{
    m_purged = false;
    switch (m_phase) {
    case State::Idle:
    case State::CollectingUnasked:
        m_state.appendCollected(m_port.readAll());
        if (m_state.collectedSize() > UnaskedDeliveryCap) {
            deliver(Delivery::Other);
            finishExchange();
        } else {
            enter(State::CollectingUnasked, UnaskedSilenceMs);
        }
        break;
    case State::AwaitingReply:
        m_state.replaceCollected(m_port.readAll());
        m_replyClock.start();
        continueReply();
        break;
    case State::CollectingReply:
        m_state.appendCollected(m_port.readAll());
        continueReply();
        break;
    case State::Writing: // read once the write is done
    case State::Closed:
        break;
    }
}

void LinkSession::continueReply()
{
    const std::optional<int> wait =
            m_replyEnd->moreWaitMs(m_sent, m_state.collected(), m_replyClock.elapsed());
    if (wait)
        enter(State::CollectingReply, *wait);
    else
        endReply();
}

void LinkSession::endReply()
{
    // Replies to command frames go to the decoder, replies to raw bytes to the log.
    const QByteArray reply = m_state.collected();
    const bool toDecoder = m_settings.routeFrameReplies && !m_sent.isEmpty()
            && quint8(m_sent.at(0)) == CommandFrame::StartByte;
    deliver(toDecoder ? Delivery::FrameReply : Delivery::Other);
    emit exchangeFinished(m_sent, reply);
    finishExchange();
}

void LinkSession::onTimeout()
{
    switch (m_phase) {
    case State::Writing:
        qDebug() << "Zarno:"
                 << "send time out";
        emit exchangeFinished(m_sent, QByteArray());
        break;
    case State::AwaitingReply:
        qDebug() << "Zarno:"
                 << "wait return time out";
        if (m_settings.signalReplyTimeout)
            deliver(Delivery::Other);
        emit exchangeFinished(m_sent, QByteArray());
        break;
    case State::CollectingReply:
        endReply();
        return;
    case State::CollectingUnasked:
        deliver(Delivery::Other);
        break;
    case State::Idle:
    case State::Closed:
        return;
    }
    finishExchange();
}

void LinkSession::onError(QSerialPort::SerialPortError error)
{
    if (m_phase == State::Closed || !mayMeanDeviceGone(error))
        return;
    // The serial library reports a read that finds nothing as an error, with whatever errno an
    // earlier call left. That happens once when the bytes that woke the read were purged
    // before a write; the line is still up then.
    if (std::exchange(m_purged, false) && !lineIsDown(m_port)) {
        m_port.clearError();
        // A ResourceError has switched reading off; setting the buffer size switches it on.
        if (error == QSerialPort::ResourceError)
            m_port.setReadBufferSize(m_port.readBufferSize());
        return;
    }
    // The port's error text is often a stale errno here ("Inappropriate ioctl for device"
    // after a hang-up): it goes to the debug output, the window gets a plain reason.
    qDebug() << "Zarno:"
             << "com lost" << m_port.errorString();
    close();
    m_state.requestStop(); // the run is over, as after a failed open
    emit lost(QStringLiteral("设备已断开"));
}

void LinkSession::deliver(Delivery kind)
{
    m_state.announceCollected();
    if (kind == Delivery::FrameReply)
        emit frameReply();
    else
        emit otherData();
}

void LinkSession::finishExchange()
{
    m_timer.stop();
    m_phase = State::Idle;
    if (m_state.stopRequested()) {
        close();
    } else if (m_state.hasPending()) {
        startSend();
    } else if (m_port.bytesAvailable() > 0) {
        onReadyRead();
    }
}

void LinkSession::close()
{
    m_timer.stop();
    m_phase = State::Closed;
    m_port.close();
    m_state.clearConnection();
    emit closed();
}

void LinkSession::enter(State state, int timeoutMs)
{
    m_phase = state;
    m_timer.start(timeoutMs);
}
