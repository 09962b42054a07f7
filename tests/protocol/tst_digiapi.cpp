#include "digiapi.h"

#include <QTest>

class tst_DigiApi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compose_data();
    void compose();
    void dataLimit_data();
    void dataLimit();
};

void tst_DigiApi::compose_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("shortAddress");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("frameText");

    const QString zeroMac = QStringLiteral("0000000000000000");
    const QString broadcast = QStringLiteral("FFFE");

    QTest::newRow("presets, two data bytes") << zeroMac << broadcast << "01 02"
                                             << "FE 0C 21 2E 0000000000000000 FEFF 01 02 01";
    QTest::newRow("presets, no data") << zeroMac << broadcast << ""
                                      << "FE 0A 21 2E 0000000000000000 FEFF  04";
    QTest::newRow("MAC pairs reversed") << "0011223344556677" << broadcast << ""
                                        << "FE 0A 21 2E 7766554433221100 FEFF  04";
    QTest::newRow("all fields set") << "0011223344556677"
                                    << "1234"
                                    << "AA BB CC"
                                    << "FE 0D 21 2E 7766554433221100 3412 AA BB CC F9";
    QTest::newRow("lower case copied as typed") << "00124b0001a2b3c4"
                                                << "abcd"
                                                << "0a 0b"
                                                << "FE 0C 21 2E c4b3a201004b1200 cdab 0a 0b E9";
    // 31 digits: a lone leading digit shifts every byte boundary; the text is not corrected.
    QTest::newRow("odd digit count") << zeroMac << broadcast << "123"
                                     << "FE 0C 21 2E 0000000000000000 FEFF 123 CE";
    QTest::newRow("odd digit count, blanks skipped") << zeroMac << broadcast << "1 23"
                                                     << "FE 0C 21 2E 0000000000000000 FEFF 1 23 CE";
    QTest::newRow("non-hex data copied, not counted")
            << zeroMac << broadcast << "xyz 10"
            << "FE 0B 21 2E 0000000000000000 FEFF xyz 10 15";
    QTest::newRow("short addresses filled with zeros in front")
            << "12AB"
            << "1"
            << "01"
            << "FE 0B 21 2E AB12000000000000 0100 01 BD";
    QTest::newRow("empty addresses") << ""
                                     << ""
                                     << ""
                                     << "FE 0A 21 2E 0000000000000000 0000  05";
    QTest::newRow("characters beyond the fields unused") << "0011223344556677FF"
                                                         << "FFFE12"
                                                         << ""
                                                         << "FE 0A 21 2E 7766554433221100 FEFF  04";
}

void tst_DigiApi::compose()
{
    QFETCH(QString, mac);
    QFETCH(QString, shortAddress);
    QFETCH(QString, data);
    QFETCH(QString, frameText);

    const DigiApi::Composition result = DigiApi::compose(mac, shortAddress, data);
    QVERIFY(result.isComposed());
    QCOMPARE(result.frameText, frameText);
    QVERIFY(result.refusal.isEmpty());
}

void tst_DigiApi::dataLimit_data()
{
    QTest::addColumn<int>("dataBytes");
    QTest::addColumn<QString>("tail");

    QTest::newRow("245 bytes, LEN FF") << 245 << "00 F1";
    QTest::newRow("246 bytes refused") << 246 << "";
    QTest::newRow("300 bytes refused") << 300 << "";
}

void tst_DigiApi::dataLimit()
{
    QFETCH(int, dataBytes);
    QFETCH(QString, tail);

    const QString data = QStringLiteral("00 ").repeated(dataBytes).trimmed();
    const DigiApi::Composition result =
            DigiApi::compose(QStringLiteral("0000000000000000"), QStringLiteral("FFFE"), data);
    if (tail.isEmpty()) {
        QVERIFY(!result.isComposed());
        QVERIFY(result.frameText.isEmpty());
        QVERIFY(result.refusal.contains(QString::number(dataBytes)));
        QVERIFY(result.refusal.contains(QStringLiteral("245")));
    } else {
        QVERIFY(result.isComposed());
        QVERIFY(result.frameText.startsWith(QStringLiteral("FE FF 21 2E ")));
        QVERIFY(result.frameText.endsWith(tail));
    }
}

QTEST_GUILESS_MAIN(tst_DigiApi)
#include "tst_digiapi.moc"
