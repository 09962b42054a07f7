#include "moduleclient.h"

#include "commandframe.h"
#include "deviceinfo.h"
#include "modulecommands.h"
#include "portaccess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

QString englishOpenFailure(const QString &portName, const QString &reason)
{
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

bool holdsFrame(const QByteArray &reply)
{
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(reply);
    return std::any_of(segments.begin(), segments.end(), [](const CommandFrame::Segment &s) {
        return s.kind == CommandFrame::Segment::Frame;
    });
}

} // namespace

LinkSettings ModuleClient::settings(int gapMs,
                                    std::shared_ptr<const std::atomic_bool> answersWrites)
{
    LinkSettings settings;
    settings.fixedBaudRate = false;
    settings.replyEnd = std::make_shared<FrameReplyEnd>(
            [gapMs, answersWrites = std::move(answersWrites)](QByteArrayView sent) {
                const bool answered = answersWrites && answersWrites->load();
                return answered || sent == ModuleCommand::readDeviceInfoFrame() ? ReadTimeoutMs
                                                                                : gapMs;
            });
    return settings;
}

ModuleClient::ModuleClient(int gapMs)
    : m_worker(settings(gapMs, m_answersWrites))
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
    // The reply came with the exchange; the deliveries of the windows' signals are not read.
    m_worker.discardRxData();
    // An answer to a write may be the late answer to the write before: no matter, the
    // read-back proves what the module holds.
    if (reply && transmission != ModuleCommand::readDeviceInfoFrame() && holdsFrame(*reply))
        m_answersWrites->store(true);
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

std::optional<QByteArray> ModuleClient::waitForRestart(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
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
