#include "commandline.h"
#include "commands.h"

#include "console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>

namespace Ctl {

namespace {

QString usbId(const QSerialPortInfo &info)
{
    if (!info.hasVendorIdentifier() || !info.hasProductIdentifier())
        return QString();
    return QStringLiteral("%1:%2")
            .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
            .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
}

} // namespace

int portsCommand(const Options &options)
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (options.json) {
        QJsonArray list;
        for (const QSerialPortInfo &info : ports) {
            list.append(QJsonObject {
                    { QStringLiteral("port"), info.systemLocation() },
                    { QStringLiteral("description"), info.description() },
                    { QStringLiteral("manufacturer"), info.manufacturer() },
                    { QStringLiteral("serialNumber"), info.serialNumber() },
                    { QStringLiteral("usbId"), usbId(info) },
            });
        }
        Console::out(
                QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
        return Done;
    }
    if (ports.isEmpty())
        Console::err(QStringLiteral("no serial ports found (pseudo-terminals are not listed)"));
    for (const QSerialPortInfo &info : ports) {
        QStringList fields { info.systemLocation() };
        for (const QString &field :
             { info.description(), info.manufacturer(), info.serialNumber(), usbId(info) })
            fields << (field.isEmpty() ? QStringLiteral("-") : field);
        Console::out(fields.join(u'\t'));
    }
    return Done;
}

} // namespace Ctl
