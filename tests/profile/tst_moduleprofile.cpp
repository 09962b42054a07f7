#include "catalogue.h"
#include "commandframe.h"
#include "deviceinfo.h"
#include "moduleprofile.h"

#ifdef HAVE_SIMMODULE
#    include "modulemodel.h"
#endif

#include <QLoggingCategory>
#include <QTest>

#include <algorithm>

using ModuleProfile::ClearNetwork;

namespace {

// The module of the file format's example, by reply offset.
const QByteArray Payload = QByteArray::fromHex("01 2B 1A 01 00 00 80 00 00 01 00 00 00" // 4–16
                                               " 0B 35 02 04 03 02 01 00 4B 12 00" // 17–27
                                               " 00 00 00 FF 00 8B 03" // 28–34
                                               " 04 FF 09 FF FF FF 20 20 03 10 08" // 35–45
                                               " 00 00 00 00 00 00 00" // 46–52
                                               " EF CD AB 89 67 45 23 01"); // 53–60

QByteArray reply(int offset = 4, const QByteArray &bytes = {})
{
    QByteArray payload = Payload;
    payload.replace(offset - 4, bytes.size(), bytes);
    return CommandFrame::build(DeviceInfoReply::Cmd0, DeviceInfoReply::Cmd1, payload);
}

Profile profileOf(const QList<std::pair<QString, QString>> &values)
{
    Profile profile;
    for (const auto &[key, value] : values)
        profile.set(key, value);
    return profile;
}

const QByteArray ClearNetworkFrame = QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");

} // namespace

class tst_ModuleProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fromReply();
    void readings_data();
    void readings();
    void differences();
    void writeFrames_data();
    void writeFrames();
    void clearNetwork_data();
    void clearNetwork();
#ifdef HAVE_SIMMODULE
    void frequencySweep();
#endif
};

void tst_ModuleProfile::fromReply()
{
    // The file format's example but for the UART timeout; sleep cycle 0B loses its odd half.
    const auto expected = ProfileFile::parse(R"({"format": "cc2530-profile", "version": 1,
        "module": {"mac": "00124B0001020304", "firmware": "1.1.1"}, "parameters": {
        "nodeType": "router", "panId": "1A2B", "shortAddress": "0001", "channel": 15,
        "extendedPanId": "0123456789ABCDEF", "txPowerCode": 53, "uartBaudRate": 38400,
        "uartParity": "none", "uartStopBits": 1, "uartTimeout": 255, "sleepMode": "auto",
        "sleepCycle": 5, "workTime": 0, "workMode": "api", "sendMode": "broadcast",
        "addressEncoding": "hex", "sourceAddressOutput": false, "sendAddressMode": "short",
        "pins": {"io1": "level-output", "io2": "none", "io3": "ds18b20", "io4": "none",
                 "io5": "none", "io6": "none", "io10": "pwm-output", "io11": "0-5v-input"},
        "destinationAddress": "0000", "autoSendTime": "0000", "pwmDivider": 32,
        "pwmFrequency": 40000}})",
                                             nullptr);
    QVERIFY(expected);
    QCOMPARE(ProfileFile::write(ModuleProfile::fromReply(reply())), ProfileFile::write(*expected));
}

void tst_ModuleProfile::readings_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // empty: the profile leaves the key out
    QTest::addColumn<QString>("windowText");

    const auto row = [](const char *name, int offset, const char *hex, const char *key,
                        const char *value, const char *windowText) {
        QTest::newRow(name) << offset << QByteArray::fromHex(hex) << QString::fromLatin1(key)
                            << QString::fromLatin1(value) << QString::fromUtf8(windowText);
    };
    row("uart timeout FF", 31, "FF", "uartTimeout", "255", "6");
    row("work time FF", 32, "FF", "workTime", "255", "0");
    row("sleep cycle FF", 17, "FF", "sleepCycle", "127", "0");
    row("sleep cycle FE", 17, "FE", "sleepCycle", "127", "-1");
    row("auto send time erased", 51, "FF FF", "autoSendTime", "FFFF", "0000");
    row("node type beyond the list", 4, "05", "nodeType", "", "");
    row("channel 26", 9, "00 00 00 04", "channel", "26", "0x1A");
    row("channel bit 10", 9, "00 04 00 00", "channel", "", "");
    row("work mode transparent", 34, "FF", "workMode", "transparent", "透传模式");
    row("work mode unknown byte", 34, "02", "workMode", "", "");
    row("send mode 2", 14, "02", "sendMode", "point-to-point", "点对点");
    row("output yes", 13, "02", "sourceAddressOutput", "true", "yes");
    row("pin function not in the list", 40, "10", "pins.io6", "", "无");
    row("pin none", 36, "FF", "pins.io2", "none", "无");
    row("divider 64 shows 1", 41, "40", "pwmDivider", "", "0001");
    row("baud byte 07 shows 38400", 19, "07", "uartBaudRate", "", "38400");
    row("stop bits 01 shows 1", 28, "01", "uartStopBits", "", "1");
    row("output 00 shows no", 13, "00", "sourceAddressOutput", "", "no");
    row("two channel bits", 9, "00 88 00 00", "channel", "", "0x0F");
    row("divisor FFFF: 488 Hz, which no write gives", 42, "FF FF", "pwmFrequency", "", "000001E8");
    row("divisor 0", 42, "00 00", "pwmFrequency", "", "");
}

void tst_ModuleProfile::readings()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, windowText);

    const QByteArray frame = reply(offset, bytes);
    const auto all = ModuleProfile::readings(frame);
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&key](const ModuleProfile::Reading &r) { return r.key == key; });
    QVERIFY(it != all.end());
    QCOMPARE(it->value, value);
    QCOMPARE(it->windowText, windowText);
    const Profile profile = ModuleProfile::fromReply(frame);
    QCOMPARE(profile.contains(key), !value.isEmpty());
    // The bytes, most significant first, where the module holds no value.
    std::reverse(bytes.begin(), bytes.end());
    QCOMPARE(profile.unknown(key),
             value.isEmpty() ? QString::fromLatin1(bytes.toHex().toUpper()) : QString());
}

void tst_ModuleProfile::differences()
{
    // The module's node type is not one the profile can hold.
    const Profile module = ModuleProfile::fromReply(reply(4, QByteArray::fromHex("05")));
    const Profile wanted = profileOf({ { "nodeType", "router" },
                                       { "panId", "1A2B" },
                                       { "channel", "20" },
                                       { "uartTimeout", "255" },
                                       { "pins.io3", "none" } });
    const auto found = ModuleProfile::differences(module, wanted);
    QCOMPARE(found.size(), 3);
    const QStringList expected { "nodeType  router 05", "channel 15 20 ",
                                 "pins.io3 ds18b20 none " };
    for (int i = 0; i < found.size(); ++i) {
        QCOMPARE(found[i].key + u' ' + found[i].moduleValue + u' ' + found[i].wantedValue + u' '
                         + found[i].moduleRaw,
                 expected[i]);
    }
}

void tst_ModuleProfile::writeFrames_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("frames"); // all the plan sends, in order

    const auto row = [](const char *key, const char *value, const char *hex) {
        QTest::addRow("%s %s", key, value) << QString::fromLatin1(key) << QString::fromLatin1(value)
                                           << QByteArray::fromHex(hex);
    };
    row("nodeType", "coordinator", "FE 05 21 09 87 00 00 01 00 AB FE 05 21 09 03 00 00 01 02 2D");
    row("panId", "1A2B", "FE 06 21 09 83 00 00 02 2B 1A 9E FE 05 21 09 03 00 00 01 02 2D");
    row("channel", "20", "FE 08 21 09 84 00 00 04 00 00 10 00 B0 FE 05 21 09 03 00 00 01 02 2D");
    row("extendedPanId", "0123456789ABCDEF", "FE 0C 21 09 47 00 00 08 EF CD AB 89 67 45 23 01 6B");
    row("txPowerCode", "53", "FE 01 21 14 35 01");
    row("uartBaudRate", "115200", "FE 05 21 09 0B 04 00 01 04 27");
    row("uartStopBits", "2", "FE 05 21 09 0F 04 00 01 04 23");
    row("uartTimeout", "255", "FE 05 21 09 13 04 00 01 FF C4");
    row("sleepCycle", "127", "FE 05 21 09 2B 00 00 01 FE F9");
    row("workMode", "transparent", "FE 05 21 09 16 04 00 01 FF C1");
    row("sourceAddressOutput", "false", "FE 05 21 09 0E 04 00 01 01 27");
    row("pins.io3", "ds18b20", "FE 05 21 09 16 04 03 01 09 34");
    row("pins.io11", "0-5v-input", "FE 05 21 09 16 04 0B 01 08 3D");
    row("autoSendTime", "FFFF", "FE 06 21 09 18 04 00 02 FF FF 30");
    row("pwmDivider", "128", "FE 05 21 09 05 04 00 01 80 AD");
    row("pwmFrequency", "40000", "FE 04 21 2B 40 9C 00 00 D2");
    row("pwmFrequency", "32000000", "FE 04 21 2B 00 48 E8 01 AF"); // an odd digit count
}

void tst_ModuleProfile::writeFrames()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, frames);

    const auto plan = ModuleProfile::writePlan(
            ModuleProfile::differences(Profile(), profileOf({ { key, value } })),
            ClearNetwork::AfterEach);
    QByteArray sent;
    for (const auto &step : plan)
        sent += step.frame;
    QCOMPARE(sent.toHex(' '), frames.toHex(' '));
}

void tst_ModuleProfile::clearNetwork_data()
{
    QTest::addColumn<ClearNetwork>("clear");
    QTest::addColumn<QStringList>("steps"); // key, or "clear" for the clear-network frame

    QTest::newRow("after each") << ClearNetwork::AfterEach
                                << QStringList { "nodeType", "clear", "shortAddress",
                                                 "channel",  "clear", "workTime" };
    QTest::newRow("once at end") << ClearNetwork::OnceAtEnd
                                 << QStringList { "nodeType", "shortAddress", "channel", "workTime",
                                                  "clear" };
}

void tst_ModuleProfile::clearNetwork()
{
    QFETCH(ClearNetwork, clear);
    QFETCH(QStringList, steps);

    // Given out of catalogue order.
    const QList<ModuleProfile::Difference> differences {
        { "workTime", "0", "9" },
        { "channel", "15", "20" },
        { "shortAddress", "0001", "0002" },
        { "nodeType", "router", "enddevice" },
    };
    QStringList found;
    for (const auto &step : ModuleProfile::writePlan(differences, clear)) {
        found << (step.key.isEmpty() ? QStringLiteral("clear") : step.key);
        QCOMPARE(step.changesNetwork,
                 step.key.isEmpty() || step.key == "nodeType" || step.key == "channel");
        if (step.key.isEmpty())
            QCOMPARE(step.frame, ClearNetworkFrame);
    }
    QCOMPARE(found, steps);
    QCOMPARE(ModuleProfile::writePlan(differences.mid(0, 1), clear).size(), 1);
}

#ifdef HAVE_SIMMODULE
// Every divisor read from the simulated module, written back as read and read again; then a
// dense sample of frequencies, each of which must be stored as the nearest of those values.
void tst_ModuleProfile::frequencySweep()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); // the frame's line
    const ProfileCatalogue::Entry &entry = *ProfileCatalogue::find("pwmFrequency");
    ModuleModel module;
    const auto read = [&module] {
        return ModuleProfile::fromReply(module.deviceInfoReply()).value("pwmFrequency");
    };
    QList<qint64> held; // ascending
    for (int divisor = 0xFFFF; divisor >= 1; --divisor) {
        module.setFrequencyDivisor(quint16(divisor));
        const QString value = read();
        if (value.isEmpty() || (!held.isEmpty() && held.last() == value.toLongLong()))
            continue;
        module.setFrequencyDivisor(0);
        module.handle(ProfileCatalogue::frame(entry, value));
        QCOMPARE(read(), value);
        held << value.toLongLong();
    }
    for (qint64 f = held.first() - 1; f <= held.last(); f += f < 70000 ? 1 : 7919) {
        QString note;
        const auto stored = ProfileCatalogue::check(entry, QJsonValue(f), "f", nullptr, &note);
        QCOMPARE(stored.has_value(), f >= held.first());
        if (!stored)
            continue;
        const auto above = std::lower_bound(held.begin(), held.end(), f);
        const qint64 nearest = std::min(*above - f, above == held.begin() ? f : f - above[-1]);
        QVERIFY(std::binary_search(held.begin(), held.end(), stored->toLongLong()));
        QCOMPARE(std::abs(stored->toLongLong() - f), nearest);
        QCOMPARE(note.isEmpty(), stored->toLongLong() == f);
    }
    QVERIFY(!ProfileCatalogue::check(entry, QJsonValue(held.last() + 1), "f", nullptr));
}
#endif

QTEST_GUILESS_MAIN(tst_ModuleProfile)
#include "tst_moduleprofile.moc"
