#include "portwatcher.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>

// Drives the watcher as plugging does: device nodes appear in and vanish from the watched
// directory (a directory of the test's own, so that it needs no adapter).
class tst_PortWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void reports_data();
    void reports();
    void nothingWithoutDirectory();

private:
    std::unique_ptr<QTemporaryDir> dev;
};

void tst_PortWatcher::init()
{
#ifndef Q_OS_LINUX
    QSKIP("the device directory is watched on Linux only");
#endif
    dev = std::make_unique<QTemporaryDir>();
    QVERIFY(dev->isValid());
    QVERIFY(QFile(dev->filePath(QStringLiteral("ttyS0"))).open(QIODevice::WriteOnly));
    PortWatcher::setWatchedDirectory(dev->path());
}

void tst_PortWatcher::cleanup()
{
    PortWatcher::setWatchedDirectory(QString());
    dev.reset();
}

void tst_PortWatcher::reports_data()
{
    // Each change is reported once, when it has settled.
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("plugged") << QStringList { QStringLiteral("create") };
    QTest::newRow("unplugged") << QStringList { QStringLiteral("remove") };
    QTest::newRow("owner and mode set") << QStringList { QStringLiteral("chmod") };
    QTest::newRow("a burst") << QStringList { QStringLiteral("burst") };
    QTest::newRow("renamed into the folder") << QStringList { QStringLiteral("rename") };
    QTest::newRow("the folder gone and back, then plugged")
            << QStringList { QStringLiteral("rmdir"), QStringLiteral("mkdir"),
                             QStringLiteral("create") };
}

void tst_PortWatcher::reports()
{
    QFETCH(QStringList, changes);

    PortWatcher watcher;
    QVERIFY(watcher.isWatching());
    QSignalSpy changed(&watcher, &PortWatcher::portsChanged);
    QVERIFY(changed.isValid());
    const QString node = dev->filePath(QStringLiteral("ttyUSB0"));
    const QString present = dev->filePath(QStringLiteral("ttyS0"));
    // Beside the folder, on its file system: moved in by a rename of its own.
    const QString outside = dev->path() + QStringLiteral(".new");
    for (const QString &change : std::as_const(changes)) {
        QElapsedTimer sinceLast;
        sinceLast.start();
        if (change == QStringLiteral("create")) {
            QVERIFY(QFile(node).open(QIODevice::WriteOnly));
        } else if (change == QStringLiteral("remove")) {
            QVERIFY(QFile::remove(present));
        } else if (change == QStringLiteral("chmod")) {
            QCOMPARE(::chmod(QFile::encodeName(present).constData(), 0660), 0);
        } else if (change == QStringLiteral("rename")) {
            QVERIFY(QFile(outside).open(QIODevice::WriteOnly));
            QCOMPARE(::rename(QFile::encodeName(outside).constData(),
                              QFile::encodeName(node).constData()),
                     0);
        } else if (change == QStringLiteral("rmdir")) {
            QVERIFY(QDir(dev->path()).removeRecursively());
        } else if (change == QStringLiteral("mkdir")) {
            QVERIFY(QDir().mkdir(dev->path()));
        } else {
            for (int i = 0; i < 5; ++i) {
                QTest::qWait(50);
                sinceLast.start();
                QVERIFY(QFile(node + QString::number(i)).open(QIODevice::WriteOnly));
            }
        }
        QVERIFY2(changed.wait(3000), qPrintable(change));
        // A coarse timer may fire up to 5 % early.
        QVERIFY2(sinceLast.elapsed() >= PortWatcher::SettleMs * 95 / 100,
                 qPrintable(QString::number(sinceLast.elapsed())));
    }
    QTest::qWait(2 * PortWatcher::SettleMs);
    QCOMPARE(changed.count(), changes.size());
}

void tst_PortWatcher::nothingWithoutDirectory()
{
    PortWatcher::setWatchedDirectory(dev->filePath(QStringLiteral("no-such-directory")));
    PortWatcher watcher;
    QVERIFY(!watcher.isWatching());
}

QTEST_GUILESS_MAIN(tst_PortWatcher)
#include "tst_portwatcher.moc"
