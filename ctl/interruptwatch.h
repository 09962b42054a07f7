#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM turned into a request to stop. The handler only records the signal and
// writes one byte to a pipe; the pipe's notifier emits interrupted() in the thread that made
// the watch. Work asks signalNumber() between exchanges (safe from any thread) and stops
// cleanly, or listens to interrupted() to leave its event loop.
//
// One watch at a time; while it lives the two signals no longer end the process, except a
// second one of the same kind, which takes the default action (an impatient user gets out).
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatch(QObject *parent = nullptr);
    // Gives both signals their default action back.
    ~InterruptWatch() override;

    // False when the handlers could not be installed (the signals then end the process).
    bool isActive() const { return m_active; }
    // 0 until a signal came; then its number.
    static int signalNumber();
    static bool requested() { return signalNumber() != 0; }
    // The shell's code for a run ended by that signal: 128 + its number.
    static int exitCode() { return 128 + signalNumber(); }
    // "SIGINT", "SIGTERM".
    static QString signalName();

Q_SIGNALS:
    void interrupted(int signalNumber);

private:
    void onPipeReadable();

    QSocketNotifier *m_notifier = nullptr;
    bool m_active = false;
};
