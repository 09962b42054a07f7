#include "portlist.h"

#include <QDebug>
#include <QSerialPortInfo>

QStringList availablePortNames(bool describe)
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        names << info.portName();
        if (describe) {
            qDebug() << "Name        : " << info.portName();
            qDebug() << "Description : " << info.description();
        }
    }
    return names;
}
