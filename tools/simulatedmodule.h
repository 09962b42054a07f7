#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class PtyLine;
class QThread;

// Our stand-in for the radio module: it opens a pseudo-terminal and answers the frames it
// receives as the module does (ModuleModel behind a PtyLine). It serves the line from a thread
// of its own, so tests may block their own thread; every public function is safe to call from
// any thread.
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
    // Every parameter to a value other than the first state's (ModuleModel).
    void changeEveryParameter();
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
    // NV writes, transmit power and frequency are applied but get no answer.
    void setUnansweredWrites(bool unanswered);
    // Writes to these NV items get their usual answer but change nothing.
    void setIgnoredNvItems(const QList<quint16> &items);
    // Save-and-restart restarts the module: no answer, and for restartMs (default 1000) it
    // hears nothing; then it serves again with the state it had.
    void setRestartOnSave(bool restart);
    void setRestartMs(int ms);
    // The restart begins this long after save-and-restart (default 0); until then the module
    // answers as usual.
    void setRestartDelayMs(int ms);
    int restartCount() const; // restarts so far
    // The module's present state is what it has saved; every restart returns it there, the
    // writes since lost (a save that does not take). False: restarts keep the state.
    void setForgetWritesAtRestart(bool forget);
    // The n-th intact frame from now is taken in (a write applied) but not answered: the line
    // hangs up instead, as when an adapter is pulled mid-exchange. 0: never.
    void setHangUpAfterFrames(int n);

    // Unasked data.
    void sendUnasked(const QByteArray &bytes); // written at once, in one burst
    // A continuous stream of bytes 00 01 02 … FF 00 … at the line rate of baud (8N1).
    void startStream(int baud);
    void stopStream();
    qint64 streamedBytes() const;
    // RSSI reports while the test runs (started by FE 00 21 16 37).
    void setRssiReportIntervalMs(int ms);
    bool rssiTestRunning() const;

    // Every command for a remote node is followed, this long after its answer, by an unasked
    // frame of our own (ModuleModel::Response::lateFrame). 0: never (the default).
    void setLateFrameMs(int ms);

    // What arrived from the program.
    QList<QByteArray> remoteFrames() const; // the commands for remote nodes, in order
    QByteArray received() const; // every byte, in order
    QList<QByteArray> receivedChunks() const; // as read from the line, one per read
    void clearReceived();

Q_SIGNALS:
    // Emitted from the module's own thread for every read from the line.
    void bytesReceived(const QByteArray &chunk);
    // Emitted from the module's own thread for every intact frame, before it is answered.
    void frameReceived(const QByteArray &frame);
    // A command for a remote node, as remoteFrames() records it (from the module's own thread).
    void remoteFrameReceived(const QByteArray &frame);
    // The line hung up by setHangUpAfterFrames (from the module's own thread).
    void hungUp();

private:
    struct State;

    // Runs f on the state under the lock and returns what f returns.
    template<typename F>
    auto withState(F f) const;
    // Runs f in the line's thread and returns when it is done.
    template<typename F>
    void onLine(F f) const;
    // In the line's thread.
    void answer(const QByteArray &request);
    void sendRssiReport();

    mutable QMutex m_mutex;
    std::unique_ptr<State> m_state; // guarded by m_mutex
    std::unique_ptr<QThread> m_thread;
    PtyLine *m_line = nullptr;
};
