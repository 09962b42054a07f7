#include "modulecommands.h"
#include "modulemodel.h"

#include <QTest>

namespace {

const QByteArray NvWriteOk = QByteArray::fromHex("FE 01 61 09 00 69");
// PAN ID 0x1234 into item 0x0083; the reply carries the PAN ID at offset 5.
const QByteArray PanWrite = ModuleCommand::nvWriteFrame(0x0083, 0, QByteArray::fromHex("34 12"));
constexpr int PanOffset = 5;

} // namespace

class tst_ModuleModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writes_data();
    void writes();
    void saveAndRestart_data();
    void saveAndRestart();
};

void tst_ModuleModel::writes_data()
{
    QTest::addColumn<bool>("unanswered");
    QTest::addColumn<int>("ignoredItem"); // -1: none
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("nv write") << false << -1 << PanWrite << NvWriteOk << PanOffset
                              << QByteArray::fromHex("34 12");
    QTest::newRow("unanswered nv write applied")
            << true << -1 << PanWrite << QByteArray() << PanOffset << QByteArray::fromHex("34 12");
    QTest::newRow("unanswered transmit power applied")
            << true << -1 << QByteArray::fromHex("FE 01 21 14 95 A1") << QByteArray() << 18
            << QByteArray::fromHex("95");
    QTest::newRow("unanswered frequency applied")
            << true << -1 << QByteArray::fromHex("FE 04 21 2B E8 03 00 00 E5") << QByteArray() << 42
            << QByteArray::fromHex("00 7D");
    QTest::newRow("remote write still answered")
            << true << -1 << QByteArray::fromHex("FE 06 21 18 00 00 87 00 00 01 B9")
            << QByteArray::fromHex("FE 01 61 18 00 78") << PanOffset
            << QByteArray::fromHex("2B 1A");
    QTest::newRow("ignored item answered, kept") << false << 0x0083 << PanWrite << NvWriteOk
                                                 << PanOffset << QByteArray::fromHex("2B 1A");
    QTest::newRow("other item than the ignored one") << false << 0x0084 << PanWrite << NvWriteOk
                                                     << PanOffset << QByteArray::fromHex("34 12");
}

void tst_ModuleModel::writes()
{
    QFETCH(bool, unanswered);
    QFETCH(int, ignoredItem);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, offset);
    QFETCH(QByteArray, shown);

    ModuleModel model;
    model.setUnansweredWrites(unanswered);
    if (ignoredItem >= 0)
        model.setIgnoredNvItems({ quint16(ignoredItem) });
    QCOMPARE(model.handle(request).reply, reply);

    const ModuleModel::Response info = model.handle(ModuleCommand::readDeviceInfoFrame());
    QVERIFY(info.isDeviceInfo);
    QCOMPARE(info.reply, model.deviceInfoReply());
    QCOMPARE(info.reply.mid(offset, shown.size()), shown);
}

void tst_ModuleModel::saveAndRestart_data()
{
    QTest::addColumn<bool>("restartOnSave");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("answered") << false << QByteArray::fromHex("FE 01 61 00 00 60");
    QTest::newRow("restart") << true << QByteArray();
}

void tst_ModuleModel::saveAndRestart()
{
    QFETCH(bool, restartOnSave);
    QFETCH(QByteArray, reply);

    ModuleModel model;
    model.setRestartOnSave(restartOnSave);
    model.handle(PanWrite);
    QCOMPARE(model.handle(ModuleCommand::startRssiTestFrame()).rssi,
             ModuleModel::Response::Rssi::Start);

    const ModuleModel::Response response = model.handle(ModuleCommand::saveAndRestartFrame());
    QCOMPARE(response.reply, reply);
    QCOMPARE(response.restarts, restartOnSave);
    QCOMPARE(model.restartCount(), restartOnSave ? 1 : 0);
    QCOMPARE(response.rssi, ModuleModel::Response::Rssi::Stop);
    QVERIFY(!model.rssiTestRunning());
    // NV state outlives the restart.
    QCOMPARE(model.deviceInfoReply().mid(PanOffset, 2), QByteArray::fromHex("34 12"));
}

QTEST_GUILESS_MAIN(tst_ModuleModel)
#include "tst_modulemodel.moc"
