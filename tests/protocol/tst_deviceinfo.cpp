#include "commandframe.h"
#include "deviceinfo.h"

#include <QStringList>
#include "debugcapture.h"

#include <QTest>

using DeviceInfoReply::DeviceInfo;

namespace {

// A reply with every field set to something recognisable, worked out by hand below.
const QByteArray FullReply =
        QByteArray::fromHex("FE 39 61 08"
                            " 01 34 12 CD AB 00 88 00 00 02 02 01 01 0B 95 04" // offsets 4–19
                            " 01 02 03 04 05 06 07 08 04 02 01 0A 1E 8B 03" // 20–34
                            " 10 08 09 05 0B 10 20 20 03 0B 05 AA BB CC" // 35–48
                            " 02 01 FF 00 11 22 33 44 55 66 77 88" // 49–60
                            " 3B");

// The full reply with the bytes at offset replaced and the check byte made right again.
QByteArray patched(int offset, const QByteArray &bytes)
{
    QByteArray payload = FullReply.mid(4, FullReply.size() - 5);
    payload.replace(offset - 4, bytes.size(), bytes);
    return CommandFrame::build(DeviceInfoReply::Cmd0, DeviceInfoReply::Cmd1, payload);
}

QByteArray withNetId(const QByteArray &lowHigh)
{
    return patched(5, lowHigh);
}

QByteArray withBadCheckByte(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame.back() ^ 0x01);
    return frame;
}

// Every field of a decoded reply by its widget's name, indexes as numbers.
QMap<QString, QString> fields(const DeviceInfo &info)
{
    const auto n = [](int value) { return QString::number(value); };
    return {
        { "NodeType", n(info.nodeTypeIndex) },
        { "NetId", info.netId },
        { "ShortAddr", info.shortAddr },
        { "channelBit", info.channelBit ? n(*info.channelBit) : QStringLiteral("none") },
        { "OutPut", n(info.outPutIndex) },
        { "SendMode", n(info.sendModeIndex) },
        { "AddrMode", n(info.addrModeIndex) },
        { "SendAddrMode", n(info.sendAddrModeIndex) },
        { "SlpCycle", info.slpCycle },
        { "TxPower", info.txPower },
        { "baudRateBox", n(info.baudRateIndex) },
        { "MACAddr", info.macAddr },
        { "stopBitsBox", n(info.stopBitsIndex) },
        { "ParityBox", n(info.parityIndex) },
        { "sleepMode", n(info.sleepModeIndex) },
        { "UartTimeout", info.uartTimeout },
        { "workTimeOut", info.workTimeOut },
        { "version", info.version },
        { "workModeByte", n(info.workMode) },
        { "io1Code", n(info.io1Code) },
        { "IO_1", n(info.io1Index) },
        { "IO_2", n(info.io2Index) },
        { "IO_3", n(info.io3Index) },
        { "IO_4", n(info.io4Index) },
        { "IO_5", n(info.io5Index) },
        { "IO_6", n(info.io6Index) },
        { "io_10", n(info.io10Index) },
        { "io_11", n(info.io11Index) },
        { "Divider", info.divider },
        { "frequency", info.frequency ? n(int(*info.frequency)) : QStringLiteral("none") },
        { "Frequency", info.frequencyText },
        { "DesAddr", info.desAddr },
        { "AutoSendTimeOut", info.autoSendTimeOut },
        { "ExtPanID", info.extPanId },
    };
}

} // namespace

class tst_DeviceInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullReply();
    void fields_data();
    void fields();
    void txPowerTable_data();
    void txPowerTable();
    void workModeIndex_data();
    void workModeIndex();
    void scan_data();
    void scan();
};

void tst_DeviceInfo::fullReply()
{
    QVERIFY(CommandFrame::isIntact(FullReply));
    const auto info = DeviceInfoReply::scan(FullReply);
    QVERIFY(info);
    const QMap<QString, QString> expected {
        { "NodeType", "2" }, // 01 Router
        { "NetId", "1234" }, // 34 12
        { "ShortAddr", "ABCD" }, // CD AB
        { "channelBit", "15" }, // 00 88 00 00: bits 11 and 15
        { "OutPut", "2" }, // 02 yes
        { "SendMode", "3" }, // 02 点对点
        { "AddrMode", "2" }, // 01 ASCII
        { "SendAddrMode", "2" }, // 01 长地址
        { "SlpCycle", "5" }, // 0B halved
        { "TxPower", "19" }, // 95, variant column
        { "baudRateBox", "5" }, // 04 115200
        { "MACAddr", "0807060504030201" }, // offset 27 first
        { "stopBitsBox", "2" }, // 04
        { "ParityBox", "3" }, // 02 偶校验
        { "sleepMode", "2" }, // 01 IO控制休眠
        { "UartTimeout", "10" }, // 0A
        { "workTimeOut", "30" }, // 1E
        { "version", "1.1.1" }, // 8B
        { "workModeByte", "3" }, // API模式
        { "io1Code", "16" }, // 10
        { "IO_1", "4" }, // PWM输出 in list 1
        { "IO_2", "7" }, // 08 0-5V输入 in list 2
        { "IO_3", "4" }, // 09 DS18B20 in list 3
        { "IO_4", "5" }, // 05 4-20MA输入
        { "IO_5", "7" }, // 0B DHT21
        { "IO_6", "0" }, // 10 PWM: not in list 3
        { "io_10", "6" }, // 0B DHT21 in list 1
        { "io_11", "6" }, // 05 4-20MA输入 in list 2
        { "Divider", "0032" }, // 20
        { "frequency", "40000" }, // 32 000 000 / 800 (20 03)
        { "Frequency", "00009C40" },
        { "DesAddr", "0102" }, // 02 01
        { "AutoSendTimeOut", "00FF" }, // FF 00
        { "ExtPanID", "8877665544332211" }, // offset 60 first
    };
    QCOMPARE(::fields(*info), expected);
}

void tst_DeviceInfo::fields_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, int offset, const char *hex, const char *field,
                        const char *expected) {
        QTest::newRow(name) << offset << QByteArray::fromHex(hex) << QString::fromUtf8(field)
                            << QString::fromUtf8(expected);
    };
    row("node type coordinator", 4, "00", "NodeType", "1");
    row("node type enddevice", 4, "02", "NodeType", "3");
    row("node type -1 is the empty item", 4, "FF", "NodeType", "0");
    row("node type 5 beyond the list", 4, "05", "NodeType", "6");
    row("node type signed", 4, "80", "NodeType", "-127");

    row("channel 0x0B", 9, "00 08 00 00", "channelBit", "11");
    row("channel 0x1A", 9, "00 00 00 04", "channelBit", "26");
    row("channel highest bit wins", 9, "00 88 00 00", "channelBit", "15");
    row("channel mask zero", 9, "00 00 00 00", "channelBit", "none");
    row("channel bit 0", 9, "01 00 00 00", "channelBit", "0");
    row("channel bit 31", 9, "00 00 00 80", "channelBit", "31");

    row("output 2 yes", 13, "02", "OutPut", "2");
    row("output 0 no", 13, "00", "OutPut", "1");
    row("output 3 no", 13, "03", "OutPut", "1");
    row("send mode 0", 14, "00", "SendMode", "1");
    row("send mode 1", 14, "01", "SendMode", "2");
    row("send mode 3", 14, "03", "SendMode", "1");
    row("addr mode 0", 15, "00", "AddrMode", "1");
    row("addr mode 2", 15, "02", "AddrMode", "1");
    row("send addr mode 0", 16, "00", "SendAddrMode", "1");

    row("sleep cycle 0B", 17, "0B", "SlpCycle", "5");
    row("sleep cycle FF truncates to 0", 17, "FF", "SlpCycle", "0");
    row("sleep cycle FE", 17, "FE", "SlpCycle", "-1");
    row("sleep cycle 80", 17, "80", "SlpCycle", "-64");

    row("tx power plain column", 33, "0B", "TxPower", "-4");
    row("tx power unknown code, variant", 18, "00", "TxPower", "20");

    row("baud 0", 19, "00", "baudRateBox", "1");
    row("baud 07 gives 38400", 19, "07", "baudRateBox", "3");
    row("baud FF gives 38400", 19, "FF", "baudRateBox", "3");

    row("stop bits 2", 28, "02", "stopBitsBox", "1");
    row("parity 1", 29, "01", "ParityBox", "2");
    row("parity 3", 29, "03", "ParityBox", "1");
    row("sleep mode 0", 30, "00", "sleepMode", "1");
    row("sleep mode 7", 30, "07", "sleepMode", "2");

    row("uart timeout FF", 31, "FF", "UartTimeout", "6");
    row("uart timeout 80", 31, "80", "UartTimeout", "-128");
    row("uart timeout 7F", 31, "7F", "UartTimeout", "127");
    row("uart timeout FE", 31, "FE", "UartTimeout", "-2");
    row("work time FF", 32, "FF", "workTimeOut", "0");
    row("work time 80", 32, "80", "workTimeOut", "-128");

    row("version 0B", 33, "0B", "version", "1.1.0");
    row("version 7F", 33, "7F", "version", "12.7.0");
    row("version FF", 33, "FF", "version", "12.7.1");
    row("version 00", 33, "00", "version", "0.0.0");

    row("IO_1 switch input", 35, "00", "IO_1", "1");
    row("IO_1 4-20MA not offered", 35, "05", "IO_1", "0");
    row("IO_1 unknown code", 35, "07", "IO_1", "0");
    row("IO_1 FF", 35, "FF", "IO_1", "0");
    row("IO_2 PWM", 36, "10", "IO_2", "4");
    row("IO_2 DHT21", 36, "0B", "IO_2", "8");
    row("IO_3 output", 37, "04", "IO_3", "3");
    row("IO_6 0-5V", 40, "08", "IO_6", "6");
    row("io_10 PWM", 44, "10", "io_10", "4");
    row("io_10 0-5V not offered", 44, "08", "io_10", "0");
    row("io_11 0-5V", 45, "08", "io_11", "7");

    row("divider 8", 41, "08", "Divider", "0008");
    row("divider 128", 41, "80", "Divider", "0128");
    row("divider 1", 41, "01", "Divider", "0001");
    row("divider 0", 41, "00", "Divider", "0001");
    row("divider 64", 41, "40", "Divider", "0001");

    row("frequency divisor 1", 42, "01 00", "Frequency", "01E84800");
    row("frequency divisor 800", 42, "20 03", "Frequency", "00009C40");
    row("frequency divisor FFFF", 42, "FF FF", "Frequency", "000001E8");
    row("frequency divisor 0", 42, "00 00", "Frequency", "");
    row("frequency divisor 0, no number", 42, "00 00", "frequency", "none");

    row("auto send FF FF", 51, "FF FF", "AutoSendTimeOut", "0000");
    row("auto send 00 FF", 51, "00 FF", "AutoSendTimeOut", "FF00");
    row("auto send FE FF", 51, "FE FF", "AutoSendTimeOut", "FFFE");
}

void tst_DeviceInfo::fields()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    const auto info = DeviceInfoReply::scan(patched(offset, bytes));
    QVERIFY(info);
    const auto all = ::fields(*info);
    QVERIFY2(all.contains(field), qPrintable(field));
    QCOMPARE(all.value(field), expected);
}

void tst_DeviceInfo::txPowerTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("plain");

    const char *const rows[][3] = {
        { "15", "11", "-22" }, { "25", "12", "-22" }, { "35", "13", "-17" }, { "45", "14", "-15" },
        { "55", "15", "-13" }, { "65", "16", "-11" }, { "75", "17", "-9" },  { "85", "18", "-6" },
        { "95", "19", "-4" },  { "A5", "20", "-3" },  { "B5", "17", "-2" },  { "C5", "18", "-1" },
        { "D5", "19", "1" },   { "E5", "20", "3" },   { "F5", "21", "3.5" }, { "00", "20", "3.5" },
        { "05", "20", "3.5" }, { "16", "20", "3.5" }, { "FF", "20", "3.5" },
    };
    for (const auto &r : rows) {
        QTest::addRow("code %s", r[0]) << QByteArray(r[0]).toInt(nullptr, 16)
                                       << QString::fromLatin1(r[1]) << QString::fromLatin1(r[2]);
    }
}

void tst_DeviceInfo::txPowerTable()
{
    QFETCH(int, code);
    QFETCH(QString, variant);
    QFETCH(QString, plain);
    QCOMPARE(DeviceInfoReply::txPowerText(quint8(code), true), variant);
    QCOMPARE(DeviceInfoReply::txPowerText(quint8(code), false), plain);
}

void tst_DeviceInfo::workModeIndex_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("index"); // -1: no item

    QTest::newRow("FF transparent") << 0xFF << 1;
    QTest::newRow("3 API") << 3 << 2;
    QTest::newRow("4 MODBUS") << 4 << 3;
    QTest::newRow("5 DigiAPI") << 5 << 4;
    QTest::newRow("2 keeps") << 2 << -1;
    QTest::newRow("0 keeps") << 0 << -1;
    QTest::newRow("6 keeps") << 6 << -1;
}

void tst_DeviceInfo::workModeIndex()
{
    QFETCH(int, code);
    QFETCH(int, index);
    QCOMPARE(DeviceInfoReply::workModeIndex(quint8(code)).value_or(-1), index);
}

void tst_DeviceInfo::scan_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("netId"); // of the accepted reply; empty: none accepted

    const QByteArray a = withNetId(QByteArray::fromHex("01 AA"));
    const QByteArray b = withNetId(QByteArray::fromHex("02 BB"));
    const QString ok = QStringLiteral("校验正确");
    const QString invalid = QStringLiteral("无效数据");
    const QString badCheck = QStringLiteral("校验错误");
    // Answer to an NV write: SRSP 0x61 0x09, status 0.
    const QByteArray writeReply = QByteArray::fromHex("FE 01 61 09 00 69");

    QTest::newRow("nothing") << QByteArray() << QStringList { "无数据返回" } << QString();
    QTest::newRow("no start byte")
            << QByteArray::fromHex("00 11 22 FD") << QStringList() << QString();
    QTest::newRow("reply alone") << a << QStringList { ok } << "AA01";
    QTest::newRow("garbage before")
            << QByteArray::fromHex("00 11 FD 7E") + a << QStringList { ok } << "AA01";
    QTest::newRow("garbage with a start byte before")
            << QByteArray::fromHex("00 FE 11 22 33 44 55 66 77") + a << QStringList { invalid, ok }
            << "AA01";
    QTest::newRow("garbage after")
            << a + QByteArray::fromHex("FE 12 34") << QStringList { ok } << "AA01";
    QTest::newRow("bad check byte, then a good reply")
            << withBadCheckByte(a) + b << QStringList { badCheck, ok } << "BB02";
    QTest::newRow("two replies: the first is taken") << a + b << QStringList { ok } << "AA01";
    QTest::newRow("reply to a write") << writeReply << QStringList { invalid } << QString();
    QTest::newRow("reply to a write, then device info")
            << writeReply + a << QStringList { invalid, ok } << "AA01";
    QTest::newRow("header only") << QByteArray::fromHex("FE 39 61 08") << QStringList { invalid }
                                 << QString();
    QTest::newRow("start byte last")
            << QByteArray::fromHex("00 FE") << QStringList { invalid } << QString();
    QTest::newRow("truncated to 40 bytes") << a.left(40) << QStringList { invalid } << QString();
    QTest::newRow("truncated by one") << a.chopped(1) << QStringList { invalid } << QString();
    // The cut reply's LEN reaches into the whole one: its check byte fails, the next is taken.
    QTest::newRow("truncated, then whole")
            << a.left(30) + b << QStringList { badCheck, ok } << "BB02";
    {
        QByteArray shortPayload = a.mid(4, 56);
        QTest::newRow("LEN 56 too small for the fields")
                << CommandFrame::build(0x61, 0x08, shortPayload) << QStringList { invalid }
                << QString();
    }
    {
        QByteArray longPayload = a.mid(4, 57) + QByteArray::fromHex("01 02 03");
        QTest::newRow("LEN 60 with bytes after the fields")
                << CommandFrame::build(0x61, 0x08, longPayload) << QStringList { ok } << "AA01";
    }
    QTest::newRow("LEN FF over a short buffer")
            << QByteArray::fromHex("FE FF 61 08 00 00 00 00 00 00") << QStringList { invalid }
            << QString();
}

void tst_DeviceInfo::scan()
{
    QFETCH(QByteArray, received);
    QFETCH(QStringList, lines);
    QFETCH(QString, netId);

    // Exactly the received bytes, so that a read past the end shows under ASan.
    const QByteArray exact(received.constData(), received.size());
    std::optional<DeviceInfo> info;
    QStringList printed;
    {
        DebugCapture capture;
        info = DeviceInfoReply::scan(QByteArrayView(exact.constData(), exact.size()));
        printed = capture.lines;
    }
    QCOMPARE(printed, lines);
    QCOMPARE(info.has_value(), !netId.isEmpty());
    if (info)
        QCOMPARE(info->netId, netId);
}

QTEST_GUILESS_MAIN(tst_DeviceInfo)
#include "tst_deviceinfo.moc"
