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

} // namespace

LinkSettings ModuleClient::settings(int gapMs)
{
    LinkSettings settings;
    settings.fixedBaudRate = false;
    settings.replyEnd = std::make_shared<FrameReplyEnd>([gapMs](QByteArrayView sent) {
        return sent == ModuleCommand::readDeviceInfoFrame() ? ReadTimeoutMs : gapMs;
    });
    return settings;
}

ModuleClient::ModuleClient(int gapMs)
    : m_worker(settings(gapMs))
{
}

ModuleClient::ModuleClient(LinkSettings settings)
    : m_worker(std::move(settings))
{
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
    QObject::connect(&m_worker, &MyThread::comLost, &loop, [&](const QString &) {
        m_failure = Failure::LineLost;
        m_failureText = QStringLiteral("the line was lost (device unplugged or hung up)");
        loop.quit();
    });
    if (m_failure == Failure::LineLost || !m_worker.isRunning())
        return std::nullopt;
    m_worker.submit(transmission);
    loop.exec();
    // What the worker collected also waits for the windows' signals: nobody takes it here.
    m_worker.takeRxData();
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
    while (clock.elapsed() < timeoutMs) {
        if (stop && stop())
            return std::nullopt;
        const auto reply = exchange(ModuleCommand::readDeviceInfoFrame());
        if (!reply)
            return std::nullopt;
        if (const auto frame = deviceInfoFrame(*reply)) {
            m_failure = Failure::None;
            return frame;
        }
    }
    m_failure = Failure::NoAnswer;
    m_failureText = QStringLiteral("the module did not answer again within %1 ms of the restart")
                            .arg(timeoutMs);
    return std::nullopt;
}
