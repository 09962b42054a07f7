// Texts that break parsers, typed and pasted into every line edit of the remote window, with
// every command and parameter: what the send button hands over is a whole frame or nothing.
#include "widget.h"

#include "badinput.h"
#include "commandframe.h"
#include "windowdriver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

using namespace BadInput;

// Indexes worth trying in a list: none when it is empty, else the first and the last.
QList<int> probeIndexes(const QComboBox *box)
{
    if (box->count() == 0)
        return { -1 };
    if (box->count() == 1)
        return { 0 };
    return { 0, box->count() - 1 };
}

} // namespace

class tst_RemoteConfigInput : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void everySelection_data();
    void everySelection();
    void typedFields_data();
    void typedFields();
    void frameLine();
    void portName();

private:
    // Builds and sends; the hand-over must hold the built frame, or the last one, or nothing.
    void buildAndSend(const QString &where);
};

void tst_RemoteConfigInput::init()
{
    QVERIFY(showWindow());
}

void tst_RemoteConfigInput::cleanup()
{
    window.reset();
}

void tst_RemoteConfigInput::buildAndSend(const QString &where)
{
    MyThread &worker = window->serialWorker();
    const QByteArray lastBuilt = window->builtFrameBytes();
    child<QPushButton>("build")->click();
    const bool refused = !child<QLabel>("buildStatus")->text().isEmpty();
    const QByteArray built = window->builtFrameBytes();
    if (refused) {
        QVERIFY2(built == lastBuilt, qPrintable(where));
    } else {
        QVERIFY2(CommandFrame::isSingleFrame(built),
                 qPrintable(where + QStringLiteral(": ") + QString::fromLatin1(built.toHex(' '))));
    }

    worker.clearTxData();
    child<QPushButton>("sendDate")->click();
    const QByteArray placed = worker.txData();
    QVERIFY2(wholeFrames(placed),
             qPrintable(where + QStringLiteral(": ") + QString::fromLatin1(placed.toHex(' '))));
    if (worker.sendRequest())
        QVERIFY2(placed == built, qPrintable(where));
}

void tst_RemoteConfigInput::everySelection_data()
{
    QTest::addColumn<QString>("field");

    QTest::newRow("address") << QStringLiteral("DesAddr");
    QTest::newRow("value") << QStringLiteral("function");
}

// Every command, every parameter or pin, the first and last choice and option, each nasty text
// pasted into the field (the other keeps a good value).
void tst_RemoteConfigInput::everySelection()
{
    QFETCH(QString, field);
    auto *command = child<QComboBox>("CMD_type");
    auto *parameter = child<QComboBox>("NVID_IO");
    auto *choice = child<QComboBox>("Type_IOport");
    auto *option = child<QComboBox>("comboBox");
    auto *edit = child<QLineEdit>(field);
    auto *address = child<QLineEdit>("DesAddr");
    auto *value = child<QLineEdit>("function");
    const QStringList texts = BadInput::texts();

    for (int c = 0; c < command->count(); ++c) {
        command->setCurrentIndex(c);
        for (int p = parameter->count() == 0 ? -1 : 0; p < parameter->count(); ++p) {
            parameter->setCurrentIndex(p);
            for (const int t : probeIndexes(choice)) {
                choice->setCurrentIndex(t);
                for (const int o : probeIndexes(option)) {
                    option->setCurrentIndex(o);
                    for (const QString &text : texts) {
                        address->setText(QStringLiteral("00 00"));
                        value->setText(QStringLiteral("00 00 03 E8"));
                        edit->setText(text);
                        buildAndSend(QStringLiteral("%1 / %2 / %3 / %4, %5 %6")
                                             .arg(command->currentText(), parameter->currentText(),
                                                  choice->currentText(), option->currentText(),
                                                  field, shown(text)));
                        if (QTest::currentTestFailed())
                            return;
                    }
                }
            }
        }
    }
}

void tst_RemoteConfigInput::typedFields_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("parameter");

    QTest::newRow("serial data") << QStringLiteral("串口数据") << QString();
    QTest::newRow("write PAN ID") << QStringLiteral("参数修改") << QStringLiteral("PAN ID");
    QTest::newRow("write PWM frequency") << QStringLiteral("参数修改") << QStringLiteral("PWM频率");
    QTest::newRow("PWM duty") << QStringLiteral("PWM占空比输出") << QStringLiteral("PM1");
}

// The same texts typed key by key into the address and the value.
void tst_RemoteConfigInput::typedFields()
{
    QFETCH(QString, command);
    QFETCH(QString, parameter);
    auto *commands = child<QComboBox>("CMD_type");
    commands->setCurrentIndex(commands->findText(command));
    if (!parameter.isEmpty()) {
        auto *parameters = child<QComboBox>("NVID_IO");
        parameters->setCurrentIndex(parameters->findText(parameter));
        QCOMPARE(parameters->currentText(), parameter);
    }
    auto *address = child<QLineEdit>("DesAddr");
    auto *value = child<QLineEdit>("function");
    QVERIFY(value->isEnabled());

    const QStringList texts = BadInput::texts();
    for (const QString &text : texts) {
        if (text.size() > TypedLimit)
            continue;
        for (QLineEdit *edit : { address, value }) {
            address->setText(QStringLiteral("00 00"));
            value->setText(QStringLiteral("00 00 03 E8"));
            edit->setFocus();
            edit->clear();
            typeText(edit, text);
            buildAndSend(QStringLiteral("%1 typed %2").arg(edit->objectName(), shown(text)));
            if (QTest::currentTestFailed())
                return;
        }
    }
}

// The frame line takes any text; the send button still hands over the last built frame.
void tst_RemoteConfigInput::frameLine()
{
    auto *line = child<QLineEdit>("lineEdit");
    MyThread &worker = window->serialWorker();
    const QStringList texts = BadInput::texts();
    for (const bool afterBuild : { false, true }) {
        if (afterBuild) {
            auto *command = child<QComboBox>("CMD_type");
            command->setCurrentIndex(command->findText(QStringLiteral("远程重启")));
            child<QPushButton>("build")->click();
            QCOMPARE(window->builtFrameBytes(), QByteArray::fromHex("FE 02 21 21 00 00 02"));
        }
        for (const QString &text : texts) {
            enterText(line, text);
            worker.clearTxData();
            child<QPushButton>("sendDate")->click();
            QVERIFY2(worker.txData() == window->builtFrameBytes() || !worker.sendRequest(),
                     qPrintable(shown(text)));
        }
    }
}

void tst_RemoteConfigInput::portName()
{
    clickOpenWithEachPortName(*this, window->serialWorker());
}

QTEST_MAIN(tst_RemoteConfigInput)
#include "tst_remoteconfiginput.moc"
