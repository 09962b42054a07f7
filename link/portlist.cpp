#include "portlist.h"

#include <QDebug>
#include <QSerialPortInfo>

namespace {

std::function<QList<PortDescription>()> &portSource()
{
    static std::function<QList<PortDescription>()> source;
    return source;
}

QList<PortDescription> systemPorts()
{
    QList<PortDescription> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        PortDescription port;
        port.name = info.portName();
        port.location = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        ports << port;
    }
    return ports;
}

QString usbId(int id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

QString PortDescription::toolTip() const
{
    QStringList lines { location.isEmpty() ? name : location };
    const auto add = [&lines](const QString &label, const QString &value) {
        if (!value.isEmpty())
            lines << label + value;
    };
    add(QStringLiteral("描述："), description);
    add(QStringLiteral("制造商："), manufacturer);
    add(QStringLiteral("序列号："), serialNumber);
    if (vendorId >= 0 || productId >= 0) {
        add(QStringLiteral("USB ID："),
            (vendorId >= 0 ? usbId(vendorId) : QStringLiteral("????")) + u':'
                    + (productId >= 0 ? usbId(productId) : QStringLiteral("????")));
    }
    return lines.join(u'\n');
}

QList<PortDescription> availablePorts(bool describe)
{
    const QList<PortDescription> ports = portSource() ? portSource()() : systemPorts();
    if (describe) {
        for (const PortDescription &port : ports) {
            qDebug() << "Name        : " << port.name;
            qDebug() << "Description : " << port.description;
        }
    }
    return ports;
}

QStringList availablePortNames(bool describe)
{
    QStringList names;
    const QList<PortDescription> ports = availablePorts(describe);
    for (const PortDescription &port : ports)
        names << port.name;
    return names;
}

void setPortSource(std::function<QList<PortDescription>()> source)
{
    portSource() = std::move(source);
}

PortRefill refillChoice(const QStringList &oldNames, int oldIndex, const QString &shownText,
                        bool keepShown, const QStringList &newNames)
{
    if (!shownText.isEmpty() && newNames.contains(shownText))
        return { int(newNames.indexOf(shownText)), false };
    const QString underneath = oldNames.value(oldIndex);
    const bool typed = !shownText.isEmpty() && shownText != underneath;
    int index = int(newNames.indexOf(underneath));
    if (index < 0)
        index = newNames.isEmpty() ? -1 : 0;
    return { index, typed || (keepShown && !shownText.isEmpty()) };
}
