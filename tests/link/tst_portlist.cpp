#include "portlist.h"

#include <QTest>

Q_DECLARE_METATYPE(PortDescription)

namespace {

PortDescription port(const QString &name, const QString &location = QString())
{
    PortDescription port;
    port.name = name;
    port.location = location;
    return port;
}

} // namespace

class tst_PortList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { setPortSource({}); }

    void refill_data();
    void refill();
    void toolTip_data();
    void toolTip();
    void sourceStandsIn();
};

void tst_PortList::refill_data()
{
    QTest::addColumn<QStringList>("oldNames");
    QTest::addColumn<int>("oldIndex");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("keepShown");
    QTest::addColumn<QStringList>("newNames");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("keepText");

    const QStringList ab { QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0") };
    const QString pty = QStringLiteral("/dev/pts/3");
    QTest::newRow("listed port moved")
            << ab << 1 << QStringLiteral("ttyUSB0") << false
            << QStringList { QStringLiteral("ttyACM0"), ab.at(1) } << 1 << false;
    QTest::newRow("listed port gone: the first")
            << ab << 1 << ab.at(1) << false << QStringList { ab.at(0) } << 0 << false;
    QTest::newRow("typed path over a port still listed")
            << ab << 1 << pty << false << QStringList { QStringLiteral("ttyACM0"), ab.at(1) } << 1
            << true;
    QTest::newRow("typed path, nothing listed")
            << QStringList() << -1 << pty << false << QStringList() << -1 << true;
    QTest::newRow("typed name now listed")
            << ab << 0 << QStringLiteral("ttyUSB1") << false
            << QStringList { ab.at(0), QStringLiteral("ttyUSB1") } << 1 << false;
    QTest::newRow("port in use gone: still shown")
            << ab << 1 << ab.at(1) << true << QStringList { ab.at(0) } << 0 << true;
    QTest::newRow("port in use still listed")
            << ab << 1 << ab.at(1) << true << QStringList { ab.at(1) } << 0 << false;
    QTest::newRow("emptied text: the first")
            << ab << 1 << QString() << false << QStringList { ab.at(1) } << 0 << false;
    QTest::newRow("all gone") << ab << 0 << ab.at(0) << false << QStringList() << -1 << false;
}

void tst_PortList::refill()
{
    QFETCH(QStringList, oldNames);
    QFETCH(int, oldIndex);
    QFETCH(QString, shown);
    QFETCH(bool, keepShown);
    QFETCH(QStringList, newNames);

    const PortRefill refill = refillChoice(oldNames, oldIndex, shown, keepShown, newNames);
    QTEST(refill.index, "index");
    QTEST(refill.keepText, "keepText");
}

void tst_PortList::toolTip_data()
{
    QTest::addColumn<PortDescription>("port");
    QTest::addColumn<QString>("tip");

    PortDescription usb = port(QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"));
    usb.description = QStringLiteral("CP2102 USB to UART Bridge Controller");
    usb.manufacturer = QStringLiteral("Silicon Labs");
    usb.serialNumber = QStringLiteral("0001");
    usb.vendorId = 0x10c4;
    usb.productId = 0xea60;
    QTest::newRow("USB adapter") << usb
                                 << QStringLiteral(
                                            "/dev/ttyUSB0\n描述：CP2102 USB to UART Bridge "
                                            "Controller\n制造商：Silicon Labs\n序列号：0001\n"
                                            "USB ID：10c4:ea60");
    usb.serialNumber = QStringLiteral("0002");
    QTest::newRow("its twin") << usb
                              << QStringLiteral("/dev/ttyUSB0\n描述：CP2102 USB to UART Bridge "
                                                "Controller\n制造商：Silicon Labs\n序列号：0002\n"
                                                "USB ID：10c4:ea60");
    QTest::newRow("built-in port") << port(QStringLiteral("ttyS0"), QStringLiteral("/dev/ttyS0"))
                                   << QStringLiteral("/dev/ttyS0");
    PortDescription com = port(QStringLiteral("COM3"));
    com.description = QStringLiteral("USB-SERIAL CH340");
    com.vendorId = 0x1a86;
    QTest::newRow("no location, no product id")
            << com << QStringLiteral("COM3\n描述：USB-SERIAL CH340\nUSB ID：1a86:????");
}

void tst_PortList::toolTip()
{
    QFETCH(PortDescription, port);
    QTEST(port.toolTip(), "tip");
}

void tst_PortList::sourceStandsIn()
{
    setPortSource([] {
        return QList<PortDescription> { port(QStringLiteral("ttyX1")),
                                        port(QStringLiteral("ttyX2")) };
    });
    QCOMPARE(availablePortNames(true),
             (QStringList { QStringLiteral("ttyX1"), QStringLiteral("ttyX2") }));
}

QTEST_GUILESS_MAIN(tst_PortList)
#include "tst_portlist.moc"
