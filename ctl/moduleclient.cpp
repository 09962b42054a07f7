#include "moduleclient.h"

#include "deviceinfo.h"
#include "modulecommands.h"
#include "portaccess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <memory>
#include <utility>

namespace {

QString englishOpenFailure(const QString &portName, const QString &reason)
{
    const QString device = portDevicePath(portName);
    if (!QFileInfo::exists(device)) {
        return device == portName
                ? QStringLiteral("cannot open %1: no such device").arg(portName)
                : QStringLiteral("cannot open %1: no such device (%2)").arg(portName, device);
    }
    if (const auto lock = portLock(portName)) {
        if (lock->pid <= 0)
            return QStringLiteral("cannot open %1: its lock file %2 names no process; remove it "
                                  "if no program uses the port")
                    .arg(portName, lock->lockFile);
        return QStringLiteral("cannot open %1: the port is in use by process %2%3")
                .arg(portName)
                .arg(lock->pid)
                .arg(lock->program.isEmpty() ? QString()
                                             : QStringLiteral(" (%1)").arg(lock->program));
    }
    const auto problem = portPermissionProblem(portName);
    if (!problem)
        return QStringLiteral("cannot open %1: %2").arg(portName, reason);
    if (problem->group.isEmpty())
        return QStringLiteral("cannot open %1: no permission to use %2")
                .arg(portName, problem->path);
    return QStringLiteral("cannot open %1: no permission to use %2; add yourself to the group "
                          "%3 (sudo usermod -aG %3 $USER) and log in again")
            .arg(portName, problem->path, problem->group);
}

// The intact device-information frame in a reply, if any.
std::optional<QByteArray> deviceInfoFrame(const QByteArray &reply)
{
    const auto frame = DeviceInfoReply::findReply(reply);
    return frame ? std::optional<QByteArray>(frame->toByteArray()) : std::nullopt;
}

// Between reads that the module answers before it has restarted.
constexpr int RestartPollMs = 100;

} // namespace

LinkSettings ModuleClient::settings(int gapMs)
{
    LinkSettings settings;
    settings.fixedBaudRate = false;
    settings.replyEnd = std::make_shared<ModuleReplyEnd>(gapMs);
    return settings;
}

ModuleClient::ModuleClient(int gapMs)
    : m_worker(settings(gapMs))
{
    watchLine();
}

ModuleClient::ModuleClient(LinkSettings settings)
    : m_worker(std::move(settings))
{
    watchLine();
}

void ModuleClient::watchLine()
{
    // Also between two exchanges, when no exchange waits for it.
    QObject::connect(&m_worker, &MyThread::comLost, &m_worker, [this] { lineLost(); });
}

void ModuleClient::lineLost()
{
    m_failure = Failure::LineLost;
    m_failureText = QStringLiteral("the line was lost (device unplugged or hung up)");
}

void ModuleClient::setBaudRate(qint32 rate)
{
    m_worker.setBaudRate(rate);
}

void ModuleClient::setUnaskedHandler(std::function<void(const QByteArray &)> handler)
{
    if (!m_unasked) {
        // Each signal's handler takes the oldest delivery, so both are taken in their order;
        // the reply of an exchange comes with exchangeFinished.
        QObject::connect(&m_worker, &MyThread::comRecive, &m_worker,
                         [this] { m_worker.takeRxData(); });
        QObject::connect(&m_worker, &MyThread::comdelayout, &m_worker, [this] {
            const QByteArray bytes = m_worker.takeRxData();
            if (!bytes.isEmpty())
                m_unasked(bytes);
        });
    }
    m_unasked = std::move(handler);
}

bool ModuleClient::open(const QString &portName)
{
    QEventLoop loop;
    bool opened = false;
    QString reason;
    QObject::connect(&m_worker, &MyThread::comOpenSuccess, &loop, [&](bool success) {
        opened = success;
        loop.quit();
    });
    QObject::connect(&m_worker, &MyThread::comOpenFailed, &loop, [&](const QString &text) {
        reason = text;
        loop.quit();
    });
    m_worker.setComName(portName);
    m_worker.start();
    loop.exec();
    if (!opened) {
        m_failure = Failure::OpenFailed;
        m_failureText = englishOpenFailure(portName, reason);
    }
    return opened;
}

std::optional<QByteArray> ModuleClient::exchange(const QByteArray &transmission)
{
    QEventLoop loop;
    std::optional<QByteArray> reply;
    QObject::connect(&m_worker, &MyThread::exchangeFinished, &loop,
                     [&](const QByteArray &, const QByteArray &bytes) {
                         reply = bytes;
                         loop.quit();
                     });
    QObject::connect(&m_worker, &MyThread::comLost, &loop, &QEventLoop::quit);
    // After the open only a lost line ends the run, and the worker may have ended before its
    // report came through.
    if (!m_worker.isRunning())
        lineLost();
    if (m_failure == Failure::LineLost)
        return std::nullopt;
    m_worker.submit(transmission);
    loop.exec();
    // The reply came with the exchange; the deliveries of the windows' signals are not read
    // (unless they are taken as they come).
    if (!m_unasked)
        m_worker.discardRxData();
    return reply;
}

std::optional<QByteArray> ModuleClient::readDeviceInfo()
{
    const auto reply = exchange(ModuleCommand::readDeviceInfoFrame());
    if (!reply)
        return std::nullopt;
    if (const auto frame = deviceInfoFrame(*reply))
        return frame;
    m_failure = Failure::NoAnswer;
    m_failureText = reply->isEmpty()
            ? QStringLiteral("the module did not answer the device-information request")
            : QStringLiteral("the module's answer held no intact device information");
    return std::nullopt;
}

std::optional<QByteArray> ModuleClient::waitForRestart(int timeoutMs,
                                                       const std::function<bool()> &stop)
{
    QElapsedTimer clock;
    clock.start();
    // A restarting module hears nothing: until a read has gone unanswered, an answer comes
    // from the module as it was before the restart.
    bool restarting = false;
    while (clock.elapsed() < timeoutMs) {
        if (stop && stop())
            return std::nullopt;
        const auto reply = exchange(ModuleCommand::readDeviceInfoFrame());
        if (!reply)
            return std::nullopt;
        const auto frame = deviceInfoFrame(*reply);
        if (frame && restarting) {
            m_failure = Failure::None;
            return frame;
        }
        if (!frame)
            restarting = true;
        else if (!wait(RestartPollMs))
            return std::nullopt;
    }
    m_failure = Failure::NoAnswer;
    m_failureText = restarting
            ? QStringLiteral("the module did not answer again within %1 ms of the restart")
                      .arg(timeoutMs)
            : QStringLiteral("the module went on answering for %1 ms: it did not restart")
                      .arg(timeoutMs);
    return std::nullopt;
}

bool ModuleClient::wait(int ms)
{
    if (!m_worker.isRunning())
        lineLost();
    if (m_failure == Failure::LineLost)
        return false;
    QEventLoop loop;
    QObject::connect(&m_worker, &MyThread::comLost, &loop, &QEventLoop::quit);
    if (ms >= 0)
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    m_waiting = &loop;
    loop.exec();
    m_waiting = nullptr;
    return m_failure != Failure::LineLost;
}

void ModuleClient::stopWaiting()
{
    if (m_waiting)
        m_waiting->quit();
}
