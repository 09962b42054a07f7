#include "linkstate.h"

#include "modulecommands.h"

#include <QMutexLocker>

#include <algorithm>
#include <utility>

void LinkState::requestStop()
{
    {
        const QMutexLocker locker(&m_mutex);
        m_stopRequest = true;
    }
    emit requested();
}

void LinkState::clearStop()
{
    const QMutexLocker locker(&m_mutex);
    m_stopRequest = false;
}

bool LinkState::stopRequested() const
{
    const QMutexLocker locker(&m_mutex);
    return m_stopRequest;
}

void LinkState::setComOpened(bool opened)
{
    const QMutexLocker locker(&m_mutex);
    m_comOpened = opened;
}

bool LinkState::comOpened() const
{
    const QMutexLocker locker(&m_mutex);
    return m_comOpened;
}

void LinkState::setComName(const QString &name)
{
    const QMutexLocker locker(&m_mutex);
    m_comName = name;
}

QString LinkState::comName() const
{
    const QMutexLocker locker(&m_mutex);
    return m_comName;
}

void LinkState::enqueue(const Transmission &transmission)
{
    auto same = std::find_if(m_pending.begin(), m_pending.end(), [&](const Transmission &p) {
        return ModuleCommand::sameTarget(p.bytes, transmission.bytes);
    });
    if (same != m_pending.end())
        *same = transmission;
    else
        m_pending.append(transmission);
}

void LinkState::submit(const Transmission &transmission)
{
    {
        const QMutexLocker locker(&m_mutex);
        enqueue(transmission);
    }
    emit requested();
}

bool LinkState::submitOn(quint32 connection, const Transmission &transmission)
{
    {
        const QMutexLocker locker(&m_mutex);
        if (!m_comOpened || connection != m_connection)
            return false;
        enqueue(transmission);
    }
    emit requested();
    return true;
}

quint32 LinkState::connection() const
{
    const QMutexLocker locker(&m_mutex);
    return m_connection;
}

void LinkState::openConnection()
{
    const QMutexLocker locker(&m_mutex);
    m_comOpened = true;
    ++m_connection;
}

Transmission LinkState::takeNext()
{
    const QMutexLocker locker(&m_mutex);
    return m_pending.isEmpty() ? Transmission() : m_pending.takeFirst();
}

QList<QByteArray> LinkState::pending() const
{
    const QMutexLocker locker(&m_mutex);
    QList<QByteArray> bytes;
    for (const Transmission &transmission : m_pending)
        bytes << transmission.bytes;
    return bytes;
}

bool LinkState::hasPending() const
{
    const QMutexLocker locker(&m_mutex);
    return !m_pending.isEmpty();
}

void LinkState::withdrawPending()
{
    const QMutexLocker locker(&m_mutex);
    m_pending.clear();
}

QByteArray LinkState::collected() const
{
    const QMutexLocker locker(&m_mutex);
    return m_collected;
}

qsizetype LinkState::collectedSize() const
{
    const QMutexLocker locker(&m_mutex);
    return m_collected.size();
}

void LinkState::appendCollected(QByteArrayView bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_collected.append(bytes);
}

void LinkState::replaceCollected(const QByteArray &bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_collected = bytes;
}

void LinkState::announceCollected()
{
    const QMutexLocker locker(&m_mutex);
    m_deliveries.append(std::exchange(m_collected, QByteArray()));
}

QByteArray LinkState::takeDelivery()
{
    const QMutexLocker locker(&m_mutex);
    return m_deliveries.isEmpty() ? QByteArray() : m_deliveries.takeFirst();
}

void LinkState::deliver(QByteArrayView bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_deliveries.append(bytes.toByteArray());
}

void LinkState::discardDeliveries()
{
    const QMutexLocker locker(&m_mutex);
    m_deliveries.clear();
}

QByteArray LinkState::untaken() const
{
    const QMutexLocker locker(&m_mutex);
    QByteArray all;
    for (const QByteArray &delivery : m_deliveries)
        all += delivery;
    return all + m_collected;
}

void LinkState::clearConnection()
{
    const QMutexLocker locker(&m_mutex);
    m_comOpened = false;
    ++m_connection;
    m_collected.clear();
    m_deliveries.clear();
    m_pending.clear();
}

qint32 LinkState::baudRate() const
{
    const QMutexLocker locker(&m_mutex);
    return m_baudRate;
}

void LinkState::setBaudRate(qint32 rate)
{
    {
        const QMutexLocker locker(&m_mutex);
        m_baudRate = rate;
    }
    emit baudRateChanged();
}
