#pragma once

#include "mythread.h"

#include <QByteArray>
#include <QEventLoop>
#include <QString>

#include <functional>
#include <optional>

// The command line's way to the attached module: one exchange at a time through the serial
// worker, waiting in a local event loop. Replies end by the frame rule (ModuleReplyEnd): an
// answer frame ends the wait at once; a write the module does not answer ends after the gap.
class ModuleClient
{
public:
    enum class Failure {
        None,
        OpenFailed, // the port could not be opened
        NoAnswer, // the module did not answer a read
        LineLost, // the device went away
    };

    static constexpr int ReadTimeoutMs = ModuleReplyEnd::ReadTimeoutMs;

    // gapMs: how long a write may go unanswered; reads get ReadTimeoutMs.
    explicit ModuleClient(int gapMs);
    // Any other rule, for comparing rules side by side.
    explicit ModuleClient(LinkSettings settings);

    // Replies end by the frame rule, a write that goes unanswered after gapMs.
    static LinkSettings settings(int gapMs);

    // The line's rate for the open (38400 unless set).
    void setBaudRate(qint32 rate);

    // Bytes the module sends outside an exchange, delivery by delivery, while the event loop
    // runs (in exchange() or wait()). Needs settings that signal frame replies apart
    // (routeFrameReplies); without a handler such bytes are dropped.
    void setUnaskedHandler(std::function<void(const QByteArray &)> handler);

    // False when the port could not be opened; failureText() says why.
    bool open(const QString &portName);

    // Sends one transmission and returns what came back (empty: nothing came). None when the
    // line was lost.
    std::optional<QByteArray> exchange(const QByteArray &transmission);

    // The device-information reply frame; none when the module did not answer or the line
    // was lost (failure() tells which).
    std::optional<QByteArray> readDeviceInfo();

    // After save and restart: reads until the module, having missed a read while it restarts,
    // answers again, for up to timeoutMs. Before each read it asks stop (when given): true ends
    // the wait with none, no failure.
    std::optional<QByteArray> waitForRestart(int timeoutMs, const std::function<bool()> &stop = {});

    // Lets the event loop run for ms, or until stopWaiting() when ms is negative; a lost line
    // ends the wait. False when the line was lost.
    bool wait(int ms);
    void stopWaiting();

    Failure failure() const { return m_failure; }
    QString failureText() const { return m_failureText; }

private:
    void watchLine();
    void lineLost();

    MyThread m_worker;
    std::function<void(const QByteArray &)> m_unasked;
    QEventLoop *m_waiting = nullptr;
    Failure m_failure = Failure::None;
    QString m_failureText;
};
