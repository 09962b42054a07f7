#pragma once

#include <QElapsedTimer>
#include <QTest>

#include <ctime>

// Share of one core the whole process (window, worker, simulated module) used over an idle
// second. A worker polling a dead line would show close to 1.
inline double idleLoad()
{
    const auto cpuSeconds = [] {
        timespec t {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    };
    QElapsedTimer wall;
    wall.start();
    const double before = cpuSeconds();
    QTest::qWait(1000);
    return (cpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
}

inline void verifyIdle()
{
    const double load = idleLoad();
    QVERIFY2(load < 0.3, qPrintable(QStringLiteral("%1 of a core while idle").arg(load)));
}
