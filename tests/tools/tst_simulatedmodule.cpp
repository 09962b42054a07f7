#include "commandframe.h"
#include "modulecommands.h"
#include "simulatedmodule.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray Request = QByteArray::fromHex("FE 00 21 15 34");
const QByteArray StopTest = QByteArray::fromHex("FE 00 21 17 36");
const QByteArray StopTestReply = QByteArray::fromHex("FE 01 61 17 00 77");
constexpr int ReplySize = 62;

// Router, PAN 1A2B, short 0001, channel 15, MAC, API mode with pins, divider 32, divisor 800,
// DesAddr 0000, auto-send FFFF, ext PAN ID, version 8B, tx power 35.
const QByteArray InitialReply = QByteArray::fromHex(
        "FE 39 61 08 01 2B 1A 01 00 00 80 00 00 01 00 00 00 14 35 02 77 66 55 44 33 22 11 00 00 00"
        "00 05 0A 8B 03 04 02 09 FF FF FF 20 20 03 10 FF 00 00 00 00 00 FF FF EF CD AB 89 67 45 23"
        "01 58");

struct Arrival
{
    qint64 atMs;
    QByteArray bytes;
};

// One entry per read, until want bytes have come or timeoutMs has passed.
QList<Arrival> readArrivals(int fd, int want, int timeoutMs)
{
    QList<Arrival> arrivals;
    QElapsedTimer clock;
    clock.start();
    int total = 0;
    while (total < want && clock.elapsed() < timeoutMs) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, int(timeoutMs - clock.elapsed())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        arrivals.append({ clock.elapsed(), QByteArray(buffer, int(n)) });
        total += int(n);
    }
    return arrivals;
}

QByteArray readBytes(int fd, int want, int timeoutMs)
{
    QByteArray bytes;
    for (const Arrival &a : readArrivals(fd, want, timeoutMs))
        bytes += a.bytes;
    return bytes;
}

// Reads until the bytes end with tail.
QByteArray readUntil(int fd, const QByteArray &tail, int timeoutMs)
{
    QByteArray bytes;
    QElapsedTimer clock;
    clock.start();
    while (!bytes.endsWith(tail) && clock.elapsed() < timeoutMs)
        bytes += readBytes(fd, 1, int(timeoutMs - clock.elapsed()));
    return bytes;
}

} // namespace

class tst_SimulatedModule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void initialReply();
    void writeShowsInNextReply_data();
    void writeShowsInNextReply();
    void nvWriteGrowsItem();
    void statusReplies_data();
    void statusReplies();
    void parserSkipsNoise_data();
    void parserSkipsNoise();
    void replyFaults_data();
    void replyFaults();
    void splitDeliversPiecesWithGap();
    void replyDelay();
    void restartIgnoresWhatArrives();
    void rssiReportsBetweenStartAndStop();
    void streamPacesAtLineRate();
    void recordsWhatArrives();
    void serialPortExchange();
    void hangUpFailsSlaveRead();

private:
    void write(const QByteArray &bytes);

    std::unique_ptr<SimulatedModule> m_module;
    int m_fd = -1;
};

void tst_SimulatedModule::init()
{
    m_module = std::make_unique<SimulatedModule>();
    if (!m_module->start())
        QSKIP("No pseudo-terminal can be opened here");
    m_fd = ::open(m_module->devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY2(m_fd >= 0, qPrintable(m_module->devicePath()));
    termios tio {};
    QCOMPARE(::tcgetattr(m_fd, &tio), 0);
    ::cfmakeraw(&tio);
    QCOMPARE(::tcsetattr(m_fd, TCSANOW, &tio), 0);
}

void tst_SimulatedModule::cleanup()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_module.reset();
}

void tst_SimulatedModule::write(const QByteArray &bytes)
{
    QCOMPARE(::write(m_fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
}

void tst_SimulatedModule::initialReply()
{
    write(Request);
    const QByteArray reply = readBytes(m_fd, ReplySize, 3000);
    QVERIFY(CommandFrame::isIntact(reply));
    QCOMPARE(reply, InitialReply);
    QCOMPARE(reply, m_module->deviceInfoReply());
}

void tst_SimulatedModule::writeShowsInNextReply_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("expected");

    using ModuleCommand::nvWriteFrame;
    QTest::newRow("node type") << nvWriteFrame(0x0087, 0, QByteArray::fromHex("02")) << 4
                               << QByteArray::fromHex("02");
    QTest::newRow("PAN ID, low byte first") << nvWriteFrame(0x0083, 0, QByteArray::fromHex("34 12"))
                                            << 5 << QByteArray::fromHex("34 12");
    QTest::newRow("channel mask") << nvWriteFrame(0x0084, 0, QByteArray::fromHex("00 00 00 04"))
                                  << 9 << QByteArray::fromHex("00 00 00 04");
    QTest::newRow("sleep cycle as written") << nvWriteFrame(0x002B, 0, QByteArray::fromHex("C6"))
                                            << 17 << QByteArray::fromHex("C6");
    QTest::newRow("work mode, byte 0 of 0x0416")
            << nvWriteFrame(0x0416, 0, QByteArray::fromHex("05")) << 34
            << QByteArray::fromHex("05");
    QTest::newRow("IO_4, byte 4 of 0x0416") << nvWriteFrame(0x0416, 4, QByteArray::fromHex("08"))
                                            << 38 << QByteArray::fromHex("08");
    QTest::newRow("io_11, byte 11 of 0x0416") << nvWriteFrame(0x0416, 11, QByteArray::fromHex("02"))
                                              << 45 << QByteArray::fromHex("02");
    QTest::newRow("destination address") << nvWriteFrame(0x0417, 0, QByteArray::fromHex("34 12"))
                                         << 49 << QByteArray::fromHex("34 12");
    QTest::newRow("extended PAN ID")
            << nvWriteFrame(0x0047, 0, QByteArray::fromHex("88 77 66 55 44 33 22 11")) << 53
            << QByteArray::fromHex("88 77 66 55 44 33 22 11");
    QTest::newRow("transmit power")
            << QByteArray::fromHex("FE 01 21 14 95 A1") << 18 << QByteArray::fromHex("95");
    QTest::newRow("frequency 1000 Hz gives divisor 32000")
            << QByteArray::fromHex("FE 04 21 2B E8 03 00 00 E5") << 42
            << QByteArray::fromHex("00 7D");
    QTest::newRow("frequency 0 keeps the divisor")
            << QByteArray::fromHex("FE 04 21 2B 00 00 00 00 0E") << 42
            << QByteArray::fromHex("20 03");
}

void tst_SimulatedModule::writeShowsInNextReply()
{
    QFETCH(QByteArray, command);
    QFETCH(int, offset);
    QFETCH(QByteArray, expected);

    QVERIFY(CommandFrame::isIntact(command));
    write(command);
    const QByteArray status = readBytes(m_fd, 6, 3000);
    QVERIFY(CommandFrame::isIntact(status));
    QCOMPARE(quint8(status.at(4)), quint8(0x00));

    write(Request);
    const QByteArray reply = readBytes(m_fd, ReplySize, 3000);
    QVERIFY(CommandFrame::isIntact(reply));
    QCOMPARE(quint8(reply.at(1)), quint8(57));
    QCOMPARE(reply.mid(offset, expected.size()), expected);
}

void tst_SimulatedModule::nvWriteGrowsItem()
{
    m_module->setNvItem(0x0416, QByteArray::fromHex("03"));
    write(ModuleCommand::nvWriteFrame(0x0416, 3, QByteArray::fromHex("09")));
    QTRY_COMPARE(m_module->nvItem(0x0416), QByteArray::fromHex("03 FF FF 09"));
}

void tst_SimulatedModule::statusReplies_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("nv write") << QByteArray::fromHex("FE 05 21 09 03 04 00 01 02 29")
                              << QByteArray::fromHex("FE 01 61 09 00 69");
    QTest::newRow("node type and clear network in one write")
            << QByteArray::fromHex("FE 05 21 09 87 00 00 01 01 AA FE 05 21 09 03 00 00 01 02 2D")
            << QByteArray::fromHex("FE 01 61 09 00 69 FE 01 61 09 00 69");
    QTest::newRow("nv write shorter than its length byte")
            << QByteArray::fromHex("FE 04 21 09 03 04 00 05 2E")
            << QByteArray::fromHex("FE 01 61 09 01 68");
    QTest::newRow("transmit power")
            << QByteArray::fromHex("FE 01 21 14 35 01") << QByteArray::fromHex("FE 01 61 14 00 74");
    QTest::newRow("frequency") << QByteArray::fromHex("FE 04 21 2B 40 9C 00 00 D2")
                               << QByteArray::fromHex("FE 01 61 2B 00 4B");
    QTest::newRow("save and restart")
            << QByteArray::fromHex("FE 01 41 00 00 40") << QByteArray::fromHex("FE 01 61 00 00 60");
    QTest::newRow("stop rssi test") << StopTest << StopTestReply;
    QTest::newRow("remote parameter write")
            << QByteArray::fromHex("FE 06 21 18 00 00 87 00 00 01 B9")
            << QByteArray::fromHex("FE 01 61 18 00 78");
    QTest::newRow("remote parameter read answers the NV value")
            << QByteArray::fromHex("FE 05 21 19 00 00 83 00 00 BE")
            << QByteArray::fromHex("FE 06 61 19 00 83 00 00 2B 1A CC");
    QTest::newRow("remote restart") << QByteArray::fromHex("FE 02 21 21 00 00 02")
                                    << QByteArray::fromHex("FE 01 61 21 00 41");
    QTest::newRow("node scan start")
            << QByteArray::fromHex("FE 00 21 2C 0D") << QByteArray::fromHex("FE 01 61 2C 00 4C");
}

void tst_SimulatedModule::statusReplies()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);

    write(command);
    QCOMPARE(readBytes(m_fd, int(expected.size()), 3000), expected);
}

void tst_SimulatedModule::parserSkipsNoise_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("garbage before a frame")
            << QByteArray::fromHex("00 11 22 FE 00 21 15 34") << InitialReply;
    QTest::newRow("wrong check byte") << QByteArray::fromHex("FE 00 21 15 35") << QByteArray();
    QTest::newRow("raw bytes") << QByteArray::fromHex("00 01 02 03 04 05 06 07 08 09")
                               << QByteArray();
    QTest::newRow("unknown command") << QByteArray::fromHex("FE 00 21 33 12") << QByteArray();
    // The candidate FE FE … waits for 259 bytes until the line has been quiet a while.
    QTest::newRow("stray 0xFE with a large length")
            << QByteArray::fromHex("FE FE 00 21 15 34") << InitialReply;
}

// Every row ends with the stop frame, whose reply marks the end of what the row produced.
void tst_SimulatedModule::parserSkipsNoise()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);

    write(bytes + StopTest);
    QCOMPARE(readUntil(m_fd, StopTestReply, 5000), expected + StopTestReply);
}

void tst_SimulatedModule::replyFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("expected");

    QByteArray badCheck = InitialReply;
    badCheck[ReplySize - 1] = char(badCheck.at(ReplySize - 1) ^ 0xFF);

    QTest::newRow("garbage around the reply")
            << "garbage" << QByteArray::fromHex("00 AA") + InitialReply + QByteArray::fromHex("55");
    QTest::newRow("wrong check byte") << "bad check" << badCheck;
    QTest::newRow("truncated") << "truncate" << InitialReply.left(20);
    QTest::newRow("silent") << "silent" << QByteArray();
}

void tst_SimulatedModule::replyFaults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, expected);

    if (fault == QLatin1String("garbage")) {
        m_module->setGarbageBeforeReply(QByteArray::fromHex("00 AA"));
        m_module->setGarbageAfterReply(QByteArray::fromHex("55"));
    } else if (fault == QLatin1String("bad check")) {
        m_module->setCorruptCheckByte(true);
    } else if (fault == QLatin1String("truncate")) {
        m_module->setTruncateReplyTo(20);
    } else {
        m_module->setSilent(true);
    }
    write(Request);
    // Read more than expected so that anything extra shows; a silent module is given longer
    // than the program's 1000 ms reply wait.
    QCOMPARE(readBytes(m_fd, int(expected.size()) + 1, 1500), expected);
}

void tst_SimulatedModule::splitDeliversPiecesWithGap()
{
    m_module->setReplySplit(3, 150);
    write(Request);
    const QList<Arrival> arrivals = readArrivals(m_fd, ReplySize, 5000);
    QCOMPARE(arrivals.size(), 3);
    QByteArray reply;
    for (const Arrival &a : arrivals)
        reply += a.bytes;
    QCOMPARE(reply, m_module->deviceInfoReply());
    // Measured from the request, which a late reader cannot shorten, unlike a gap between two
    // of its reads.
    QVERIFY2(arrivals.last().atMs >= 2 * 100, QByteArray::number(arrivals.last().atMs));
}

void tst_SimulatedModule::replyDelay()
{
    m_module->setReplyDelayMs(400);
    write(Request);
    const QList<Arrival> arrivals = readArrivals(m_fd, ReplySize, 5000);
    QVERIFY(!arrivals.isEmpty());
    QVERIFY2(arrivals.first().atMs >= 300, QByteArray::number(arrivals.first().atMs));
}

// A restart is a gap: what arrives in it is never answered, and afterwards the module
// answers with the state it had before.
void tst_SimulatedModule::restartIgnoresWhatArrives()
{
    m_module->setRestartOnSave(true);
    m_module->setRestartMs(500);
    write(ModuleCommand::nvWriteFrame(0x0083, 0, QByteArray::fromHex("34 12")));
    QCOMPARE(readBytes(m_fd, 6, 3000), QByteArray::fromHex("FE 01 61 09 00 69"));

    write(ModuleCommand::saveAndRestartFrame() + Request);
    QTest::qWait(100);
    write(Request);
    QCOMPARE(readBytes(m_fd, 1, 1200), QByteArray());
    QCOMPARE(m_module->restartCount(), 1);

    write(Request);
    const QByteArray reply = readBytes(m_fd, ReplySize + 1, 1500);
    QCOMPARE(reply, m_module->deviceInfoReply());
    QCOMPARE(reply.mid(5, 2), QByteArray::fromHex("34 12"));
}

void tst_SimulatedModule::rssiReportsBetweenStartAndStop()
{
    m_module->setRssiReportIntervalMs(100);
    write(QByteArray::fromHex("FE 00 21 16 37"));
    QCOMPARE(readBytes(m_fd, 6, 3000), QByteArray::fromHex("FE 01 61 16 00 76"));
    QVERIFY(m_module->rssiTestRunning());

    const QList<Arrival> reports = readArrivals(m_fd, 16, 3000);
    QCOMPARE(reports.size(), 2);
    for (const Arrival &a : reports) {
        QCOMPARE(a.bytes.size(), 8);
        // Version, customer, channel 15, PAN ID 1A2B.
        QCOMPARE(a.bytes.left(5), QByteArray::fromHex("8B 01 0F 1A 2B"));
    }
    QVERIFY(reports.at(0).bytes.at(5) != reports.at(1).bytes.at(5));

    write(StopTest);
    QVERIFY(readUntil(m_fd, StopTestReply, 3000).endsWith(StopTestReply));
    QVERIFY(!m_module->rssiTestRunning());
    QCOMPARE(readBytes(m_fd, 1, 400), QByteArray());
}

void tst_SimulatedModule::streamPacesAtLineRate()
{
    // 9600 baud, 8N1: 960 bytes a second, never faster. (How close to the line rate it comes
    // on a loaded machine is a benchmark figure.)
    m_module->startStream(9600);
    QElapsedTimer clock;
    clock.start();
    QByteArray bytes = readBytes(m_fd, 480, 5000);
    const qint64 elapsed = clock.elapsed();
    m_module->stopStream();

    QVERIFY2(bytes.size() >= 480, QByteArray::number(bytes.size()));
    QVERIFY2(bytes.size() <= 960 * (elapsed + 100) / 1000, QByteArray::number(elapsed));

    bytes += readBytes(m_fd, int(m_module->streamedBytes() - bytes.size()), 2000);
    QCOMPARE(qint64(bytes.size()), m_module->streamedBytes());
    for (int i = 0; i < bytes.size(); ++i)
        QCOMPARE(quint8(bytes.at(i)), quint8(i));
}

void tst_SimulatedModule::recordsWhatArrives()
{
    QList<QByteArray> signalled;
    connect(m_module.get(), &SimulatedModule::bytesReceived, this,
            [&signalled](const QByteArray &chunk) { signalled.append(chunk); });

    const QByteArray first = QByteArray::fromHex("FE 00 21");
    const QByteArray second = QByteArray::fromHex("15 34");
    write(first);
    QTRY_COMPARE(m_module->received(), first);
    write(second);
    QTRY_COMPARE(m_module->received(), Request);
    QCOMPARE(m_module->receivedChunks(), QList<QByteArray>({ first, second }));
    QTRY_COMPARE(signalled, QList<QByteArray>({ first, second }));
    // A frame split over two reads is still answered.
    QCOMPARE(readBytes(m_fd, ReplySize, 3000), m_module->deviceInfoReply());

    m_module->clearReceived();
    QCOMPARE(m_module->received(), QByteArray());
    QCOMPARE(m_module->receivedChunks(), QList<QByteArray>());
}

// The programs open the line with QSerialPort; it must work through a close and a reopen.
void tst_SimulatedModule::serialPortExchange()
{
    ::close(m_fd);
    m_fd = -1;
    for (int round = 0; round < 2; ++round) {
        QSerialPort port(m_module->devicePath());
        port.setBaudRate(QSerialPort::Baud38400);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.write(Request);
        QVERIFY(port.waitForBytesWritten(1000));
        QByteArray reply;
        while (reply.size() < ReplySize && port.waitForReadyRead(3000))
            reply += port.readAll();
        QCOMPARE(reply, m_module->deviceInfoReply());
        port.close();
    }
}

// After a hang-up the slave side reads end of file and QSerialPort reports a read error,
// as with an unplugged adapter.
void tst_SimulatedModule::hangUpFailsSlaveRead()
{
    QSerialPort port(m_module->devicePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    m_module->hangUp();

    pollfd p { m_fd, POLLIN, 0 };
    QCOMPARE(::poll(&p, 1, 3000), 1);
    QVERIFY(p.revents & POLLHUP);
    char byte = 0;
    QVERIFY(::read(m_fd, &byte, 1) <= 0);

    QVERIFY(!port.waitForReadyRead(3000));
    QVERIFY2(port.error() == QSerialPort::ReadError || port.error() == QSerialPort::ResourceError,
             qPrintable(port.errorString()));
}

QTEST_GUILESS_MAIN(tst_SimulatedModule)
#include "tst_simulatedmodule.moc"
