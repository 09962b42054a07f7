#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class ReplyEndRule;

// One transmission and the rule that ends its reply; none: the worker's own.
struct Transmission
{
    QByteArray bytes;
    std::shared_ptr<const ReplyEndRule> replyEnd;
};

// The fields the window and the worker share, behind one mutex. Every call is one locked step.
//
// Transmissions wait in order, one exchange each. One that writes the same target as a
// pending one (ModuleCommand::sameTarget) takes that one's place, with its own reply-end rule,
// so a list scrolled through while the line is busy still sends only its last value.
//
// Every open and every close starts a new connection number. A submission bound to the
// connection it was planned for is dropped once that connection is over, also when the window
// has not heard of the close yet.
class LinkState : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void requestStop();
    void clearStop();
    bool stopRequested() const;
    void setComOpened(bool opened);
    bool comOpened() const;
    void setComName(const QString &name);
    QString comName() const;

    void submit(const Transmission &transmission);
    // False (and nothing submitted) when connection is no longer the open one.
    bool submitOn(quint32 connection, const Transmission &transmission);
    quint32 connection() const;
    // The open step: the port is open, a new connection begins.
    void openConnection();
    // The worker side: the next transmission, which leaves the queue.
    Transmission takeNext();
    QList<QByteArray> pending() const;
    bool hasPending() const;
    void withdrawPending();

    // Received bytes. The worker collects a delivery and announces it just before its signal;
    // each signal's handler takes the oldest announced delivery, so that bytes a lagging
    // window has not taken yet are never mixed with or overwritten by later ones.
    QByteArray collected() const;
    qsizetype collectedSize() const;
    void appendCollected(QByteArrayView bytes);
    // The first chunk of a reply: a delivery of its own.
    void replaceCollected(const QByteArray &bytes);
    void announceCollected();
    // The oldest announced delivery; empty when there is none.
    QByteArray takeDelivery();
    // As if the worker had collected and announced these bytes.
    void deliver(QByteArrayView bytes);
    // Drops every announced delivery.
    void discardDeliveries();
    // Every byte not taken yet: the announced deliveries and the collection.
    QByteArray untaken() const;
    // The close step: nothing of a closed connection reaches the next one, and what is still
    // submitted for it is dropped.
    void clearConnection();

    qint32 baudRate() const;
    void setBaudRate(qint32 rate);

Q_SIGNALS:
    // A stop or a transmission was requested; the running session looks at the fields.
    void requested();
    void baudRateChanged();

private:
    void enqueue(const Transmission &transmission); // with the lock held

    mutable QMutex m_mutex;
    QByteArray m_collected;
    QList<QByteArray> m_deliveries;
    QList<Transmission> m_pending;
    bool m_comOpened = false;
    quint32 m_connection = 0;
    QString m_comName;
    bool m_stopRequest = false;
    qint32 m_baudRate = 38400;
};
