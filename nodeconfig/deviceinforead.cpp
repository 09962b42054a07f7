#include "deviceinforead.h"

#include "deviceinfo.h"
#include "modulecommands.h"
#include "mythread.h"

DeviceInfoRead::DeviceInfoRead(MyThread &worker, QObject *parent)
    : QObject(parent)
    , m_worker(worker)
{
    connect(&worker, &MyThread::exchangeFinished, this, &DeviceInfoRead::onExchangeFinished);
}

void DeviceInfoRead::start(quint32 connection)
{
    m_running = m_worker.submitOn(connection, ModuleCommand::readDeviceInfoFrame());
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
