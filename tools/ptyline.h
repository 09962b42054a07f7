#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>

class QSocketNotifier;
class QTimer;

// How the line spoils and paces the module's replies.
struct ReplyFaults
{
    bool silent = false; // answers nothing
    int splitPieces = 1;
    int splitGapMs = 0;
    QByteArray garbageBefore;
    QByteArray garbageAfter;
    bool corruptCheckByte = false; // device-info reply only
    int truncateTo = 0; // device-info reply only; 0: whole
    int replyDelayMs = 0; // before the first piece
    QByteArray replacement; // sent instead of every reply when not empty

    // The bytes that go out for reply (empty when silent).
    QByteArray applied(QByteArray reply, bool isDeviceInfo) const;
};

// The module's end of a pseudo-terminal: reads request frames from it and writes replies,
// unasked data and a paced byte stream to it. Lives in one thread; only path(), baudRate()
// and streamedBytes() may be called from others.
class PtyLine : public QObject
{
    Q_OBJECT

public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    QString path() const;
    // The baud rate the program has set (0 when no line is open).
    int baudRate() const;
    qint64 streamedBytes() const;

    // Opens a new pseudo-terminal; false when none can be made.
    bool open();
    // The program's next read fails as with an unplugged adapter.
    void close();

    void sendReply(const QByteArray &reply, bool isDeviceInfo, const ReplyFaults &faults);
    // At once, in one burst.
    void writeOut(const QByteArray &bytes);
    // Bytes 00 01 02 … FF 00 … at the line rate of baud (8N1).
    void startStream(int baud);
    void stopStream();
    // reportDue() every intervalMs until stopped.
    void startReports(int intervalMs);
    void stopReports();
    void changeReportInterval(int intervalMs);
    // Drops what has been received and everything that arrives in the next ms.
    void ignoreInputFor(int ms);

Q_SIGNALS:
    void bytesRead(const QByteArray &chunk); // every read, ignored or not
    void frameRead(const QByteArray &frame); // every intact frame not ignored
    void reportDue();

private:
    void readLine();
    void parse();
    void dropStaleCandidate();
    void sendNextPiece();
    void flushPending();
    qint64 writeRaw(const char *data, qint64 size);
    void streamTick();

    struct Piece
    {
        int delayMs;
        QByteArray bytes;
    };

    mutable QMutex m_queryMutex;
    QString m_path; // guarded by m_queryMutex
    int m_slaveForQueries = -1; // guarded by m_queryMutex
    std::atomic<qint64> m_streamed { 0 };

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
    QTimer *m_reportTimer = nullptr;
    QTimer *m_deafTimer = nullptr;

    QElapsedTimer m_streamClock;
    double m_streamBytesPerMs = 0;
    double m_streamCredit = 0;
    qint64 m_streamLastMs = 0;
    quint8 m_streamNext = 0;
};
