#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class SimulatedModuleWorker;
class QThread;

// Our stand-in for the radio module: it opens a pseudo-terminal and answers the frames it
// receives as the module does. It serves the line from a thread of its own, so tests may
// block their own thread; every public function is safe to call from any thread.
class SimulatedModule : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedModule(QObject *parent = nullptr);
    ~SimulatedModule() override;

    // Opens a new pseudo-terminal and starts serving it. False when none can be made.
    bool start();
    // The path a program opens as its serial port ("/dev/pts/N").
    QString devicePath() const;
    // Closes the line: the program's next read fails as with an unplugged adapter.
    void hangUp();
    // The baud rate the program has set on the line (0 when no line is open).
    int lineBaudRate() const;

    // NV state, from which the device-information reply is built.
    QByteArray nvItem(quint16 item) const;
    void setNvItem(quint16 item, const QByteArray &value);
    void setTxPowerCode(quint8 code);
    quint8 txPowerCode() const;
    void setFrequencyDivisor(quint16 divisor);
    quint16 frequencyDivisor() const;
    void setMacAddress(const QByteArray &eightBytesLowFirst);
    void setVersion(quint8 version);
    // The device-information reply for the current state (LEN 57).
    QByteArray deviceInfoReply() const;

    // Fault switches.
    void setSilent(bool silent); // answers nothing
    void setReplySplit(int pieces, int gapMs); // replies in pieces with gaps
    void setGarbageBeforeReply(const QByteArray &bytes);
    void setGarbageAfterReply(const QByteArray &bytes);
    void setCorruptCheckByte(bool corrupt); // device-info reply with a wrong check byte
    void setTruncateReplyTo(int bytes); // device-info reply cut to this size (0: whole)
    void setReplyDelayMs(int ms); // wait before the first reply byte
    // Every reply is these bytes instead (any frame, broken or not); the switches above still
    // apply. Empty: the module's own replies again.
    void setReplyReplacement(const QByteArray &bytes);

    // Unasked data.
    void sendUnasked(const QByteArray &bytes); // written at once, in one burst
    // A continuous stream of bytes 00 01 02 … FF 00 … at the line rate of baud (8N1).
    void startStream(int baud);
    void stopStream();
    qint64 streamedBytes() const;
    // RSSI reports while the test runs (started by FE 00 21 16 37).
    void setRssiReportIntervalMs(int ms);
    bool rssiTestRunning() const;

    // What arrived from the program.
    QByteArray received() const; // every byte, in order
    QList<QByteArray> receivedChunks() const; // as read from the line, one per read
    void clearReceived();

Q_SIGNALS:
    // Emitted from the module's own thread for every read from the line.
    void bytesReceived(const QByteArray &chunk);

private:
    std::unique_ptr<QThread> m_thread;
    SimulatedModuleWorker *m_worker = nullptr;
};
