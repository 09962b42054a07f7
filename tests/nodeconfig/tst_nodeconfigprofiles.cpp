// Export and import of a module's configuration through the real window, against simulated
// modules on pseudo-terminals.
#include "widget.h"

#include "commandframe.h"
#include "differencesdialog.h"
#include "firststate.h"
#include "moduleprofile.h"
#include "profile.h"
#include "simulatedmodule.h"
#include "translations.h"
#include "windowdriver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

namespace {

const QByteArray ReadRequest = QByteArray::fromHex("FE 00 21 15 34");
const QByteArray ClearNetwork = QByteArray::fromHex("FE 05 21 09 03 00 00 01 02 2D");
// Writes back to the first state of the simulated module, computed by hand.
const QByteArray RouterThenClear =
        QByteArray::fromHex("FE 05 21 09 87 00 00 01 01 AA") + ClearNetwork;
const QByteArray PanId1A2BThenClear =
        QByteArray::fromHex("FE 06 21 09 83 00 00 02 2B 1A 9E") + ClearNetwork;
const QByteArray Channel15ThenClear =
        QByteArray::fromHex("FE 08 21 09 84 00 00 04 00 80 00 00 20") + ClearNetwork;
const QByteArray ShortAddress0001 = QByteArray::fromHex("FE 06 21 09 11 04 00 02 01 00 38");

// Two English words in a row: a sentence the window should not show.
const QRegularExpression EnglishWords(QStringLiteral("[A-Za-z]{2,} [A-Za-z]{2,}"));

constexpr int EveryParameter = 30;
// Thirty writes of at most 100 ms each when the module does not answer them, and the reads.
constexpr int ImportTimeoutMs = 10000;

Profile profileOf(const SimulatedModule &module)
{
    return ModuleProfile::fromReply(module.deviceInfoReply());
}

} // namespace

class tst_NodeConfigProfiles : public QObject, public WindowTest<Widget>
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void exportThenImportOntoAnotherModule_data();
    void exportThenImportOntoAnotherModule();
    void exportHoldsWhatTheModuleHoldsNow();
    void importWritesOnlyWhatDiffers();
    void importWritesNothing_data();
    void importWritesNothing();
    void refusedFileWritesNothing_data();
    void refusedFileWritesNothing();
    void exportToUnwritableFile_data();
    void exportToUnwritableFile();
    void readBackFaultIsNamed_data();
    void readBackFaultIsNamed();
    void interruptedImport_data();
    void interruptedImport();

private:
    void click(const char *button) const;
    // Clicks import and waits for the review; none when it does not show.
    DifferencesDialog *startImport(const QString &path) const;
    void writeAndWait(DifferencesDialog *dialog, const QString &status) const;
    // How long the exchange of what send() submits takes.
    qint64 exchangeMs(const std::function<void()> &send) const;
    // What the parameter fields show, by object name.
    QMap<QString, QString> fields() const;
    // The profile of the module's present state in a file; its path.
    QString saveProfileOf(const SimulatedModule &module);

    QTemporaryDir dir;
    QString chosenFile;
};

void tst_NodeConfigProfiles::initTestCase()
{
    // As nodeconfig starts.
    QVERIFY(Translations::install(QStringLiteral("zh_CN")));
}

void tst_NodeConfigProfiles::init()
{
    QVERIFY(dir.isValid());
    QVERIFY(showWindow());
    const auto choose = [this](QWidget *, const QString &) { return chosenFile; };
    window->setProfileFileChoosers(choose, choose);
}

void tst_NodeConfigProfiles::cleanup()
{
    window.reset();
}

void tst_NodeConfigProfiles::click(const char *button) const
{
    auto *widget = child<QPushButton>(QString::fromLatin1(button));
    QVERIFY(widget->isEnabled());
    QTest::mouseClick(widget, Qt::LeftButton);
}

DifferencesDialog *tst_NodeConfigProfiles::startImport(const QString &path) const
{
    const_cast<tst_NodeConfigProfiles *>(this)->chosenFile = path;
    click("importProfile");
    DifferencesDialog *dialog = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        dialog = window->findChild<DifferencesDialog *>();
        return dialog && dialog->isVisible();
    });
    return shown ? dialog : nullptr;
}

void tst_NodeConfigProfiles::writeAndWait(DifferencesDialog *dialog, const QString &status) const
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("writeButton")),
                      Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(this->status(), status, ImportTimeoutMs);
}

qint64 tst_NodeConfigProfiles::exchangeMs(const std::function<void()> &send) const
{
    QSignalSpy exchanges(&window->serialWorker(), &MyThread::exchangeFinished);
    QElapsedTimer clock;
    clock.start();
    send();
    return exchanges.wait() ? clock.elapsed() : -1;
}

QMap<QString, QString> tst_NodeConfigProfiles::fields() const
{
    QMap<QString, QString> shown;
    for (QComboBox *list : window->findChildren<QComboBox *>())
        shown.insert(list->objectName(), list->currentText());
    for (QLineEdit *edit : window->findChildren<QLineEdit *>())
        shown.insert(edit->objectName(), edit->text());
    for (const char *other : { "serialPortComboBox", "serialPortComboBox_2", "SuccessTimer",
                               "MACAddr", "lineEdit", "" })
        shown.remove(QString::fromLatin1(other));
    return shown;
}

QString tst_NodeConfigProfiles::saveProfileOf(const SimulatedModule &module)
{
    QFile file(dir.filePath(QStringLiteral("first.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(ProfileFile::write(profileOf(module))) <= 0)
        return QString();
    return file.fileName();
}

void tst_NodeConfigProfiles::exportThenImportOntoAnotherModule_data()
{
    QTest::addColumn<bool>("answersWrites");

    QTest::newRow("module answers writes") << true;
    QTest::newRow("module silent on writes") << false;
}

void tst_NodeConfigProfiles::exportThenImportOntoAnotherModule()
{
    QFETCH(bool, answersWrites);

    SimulatedModule a;
    SimulatedModule b;
    QVERIFY(a.start() && b.start());
    a.setMacAddress(QByteArray::fromHex("0102030405060708"));
    b.changeEveryParameter();
    b.setUnansweredWrites(!answersWrites);

    QVERIFY(!child<QPushButton>("exportProfile")->isEnabled());
    QVERIFY(!child<QPushButton>("importProfile")->isEnabled());
    QVERIFY(openPort(a.devicePath()));
    // Nothing read on this connection yet: the export reads first.
    chosenFile = dir.filePath(QStringLiteral("a.json"));
    click("exportProfile");
    QTRY_COMPARE(status(), QStringLiteral("已导出到 a.json"));
    QCOMPARE(a.received(), ReadRequest);
    QFile file(chosenFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject exported = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(exported.value("parameters").toObject(), FirstState::parameters());
    QCOMPARE(exported.value("module").toObject().value("mac").toString(),
             QStringLiteral("0807060504030201"));
    const QMap<QString, QString> shownForA = fields();
    clickOpenButton();
    QTRY_COMPARE(buttonText(), Closed);

    QVERIFY(openPort(b.devicePath()));
    DifferencesDialog *dialog = startImport(chosenFile);
    QVERIFY(dialog);
    const auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("differences"));
    QCOMPARE(table->rowCount(), EveryParameter);
    const QStringList nodeTypeRow { table->item(0, 0)->text(), table->item(0, 1)->text(),
                                    table->item(0, 2)->text() };
    QCOMPARE(nodeTypeRow, QStringList({ "节点类型", "Coordinator", "Router" }));
    // While the import runs, no setter can send.
    QVERIFY(!child<QComboBox>("NodeType")->isEnabled());
    QVERIFY(!child<QPushButton>("readDeviceInfo")->isEnabled());
    b.clearReceived();

    writeAndWait(dialog, QStringLiteral("已写入 %1 项，校验一致").arg(EveryParameter));
    QCOMPARE(FirstState::storedDifferences(a, b), QStringList());
    QCOMPARE(fields(), shownForA);
    QVERIFY(child<QComboBox>("NodeType")->isEnabled());

    // On the wire: the writes, one transmission each with the clear-network frame where the
    // setter adds it, and the read-back.
    const QByteArray wire = b.received();
    QVERIFY(wire.startsWith(RouterThenClear + PanId1A2BThenClear));
    QVERIFY(wire.contains(Channel15ThenClear));
    QVERIFY(wire.contains(ShortAddress0001));
    QVERIFY(wire.endsWith(ReadRequest));
    int frames = 0;
    for (const CommandFrame::Segment &segment : CommandFrame::segments(wire)) {
        QCOMPARE(segment.kind, CommandFrame::Segment::Frame);
        ++frames;
    }
    QCOMPARE(frames, EveryParameter + 3 + 1);

    // The import's rule went only with its own exchanges: on the same connection a read and a
    // setter's write still end after 300 ms of silence.
    b.setUnansweredWrites(false);
    QVERIFY(exchangeMs([this] { click("readDeviceInfo"); }) >= 300);
    QVERIFY(exchangeMs([this] { child<QComboBox>("SendMode")->setCurrentIndex(2); }) >= 300);
}

void tst_NodeConfigProfiles::exportHoldsWhatTheModuleHoldsNow()
{
    SimulatedModule a;
    QVERIFY(a.start());
    QVERIFY(openPort(a.devicePath()));
    click("readDeviceInfo");
    QTRY_COMPARE(child<QLineEdit>("NetId")->text(), QStringLiteral("1A2B"));

    // Exported at once after a setter's write: the module is read behind the write.
    auto *panId = child<QLineEdit>("NetId");
    panId->clear();
    QTest::keyClicks(panId, QStringLiteral("1234"));
    QTest::keyClick(panId, Qt::Key_Return);
    chosenFile = dir.filePath(QStringLiteral("now.json"));
    click("exportProfile");
    QTRY_COMPARE(status(), QStringLiteral("已导出到 now.json"));
    QFile file(chosenFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject expected = FirstState::parameters();
    expected.insert("panId", "1234");
    QCOMPARE(QJsonDocument::fromJson(file.readAll())["parameters"].toObject(), expected);
}

void tst_NodeConfigProfiles::importWritesOnlyWhatDiffers()
{
    SimulatedModule b;
    QVERIFY(b.start());
    const QString path = saveProfileOf(b);
    b.setNvItem(0x0411, QByteArray::fromHex("0900")); // short address 0009
    b.setNvItem(0x0087, QByteArray::fromHex("05")); // no node type

    QVERIFY(openPort(b.devicePath()));
    DifferencesDialog *dialog = startImport(path);
    QVERIFY(dialog);
    QCOMPARE(b.received(), ReadRequest);
    QCOMPARE(dialog->findChild<QTableWidget *>()->item(0, 1)->text(), QStringLiteral("未知（05）"));
    writeAndWait(dialog, QStringLiteral("已写入 2 项，校验一致"));
    QCOMPARE(b.received().toHex(' '),
             (ReadRequest + RouterThenClear + ShortAddress0001 + ReadRequest).toHex(' '));
    QCOMPARE(child<QLineEdit>("ShortAddr")->text(), QStringLiteral("0001"));
    QCOMPARE(child<QComboBox>("NodeType")->currentText(), QStringLiteral("Router"));
}

void tst_NodeConfigProfiles::importWritesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said");

    QTest::newRow("cancelled") << "cancel" << QStringLiteral("已取消导入，未写入");
    QTest::newRow("module silent") << "silent" << QStringLiteral("导入失败：模块无应答，未写入");
    QTest::newRow("module holds the file already")
            << "same" << QStringLiteral("模块与文件一致，未写入");
}

void tst_NodeConfigProfiles::importWritesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);

    SimulatedModule b;
    QVERIFY(b.start());
    if (fault != "same")
        b.changeEveryParameter();
    b.setSilent(fault == "silent");
    QFile file(dir.filePath(QStringLiteral("one.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": "cc2530-profile", "version": 1, "parameters": {"channel": 15}})");
    file.close();

    QVERIFY(openPort(b.devicePath()));
    if (fault == "cancel") {
        DifferencesDialog *dialog = startImport(file.fileName());
        QVERIFY(dialog);
        QCOMPARE(dialog->findChild<QTableWidget *>()->rowCount(), 1);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cancelButton")),
                          Qt::LeftButton);
    } else {
        chosenFile = file.fileName();
        click("importProfile");
    }
    QTRY_COMPARE_WITH_TIMEOUT(status(), said, ImportTimeoutMs);
    QTest::qWait(400);
    QCOMPARE(b.received(), ReadRequest);
    QVERIFY(!window->findChild<DifferencesDialog *>());
    QVERIFY(child<QComboBox>("channel")->isEnabled());
    QVERIFY(child<QPushButton>("importProfile")->isEnabled());
}

void tst_NodeConfigProfiles::refusedFileWritesNothing_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("reason");

    // In Chinese, the file's own words kept.
    QTest::newRow("not JSON") << QByteArray("{\n\"format\": ")
                              << QStringLiteral("第 2 行第 11 列：对象未结束");
    QTest::newRow("unknown key") << QByteArray(R"({"format": "cc2530-profile", "version": 1,
                              "parameters": {"chanel": 11}})")
                                 << QStringLiteral(
                                            "parameters.chanel：未知的键，是否应为 \"channel\"");
    QTest::newRow("out of range") << QByteArray(R"({"format": "cc2530-profile", "version": 1,
                              "parameters": {"channel": 27, "panId": "1A2B"}})")
                                  << QStringLiteral("27 超出范围，应为 11 到 26 的整数");
    QTest::newRow("too large") << QByteArray(70000, ' ') + "{}"
                               << QStringLiteral("超出配置文件的大小上限");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("无法读取：文件或文件夹不存在");
}

void tst_NodeConfigProfiles::refusedFileWritesNothing()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    SimulatedModule b;
    QVERIFY(b.start());
    const QString path = dir.filePath(QStringLiteral("refused.json"));
    QFile::remove(path);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    QVERIFY(openPort(b.devicePath()));
    chosenFile = path;
    click("importProfile");
    QVERIFY(status().startsWith(QStringLiteral("导入失败")));
    QVERIFY2(status().contains(reason), qPrintable(status()));
    QVERIFY2(!status().contains(EnglishWords), qPrintable(status()));
    QTest::qWait(400);
    QCOMPARE(b.received(), QByteArray());
    QVERIFY(!window->findChild<DifferencesDialog *>());
}

void tst_NodeConfigProfiles::exportToUnwritableFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("said");

    QTest::newRow("in a missing folder")
            << QStringLiteral("no-such-folder/a.json") << QStringLiteral("文件或文件夹不存在");
    // A FIFO (or a device) would be replaced by the file renamed over it.
    QTest::newRow("a FIFO") << QStringLiteral("fifo") << QStringLiteral("不是普通文件");
}

void tst_NodeConfigProfiles::exportToUnwritableFile()
{
    QFETCH(QString, file);
    QFETCH(QString, said);

    SimulatedModule a;
    QVERIFY(a.start());
    QVERIFY(openPort(a.devicePath()));
    chosenFile = dir.filePath(file);
    const bool fifo = file == QLatin1String("fifo");
    if (fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(chosenFile).constData(), 0600), 0);
    click("exportProfile");
    QTRY_VERIFY(status().startsWith(QStringLiteral("导出失败：")));
    QCOMPARE(status(), QStringLiteral("导出失败：") + said);
    QCOMPARE(QFileInfo(chosenFile).exists(), fifo);
    QVERIFY(!QFileInfo(chosenFile).isFile());
    QCOMPARE(buttonText(), Open);
    QVERIFY(child<QPushButton>("exportProfile")->isEnabled());
}

void tst_NodeConfigProfiles::readBackFaultIsNamed_data()
{
    QTest::addColumn<bool>("silent"); // else the module ignores the channel mask
    QTest::addColumn<QString>("said");

    QTest::newRow("ignored item")
            << false << QStringLiteral("已发送 %1 项，1 项未生效：无线频点").arg(EveryParameter);
    QTest::newRow("no answer to the read-back")
            << true << QStringLiteral("已发送 %1 项，读回时模块无应答，未校验").arg(EveryParameter);
}

void tst_NodeConfigProfiles::readBackFaultIsNamed()
{
    QFETCH(bool, silent);
    QFETCH(QString, said);

    SimulatedModule b;
    QVERIFY(b.start());
    const QString path = saveProfileOf(b);
    b.changeEveryParameter();
    if (silent) {
        // Silent from the second read on: the read-back.
        connect(
                &b, &SimulatedModule::frameReceived, &b,
                [&b, reads = 0](const QByteArray &frame) mutable {
                    if (frame == ReadRequest && ++reads == 2)
                        b.setSilent(true);
                },
                Qt::DirectConnection);
    } else {
        b.setIgnoredNvItems({ 0x0084 }); // the channel mask
    }

    QVERIFY(openPort(b.devicePath()));
    DifferencesDialog *dialog = startImport(path);
    QVERIFY(dialog);
    writeAndWait(dialog, said);
    QVERIFY(child<QPushButton>("importProfile")->isEnabled());
    // The field shows what the module holds, not what was written.
    if (!silent)
        QCOMPARE(child<QComboBox>("channel")->currentText(), QStringLiteral("0x19"));
}

void tst_NodeConfigProfiles::interruptedImport_data()
{
    QTest::addColumn<QString>("moment");
    QTest::addColumn<bool>("hangUp"); // else the close button
    QTest::addColumn<QString>("said");

    const QString after = QStringLiteral("导入中断：已发送 %1/%2 项，未校验");
    const QString afterThree = after.arg(3).arg(EveryParameter);
    const QString nothing = QStringLiteral("导入中断：未写入");
    QTest::newRow("line lost while writing") << "writing" << true << afterThree;
    QTest::newRow("port closed while writing") << "writing" << false << afterThree;
    // The window hears of the loss only after it has submitted the fifth write.
    QTest::newRow("line lost, window lagging")
            << "lagging" << true << after.arg(4).arg(EveryParameter);
    QTest::newRow("line lost during the review") << "review" << true << nothing;
    QTest::newRow("port closed while reading") << "reading" << false << nothing;
    QTest::newRow("line lost while the file is chosen") << "choosing" << true << nothing;
}

void tst_NodeConfigProfiles::interruptedImport()
{
    QFETCH(QString, moment);
    QFETCH(bool, hangUp);
    QFETCH(QString, said);

    SimulatedModule b;
    SimulatedModule next;
    QVERIFY(b.start() && next.start());
    const QString path = saveProfileOf(b);
    b.changeEveryParameter();

    QVERIFY(openPort(b.devicePath()));
    QObject probe;
    int writesOver = 0;
    if (moment == "choosing") {
        window->setProfileFileChoosers({}, [&](QWidget *, const QString &) {
            b.hangUp();
            return QTest::qWaitFor([&] { return buttonText() == Closed; }) ? path : QString();
        });
        click("importProfile");
    } else if (moment == "reading") {
        b.setSilent(true);
        chosenFile = path;
        click("importProfile");
        QCOMPARE(status(), QStringLiteral("正在读取模块…"));
        clickOpenButton();
    } else {
        DifferencesDialog *dialog = startImport(path);
        QVERIFY(dialog);
        // The first three writes are node type and PAN ID, each with the clear-network frame,
        // and the short address: the fourth write's first frame is the sixth.
        if (moment == "writing" && hangUp)
            b.setHangUpAfterFrames(6);
        // Acts once the third write's exchange is over and the import has submitted the fourth.
        connect(&window->serialWorker(), &MyThread::exchangeFinished, &probe,
                [&](const QByteArray &sent) {
                    if (sent == ReadRequest || ++writesOver != 3)
                        return;
                    if (moment == "lagging") {
                        // Busy: the fourth exchange ends meanwhile, then the line drops.
                        QThread::msleep(300);
                        b.hangUp();
                        QThread::msleep(100);
                    } else if (moment == "writing" && !hangUp) {
                        clickOpenButton();
                    }
                });
        if (moment != "review") {
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("writeButton")),
                              Qt::LeftButton);
        } else {
            b.hangUp();
        }
    }
    QTRY_COMPARE(buttonText(), Closed);
    QVERIFY2(hangUp ? status().endsWith(QStringLiteral("；") + said) : status() == said,
             qPrintable(status()));
    QVERIFY(!window->findChild<DifferencesDialog *>());
    // Closed and truthful: the fields are empty, and usable again at the next open.
    QCOMPARE(child<QComboBox>("NodeType")->currentIndex(), 0);
    QVERIFY(!child<QComboBox>("NodeType")->testAttribute(Qt::WA_ForceDisabled));
    QVERIFY(!child<QPushButton>("importProfile")->isEnabled());
    QTest::qWait(500);
    QVERIFY(status().contains(said));

    // Nothing of the import reaches the module opened next.
    QVERIFY(openPort(next.devicePath()));
    QTest::qWait(400);
    QCOMPARE(next.received().toHex(' '), QByteArray());
}

QTEST_MAIN(tst_NodeConfigProfiles)
#include "tst_nodeconfigprofiles.moc"
