#include "catalogue.h"
#include "profile.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#    include <sys/stat.h>
#endif

namespace {

const QByteArray Example = R"({
  "format": "cc2530-profile",
  "version": 1,
  "module": { "mac": "00124B0001020304", "firmware": "1.1.1" },
  "parameters": {
    "nodeType": "router", "panId": "1A2B", "shortAddress": "0001", "channel": 15,
    "extendedPanId": "0123456789ABCDEF", "txPowerCode": 53,
    "uartBaudRate": 38400, "uartParity": "none", "uartStopBits": 1, "uartTimeout": 10,
    "sleepMode": "auto", "sleepCycle": 5, "workTime": 0, "workMode": "api",
    "sendMode": "broadcast", "addressEncoding": "hex", "sourceAddressOutput": false,
    "sendAddressMode": "short",
    "pins": { "io1": "level-output", "io2": "none", "io3": "ds18b20", "io4": "none",
              "io5": "none", "io6": "none", "io10": "pwm-output", "io11": "0-5v-input" },
    "destinationAddress": "0000", "autoSendTime": "0000", "pwmDivider": 32, "pwmFrequency": 40000
  }
})";

QByteArray withParameters(const QByteArray &members)
{
    return R"({"format": "cc2530-profile", "version": 1, "parameters": {)" + members + "}}";
}

QStringList keysInOrder(const QByteArray &json)
{
    QStringList keys;
    static const QRegularExpression key(QStringLiteral("\"(\\w+)\":"));
    auto it = key.globalMatch(QString::fromUtf8(json));
    while (it.hasNext())
        keys << it.next().captured(1);
    return keys;
}

} // namespace

class tst_ProfileFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void example();
    void roundTrip_data();
    void roundTrip();
    void refusals_data();
    void refusals();
#ifdef Q_OS_UNIX
    void fifoIsRefused();
#endif
    void setting_data();
    void setting();
    void catalogue();
};

void tst_ProfileFile::example()
{
    QStringList errors;
    const auto profile = ProfileFile::parse(Example, &errors);
    QVERIFY2(profile, qPrintable(errors.join(u'\n')));
    QCOMPARE(profile->keys().size(), ProfileCatalogue::entries().size());
    QCOMPARE(profile->module.mac, "00124B0001020304");
    QCOMPARE(profile->value("pins.io11"), "0-5v-input");
    QCOMPARE(profile->value("sourceAddressOutput"), "false");
    // Written with the example's names in the example's order.
    QCOMPARE(keysInOrder(ProfileFile::write(*profile)), keysInOrder(Example));
}

void tst_ProfileFile::roundTrip_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("key"); // one value to look at after the round trip
    QTest::addColumn<QString>("value");

    QTest::newRow("example") << Example << "pwmFrequency"
                             << "40000";
    QTest::newRow("subset, lower-case hex")
            << withParameters(R"("extendedPanId": "0123456789abcdef", "pins": {"io3": "none"})")
            << "extendedPanId"
            << "0123456789ABCDEF";
    QTest::newRow("no parameters, no module") << withParameters("") << "channel"
                                              << "";
    QTest::newRow("module text is kept") << QByteArray(R"({"format": "cc2530-profile", "version": 1,
                 "module": {"firmware": "1.1.\"x\" 模块"}, "parameters": {"uartTimeout": 255}})")
                                         << "uartTimeout"
                                         << "255";
}

void tst_ProfileFile::roundTrip()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, key);
    QFETCH(QString, value);

    QStringList errors;
    const auto profile = ProfileFile::parse(json, &errors);
    QVERIFY2(profile, qPrintable(errors.join(u'\n')));
    const QByteArray written = ProfileFile::write(*profile);
    const auto again = ProfileFile::parse(written, &errors);
    QVERIFY2(again, qPrintable(errors.join(u'\n') + '\n' + written));
    QCOMPARE(*again, *profile);
    QCOMPARE(ProfileFile::write(*again), written);
    QCOMPARE(again->value(key), value);
}

void tst_ProfileFile::refusals_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("errors");

    const auto row = [](const char *name, const QByteArray &json, const QStringList &errors) {
        QTest::newRow(name) << json << errors;
    };
    row("malformed",
        "{\n  \"format\": \"cc2530-profile\",\n  \"version\": 1\n  \"parameters\": {}\n}",
        { "line 4, column 4: unterminated object" });
    row("malformed after a wide character", "{\"module\": \"模块\" x}",
        { "line 1, column 18: unterminated object" });
    row("not an object", "[1]", { "the profile is not a JSON object" });
    row("empty", " \n", { "empty file, not a profile" });
    row("read's table", "mac\t00124B0001020304\nfirmware\t1.1.1\nnodeType\trouter\tRouter\n",
        { "`read`'s table, not a profile; use `backup` or `read --json`" });
    row("another format", R"({"format": "other", "version": 1, "parameters": {}})",
        { R"(format: "other" is not a module profile; expected "cc2530-profile")" });
    row("newer version", R"({"format": "cc2530-profile", "version": 2, "chanel": 1})",
        { "version: 2 is newer than this program reads (1)" });
    row("no parameters", R"({"format": "cc2530-profile", "version": 1, "parameter": {}})",
        { "parameters: missing", R"(parameter: unknown key; did you mean "parameters"?)" });
    row("unknown key", withParameters(R"("chanel": 15)"),
        { R"(parameters.chanel: unknown key; did you mean "channel"?)" });
    row("unknown pin", withParameters(R"("pins": {"io7": "none"})"),
        { R"(parameters.pins.io7: unknown key; did you mean "io1"?)" });
    row("group key written flat", withParameters(R"("pins.io3": "none")"),
        { R"(parameters.pins.io3: unknown key; did you mean "pins"?)" });
    row("pins not an object", withParameters(R"("pins": [])"),
        { "parameters.pins: expected an object, got a list" });
    row("number as text", withParameters(R"("channel": "15")"),
        { R"(parameters.channel: expected a whole number from 11 to 26, got "15")" });
    row("fraction", withParameters(R"("uartTimeout": 1.5)"),
        { "parameters.uartTimeout: expected a whole number from 0 to 255, got 1.5" });
    row("out of range", withParameters(R"("channel": 27)"),
        { "parameters.channel: 27 is out of range; expected a whole number from 11 to 26" });
    row("word not allowed", withParameters(R"("workMode": "API")"),
        { R"(parameters.workMode: "API" is not allowed; expected one of transparent, api, )"
          R"(modbus, digiapi)" });
    row("boolean as a word", withParameters(R"("sourceAddressOutput": "no")"),
        { R"(parameters.sourceAddressOutput: expected true or false, got "no")" });
    row("hex too short", withParameters(R"("panId": "1A2")"),
        { R"(parameters.panId: "1A2" is not allowed; expected 4 hex digits)" });
    row("pin function not offered", withParameters(R"("pins": {"io1": "4-20ma-input"})"),
        { R"(parameters.pins.io1: this pin does not offer "4-20ma-input"; expected one of none, )"
          R"(switch-input, level-input, level-output, pwm-output, ds18b20, dht21)" });
    row("frequency no divisor reaches", withParameters(R"("pwmFrequency": 488)"),
        { "parameters.pwmFrequency: 488 is out of range; expected a whole number from 489 to "
          "32000000" });
    row("key given twice", withParameters(R"("channel": 15, "workTime": 1, "chan\u006eel": 22)"),
        { "parameters.channel: given more than once" });
    row("given twice at every level",
        R"({"format": "cc2530-profile", "version": 1, "version": 1, "parameters":
            {"pins": {"io3": "none", "io3": "ds18b20"}, "pins": {"io1": "none"}}})",
        { "version: given more than once", "parameters.pins.io3: given more than once",
          "parameters.pins: given more than once" });
    row("every fault is named",
        withParameters(R"("channel": 10, "pins": {"io3": "pwm-output"}, "workTime": -1)"),
        { "parameters.channel: 10 is out of range; expected a whole number from 11 to 26",
          R"(parameters.pins.io3: this pin does not offer "pwm-output"; expected one of none, )"
          R"(switch-input, level-input, level-output, ds18b20, 4-20ma-input, 0-5v-input, dht21)",
          "parameters.workTime: -1 is out of range; expected a whole number from 0 to 255" });
}

void tst_ProfileFile::refusals()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, errors);

    QStringList found;
    QVERIFY(!ProfileFile::parse(json, &found));
    QCOMPARE(found, errors);
}

#ifdef Q_OS_UNIX
// Opening a FIFO for reading waits for a writer.
void tst_ProfileFile::fifoIsRefused()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QStringList errors;
    QVERIFY(!ProfileFile::load(fifo, &errors));
    QCOMPARE(errors, QStringList { "not a regular file" });
}
#endif

void tst_ProfileFile::setting_data()
{
    QTest::addColumn<QString>("text"); // settings separated by "; "
    QTest::addColumn<QString>("expected"); // the canonical settings, or the errors, a line each

    const auto row = [](const char *name, const char *text, const char *expected) {
        QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(expected);
    };
    row("hex", "shortAddress=00a2", "shortAddress=00A2");
    row("pin", "pins.io3=ds18b20", "pins.io3=ds18b20");
    row("number", "channel=20", "channel=20");
    row("boolean", "sourceAddressOutput=true", "sourceAddressOutput=true");
    row("blanks around both", " shortAddress = 0002\t", "shortAddress=0002");
    row("blank after the sign", "nodeType= router", "nodeType=router");
    row("no equals sign", "channel", R"("channel" is not KEY=VALUE)");
    row("unknown key", "pins.io=none", R"(pins.io: unknown key; did you mean "pins.io1"?)");
    row("frequency held as the nearest", "pwmFrequency=30001",
        "pwmFrequency=29990, pwmFrequency: 30001 Hz is stored as 29990 Hz");
    row("not a number", "channel=0x14",
        R"(channel: expected a whole number from 11 to 26, got "0x14")");
    row("a key twice and a fault", "channel=20; panId=12345; channel = 21",
        "panId: \"12345\" is not allowed; expected 4 hex digits\nchannel: given more than once");
}

void tst_ProfileFile::setting()
{
    QFETCH(QString, text);

    QStringList found;
    const auto settings = ProfileFile::parseSettings(text.split(QStringLiteral("; ")), &found);
    QCOMPARE(settings.has_value(), found.isEmpty());
    for (const ProfileFile::Setting &s : settings.value_or(QList<ProfileFile::Setting>()))
        found << s.key + u'=' + s.value + (s.note.isEmpty() ? QString() : ", " + s.note);
    QTEST(found.join(u'\n'), "expected");
}

void tst_ProfileFile::catalogue()
{
    // Every list item has a word of its own, so an item added to a window list without one
    // shows here rather than as a Chinese word in the file.
    static const QRegularExpression word(QStringLiteral("^[a-z0-9-]+$"));
    for (const ProfileCatalogue::Entry &entry : ProfileCatalogue::entries()) {
        QVERIFY2(!entry.label.isEmpty(), qPrintable(entry.key));
        for (const QString &value : entry.values)
            QVERIFY2(word.match(value).hasMatch(), qPrintable(entry.key + ": " + value));
        QCOMPARE(QSet<QString>(entry.values.begin(), entry.values.end()).size(),
                 entry.values.size());
        if (!entry.list.isEmpty()) {
            const qint64 count = entry.values.isEmpty() ? entry.maximum - entry.minimum + 1
                                                        : entry.values.size();
            QCOMPARE(count, entry.list.size() - entry.firstIndex);
        }
    }
}

QTEST_GUILESS_MAIN(tst_ProfileFile)
#include "tst_profilefile.moc"
