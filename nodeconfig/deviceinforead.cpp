#include "deviceinforead.h"

#include "deviceinfo.h"
#include "modulecommands.h"
#include "mythread.h"

#include <utility>

DeviceInfoRead::DeviceInfoRead(MyThread &worker, QObject *parent)
    : QObject(parent)
    , m_worker(worker)
{
    connect(&worker, &MyThread::exchangeFinished, this, &DeviceInfoRead::onExchangeFinished);
}

void DeviceInfoRead::start(quint32 connection, std::shared_ptr<const ReplyEndRule> replyEnd)
{
    m_running = m_worker.submitOn(connection, ModuleCommand::readDeviceInfoFrame(),
                                  std::move(replyEnd));
}

void DeviceInfoRead::onExchangeFinished(const QByteArray &sent, const QByteArray &reply)
{
    if (!m_running || sent != ModuleCommand::readDeviceInfoFrame())
        return;
    m_running = false;
    // The window's decoder has printed its lines for these bytes already.
    const auto frame = DeviceInfoReply::findReply(reply, DeviceInfoReply::Diagnostics::Quiet);
    emit finished(frame ? frame->toByteArray() : QByteArray());
}
