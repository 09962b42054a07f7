#include "simulatedmodule.h"

#include "modulemodel.h"
#include "ptyline.h"

#include <QMutexLocker>
#include <QThread>
#include <QTimer>

struct SimulatedModule::State
{
    ModuleModel model;
    ReplyFaults faults;
    int rssiIntervalMs = 500;
    int restartMs = 1000;
    int restartDelayMs = 0;
    int framesBeforeHangUp = 0;
    int lateFrameMs = 0;
    QByteArray received;
    QList<QByteArray> remoteFrames;
    QList<QByteArray> receivedChunks;
};

template<typename F>
auto SimulatedModule::withState(F f) const
{
    const QMutexLocker locker(&m_mutex);
    return f(*m_state);
}

template<typename F>
void SimulatedModule::onLine(F f) const
{
    if (QThread::currentThread() == m_line->thread())
        f();
    else
        QMetaObject::invokeMethod(m_line, f, Qt::BlockingQueuedConnection);
}

SimulatedModule::SimulatedModule(QObject *parent)
    : QObject(parent)
    , m_state(std::make_unique<State>())
    , m_thread(std::make_unique<QThread>())
    , m_line(new PtyLine)
{
    m_thread->setObjectName(QStringLiteral("SimulatedModule"));
    m_line->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_line, &QObject::deleteLater);
    // Direct: these run in the line's thread.
    connect(
            m_line, &PtyLine::bytesRead, this,
            [this](const QByteArray &chunk) {
                withState([&chunk](State &s) {
                    s.received.append(chunk);
                    s.receivedChunks.append(chunk);
                });
                emit bytesReceived(chunk);
            },
            Qt::DirectConnection);
    connect(m_line, &PtyLine::frameRead, this, &SimulatedModule::answer, Qt::DirectConnection);
    connect(m_line, &PtyLine::reportDue, this, &SimulatedModule::sendRssiReport,
            Qt::DirectConnection);
    m_thread->start();
}

SimulatedModule::~SimulatedModule()
{
    onLine([this] { m_line->close(); });
    m_thread->quit();
    m_thread->wait();
}

void SimulatedModule::answer(const QByteArray &request)
{
    emit frameReceived(request);
    ModuleModel::Response response;
    ReplyFaults faults;
    int rssiIntervalMs = 0;
    int restartMs = 0;
    int restartDelayMs = 0;
    int lateFrameMs = 0;
    bool hangsUp = false;
    withState([&](State &s) {
        response = s.model.handle(request);
        if (response.remote)
            s.remoteFrames.append(request);
        lateFrameMs = s.lateFrameMs;
        faults = s.faults;
        rssiIntervalMs = s.rssiIntervalMs;
        restartMs = s.restartMs;
        restartDelayMs = s.restartDelayMs;
        hangsUp = s.framesBeforeHangUp > 0 && --s.framesBeforeHangUp == 0;
    });
    if (response.remote)
        emit remoteFrameReceived(request);
    if (hangsUp) {
        hangUp();
        emit hungUp();
        return;
    }
    if (!response.reply.isEmpty())
        m_line->sendReply(response.reply, response.isDeviceInfo, faults);
    if (response.remote && lateFrameMs > 0) {
        QTimer::singleShot(lateFrameMs, m_line,
                           [line = m_line, frame = response.lateFrame] { line->writeOut(frame); });
    }
    if (response.rssi == ModuleModel::Response::Rssi::Start)
        m_line->startReports(rssiIntervalMs);
    else if (response.rssi == ModuleModel::Response::Rssi::Stop)
        m_line->stopReports();
    const auto restart = [this, restartMs] {
        withState([](State &s) { s.model.restart(); });
        m_line->ignoreInputFor(restartMs);
    };
    if (response.restarts && restartDelayMs > 0)
        QTimer::singleShot(restartDelayMs, m_line, restart);
    else if (response.restarts)
        restart();
}

void SimulatedModule::sendRssiReport()
{
    m_line->writeOut(withState([](State &s) { return s.model.nextRssiReport(); }));
}

bool SimulatedModule::start()
{
    bool opened = false;
    onLine([this, &opened] {
        withState([](State &s) { s.model.endRssiTest(); });
        opened = m_line->open();
    });
    return opened;
}

QString SimulatedModule::devicePath() const
{
    return m_line->path();
}

void SimulatedModule::hangUp()
{
    onLine([this] {
        m_line->close();
        withState([](State &s) { s.model.endRssiTest(); });
    });
}

int SimulatedModule::lineBaudRate() const
{
    return m_line->baudRate();
}

QByteArray SimulatedModule::nvItem(quint16 item) const
{
    return withState([item](State &s) { return s.model.nvItem(item); });
}

void SimulatedModule::setNvItem(quint16 item, const QByteArray &value)
{
    withState([&](State &s) { s.model.setNvItem(item, value); });
}

void SimulatedModule::setTxPowerCode(quint8 code)
{
    withState([code](State &s) { s.model.setTxPowerCode(code); });
}

quint8 SimulatedModule::txPowerCode() const
{
    return withState([](State &s) { return s.model.txPowerCode(); });
}

void SimulatedModule::setFrequencyDivisor(quint16 divisor)
{
    withState([divisor](State &s) { s.model.setFrequencyDivisor(divisor); });
}

quint16 SimulatedModule::frequencyDivisor() const
{
    return withState([](State &s) { return s.model.frequencyDivisor(); });
}

void SimulatedModule::setMacAddress(const QByteArray &eightBytesLowFirst)
{
    withState([&](State &s) { s.model.setMacAddress(eightBytesLowFirst); });
}

void SimulatedModule::setVersion(quint8 version)
{
    withState([version](State &s) { s.model.setVersion(version); });
}

void SimulatedModule::changeEveryParameter()
{
    withState([](State &s) { s.model.changeEveryParameter(); });
}

QByteArray SimulatedModule::deviceInfoReply() const
{
    return withState([](State &s) { return s.model.deviceInfoReply(); });
}

void SimulatedModule::setSilent(bool silent)
{
    withState([silent](State &s) { s.faults.silent = silent; });
}

void SimulatedModule::setReplySplit(int pieces, int gapMs)
{
    withState([pieces, gapMs](State &s) {
        s.faults.splitPieces = qMax(1, pieces);
        s.faults.splitGapMs = qMax(0, gapMs);
    });
}

void SimulatedModule::setGarbageBeforeReply(const QByteArray &bytes)
{
    withState([&](State &s) { s.faults.garbageBefore = bytes; });
}

void SimulatedModule::setGarbageAfterReply(const QByteArray &bytes)
{
    withState([&](State &s) { s.faults.garbageAfter = bytes; });
}

void SimulatedModule::setCorruptCheckByte(bool corrupt)
{
    withState([corrupt](State &s) { s.faults.corruptCheckByte = corrupt; });
}

void SimulatedModule::setTruncateReplyTo(int bytes)
{
    withState([bytes](State &s) { s.faults.truncateTo = qMax(0, bytes); });
}

void SimulatedModule::setReplyDelayMs(int ms)
{
    withState([ms](State &s) { s.faults.replyDelayMs = qMax(0, ms); });
}

void SimulatedModule::setReplyReplacement(const QByteArray &bytes)
{
    withState([&](State &s) { s.faults.replacement = bytes; });
}

void SimulatedModule::setUnansweredWrites(bool unanswered)
{
    withState([unanswered](State &s) { s.model.setUnansweredWrites(unanswered); });
}

void SimulatedModule::setIgnoredNvItems(const QList<quint16> &items)
{
    withState([&](State &s) { s.model.setIgnoredNvItems(items); });
}

void SimulatedModule::setRestartOnSave(bool restart)
{
    withState([restart](State &s) { s.model.setRestartOnSave(restart); });
}

void SimulatedModule::setRestartMs(int ms)
{
    withState([ms](State &s) { s.restartMs = qMax(0, ms); });
}

void SimulatedModule::setRestartDelayMs(int ms)
{
    withState([ms](State &s) { s.restartDelayMs = qMax(0, ms); });
}

void SimulatedModule::setHangUpAfterFrames(int n)
{
    withState([n](State &s) { s.framesBeforeHangUp = qMax(0, n); });
}

void SimulatedModule::setForgetWritesAtRestart(bool forget)
{
    withState([forget](State &s) { s.model.setForgetWritesAtRestart(forget); });
}

int SimulatedModule::restartCount() const
{
    return withState([](State &s) { return s.model.restartCount(); });
}

void SimulatedModule::setLateFrameMs(int ms)
{
    withState([ms](State &s) { s.lateFrameMs = qMax(0, ms); });
}

QList<QByteArray> SimulatedModule::remoteFrames() const
{
    return withState([](State &s) { return s.remoteFrames; });
}

void SimulatedModule::sendUnasked(const QByteArray &bytes)
{
    onLine([this, bytes] { m_line->writeOut(bytes); });
}

void SimulatedModule::startStream(int baud)
{
    onLine([this, baud] { m_line->startStream(baud); });
}

void SimulatedModule::stopStream()
{
    onLine([this] { m_line->stopStream(); });
}

qint64 SimulatedModule::streamedBytes() const
{
    return m_line->streamedBytes();
}

void SimulatedModule::setRssiReportIntervalMs(int ms)
{
    const int interval = qMax(1, ms);
    withState([interval](State &s) { s.rssiIntervalMs = interval; });
    onLine([this, interval] { m_line->changeReportInterval(interval); });
}

bool SimulatedModule::rssiTestRunning() const
{
    return withState([](State &s) { return s.model.rssiTestRunning(); });
}

QByteArray SimulatedModule::received() const
{
    return withState([](State &s) { return s.received; });
}

QList<QByteArray> SimulatedModule::receivedChunks() const
{
    return withState([](State &s) { return s.receivedChunks; });
}

void SimulatedModule::clearReceived()
{
    withState([](State &s) {
        s.received.clear();
        s.receivedChunks.clear();
        s.remoteFrames.clear();
    });
}
