#include "profileimport.h"

#include "mythread.h"

#include <utility>

ProfileImport::ProfileImport(MyThread &worker, quint32 connection, Profile wanted,
                             std::shared_ptr<const ReplyEndRule> replyEnd, QObject *parent)
    : QObject(parent)
    , m_worker(worker)
    , m_connection(connection)
    , m_wanted(std::move(wanted))
    , m_replyEnd(std::move(replyEnd))
    , m_read(worker)
{
    connect(&m_read, &DeviceInfoRead::finished, this, &ProfileImport::onRead);
    connect(&worker, &MyThread::exchangeFinished, this,
            [this](const QByteArray &sent) { onExchangeFinished(sent); });
}

void ProfileImport::start()
{
    m_stage = Stage::Reading;
    m_read.start(m_connection, m_replyEnd);
}

void ProfileImport::write()
{
    if (m_stage != Stage::Reviewing)
        return;
    m_stage = Stage::Writing;
    submitNext();
}

void ProfileImport::stop()
{
    m_stage = Stage::Over;
    m_read.cancel();
}

void ProfileImport::onRead(const QByteArray &reply)
{
    if (m_stage != Stage::Reading && m_stage != Stage::Verifying)
        return;
    const Stage stage = m_stage;
    if (reply.isEmpty()) {
        m_stage = Stage::Over;
        emit unanswered(stage);
        return;
    }
    const QList<ModuleProfile::Difference> now =
            ModuleProfile::differences(ModuleProfile::fromReply(reply), m_wanted);
    if (stage == Stage::Reading) {
        m_differences = now;
        m_transmissions = ModuleProfile::transmissions(
                ModuleProfile::writePlan(now, ModuleProfile::ClearNetwork::AfterEach));
        m_stage = Stage::Reviewing;
        emit reviewReady();
        return;
    }
    m_stage = Stage::Over;
    QStringList notTaken;
    for (const ModuleProfile::Difference &difference : now)
        notTaken << difference.key;
    emit verified(notTaken);
}

void ProfileImport::onExchangeFinished(const QByteArray &sent)
{
    if (m_stage != Stage::Writing || sent != m_transmissions.at(m_written).bytes)
        return;
    ++m_written;
    emit progress(m_written < total() ? m_transmissions.at(m_written).key : QString());
    submitNext();
}

void ProfileImport::submitNext()
{
    if (m_written < total()) {
        m_worker.submitOn(m_connection, m_transmissions.at(m_written).bytes, m_replyEnd);
        return;
    }
    m_stage = Stage::Verifying;
    m_read.start(m_connection, m_replyEnd);
}
