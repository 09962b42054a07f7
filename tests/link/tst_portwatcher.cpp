#include "portwatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
    QTest::addColumn<QString>("change");

    QTest::newRow("plugged") << QStringLiteral("create");
    QTest::newRow("unplugged") << QStringLiteral("remove");
    QTest::newRow("owner and mode set") << QStringLiteral("chmod");
    QTest::newRow("a burst") << QStringLiteral("burst");
}

void tst_PortWatcher::reports()
{
    QFETCH(QString, change);

    PortWatcher watcher;
    QVERIFY(watcher.isWatching());
    QSignalSpy changed(&watcher, &PortWatcher::portsChanged);
    QVERIFY(changed.isValid());
    const QString node = dev->filePath(QStringLiteral("ttyUSB0"));
    const QString present = dev->filePath(QStringLiteral("ttyS0"));
    if (change == QStringLiteral("create")) {
        QVERIFY(QFile(node).open(QIODevice::WriteOnly));
    } else if (change == QStringLiteral("remove")) {
        QVERIFY(QFile::remove(present));
    } else if (change == QStringLiteral("chmod")) {
        QCOMPARE(::chmod(QFile::encodeName(present).constData(), 0660), 0);
    } else {
        for (int i = 0; i < 5; ++i) {
            QVERIFY(QFile(node + QString::number(i)).open(QIODevice::WriteOnly));
            QTest::qWait(50);
        }
    }
    QVERIFY(changed.wait(3000));
    // Reported once, after the burst has settled.
    QTest::qWait(2 * PortWatcher::SettleMs);
    QCOMPARE(changed.count(), 1);
}

void tst_PortWatcher::nothingWithoutDirectory()
{
    PortWatcher::setWatchedDirectory(dev->filePath(QStringLiteral("no-such-directory")));
    PortWatcher watcher;
    QVERIFY(!watcher.isWatching());
}

QTEST_GUILESS_MAIN(tst_PortWatcher)
#include "tst_portwatcher.moc"
