#include "digi_api_build.h"
#include "modulecommands.h"
#include "widget.h"
#include "windowdriver.h"

#ifdef HAVE_SIMMODULE
#    include "simulatedmodule.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

const QByteArray ClearNetwork = QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");
const QByteArray StartTest = QByteArray::fromHex("FE 00 21 16 37");
const QByteArray StopTest = QByteArray::fromHex("FE 00 21 17 36");
// Left in txData before a slot runs, to see whether the slot empties it.
const QByteArray Sentinel = QByteArray::fromHex("AA 55");

QList<digi_api_build *> openDigiDialogs()
{
    QList<digi_api_build *> dialogs;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (auto *dialog = qobject_cast<digi_api_build *>(w); dialog && dialog->isVisible())
            dialogs.append(dialog);
    }
    return dialogs;
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

} // namespace

class tst_NodeConfigDiagnostics : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void digiDialogForm();
    void digiDialogComposes_data();
    void digiDialogComposes();
    void digiDialogRefusesTooMuchData();
    void digiDialogKeepsCursorAtEnd();
    void digiDialogPerPress();

    void sendField_data();
    void sendField();
    void startTest();
    void stopTestSendsClearThenStop();
    void stopPressedTwiceRestartsDelay();

    void logLine_data();
    void logLine();
    void logAppendsOneLinePerDelivery();

    void stopSequenceOnTheWire();
    void rssiReportsFromModuleAreLogged();

private:
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
};

void tst_NodeConfigDiagnostics::init()
{
    makeWindow();
}

void tst_NodeConfigDiagnostics::cleanup()
{
    // Dialogs a failed test left open: closing destroys them.
    QList<QPointer<digi_api_build>> dialogs;
    const auto open = openDigiDialogs();
    for (digi_api_build *dialog : open) {
        dialogs.append(dialog);
        dialog->close();
    }
    window.reset();
    QTRY_VERIFY(std::all_of(dialogs.cbegin(), dialogs.cend(),
                            [](const QPointer<digi_api_build> &d) { return d.isNull(); }));
}

void tst_NodeConfigDiagnostics::digiDialogForm()
{
    digi_api_build dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("digi_api_build"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("DigiAPI模式下透传API帧生成工具"));
    QCOMPARE(dialog.minimumSize(), QSize(600, 108));
    QCOMPARE(dialog.maximumSize(), QSize(600, 108));

    auto *mac = dialog.findChild<QLineEdit *>(QStringLiteral("DesMacAddr"));
    auto *shortAddr = dialog.findChild<QLineEdit *>(QStringLiteral("DesShortAddr"));
    QVERIFY(mac && shortAddr);
    QCOMPARE(mac->text(), QStringLiteral("0000000000000000"));
    QCOMPARE(mac->maxLength(), 16);
    QCOMPARE(shortAddr->text(), QStringLiteral("FFFE"));
    QCOMPARE(shortAddr->maxLength(), 4);
    QVERIFY(dialog.findChild<QLineEdit *>(QStringLiteral("UartData"))->text().isEmpty());
    QVERIFY(dialog.findChild<QLineEdit *>(QStringLiteral("API_data"))->text().isEmpty());
}

void tst_NodeConfigDiagnostics::digiDialogComposes_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("shortAddress");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("frameText");

    QTest::newRow("presets, two data bytes") << "0000000000000000"
                                             << "FFFE"
                                             << "01 02"
                                             << "FE 0C 21 2E 0000000000000000 FEFF 01 02 01";
    QTest::newRow("lower case copied as typed") << "00124b0001a2b3c4"
                                                << "abcd"
                                                << "0a 0b"
                                                << "FE 0C 21 2E c4b3a201004b1200 cdab 0a 0b E9";
    QTest::newRow("short addresses filled with zeros") << "12AB"
                                                       << "1"
                                                       << "01"
                                                       << "FE 0B 21 2E AB12000000000000 0100 01 BD";
}

void tst_NodeConfigDiagnostics::digiDialogComposes()
{
    QFETCH(QString, mac);
    QFETCH(QString, shortAddress);
    QFETCH(QString, data);
    QFETCH(QString, frameText);

    digi_api_build dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    typeInto(dialog.findChild<QLineEdit *>(QStringLiteral("DesMacAddr")), mac);
    typeInto(dialog.findChild<QLineEdit *>(QStringLiteral("DesShortAddr")), shortAddress);
    typeInto(dialog.findChild<QLineEdit *>(QStringLiteral("UartData")), data);
    auto *build = dialog.findChild<QPushButton *>(QStringLiteral("BuildAPI"));
    auto *result = dialog.findChild<QLineEdit *>(QStringLiteral("API_data"));

    QTest::mouseClick(build, Qt::LeftButton);
    QCOMPARE(result->text(), frameText);
    // A second press replaces the first result instead of adding to it.
    QTest::mouseClick(build, Qt::LeftButton);
    QCOMPARE(result->text(), frameText);
    QVERIFY(result->placeholderText().isEmpty());
}

void tst_NodeConfigDiagnostics::digiDialogRefusesTooMuchData()
{
    digi_api_build dialog;
    auto *data = dialog.findChild<QLineEdit *>(QStringLiteral("UartData"));
    auto *build = dialog.findChild<QPushButton *>(QStringLiteral("BuildAPI"));
    auto *result = dialog.findChild<QLineEdit *>(QStringLiteral("API_data"));

    data->setText(QStringLiteral("00 ").repeated(246));
    build->click();
    QVERIFY(result->text().isEmpty());
    QVERIFY(result->placeholderText().contains(QStringLiteral("245")));

    data->setText(QStringLiteral("00 ").repeated(245));
    build->click();
    QVERIFY(result->text().startsWith(QStringLiteral("FE FF 21 2E ")));
    QVERIFY(result->placeholderText().isEmpty());
    QVERIFY(result->toolTip().isEmpty());
}

void tst_NodeConfigDiagnostics::digiDialogKeepsCursorAtEnd()
{
    digi_api_build dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *result = dialog.findChild<QLineEdit *>(QStringLiteral("API_data"));
    result->setFocus();
    QTest::keyClicks(result, QStringLiteral("FE0C"));
    result->setCursorPosition(2);
    QTest::keyClicks(result, QStringLiteral("x"));
    QCOMPARE(result->text(), QStringLiteral("FEx0C"));
    QCOMPARE(result->cursorPosition(), 5);
}

void tst_NodeConfigDiagnostics::digiDialogPerPress()
{
    auto *open = button("digi_api_build_button");
    QVERIFY(open);
    QVERIFY(openDigiDialogs().isEmpty());

    QTest::mouseClick(open, Qt::LeftButton);
    QTest::mouseClick(open, Qt::LeftButton);
    const auto dialogs = openDigiDialogs();
    QCOMPARE(dialogs.size(), 2);
    for (digi_api_build *dialog : dialogs) {
        QVERIFY(!dialog->parent());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("DesShortAddr"))->text(),
                 QStringLiteral("FFFE"));
    }

    // Each dialog works on its own.
    dialogs.first()->findChild<QLineEdit *>(QStringLiteral("UartData"))->setText("01 02");
    dialogs.first()->findChild<QPushButton *>(QStringLiteral("BuildAPI"))->click();
    QVERIFY(dialogs.last()->findChild<QLineEdit *>(QStringLiteral("API_data"))->text().isEmpty());

    QPointer<digi_api_build> first = dialogs.first();
    QPointer<digi_api_build> second = dialogs.last();
    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(!second.isNull());
    second->close();
    QTRY_VERIFY(second.isNull());
}

void tst_NodeConfigDiagnostics::sendField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("handedOver");
    QTest::addColumn<QByteArray>("txData");

    QTest::newRow("preset text") << "00 01 02 03 04 05 06 07 08 09 " << true
                                 << QByteArray::fromHex("00 01 02 03 04 05 06 07 08 09");
    QTest::newRow("leading odd digit forms a byte")
            << "1 23" << true << QByteArray::fromHex("01 23");
    QTest::newRow("lower case, odd count") << "abc" << true << QByteArray::fromHex("0A BC");
    QTest::newRow("device-info request")
            << "FE 00 21 15 34" << true << QByteArray::fromHex("FE 00 21 15 34");
    QTest::newRow("no hex digit: empty hand-over") << "xyz -" << true << QByteArray();
    QTest::newRow("empty field: nothing") << "" << false << Sentinel;
}

void tst_NodeConfigDiagnostics::sendField()
{
    QFETCH(QString, text);
    QFETCH(bool, handedOver);
    QFETCH(QByteArray, txData);

    // A transmission still pending stays ahead of the new one.
    MyThread &worker = window->serialWorker();
    worker.submit(Sentinel);
    auto *field = window->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QVERIFY(field);
    typeInto(field, text);
    QCOMPARE(field->text(), text);

    button("sendDate")->click();
    const QList<QByteArray> expected =
            handedOver ? QList<QByteArray> { Sentinel, txData } : QList<QByteArray> { Sentinel };
    QCOMPARE(worker.pendingTransmissions(), expected);
}

void tst_NodeConfigDiagnostics::startTest()
{
    MyThread &worker = window->serialWorker();
    worker.submit(Sentinel);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "on_startRssiTest_clicked"));
    QCOMPARE(worker.pendingTransmissions(), (QList<QByteArray> { Sentinel, StartTest }));
}

void tst_NodeConfigDiagnostics::stopTestSendsClearThenStop()
{
    MyThread &worker = window->serialWorker();
    QElapsedTimer clock;
    clock.start();
    button("stopRssiTest")->click();
    QCOMPARE(worker.txData().toHex(' '), ClearNetwork.toHex(' '));
    QVERIFY(worker.sendRequest());

    // The stop frame follows the clear-network frame whether or not that one was taken.
    QTRY_COMPARE(worker.pendingTransmissions(), (QList<QByteArray> { ClearNetwork, StopTest }));
    QVERIFY2(clock.elapsed() >= 90, qPrintable(QString::number(clock.elapsed())));

    // The timer fires once per press.
    worker.clearTxData();
    QTest::qWait(300);
    QVERIFY(worker.txData().isEmpty());
    QVERIFY(!worker.sendRequest());
}

void tst_NodeConfigDiagnostics::stopPressedTwiceRestartsDelay()
{
    MyThread &worker = window->serialWorker();
    auto *stop = button("stopRssiTest");
    stop->click();
    QTest::qWait(60);
    QElapsedTimer clock;
    clock.start();
    stop->click();
    QCOMPARE(worker.txData().toHex(' '), ClearNetwork.toHex(' '));
    QTRY_COMPARE(worker.pendingTransmissions(), (QList<QByteArray> { ClearNetwork, StopTest }));
    QVERIFY2(clock.elapsed() >= 90, qPrintable(QString::number(clock.elapsed())));

    worker.clearTxData();
    QTest::qWait(300);
    QVERIFY(worker.txData().isEmpty());
}

void tst_NodeConfigDiagnostics::logLine_data()
{
    QTest::addColumn<QByteArray>("delivery");
    QTest::addColumn<QString>("afterTime");
    QTest::addColumn<QStringList>("debugLines");

    QTest::newRow("rssi report") << QByteArray::fromHex("01 02 0B 34 12 05 D2 C8")
                                 << "软件版本：01  客户：02  频点：0B  PAN ID：3412  序列号：05  "
                                    "TxRSSI：-45  RxRSSI：-55"
                                 << QStringList { "receive num: 8", "\"01020b341205d3c9\"",
                                                  "\"\"" };
    QTest::newRow("seven bytes") << QByteArray::fromHex("01 02 0B 34 12 05 D2")
                                 << " 收到数据: 01 02 0B 34 12 05 D2 "
                                 << QStringList { "receive num: 7" };
    QTest::newRow("nine bytes") << QByteArray::fromHex("01 02 0B 34 12 05 D2 C8 00")
                                << " 收到数据: 01 02 0B 34 12 05 D2 C8 00 "
                                << QStringList { "receive num: 9" };
    QTest::newRow("empty delivery")
            << QByteArray() << " 收到数据: " << QStringList { "receive num: 0" };
}

void tst_NodeConfigDiagnostics::logLine()
{
    QFETCH(QByteArray, delivery);
    QFETCH(QString, afterTime);
    QFETCH(QStringList, debugLines);

    MyThread &worker = window->serialWorker();
    // Exactly the delivered bytes, so that a read past them shows under ASan.
    worker.appendRxData(QByteArray(delivery.constData(), delivery.size()));
    for (const QString &line : std::as_const(debugLines))
        QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
    const QTime before = QTime::currentTime();
    window->displayRxData();

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    const QString &line = lines.first();
    QCOMPARE(line.mid(8), afterTime);
    const QTime stamp = QTime::fromString(line.left(8), QStringLiteral("HH:mm:ss"));
    QVERIFY2(stamp.isValid(), qPrintable(line.left(8)));
    QVERIFY(qAbs(before.secsTo(stamp)) <= 2 || qAbs(before.secsTo(stamp)) >= 86398);
    QVERIFY(worker.rxData().isEmpty());
}

void tst_NodeConfigDiagnostics::logAppendsOneLinePerDelivery()
{
    MyThread &worker = window->serialWorker();
    worker.appendRxData(QByteArray::fromHex("01 02 03 04"));
    window->displayRxData();
    worker.appendRxData(QByteArray::fromHex("05 06 07 08"));
    window->displayRxData();
    window->displayRxData();

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).endsWith(QStringLiteral(" 收到数据: 01 02 03 04 ")));
    QVERIFY(lines.at(1).endsWith(QStringLiteral(" 收到数据: 05 06 07 08 ")));
    QVERIFY(lines.at(2).endsWith(QStringLiteral(" 收到数据: ")));
}

void tst_NodeConfigDiagnostics::stopSequenceOnTheWire()
{
#ifdef HAVE_SIMMODULE
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");
    QVERIFY(openPort(module.devicePath()));

    button("stopRssiTest")->click();
    // The stop frame is handed over while the clear-network reply is being collected and
    // goes out right behind it.
    QTRY_COMPARE_WITH_TIMEOUT(module.received().toHex(' '), (ClearNetwork + StopTest).toHex(' '),
                              5000);
    QCOMPARE(module.receivedChunks().first().left(ClearNetwork.size()).toHex(' '),
             ClearNetwork.toHex(' '));
#else
    QSKIP("the simulated module is not built on this platform");
#endif
}

void tst_NodeConfigDiagnostics::rssiReportsFromModuleAreLogged()
{
#ifdef HAVE_SIMMODULE
    SimulatedModule module;
    if (!module.start())
        QSKIP("no pseudo-terminal available");
    module.setRssiReportIntervalMs(500);
    QVERIFY(openPort(module.devicePath()));

    button("startRssiTest")->click();
    const auto reports = [this] { return logLines().filter(QStringLiteral("软件版本：")); };
    QTRY_VERIFY_WITH_TIMEOUT(reports().size() >= 2, 10000);

    // The module numbers its reports and derives both RSSI bytes from the number.
    static const QRegularExpression format(QStringLiteral(
            "^\\d\\d:\\d\\d:\\d\\d软件版本：[0-9A-F]{2}  客户：01  频点：[0-9A-F]{2}  "
            "PAN ID：[0-9A-F]{4}  序列号：([0-9A-F]{2})  TxRSSI：(-?\\d+)  RxRSSI：(-?\\d+)$"));
    const QStringList lines = reports();
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = format.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        const int serial = match.captured(1).toInt(nullptr, 16);
        QCOMPARE(match.captured(2).toInt(), -45 - serial % 5);
        QCOMPARE(match.captured(3).toInt(), -54 + serial % 3);
    }

    button("stopRssiTest")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!module.rssiTestRunning(), 5000);
#else
    QSKIP("the simulated module is not built on this platform");
#endif
}

QTEST_MAIN(tst_NodeConfigDiagnostics)
#include "tst_nodeconfigdiagnostics.moc"
