#pragma once

// The simulated module's first state, worked out by hand from its NV bytes and the reply layout,
// so that a decoder and a writer that agree in a fault still fail against it.

#include "simulatedmodule.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace FirstState {

// The parameters of a profile of that state.
inline QJsonObject parameters()
{
    // Sleep cycle 14 is held doubled; auto-send time FF FF is kept as stored; pins 4 to 6 and
    // 11 hold FF; the frequency is 32 MHz / 800.
    return QJsonDocument::fromJson(R"({
        "nodeType": "router", "panId": "1A2B", "shortAddress": "0001", "channel": 15,
        "extendedPanId": "0123456789ABCDEF", "txPowerCode": 53, "uartBaudRate": 38400,
        "uartParity": "none", "uartStopBits": 1, "uartTimeout": 5, "sleepMode": "auto",
        "sleepCycle": 10, "workTime": 10, "workMode": "api", "sendMode": "broadcast",
        "addressEncoding": "hex", "sourceAddressOutput": false, "sendAddressMode": "short",
        "pins": {"io1": "level-output", "io2": "level-input", "io3": "ds18b20", "io4": "none",
                 "io5": "none", "io6": "none", "io10": "pwm-output", "io11": "none"},
        "destinationAddress": "0000", "autoSendTime": "FFFF", "pwmDivider": 32,
        "pwmFrequency": 40000})")
            .object();
}

// Every NV item the device-information reply shows.
inline const QList<quint16> &nvItems()
{
    static const QList<quint16> items { 0x002B, 0x0047, 0x0083, 0x0084, 0x0087, 0x0403, 0x0405,
                                        0x040B, 0x040C, 0x040D, 0x040E, 0x040F, 0x0410, 0x0411,
                                        0x0412, 0x0413, 0x0414, 0x0416, 0x0417, 0x0418 };
    return items;
}

// What a module stores that the other does not, by NV item (and transmit power, frequency
// divisor); empty when they hold the same.
inline QStringList storedDifferences(const SimulatedModule &a, const SimulatedModule &b)
{
    QStringList differ;
    for (const quint16 item : nvItems()) {
        if (a.nvItem(item) != b.nvItem(item))
            differ << QStringLiteral("%1: %2 / %3")
                              .arg(item, 4, 16, QLatin1Char('0'))
                              .arg(QString::fromLatin1(a.nvItem(item).toHex(' ')),
                                   QString::fromLatin1(b.nvItem(item).toHex(' ')));
    }
    if (a.txPowerCode() != b.txPowerCode())
        differ << QStringLiteral("transmit power");
    if (a.frequencyDivisor() != b.frequencyDivisor())
        differ << QStringLiteral("frequency divisor");
    return differ;
}

} // namespace FirstState
