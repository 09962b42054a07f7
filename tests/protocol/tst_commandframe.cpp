#include "commandframe.h"
#include "framestream.h"
#include "modulecommands.h"

#include <QTest>

class tst_CommandFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void build_data();
    void build();
    void isIntact_data();
    void isIntact();
    void read_data();
    void read();
    void readSplitAtEveryOffset();
    void segments_data();
    void segments();
    void streamCutsAsWhole_data();
    void streamCutsAsWhole();
};

void tst_CommandFrame::build_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("device-info request")
            << ModuleCommand::readDeviceInfoFrame() << QByteArray::fromHex("FE 00 21 15 34");
    QTest::newRow("start rssi test")
            << ModuleCommand::startRssiTestFrame() << QByteArray::fromHex("FE 00 21 16 37");
    QTest::newRow("stop rssi test")
            << ModuleCommand::stopRssiTestFrame() << QByteArray::fromHex("FE 00 21 17 36");
    QTest::newRow("save and restart")
            << ModuleCommand::saveAndRestartFrame() << QByteArray::fromHex("FE 01 41 00 00 40");
    QTest::newRow("clear network") << ModuleCommand::clearNetworkFrame()
                                   << QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");
    QTest::newRow("nv write 0x0403 = 02")
            << ModuleCommand::nvWriteFrame(0x0403, 0, QByteArray::fromHex("02"))
            << QByteArray::fromHex("FE 05 21 09 03 04 00 01 02 29");
    QTest::newRow("nv write 0x0087 = 01 (Router)")
            << ModuleCommand::nvWriteFrame(0x0087, 0, QByteArray::fromHex("01"))
            << QByteArray::fromHex("FE 05 21 09 87 00 00 01 01 AA");
    QTest::newRow("16-bit value low byte first")
            << ModuleCommand::nvWriteFrame(0x0083, 0, QByteArray::fromHex("3412"))
            << QByteArray::fromHex("FE 06 21 09 83 00 00 02 34 12 89");
    for (const int v : { 0x00, 0x35, 0xFF }) {
        QTest::addRow("tx power %02X", v)
                << CommandFrame::build(0x21, 0x14, QByteArray(1, char(v)))
                << QByteArray::fromHex("FE 01 21 14") + char(v) + char(0x34 ^ v);
    }
    QTest::newRow("255-byte payload") << CommandFrame::build(0x21, 0x24, QByteArray(255, '\x01'))
                                      << QByteArray::fromHex("FE FF 21 24")
                    + QByteArray(255, '\x01') + char(0xFF ^ 0x21 ^ 0x24 ^ 0x01);
}

void tst_CommandFrame::build()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    QVERIFY(CommandFrame::isIntact(frame));
}

void tst_CommandFrame::isIntact_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("intact");

    QTest::newRow("request") << QByteArray::fromHex("FE 00 21 15 34") << true;
    QTest::newRow("trailing bytes ignored") << QByteArray::fromHex("FE 00 21 15 34 99 98") << true;
    QTest::newRow("wrong check byte") << QByteArray::fromHex("FE 00 21 15 35") << false;
    QTest::newRow("no start byte") << QByteArray::fromHex("FD 00 21 15 34") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("header only") << QByteArray::fromHex("FE 00 21 15") << false;
    QTest::newRow("LEN beyond the bytes") << QByteArray::fromHex("FE 05 21 09 03 00 00") << false;
    QTest::newRow("LEN 255 over 10 bytes")
            << QByteArray::fromHex("FE FF 21 09 03 00 00 01 02 2D") << false;
    QTest::newRow("clear network truncated by one")
            << QByteArray::fromHex("FE 05 21 09 03 00 00 01 02") << false;
    QTest::newRow("corrupted payload")
            << QByteArray::fromHex("FE 05 21 09 03 00 00 01 03 2D") << false;
}

void tst_CommandFrame::isIntact()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, intact);
    // A copy holding exactly the given bytes, so that a read past the end shows under ASan.
    const QByteArray exact(bytes.constData(), bytes.size());
    QCOMPARE(CommandFrame::isIntact(QByteArrayView(exact.constData(), exact.size())), intact);
}

void tst_CommandFrame::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("intact");

    using R = CommandFrame::Reading;
    QTest::newRow("empty") << QByteArray() << int(R::NotAFrame) << 0 << false;
    QTest::newRow("garbage first")
            << QByteArray::fromHex("00 FE 00 21 15 34") << int(R::NotAFrame) << 0 << false;
    QTest::newRow("start byte only") << QByteArray::fromHex("FE") << int(R::NeedMore) << 0 << false;
    QTest::newRow("LEN 0") << QByteArray::fromHex("FE 00 21 15 34") << int(R::Complete) << 5
                           << true;
    QTest::newRow("LEN 0, bad check")
            << QByteArray::fromHex("FE 00 21 15 35") << int(R::Complete) << 5 << false;
    QTest::newRow("truncated") << QByteArray::fromHex("FE 05 21 09 03 00 00 01 02")
                               << int(R::NeedMore) << 0 << false;
    QTest::newRow("LEN 255 whole") << CommandFrame::build(0x21, 0x24, QByteArray(255, 'x'))
                                   << int(R::Complete) << 260 << true;
    QTest::newRow("LEN 255 over 10 bytes") << QByteArray::fromHex("FE FF 21 09 03 00 00 01 02 2D")
                                           << int(R::NeedMore) << 0 << false;
    QTest::newRow("two frames: the first") << QByteArray::fromHex("FE 00 21 15 34 FE 00 21 16 37")
                                           << int(R::Complete) << 5 << true;
}

void tst_CommandFrame::read()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(int, length);
    QFETCH(bool, intact);
    const QByteArray exact(bytes.constData(), bytes.size());
    const CommandFrame::Reading reading =
            CommandFrame::read(QByteArrayView(exact.constData(), exact.size()));
    QCOMPARE(int(reading.status), status);
    QCOMPARE(reading.length, qsizetype(length));
    QCOMPARE(reading.intact, intact);
}

void tst_CommandFrame::readSplitAtEveryOffset()
{
    const QByteArray frame = QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");
    for (int cut = 1; cut < frame.size(); ++cut) {
        const QByteArray head = frame.first(cut);
        QCOMPARE(int(CommandFrame::read(head).status), int(CommandFrame::Reading::NeedMore));
    }
    const CommandFrame::Reading whole = CommandFrame::read(frame);
    QVERIFY(whole.status == CommandFrame::Reading::Complete && whole.intact);
    QCOMPARE(CommandFrame::payload(frame).toByteArray(), QByteArray::fromHex("03 00 00 01 02"));
    QCOMPARE(CommandFrame::cmd0(frame), quint8(0x21));
    QCOMPARE(CommandFrame::cmd1(frame), quint8(0x09));
}

void tst_CommandFrame::segments_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("expected"); // kind letter and hex per segment

    QTest::newRow("one frame") << QByteArray::fromHex("FE 00 21 15 34") << "F:fe00211534";
    QTest::newRow("two frames") << QByteArray::fromHex("FE 00 21 15 34 FE 00 21 16 37")
                                << "F:fe00211534 F:fe00211637";
    QTest::newRow("garbage around")
            << QByteArray::fromHex("00 11 FE 00 21 15 34 22") << "O:0011 F:fe00211534 O:22";
    QTest::newRow("bad check before a good frame")
            << QByteArray::fromHex("FE 00 21 15 35 FE 00 21 15 34") << "B:fe00211535 F:fe00211534";
    QTest::newRow("truncated frame hides no later frame")
            << QByteArray::fromHex("FE 40 21 09 FE 00 21 15 34") << "O:fe402109 F:fe00211534";
    QTest::newRow("LEN 255 over a good frame")
            << QByteArray::fromHex("FE FF FE 01 61 09 00 69") << "O:feff F:fe0161090069";
    QTest::newRow("truncated at the end")
            << QByteArray::fromHex("FE 00 21 15 34 FE 05 21") << "F:fe00211534 T:fe0521";
}

void tst_CommandFrame::segments()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, expected);
    QStringList found;
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(received);
    for (const CommandFrame::Segment &segment : segments)
        found << QString(QLatin1Char("FBTO"[segment.kind])) + u':'
                        + QString::fromLatin1(segment.bytes.toByteArray().toHex());
    QCOMPARE(found.join(u' '), expected);
}

void tst_CommandFrame::streamCutsAsWhole_data()
{
    segments_data();
    QTest::newRow("frame whose payload holds a frame")
            << CommandFrame::build(0x21, 0x24, QByteArray::fromHex("FE 00 21 15 34")) << QString();
    QTest::newRow("bad check over a frame not yet complete")
            << QByteArray::fromHex("FE 02 21 24 FE 00 21 15 34") << QString();
    QTest::newRow("counting bytes")
            << QByteArray::fromHex("FC FD FE FF 00 01 02") + QByteArray(300, 7) << QString();
}

// Fed in two pieces split anywhere, or byte by byte, the stream gives the pieces of the whole
// (a run of bytes outside frames may come in parts).
void tst_CommandFrame::streamCutsAsWhole()
{
    QFETCH(QByteArray, received);
    const auto text = [](const QList<FrameStream::Piece> &pieces) {
        QStringList out;
        bool afterOther = false;
        for (const FrameStream::Piece &piece : pieces) {
            const QString hex = QString::fromLatin1(piece.bytes.toHex());
            if (afterOther && piece.kind == CommandFrame::Segment::Other)
                out.last() += hex;
            else
                out << QString(QLatin1Char("FBTO"[piece.kind])) + u':' + hex;
            afterOther = piece.kind == CommandFrame::Segment::Other;
        }
        return out.join(u' ');
    };
    QList<FrameStream::Piece> whole;
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(received);
    for (const CommandFrame::Segment &segment : segments)
        whole.append({ segment.kind, segment.bytes.toByteArray() });
    const QString expected = text(whole);
    for (qsizetype split = 0; split <= received.size(); ++split) {
        FrameStream stream;
        QList<FrameStream::Piece> pieces = stream.feed(received.first(split));
        pieces += stream.feed(received.sliced(split));
        QCOMPARE(text(pieces + stream.flush()), expected);
    }
    FrameStream byByte;
    QList<FrameStream::Piece> pieces;
    for (const char byte : received)
        pieces += byByte.feed(QByteArrayView(&byte, 1));
    QCOMPARE(text(pieces + byByte.flush()), expected);
}

QTEST_GUILESS_MAIN(tst_CommandFrame)
#include "tst_commandframe.moc"
