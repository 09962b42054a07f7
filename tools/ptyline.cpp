#include "ptyline.h"

#include "commandframe.h"

#include <QMutexLocker>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// An incomplete frame candidate is given up after this much silence, so that a stray 0xFE
// with a large LEN cannot hold back the frames behind it.
constexpr int StaleCandidateMs = 300;
constexpr int StreamTickMs = 4;
// What the pty may hold back when the program does not read; beyond it output is lost, as on
// a real line.
constexpr int MaxPendingOutput = 64 * 1024;

} // namespace

QByteArray ReplyFaults::applied(QByteArray reply, bool isDeviceInfo) const
{
    if (silent)
        return {};
    if (!replacement.isEmpty())
        reply = replacement;
    if (isDeviceInfo && corruptCheckByte)
        reply[reply.size() - 1] = char(reply.at(reply.size() - 1) ^ 0xFF);
    if (isDeviceInfo && truncateTo > 0)
        reply.truncate(truncateTo);
    return garbageBefore + reply + garbageAfter;
}

PtyLine::PtyLine(QObject *parent)
    : QObject(parent)
    , m_pieceTimer(new QTimer(this))
    , m_staleTimer(new QTimer(this))
    , m_streamTimer(new QTimer(this))
    , m_reportTimer(new QTimer(this))
    , m_deafTimer(new QTimer(this))
{
    m_pieceTimer->setSingleShot(true);
    m_pieceTimer->setTimerType(Qt::PreciseTimer);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(StaleCandidateMs);
    m_streamTimer->setInterval(StreamTickMs);
    m_streamTimer->setTimerType(Qt::PreciseTimer);
    m_reportTimer->setTimerType(Qt::PreciseTimer);
    m_deafTimer->setSingleShot(true);
    m_deafTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pieceTimer, &QTimer::timeout, this, &PtyLine::sendNextPiece);
    connect(m_staleTimer, &QTimer::timeout, this, &PtyLine::dropStaleCandidate);
    connect(m_streamTimer, &QTimer::timeout, this, &PtyLine::streamTick);
    connect(m_reportTimer, &QTimer::timeout, this, &PtyLine::reportDue);
}

PtyLine::~PtyLine()
{
    close();
}

QString PtyLine::path() const
{
    const QMutexLocker locker(&m_queryMutex);
    return m_path;
}

int PtyLine::baudRate() const
{
    const QMutexLocker locker(&m_queryMutex);
    termios tio {};
    if (m_slaveForQueries < 0 || ::tcgetattr(m_slaveForQueries, &tio) != 0)
        return 0;
    switch (::cfgetospeed(&tio)) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return -1;
    }
}

qint64 PtyLine::streamedBytes() const
{
    return m_streamed;
}

bool PtyLine::open()
{
    close();

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return false;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0
        || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    // Our own slave descriptor stays open for the life of the line: without it the master
    // sees a hang-up (EIO, endless POLLHUP) whenever the program closes its port.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    termios tio {};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B38400);
        ::cfsetospeed(&tio, B38400);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    m_master = master;
    m_slave = slave;
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLine::readLine);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyLine::flushPending);

    const QMutexLocker locker(&m_queryMutex);
    m_path = QString::fromLocal8Bit(name);
    m_slaveForQueries = slave;
    return true;
}

void PtyLine::close()
{
    m_pieceTimer->stop();
    m_staleTimer->stop();
    m_streamTimer->stop();
    m_reportTimer->stop();
    m_deafTimer->stop();
    // Later, not now: this may run inside a notifier's own activation (a hang-up from a
    // handler of bytesRead).
    for (QSocketNotifier *notifier : { m_readNotifier, m_writeNotifier }) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_rx.clear();
    m_pieces.clear();
    m_pendingOut.clear();
    {
        const QMutexLocker locker(&m_queryMutex);
        m_slaveForQueries = -1;
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
}

void PtyLine::readLine()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            const QByteArray chunk(buffer, int(n));
            if (!m_deafTimer->isActive())
                m_rx.append(chunk);
            emit bytesRead(chunk);
            if (m_master < 0)
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // EIO or end of file: no slave side left. Stop watching rather than spin.
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
        break;
    }
    parse();
}

void PtyLine::parse()
{
    m_staleTimer->stop();
    while (m_master >= 0 && !m_deafTimer->isActive()) {
        const int start = m_rx.indexOf(char(CommandFrame::StartByte));
        if (start < 0) {
            m_rx.clear();
            return;
        }
        m_rx.remove(0, start);
        const CommandFrame::Reading reading = CommandFrame::read(m_rx);
        if (reading.status != CommandFrame::Reading::Complete)
            break;
        if (reading.intact) {
            const QByteArray frame = m_rx.left(reading.length);
            m_rx.remove(0, reading.length);
            emit frameRead(frame);
        } else {
            m_rx.remove(0, 1);
        }
    }
    if (!m_rx.isEmpty())
        m_staleTimer->start();
}

void PtyLine::dropStaleCandidate()
{
    if (!m_rx.isEmpty())
        m_rx.remove(0, 1);
    parse();
}

void PtyLine::ignoreInputFor(int ms)
{
    m_rx.clear();
    m_staleTimer->stop();
    m_deafTimer->start(qMax(0, ms));
}

void PtyLine::sendReply(const QByteArray &reply, bool isDeviceInfo, const ReplyFaults &faults)
{
    const QByteArray bytes = faults.applied(reply, isDeviceInfo);
    if (bytes.isEmpty())
        return;
    const int pieces = qBound(1, faults.splitPieces, int(bytes.size()));
    const int base = int(bytes.size()) / pieces;
    const int extra = int(bytes.size()) % pieces;
    int at = 0;
    for (int i = 0; i < pieces; ++i) {
        const int size = base + (i < extra ? 1 : 0);
        m_pieces.append({ i == 0 ? faults.replyDelayMs : faults.splitGapMs, bytes.mid(at, size) });
        at += size;
    }
    if (!m_pieceTimer->isActive())
        m_pieceTimer->start(qMax(0, m_pieces.first().delayMs));
}

void PtyLine::sendNextPiece()
{
    if (m_pieces.isEmpty())
        return;
    writeOut(m_pieces.takeFirst().bytes);
    if (!m_pieces.isEmpty())
        m_pieceTimer->start(qMax(0, m_pieces.first().delayMs));
}

qint64 PtyLine::writeRaw(const char *data, qint64 size)
{
    if (m_master < 0 || size <= 0)
        return 0;
    ssize_t n;
    do {
        n = ::write(m_master, data, size_t(size));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : n;
}

void PtyLine::writeOut(const QByteArray &bytes)
{
    if (m_master < 0 || bytes.isEmpty())
        return;
    if (!m_pendingOut.isEmpty()) {
        if (m_pendingOut.size() + bytes.size() <= MaxPendingOutput)
            m_pendingOut.append(bytes);
        return;
    }
    const qint64 written = writeRaw(bytes.constData(), bytes.size());
    if (written < bytes.size()) {
        m_pendingOut = bytes.mid(written);
        m_writeNotifier->setEnabled(true);
    }
}

void PtyLine::flushPending()
{
    const qint64 written = writeRaw(m_pendingOut.constData(), m_pendingOut.size());
    m_pendingOut.remove(0, written);
    if (m_pendingOut.isEmpty() && m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void PtyLine::startStream(int baud)
{
    if (baud <= 0 || m_master < 0) {
        stopStream();
        return;
    }
    // 8N1: ten bit times per byte.
    m_streamBytesPerMs = baud / 10.0 / 1000.0;
    m_streamCredit = 0;
    m_streamLastMs = 0;
    m_streamNext = 0;
    m_streamed = 0;
    m_streamClock.start();
    m_streamTimer->start();
}

void PtyLine::stopStream()
{
    m_streamTimer->stop();
}

void PtyLine::streamTick()
{
    const qint64 now = m_streamClock.elapsed();
    m_streamCredit += double(now - m_streamLastMs) * m_streamBytesPerMs;
    m_streamLastMs = now;
    // A line cannot catch up on time lost while the reader stalled: keep at most a few ticks'
    // worth of credit.
    m_streamCredit = qMin(m_streamCredit, 5 * StreamTickMs * m_streamBytesPerMs + 1);
    const int due = int(m_streamCredit);
    if (due <= 0)
        return;
    m_streamCredit -= due;
    if (!m_pendingOut.isEmpty())
        return;
    QByteArray chunk(due, Qt::Uninitialized);
    quint8 next = m_streamNext;
    for (char &byte : chunk)
        byte = char(next++);
    const qint64 written = writeRaw(chunk.constData(), chunk.size());
    m_streamNext = quint8(m_streamNext + written);
    m_streamed += written;
}

void PtyLine::startReports(int intervalMs)
{
    m_reportTimer->start(qMax(1, intervalMs));
}

void PtyLine::stopReports()
{
    m_reportTimer->stop();
}

void PtyLine::changeReportInterval(int intervalMs)
{
    if (m_reportTimer->isActive())
        m_reportTimer->start(qMax(1, intervalMs));
}
