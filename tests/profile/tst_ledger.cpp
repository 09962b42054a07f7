#include "ledger.h"

#include <QTest>

class tst_Ledger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAsSpreadsheetsWrite_data();
    void readsAsSpreadsheetsWrite();
    void refusals_data();
    void refusals();
    void assignment_data();
    void assignment();
};

void tst_Ledger::readsAsSpreadsheetsWrite_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("note"); // the coordinator's, in a column of the user's own

    QTest::newRow("written by the station")
            << QByteArray("mac,nodeType,shortAddress,status,port,time\r\n"
                          "00124B0001020304,coordinator,0000,,,\r\n"
                          "00124B0001020305,router,0010,\"failed: panId, channel\",/dev/ttyUSB1,"
                          "2026-01-02T03:04:05Z\r\n")
            << QString();
    // Another column order, a column of the user's own with a comma, doubled quotes and a line
    // break in a field, a byte-order mark, lower-case hex, an empty row, LF in one place.
    QTest::newRow("saved by a spreadsheet")
            << QByteArray("\xEF\xBB\xBFnote,status,shortAddress,mac,nodeType\r\n"
                          "\"desk 1, \"\"left\"\"\nshelf\",,0000,00124b0001020304,coordinator\r\n"
                          ",,,,\r\n"
                          ",\"failed: panId, channel\",0010,00124B0001020305,router\n")
            << "desk 1, \"left\"\nshelf";
}

void tst_Ledger::readsAsSpreadsheetsWrite()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, note);

    QString error;
    auto ledger = Ledger::parse(csv, &error);
    QVERIFY2(ledger, qPrintable(error));
    QCOMPARE(ledger->check({ QStringLiteral("shortAddress") }), QStringList());
    QCOMPARE(ledger->rowCount(), 2);
    const qsizetype coordinator = ledger->findMac(QStringLiteral("00124b0001020304"));
    QCOMPARE(ledger->value(coordinator, QStringLiteral("mac")), "00124B0001020304");
    QCOMPARE(ledger->value(coordinator, QStringLiteral("shortAddress")), "0000");
    QCOMPARE(ledger->value(coordinator, QStringLiteral("note")), note);
    QCOMPARE(ledger->parameters(coordinator).value(QStringLiteral("nodeType")), "coordinator");
    QCOMPARE(ledger->value(1, QStringLiteral("status")), "failed: panId, channel");
    QCOMPARE(
            ledger->values(QStringLiteral("shortAddress"),
                           ledger->rowsWhere(QStringLiteral("nodeType"), QStringLiteral("Router"))),
            QStringList { "0010" });

    // Written back: the same table, its columns in their order, the mark kept; a new
    // parameter column goes before the status.
    const qsizetype added = ledger->appendRow(QStringLiteral("00124B0001020306"));
    ledger->setValue(added, QStringLiteral("channel"), QStringLiteral("20"));
    const QByteArray written = ledger->toCsv();
    QCOMPARE(written.startsWith("\xEF\xBB\xBF"), csv.startsWith("\xEF\xBB\xBF"));
    const auto again = Ledger::parse(written, &error);
    QVERIFY2(again, qPrintable(error));
    QCOMPARE(again->columns(), ledger->columns());
    QCOMPARE(again->columns().indexOf("channel") + 1, again->columns().indexOf("status"));
    for (qsizetype row = 0; row < ledger->rowCount(); ++row) {
        for (const QString &column : ledger->columns())
            QCOMPARE(again->value(row, column), ledger->value(row, column));
    }
}

void tst_Ledger::refusals_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("fault");

    QTest::newRow("no mac column") << QByteArray("address,status\r\n") << "no column mac";
    QTest::newRow("a column twice") << QByteArray("mac,status,mac\r\n") << "column mac twice";
    QTest::newRow("more fields than columns")
            << QByteArray("mac,status\r\n00124B0001020304,,x\r\n") << "row 2: more fields";
    QTest::newRow("quote left open")
            << QByteArray("mac,status\r\n00124B0001020304,\"verified\r\n") << "not closed";
    QTest::newRow("MAC too short")
            << QByteArray("mac,status\r\n00124B00010203,\r\n") << "row 2: mac: \"00124B00010203\"";
    QTest::newRow("MAC in two rows")
            << QByteArray("mac\r\n00124B0001020304\r\n00124b0001020304\r\n")
            << "row 3: mac 00124B0001020304 is in row 2";
    QTest::newRow("refused value")
            << QByteArray("mac,status,shortAddress\r\n00124B0001020304,,12345\r\n")
            << "row 2 (00124B0001020304): shortAddress: \"12345\" is not allowed";
    QTest::newRow("one address for two modules")
            << QByteArray("mac,shortAddress\r\n00124B0001020304,0010\r\n00124B0001020305,0010\r\n")
            << "rows 2 and 3 both hold shortAddress 0010";
}

void tst_Ledger::refusals()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, fault);

    QString error;
    auto ledger = Ledger::parse(csv, &error);
    if (ledger)
        error = ledger->check({ QStringLiteral("shortAddress") }).join(u'\n');
    QVERIFY2(error.contains(fault), qPrintable(error));
}

void tst_Ledger::assignment_data()
{
    QTest::addColumn<QString>("held"); // shortAddress;channel;uartBaudRate per row
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("result"); // the value, "none", or the refusal

    QTest::newRow("hex: the lowest free") << "0010;;|0011;;"
                                          << "shortAddress=0010..00FF"
                                          << "0012";
    QTest::newRow("hex: a gap is filled") << "0010;;|0012;;"
                                          << "shortAddress=0010..00ff"
                                          << "0011";
    QTest::newRow("hex: counts past 9") << "0009;;"
                                        << "shortAddress=0009..000A"
                                        << "000A";
    QTest::newRow("decimal") << ";11;|;12;"
                             << "channel=11..26"
                             << "13";
    QTest::newRow("decimal: only the values the key allows") << ";;9600"
                                                             << "uartBaudRate=9600..115200"
                                                             << "19200";
    QTest::newRow("exhausted") << "0010;;|0011;;"
                               << "shortAddress=0010..0011"
                               << "none";
    QTest::newRow("words") << ""
                           << "nodeType=coordinator..router"
                           << "words, not numbers";
    QTest::newRow("first above last") << ""
                                      << "channel=20..12"
                                      << "20 is above the last 12";
    QTest::newRow("bound not allowed") << ""
                                       << "channel=10..12"
                                       << "channel: 10 is out of range";
    QTest::newRow("unknown key") << ""
                                 << "shortAdress=0001..0002"
                                 << "did you mean";
    QTest::newRow("no range") << ""
                              << "shortAddress=0010"
                              << "is not KEY=FIRST..LAST";
}

void tst_Ledger::assignment()
{
    QFETCH(QString, held);
    QFETCH(QString, range);
    QFETCH(QString, result);

    Ledger ledger;
    const QStringList keys { "shortAddress", "channel", "uartBaudRate" };
    for (const QString &row : held.split(u'|', Qt::SkipEmptyParts)) {
        const qsizetype r = ledger.appendRow(
                QStringLiteral("00124B00010203%1").arg(ledger.rowCount(), 2, 10, QLatin1Char('0')));
        for (int k = 0; k < keys.size(); ++k)
            ledger.setValue(r, keys[k], row.section(u';', k, k));
    }
    QString error;
    const auto parsed = Ledger::parseRange(range, &error);
    if (!parsed) {
        QVERIFY2(error.contains(result), qPrintable(error));
        return;
    }
    QCOMPARE(ledger.lowestFree(*parsed).value_or(QStringLiteral("none")), result);
}

QTEST_GUILESS_MAIN(tst_Ledger)
#include "tst_ledger.moc"
