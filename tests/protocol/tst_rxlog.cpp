#include "rxlog.h"

#include <QTest>

class tst_RxLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeStamp_data();
    void timeStamp();
    void rssiReportLine_data();
    void rssiReportLine();
    void dumpLine_data();
    void dumpLine();
};

void tst_RxLog::timeStamp_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");

    QTest::newRow("afternoon, 24-hour clock") << QTime(14, 5, 9) << "14:05:09";
    QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00";
    QTest::newRow("last second") << QTime(23, 59, 59, 999) << "23:59:59";
}

void tst_RxLog::timeStamp()
{
    QFETCH(QTime, time);
    QFETCH(QString, text);
    QCOMPARE(RxLog::timeStamp(time), text);
}

void tst_RxLog::rssiReportLine_data()
{
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QString>("line");

    const QString head = QStringLiteral(
            "14:05:09软件版本：01  客户：02  频点：0B  PAN ID：3412  序列号：05  TxRSSI：");
    QTest::newRow("typical report") << QByteArray::fromHex("01 02 0B 34 12 05 D2 C8")
                                    << head + QStringLiteral("-45  RxRSSI：-55");
    QTest::newRow("7F wraps to -128") << QByteArray::fromHex("01 02 0B 34 12 05 7F 7F")
                                      << head + QStringLiteral("-128  RxRSSI：-128");
    QTest::newRow("FF shows 00") << QByteArray::fromHex("01 02 0B 34 12 05 FF FF")
                                 << head + QStringLiteral("00  RxRSSI：00");
    QTest::newRow("FA shows -5, single digit") << QByteArray::fromHex("01 02 0B 34 12 05 FA FA")
                                               << head + QStringLiteral("-5  RxRSSI：-5");
    QTest::newRow("04 shows 05, zero-padded") << QByteArray::fromHex("01 02 0B 34 12 05 04 63")
                                              << head + QStringLiteral("05  RxRSSI：100");
    QTest::newRow("upper-case hex fields")
            << QByteArray::fromHex("AB CD EF 00 FF 9A 00 00")
            << QStringLiteral("14:05:09软件版本：AB  客户：CD  频点：EF  PAN ID：00FF  序列号：9A"
                              "  TxRSSI：01  RxRSSI：01");
}

void tst_RxLog::rssiReportLine()
{
    QFETCH(QByteArray, report);
    QFETCH(QString, line);
    const QByteArray exact(report.constData(), report.size());
    QCOMPARE(RxLog::rssiReportLine(QTime(14, 5, 9), exact), line);
}

void tst_RxLog::dumpLine_data()
{
    QTest::addColumn<QByteArray>("delivery");
    QTest::addColumn<QString>("line");

    const QString head = QStringLiteral("14:05:09 收到数据: ");
    QTest::newRow("three bytes, trailing blank")
            << QByteArray::fromHex("FE 00 21") << head + QStringLiteral("FE 00 21 ");
    QTest::newRow("empty delivery") << QByteArray() << head;
    QTest::newRow("seven bytes") << QByteArray::fromHex("01 02 0B 34 12 05 D2")
                                 << head + QStringLiteral("01 02 0B 34 12 05 D2 ");
    QTest::newRow("nine bytes") << QByteArray::fromHex("01 02 0b 34 12 05 d2 c8 ff")
                                << head + QStringLiteral("01 02 0B 34 12 05 D2 C8 FF ");

    QByteArray many;
    QString manyText = head;
    for (int i = 0; i < 300; ++i) {
        many.append(char(i));
        manyText += QStringLiteral("%1 ").arg(i & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    }
    QTest::newRow("300 bytes, every byte once") << many << manyText;
}

void tst_RxLog::dumpLine()
{
    QFETCH(QByteArray, delivery);
    QFETCH(QString, line);
    QCOMPARE(RxLog::dumpLine(QTime(14, 5, 9), delivery), line);
}

QTEST_GUILESS_MAIN(tst_RxLog)
#include "tst_rxlog.moc"
