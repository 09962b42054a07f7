// Texts that break parsers, typed and pasted into every line edit of the node window and of
// the DigiAPI dialog: the result is whole frames or none, never a crash. Also any reply and
// any delivery the line may hand to the window's decoder and log.
#include "widget.h"

#include "badinput.h"
#include "commandframe.h"
#include "digi_api_build.h"
#include "hextext.h"
#include "windowdriver.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextBrowser>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

namespace {

using namespace BadInput;

const QRegularExpression HexDigit(QStringLiteral("[0-9A-Fa-f]"));

bool onlyHexDigits(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]*$"));
    return hex.match(text).hasMatch();
}

} // namespace

class tst_NodeConfigInput : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void parameterField_data();
    void parameterField();
    void sendField();
    void sendFieldBytes_data();
    void sendFieldBytes();
    void portName();
    void digiDialog_data();
    void digiDialog();
    void anyIntactReplyIsShown();
    void anyDeliveryIsLogged();

private:
    // Makes the field usable as after an open, on its own page.
    void reach(QLineEdit *field);
    // Clears the hand-over so that what a text places can be seen.
    void clearHandOver();
    void checkHandOver(const QString &field, const QString &how, const QString &text);
};

void tst_NodeConfigInput::init()
{
    QVERIFY(showWindow());
}

void tst_NodeConfigInput::cleanup()
{
    window.reset();
}

void tst_NodeConfigInput::reach(QLineEdit *field)
{
    // An open port without a line: the frames stay in txData for the test to read.
    window->serialWorker().setComOpened(true);
    window->isComOpen(true);
    child<QComboBox>("WorkMode")->setCurrentIndex(2); // API mode: the page of the pins is usable
    auto *tabs = child<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(tabs->widget(1)->isAncestorOf(field) ? 1 : 0);
}

void tst_NodeConfigInput::clearHandOver()
{
    window->serialWorker().clearTxData();
}

void tst_NodeConfigInput::checkHandOver(const QString &field, const QString &how,
                                        const QString &text)
{
    const MyThread &worker = window->serialWorker();
    const QByteArray placed = worker.txData();
    const QString where = QStringLiteral("%1 %2 %3").arg(field, how, shown(text));
    QVERIFY2(worker.sendRequest() == !placed.isEmpty(), qPrintable(where));
    QVERIFY2(wholeFrames(placed),
             qPrintable(where + QStringLiteral(": ") + QString::fromLatin1(placed.toHex(' '))));
}

void tst_NodeConfigInput::parameterField_data()
{
    QTest::addColumn<QString>("field");

    for (const char *name : { "NetId", "ShortAddr", "ExtPanID", "MACAddr", "TxPower", "SlpCycle",
                              "UartTimeout", "workTimeOut", "version", "SuccessTimer", "DesAddr",
                              "AutoSendTimeOut", "Divider", "Frequency" }) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

void tst_NodeConfigInput::parameterField()
{
    QFETCH(QString, field);
    auto *edit = child<QLineEdit>(field);
    QVERIFY(edit);
    reach(edit);
    const QByteArray slot = "on_" + field.toLatin1() + "_editingFinished";
    const bool hasSetter = window->metaObject()->indexOfSlot(slot + "()") >= 0;

    const QStringList texts = BadInput::texts();
    for (const QString &text : texts) {
        // Typed: the field's validator and length limit apply, Return finishes the edit.
        if (text.size() <= TypedLimit && edit->isEnabled()) {
            edit->setFocus();
            edit->clear();
            clearHandOver();
            typeText(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
            checkHandOver(field, QStringLiteral("typed"), text);
        }
        // Pasted over the validator (only the length limit applies), then finished.
        edit->setText(text);
        clearHandOver();
        if (hasSetter)
            QVERIFY(QMetaObject::invokeMethod(window.get(), slot.constData()));
        checkHandOver(field, QStringLiteral("pasted"), text);
        if (QTest::currentTestFailed())
            return;
    }
}

// The test page's send field is raw by design: its bytes go out as they decode.
void tst_NodeConfigInput::sendField()
{
    auto *edit = child<QLineEdit>("lineEdit");
    auto *send = child<QPushButton>("sendDate");
    QVERIFY(edit && send);
    const QStringList texts = BadInput::texts();
    for (const QString &text : texts) {
        edit->setText(text);
        clearHandOver();
        send->click();
        const QString where = shown(text);
        if (edit->text().isEmpty()) {
            QVERIFY2(!window->serialWorker().sendRequest(), qPrintable(where));
        } else {
            QVERIFY2(window->serialWorker().sendRequest(), qPrintable(where));
            // One byte for every two hex digits, a leading odd one a byte of its own.
            const auto digits = edit->text().count(HexDigit);
            QCOMPARE(window->serialWorker().txData().size(), (digits + 1) / 2);
        }
    }
}

void tst_NodeConfigInput::sendFieldBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("a frame") << "FE 00 21 15 34" << QByteArray::fromHex("FE 00 21 15 34");
    QTest::newRow("lower case, no blanks") << "fe0a" << QByteArray::fromHex("FE 0A");
    // Digits pair from the end: a leading odd digit is a byte of its own.
    QTest::newRow("odd count") << "123" << QByteArray::fromHex("01 23");
    QTest::newRow("one digit") << "7" << QByteArray::fromHex("07");
    QTest::newRow("other characters skipped") << "0X1A-2B" << QByteArray::fromHex("00 1A 2B");
    QTest::newRow("wide digits are no digits") << "１２ AB" << QByteArray::fromHex("AB");
    QTest::newRow("no digit: handed over empty") << "xyz" << QByteArray();
}

void tst_NodeConfigInput::sendFieldBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    child<QLineEdit>("lineEdit")->setText(text);
    clearHandOver();
    child<QPushButton>("sendDate")->click();
    QVERIFY(window->serialWorker().sendRequest());
    QCOMPARE(window->serialWorker().txData().toHex(' '), bytes.toHex(' '));
}

// Port names that name no port: each click fails with a reason, or does nothing for an
// empty name, and the next click starts afresh.
void tst_NodeConfigInput::portName()
{
    clickOpenWithEachPortName(*this, window->serialWorker());
}

void tst_NodeConfigInput::digiDialog_data()
{
    QTest::addColumn<QString>("field");

    for (const char *name : { "DesMacAddr", "DesShortAddr", "UartData", "API_data" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

// The dialog only shows text for copying: a frame text or none, and a whole frame whenever
// the three fields hold clean hex.
void tst_NodeConfigInput::digiDialog()
{
    QFETCH(QString, field);
    digi_api_build dialog;
    dialog.show();
    auto *edit = dialog.findChild<QLineEdit *>(field);
    auto *result = dialog.findChild<QLineEdit *>(QStringLiteral("API_data"));
    auto *build = dialog.findChild<QPushButton *>(QStringLiteral("BuildAPI"));
    QVERIFY(edit && result && build);
    const auto text = [&dialog](const char *name) {
        return dialog.findChild<QLineEdit *>(QLatin1String(name))->text();
    };

    const QStringList texts = BadInput::texts();
    for (const QString &typed : texts) {
        enterText(edit, typed);
        build->click();

        const QString where = shown(typed);
        const QString frame = result->text();
        if (frame.isEmpty()) {
            QVERIFY2(!result->placeholderText().isEmpty(), qPrintable(where));
            continue;
        }
        QVERIFY2(frame.startsWith(QLatin1String("FE ")), qPrintable(where));
        const QString mac = text("DesMacAddr");
        const QString shortAddress = text("DesShortAddr");
        const QString data = text("UartData");
        const bool clean = onlyHexDigits(mac) && onlyHexDigits(shortAddress)
                && onlyHexDigits(QString(data).remove(u' '))
                && QString(data).remove(u' ').size() % 2 == 0;
        if (clean)
            QVERIFY2(CommandFrame::isIntact(HexText::decode(frame)), qPrintable(where + frame));
    }
}

// Device-information replies with every field random (and LEN from 57 to 255): each is
// shown, no list is left on an index it does not have, and nothing is written back.
void tst_NodeConfigInput::anyIntactReplyIsShown()
{
    QRandomGenerator random(2530);
    MyThread &worker = window->serialWorker();
    const QList<QComboBox *> lists = window->findChildren<QComboBox *>();
    for (int round = 1; round <= 1000; ++round) {
        QByteArray payload(int(random.bounded(57, 256)), Qt::Uninitialized);
        for (char &byte : payload)
            byte = char(random.bounded(256));
        const QByteArray reply = CommandFrame::build(0x61, 0x08, payload);
        clearHandOver();
        worker.appendRxData(reply);
        window->checkRxData();

        const QString where = QString::fromLatin1(reply.toHex(' '));
        QVERIFY2(worker.rxData().isEmpty(), qPrintable(where));
        QVERIFY2(!worker.sendRequest() && worker.txData().isEmpty(), qPrintable(where));
        QCOMPARE(child<QLineEdit>("SuccessTimer")->text(), HexText::byte(quint8(round)));
        for (const QComboBox *list : lists) {
            QVERIFY2(list->currentIndex() >= -1 && list->currentIndex() < list->count(),
                     qPrintable(list->objectName() + QStringLiteral(" after ") + where));
        }
    }
}

// Deliveries of any size and content: one log line each, every byte in it.
void tst_NodeConfigInput::anyDeliveryIsLogged()
{
    QRandomGenerator random(38400);
    MyThread &worker = window->serialWorker();
    const QTextDocument *document = log()->document();
    for (int round = 1; round <= 300; ++round) {
        QByteArray delivery(int(random.bounded(0, 700)), Qt::Uninitialized);
        if (round % 10 == 0)
            delivery.resize(8);
        for (char &byte : delivery)
            byte = char(random.bounded(256));
        worker.appendRxData(delivery);
        window->displayRxData();

        QVERIFY(worker.rxData().isEmpty());
        QCOMPARE(document->blockCount(), round);
        const QString line = document->lastBlock().text();
        if (delivery.size() == 8)
            QVERIFY2(line.contains(QStringLiteral("软件版本：")
                                   + HexText::byte(quint8(delivery.at(0)))),
                     qPrintable(line));
        else
            QVERIFY2(line.endsWith(QStringLiteral(" 收到数据: ") + HexText::spaced(delivery)),
                     qPrintable(line));
    }
}

QTEST_MAIN(tst_NodeConfigInput)
#include "tst_nodeconfiginput.moc"
