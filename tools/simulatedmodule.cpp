#include "simulatedmodule.h"

#include "commandframe.h"
#include "modulecommands.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// NV items of the parameters the device-information reply carries.
constexpr quint16 NvSleepCycle = 0x002B; // in half units, as the window writes it
constexpr quint16 NvExtPanId = 0x0047;
constexpr quint16 NvPanId = 0x0083;
constexpr quint16 NvChannelMask = 0x0084;
constexpr quint16 NvNodeType = 0x0087;
constexpr quint16 NvSendMode = 0x0403;
constexpr quint16 NvDivider = 0x0405;
constexpr quint16 NvBaudRate = 0x040B;
constexpr quint16 NvAddressMode = 0x040C;
constexpr quint16 NvSendAddressMode = 0x040D;
constexpr quint16 NvSourceOutput = 0x040E;
constexpr quint16 NvStopBits = 0x040F;
constexpr quint16 NvParity = 0x0410;
constexpr quint16 NvShortAddress = 0x0411;
constexpr quint16 NvSleepMode = 0x0412;
constexpr quint16 NvUartTimeout = 0x0413;
constexpr quint16 NvWorkTime = 0x0414;
constexpr quint16 NvIoConfig = 0x0416; // byte 0 work mode, byte n function of pin n
constexpr quint16 NvDestAddress = 0x0417;
constexpr quint16 NvAutoSendTime = 0x0418;

constexpr quint8 RemoteParameterRead = 0x19;
constexpr quint8 RemoteCommands[] = { 0x18, 0x19, 0x21, 0x23, 0x24, 0x25, 0x26, 0x2C, 0x2D };

constexpr quint8 StatusSuccess = 0x00;
constexpr quint8 StatusFailure = 0x01;

constexpr int DeviceInfoLength = 57;
constexpr quint32 FrequencyClock = 32000000;
// Bytes of NV items never written read as erased flash.
constexpr char Erased = char(0xFF);
constexpr quint8 RssiCustomer = 0x01;

// An incomplete frame candidate is given up after this much silence, so that a stray 0xFE
// with a large LEN cannot hold back the frames behind it.
constexpr int StaleCandidateMs = 300;
constexpr int StreamTickMs = 4;
// What the pty may hold back when the program does not read; beyond it output is lost, as on
// a real line.
constexpr int MaxPendingOutput = 64 * 1024;

struct ModuleState
{
    QMap<quint16, QByteArray> nv;
    quint8 txPower = 0x35;
    quint16 frequencyDivisor = 800;
    QByteArray mac = QByteArray::fromHex("77 66 55 44 33 22 11 00");
    quint8 version = 0x8B;

    bool silent = false;
    int splitPieces = 1;
    int splitGapMs = 0;
    QByteArray garbageBefore;
    QByteArray garbageAfter;
    bool corruptCheckByte = false;
    int truncateTo = 0;
    int replyDelayMs = 0;
    QByteArray replyReplacement;

    int rssiIntervalMs = 500;
    bool rssiRunning = false;
    qint64 streamed = 0;

    QByteArray received;
    QList<QByteArray> receivedChunks;
};

ModuleState initialState()
{
    ModuleState s;
    s.nv.insert(NvNodeType, QByteArray::fromHex("01")); // Router
    s.nv.insert(NvPanId, QByteArray::fromHex("2B 1A")); // 0x1A2B
    s.nv.insert(NvShortAddress, QByteArray::fromHex("01 00")); // 0x0001
    s.nv.insert(NvChannelMask, QByteArray::fromHex("00 80 00 00")); // channel 15
    s.nv.insert(NvSourceOutput, QByteArray::fromHex("01")); // no
    s.nv.insert(NvSendMode, QByteArray::fromHex("00")); // broadcast
    s.nv.insert(NvAddressMode, QByteArray::fromHex("00")); // hex
    s.nv.insert(NvSendAddressMode, QByteArray::fromHex("00")); // short address
    s.nv.insert(NvSleepCycle, QByteArray::fromHex("14")); // 10, held doubled
    s.nv.insert(NvBaudRate, QByteArray::fromHex("02")); // 38400
    s.nv.insert(NvStopBits, QByteArray::fromHex("00")); // 1
    s.nv.insert(NvParity, QByteArray::fromHex("00")); // none
    s.nv.insert(NvSleepMode, QByteArray::fromHex("00")); // automatic
    s.nv.insert(NvUartTimeout, QByteArray::fromHex("05"));
    s.nv.insert(NvWorkTime, QByteArray::fromHex("0A"));
    // API mode; IO_1 level output, IO_2 level input, IO_3 DS18B20, io_10 PWM output.
    s.nv.insert(NvIoConfig, QByteArray::fromHex("03 04 02 09 FF FF FF FF FF FF 10 FF"));
    s.nv.insert(NvDivider, QByteArray::fromHex("20")); // 32
    s.nv.insert(NvDestAddress, QByteArray::fromHex("00 00"));
    s.nv.insert(NvAutoSendTime, QByteArray::fromHex("FF FF"));
    s.nv.insert(NvExtPanId, QByteArray::fromHex("EF CD AB 89 67 45 23 01"));
    return s;
}

QByteArray deviceInfoFrame(const ModuleState &s)
{
    QByteArray payload;
    payload.reserve(DeviceInfoLength);
    const auto nv = [&](quint16 item, int offset, int width) {
        const QByteArray value = s.nv.value(item);
        for (int i = offset; i < offset + width; ++i)
            payload.append(i < value.size() ? value.at(i) : Erased);
    };
    const auto byte = [&](quint8 b) { payload.append(char(b)); };

    // Reply offsets (counted from the 0xFE) in the comments.
    nv(NvNodeType, 0, 1); // 4
    nv(NvPanId, 0, 2); // 5-6
    nv(NvShortAddress, 0, 2); // 7-8
    nv(NvChannelMask, 0, 4); // 9-12
    nv(NvSourceOutput, 0, 1); // 13
    nv(NvSendMode, 0, 1); // 14
    nv(NvAddressMode, 0, 1); // 15
    nv(NvSendAddressMode, 0, 1); // 16
    nv(NvSleepCycle, 0, 1); // 17
    byte(s.txPower); // 18
    nv(NvBaudRate, 0, 1); // 19
    payload.append(s.mac); // 20-27
    nv(NvStopBits, 0, 1); // 28
    nv(NvParity, 0, 1); // 29
    nv(NvSleepMode, 0, 1); // 30
    nv(NvUartTimeout, 0, 1); // 31
    nv(NvWorkTime, 0, 1); // 32
    byte(s.version); // 33
    nv(NvIoConfig, 0, 7); // 34 work mode, 35-40 pins 1 to 6
    nv(NvDivider, 0, 1); // 41
    byte(quint8(s.frequencyDivisor)); // 42-43
    byte(quint8(s.frequencyDivisor >> 8));
    nv(NvIoConfig, 10, 2); // 44-45 pins 10 and 11
    payload.append(3, '\0'); // 46-48 unused
    nv(NvDestAddress, 0, 2); // 49-50
    nv(NvAutoSendTime, 0, 2); // 51-52
    nv(NvExtPanId, 0, 8); // 53-60
    Q_ASSERT(payload.size() == DeviceInfoLength);
    return CommandFrame::build(ModuleCommand::SysResponse, ModuleCommand::DeviceInfoReply, payload);
}

QByteArray statusReply(quint8 cmd1, quint8 status = StatusSuccess)
{
    return CommandFrame::build(ModuleCommand::SysResponse, cmd1, QByteArray(1, char(status)));
}

quint32 littleEndian(const QByteArray &bytes, int offset, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return value;
}

int channelOf(const QByteArray &mask)
{
    const quint32 bits = mask.size() >= 4 ? littleEndian(mask, 0, 4) : 0;
    for (int bit = 31; bit >= 0; --bit) {
        if (bits & (quint32(1) << bit))
            return bit;
    }
    return 0;
}

// Runs f in the worker's thread and returns when it is done.
template<typename F>
void runOn(QObject *worker, F f)
{
    if (QThread::currentThread() == worker->thread())
        f();
    else
        QMetaObject::invokeMethod(worker, f, Qt::BlockingQueuedConnection);
}

} // namespace

class SimulatedModuleWorker : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedModuleWorker(QObject *parent = nullptr);
    ~SimulatedModuleWorker() override;

    // The rest runs in the worker's thread.
    bool openLine();
    void closeLine();
    void writeOut(const QByteArray &bytes);
    void startStream(int baud);
    void stopStream();
    void applyRssiInterval();

    mutable QMutex mutex;
    ModuleState state = initialState(); // guarded by mutex
    QString path; // guarded by mutex
    int slaveForQueries = -1; // guarded by mutex; our slave descriptor

Q_SIGNALS:
    void chunkRead(const QByteArray &chunk);

private:
    void readLine();
    void parse();
    void dropStaleCandidate();
    void handleFrame(const QByteArray &frame);
    void handleSysRequest(quint8 cmd1, const QByteArray &payload);
    void reply(QByteArray frame, bool isDeviceInfo = false);
    void sendNextPiece();
    void flushPending();
    qint64 writeRaw(const char *data, qint64 size);
    void streamTick();
    void sendRssiReport();
    void setRssiRunning(bool running);

    struct Piece
    {
        int delayMs;
        QByteArray bytes;
    };

    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_rx;
    QList<Piece> m_pieces;
    QByteArray m_pendingOut;
    QTimer *m_pieceTimer = nullptr;
    QTimer *m_staleTimer = nullptr;
    QTimer *m_streamTimer = nullptr;
    QTimer *m_rssiTimer = nullptr;

    QElapsedTimer m_streamClock;
    double m_streamBytesPerMs = 0;
    double m_streamCredit = 0;
    qint64 m_streamLastMs = 0;
    quint8 m_streamNext = 0;
    quint8 m_rssiSerial = 0;
};

SimulatedModuleWorker::SimulatedModuleWorker(QObject *parent)
    : QObject(parent)
    , m_pieceTimer(new QTimer(this))
    , m_staleTimer(new QTimer(this))
    , m_streamTimer(new QTimer(this))
    , m_rssiTimer(new QTimer(this))
{
    m_pieceTimer->setSingleShot(true);
    m_pieceTimer->setTimerType(Qt::PreciseTimer);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(StaleCandidateMs);
    m_streamTimer->setInterval(StreamTickMs);
    m_streamTimer->setTimerType(Qt::PreciseTimer);
    m_rssiTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pieceTimer, &QTimer::timeout, this, &SimulatedModuleWorker::sendNextPiece);
    connect(m_staleTimer, &QTimer::timeout, this, &SimulatedModuleWorker::dropStaleCandidate);
    connect(m_streamTimer, &QTimer::timeout, this, &SimulatedModuleWorker::streamTick);
    connect(m_rssiTimer, &QTimer::timeout, this, &SimulatedModuleWorker::sendRssiReport);
}

SimulatedModuleWorker::~SimulatedModuleWorker()
{
    closeLine();
}

bool SimulatedModuleWorker::openLine()
{
    closeLine();

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
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimulatedModuleWorker::readLine);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this,
            &SimulatedModuleWorker::flushPending);

    const QMutexLocker locker(&mutex);
    path = QString::fromLocal8Bit(name);
    slaveForQueries = slave;
    return true;
}

void SimulatedModuleWorker::closeLine()
{
    m_pieceTimer->stop();
    m_staleTimer->stop();
    m_streamTimer->stop();
    m_rssiTimer->stop();
    // Later, not now: this may run inside a notifier's own activation (a hang-up from a
    // handler of bytesReceived).
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
        const QMutexLocker locker(&mutex);
        slaveForQueries = -1;
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    const QMutexLocker locker(&mutex);
    state.rssiRunning = false;
}

void SimulatedModuleWorker::readLine()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            const QByteArray chunk(buffer, int(n));
            {
                const QMutexLocker locker(&mutex);
                state.received.append(chunk);
                state.receivedChunks.append(chunk);
            }
            m_rx.append(chunk);
            emit chunkRead(chunk);
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

void SimulatedModuleWorker::parse()
{
    m_staleTimer->stop();
    while (m_master >= 0) {
        const int start = m_rx.indexOf(char(CommandFrame::StartByte));
        if (start < 0) {
            m_rx.clear();
            return;
        }
        m_rx.remove(0, start);
        if (m_rx.size() < 2)
            break;
        const int total = quint8(m_rx.at(1)) + CommandFrame::Overhead;
        if (m_rx.size() < total)
            break;
        if (CommandFrame::isIntact(m_rx)) {
            const QByteArray frame = m_rx.left(total);
            m_rx.remove(0, total);
            handleFrame(frame);
        } else {
            m_rx.remove(0, 1);
        }
    }
    if (!m_rx.isEmpty())
        m_staleTimer->start();
}

void SimulatedModuleWorker::dropStaleCandidate()
{
    if (!m_rx.isEmpty())
        m_rx.remove(0, 1);
    parse();
}

void SimulatedModuleWorker::handleFrame(const QByteArray &frame)
{
    const quint8 cmd0 = quint8(frame.at(2));
    const quint8 cmd1 = quint8(frame.at(3));
    const QByteArray payload = frame.mid(4, quint8(frame.at(1)));
    if (cmd0 == ModuleCommand::SysRequest) {
        handleSysRequest(cmd1, payload);
    } else if (cmd0 == ModuleCommand::SysAsyncRequest && cmd1 == ModuleCommand::SaveAndRestart) {
        // The NV state is kept as it is; a restart ends the RSSI test mode.
        setRssiRunning(false);
        reply(statusReply(ModuleCommand::SaveAndRestart));
    }
}

void SimulatedModuleWorker::handleSysRequest(quint8 cmd1, const QByteArray &payload)
{
    switch (cmd1) {
    case ModuleCommand::ReadDeviceInfo: {
        QByteArray frame;
        {
            const QMutexLocker locker(&mutex);
            frame = deviceInfoFrame(state);
        }
        reply(frame, true);
        return;
    }
    case ModuleCommand::NvWrite: {
        // Item (low byte first), offset, length, value.
        if (payload.size() < 4 || payload.size() < 4 + quint8(payload.at(3))) {
            reply(statusReply(cmd1, StatusFailure));
            return;
        }
        const quint16 item = quint16(littleEndian(payload, 0, 2));
        const int offset = quint8(payload.at(2));
        const int length = quint8(payload.at(3));
        {
            const QMutexLocker locker(&mutex);
            QByteArray &value = state.nv[item];
            if (value.size() < offset + length)
                value.append(QByteArray(offset + length - value.size(), Erased));
            value.replace(offset, length, payload.mid(4, length));
        }
        reply(statusReply(cmd1));
        return;
    }
    case ModuleCommand::SetTxPower:
        if (payload.isEmpty()) {
            reply(statusReply(cmd1, StatusFailure));
            return;
        }
        {
            const QMutexLocker locker(&mutex);
            state.txPower = quint8(payload.at(0));
        }
        reply(statusReply(cmd1));
        return;
    case ModuleCommand::SetFrequency: {
        if (payload.size() < 4) {
            reply(statusReply(cmd1, StatusFailure));
            return;
        }
        // The module keeps the divisor N = 32 MHz / f; below 489 Hz only its low 16 bits fit.
        const quint32 frequency = littleEndian(payload, 0, 4);
        if (frequency != 0) {
            const QMutexLocker locker(&mutex);
            state.frequencyDivisor = quint16(FrequencyClock / frequency);
        }
        reply(statusReply(cmd1));
        return;
    }
    case ModuleCommand::StartRssiTest:
        reply(statusReply(cmd1));
        setRssiRunning(true);
        return;
    case ModuleCommand::StopRssiTest:
        setRssiRunning(false);
        reply(statusReply(cmd1));
        return;
    default:
        break;
    }

    for (const quint8 remote : RemoteCommands) {
        if (cmd1 != remote)
            continue;
        // Parameter read: destination (2), item (low byte first), offset. The answer carries
        // status, item, offset and the item's bytes from that offset on.
        if (cmd1 == RemoteParameterRead && payload.size() >= 5) {
            const quint16 item = quint16(littleEndian(payload, 2, 2));
            const int offset = quint8(payload.at(4));
            QByteArray answer(1, char(StatusSuccess));
            answer.append(payload.mid(2, 3));
            {
                const QMutexLocker locker(&mutex);
                answer.append(state.nv.value(item).mid(offset).left(0xFF - answer.size()));
            }
            reply(CommandFrame::build(ModuleCommand::SysResponse, cmd1, answer));
        } else {
            reply(statusReply(cmd1));
        }
        return;
    }
}

void SimulatedModuleWorker::reply(QByteArray frame, bool isDeviceInfo)
{
    int pieces = 1;
    int delayMs = 0;
    int gapMs = 0;
    {
        const QMutexLocker locker(&mutex);
        if (state.silent)
            return;
        if (!state.replyReplacement.isEmpty())
            frame = state.replyReplacement;
        if (isDeviceInfo && state.corruptCheckByte)
            frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0xFF);
        if (isDeviceInfo && state.truncateTo > 0)
            frame.truncate(state.truncateTo);
        frame = state.garbageBefore + frame + state.garbageAfter;
        pieces = state.splitPieces;
        delayMs = state.replyDelayMs;
        gapMs = state.splitGapMs;
    }
    pieces = qBound(1, pieces, int(frame.size()));
    const int base = int(frame.size()) / pieces;
    const int extra = int(frame.size()) % pieces;
    int at = 0;
    for (int i = 0; i < pieces; ++i) {
        const int size = base + (i < extra ? 1 : 0);
        m_pieces.append({ i == 0 ? delayMs : gapMs, frame.mid(at, size) });
        at += size;
    }
    if (!m_pieceTimer->isActive()) {
        m_pieceTimer->start(qMax(0, m_pieces.first().delayMs));
    }
}

void SimulatedModuleWorker::sendNextPiece()
{
    if (m_pieces.isEmpty())
        return;
    writeOut(m_pieces.takeFirst().bytes);
    if (!m_pieces.isEmpty())
        m_pieceTimer->start(qMax(0, m_pieces.first().delayMs));
}

qint64 SimulatedModuleWorker::writeRaw(const char *data, qint64 size)
{
    if (m_master < 0 || size <= 0)
        return 0;
    ssize_t n;
    do {
        n = ::write(m_master, data, size_t(size));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : n;
}

void SimulatedModuleWorker::writeOut(const QByteArray &bytes)
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

void SimulatedModuleWorker::flushPending()
{
    const qint64 written = writeRaw(m_pendingOut.constData(), m_pendingOut.size());
    m_pendingOut.remove(0, written);
    if (m_pendingOut.isEmpty() && m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void SimulatedModuleWorker::startStream(int baud)
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
    {
        const QMutexLocker locker(&mutex);
        state.streamed = 0;
    }
    m_streamClock.start();
    m_streamTimer->start();
}

void SimulatedModuleWorker::stopStream()
{
    m_streamTimer->stop();
}

void SimulatedModuleWorker::streamTick()
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
    const QMutexLocker locker(&mutex);
    state.streamed += written;
}

void SimulatedModuleWorker::setRssiRunning(bool running)
{
    int interval = 0;
    {
        const QMutexLocker locker(&mutex);
        state.rssiRunning = running;
        interval = state.rssiIntervalMs;
    }
    if (running)
        m_rssiTimer->start(qMax(1, interval));
    else
        m_rssiTimer->stop();
}

void SimulatedModuleWorker::applyRssiInterval()
{
    if (!m_rssiTimer->isActive())
        return;
    const QMutexLocker locker(&mutex);
    m_rssiTimer->start(qMax(1, state.rssiIntervalMs));
}

void SimulatedModuleWorker::sendRssiReport()
{
    // Version, customer, channel, PAN ID (high byte first, so a log shows it as typed), serial
    // number, Tx RSSI, Rx RSSI (signed).
    QByteArray report(8, '\0');
    {
        const QMutexLocker locker(&mutex);
        const QByteArray pan = state.nv.value(NvPanId).leftJustified(2, Erased);
        report[0] = char(state.version);
        report[1] = char(RssiCustomer);
        report[2] = char(channelOf(state.nv.value(NvChannelMask)));
        report[3] = pan.at(1);
        report[4] = pan.at(0);
    }
    report[5] = char(m_rssiSerial);
    report[6] = char(qint8(-46 - m_rssiSerial % 5));
    report[7] = char(qint8(-55 + m_rssiSerial % 3));
    ++m_rssiSerial;
    writeOut(report);
}

SimulatedModule::SimulatedModule(QObject *parent)
    : QObject(parent)
    , m_thread(std::make_unique<QThread>())
    , m_worker(new SimulatedModuleWorker)
{
    m_thread->setObjectName(QStringLiteral("SimulatedModule"));
    m_worker->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &SimulatedModuleWorker::chunkRead, this, &SimulatedModule::bytesReceived,
            Qt::DirectConnection);
    m_thread->start();
}

SimulatedModule::~SimulatedModule()
{
    runOn(m_worker, [this] { m_worker->closeLine(); });
    m_thread->quit();
    m_thread->wait();
}

bool SimulatedModule::start()
{
    bool opened = false;
    runOn(m_worker, [this, &opened] { opened = m_worker->openLine(); });
    return opened;
}

QString SimulatedModule::devicePath() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->path;
}

void SimulatedModule::hangUp()
{
    runOn(m_worker, [this] { m_worker->closeLine(); });
}

int SimulatedModule::lineBaudRate() const
{
    const QMutexLocker locker(&m_worker->mutex);
    termios tio {};
    if (m_worker->slaveForQueries < 0 || ::tcgetattr(m_worker->slaveForQueries, &tio) != 0)
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

QByteArray SimulatedModule::nvItem(quint16 item) const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.nv.value(item);
}

void SimulatedModule::setNvItem(quint16 item, const QByteArray &value)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.nv.insert(item, value);
}

void SimulatedModule::setTxPowerCode(quint8 code)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.txPower = code;
}

quint8 SimulatedModule::txPowerCode() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.txPower;
}

void SimulatedModule::setFrequencyDivisor(quint16 divisor)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.frequencyDivisor = divisor;
}

quint16 SimulatedModule::frequencyDivisor() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.frequencyDivisor;
}

void SimulatedModule::setMacAddress(const QByteArray &eightBytesLowFirst)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.mac = eightBytesLowFirst.leftJustified(8, '\0', true);
}

void SimulatedModule::setVersion(quint8 version)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.version = version;
}

QByteArray SimulatedModule::deviceInfoReply() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return deviceInfoFrame(m_worker->state);
}

void SimulatedModule::setSilent(bool silent)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.silent = silent;
}

void SimulatedModule::setReplySplit(int pieces, int gapMs)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.splitPieces = qMax(1, pieces);
    m_worker->state.splitGapMs = qMax(0, gapMs);
}

void SimulatedModule::setGarbageBeforeReply(const QByteArray &bytes)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.garbageBefore = bytes;
}

void SimulatedModule::setGarbageAfterReply(const QByteArray &bytes)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.garbageAfter = bytes;
}

void SimulatedModule::setCorruptCheckByte(bool corrupt)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.corruptCheckByte = corrupt;
}

void SimulatedModule::setTruncateReplyTo(int bytes)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.truncateTo = qMax(0, bytes);
}

void SimulatedModule::setReplyDelayMs(int ms)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.replyDelayMs = qMax(0, ms);
}

void SimulatedModule::setReplyReplacement(const QByteArray &bytes)
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.replyReplacement = bytes;
}

void SimulatedModule::sendUnasked(const QByteArray &bytes)
{
    runOn(m_worker, [this, bytes] { m_worker->writeOut(bytes); });
}

void SimulatedModule::startStream(int baud)
{
    runOn(m_worker, [this, baud] { m_worker->startStream(baud); });
}

void SimulatedModule::stopStream()
{
    runOn(m_worker, [this] { m_worker->stopStream(); });
}

qint64 SimulatedModule::streamedBytes() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.streamed;
}

void SimulatedModule::setRssiReportIntervalMs(int ms)
{
    {
        const QMutexLocker locker(&m_worker->mutex);
        m_worker->state.rssiIntervalMs = qMax(1, ms);
    }
    runOn(m_worker, [this] { m_worker->applyRssiInterval(); });
}

bool SimulatedModule::rssiTestRunning() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.rssiRunning;
}

QByteArray SimulatedModule::received() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.received;
}

QList<QByteArray> SimulatedModule::receivedChunks() const
{
    const QMutexLocker locker(&m_worker->mutex);
    return m_worker->state.receivedChunks;
}

void SimulatedModule::clearReceived()
{
    const QMutexLocker locker(&m_worker->mutex);
    m_worker->state.received.clear();
    m_worker->state.receivedChunks.clear();
}

#include "simulatedmodule.moc"
