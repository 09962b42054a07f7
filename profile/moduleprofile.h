#pragma once

#include "profile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <utility>

// A module's profile from its device-information reply, and the writes that make a module
// match a wanted profile.
namespace ModuleProfile {

// Each takes an intact device-information reply of at least
// DeviceInfoReply::MinimumLength + 5 bytes (DeviceInfoReply::findReply gives one).

// Every catalogue key the reply holds a value for, with the values as the module keeps them
// (uartTimeout 0xFF is 255, not the "6" the window shows); the others as unknown.
Profile fromReply(QByteArrayView frame);

struct Reading
{
    QString key;
    QString value; // empty where the reply holds no value the profile allows
    QString raw; // the field's bytes, hex digits, most significant first
    QString windowText; // what the node window shows; empty where it selects no item
};
// Every catalogue key in order.
QList<Reading> readings(QByteArrayView frame);

struct Difference
{
    Difference(QString key, QString moduleValue, QString wantedValue, QString moduleRaw = {})
        : key(std::move(key))
        , moduleValue(std::move(moduleValue))
        , wantedValue(std::move(wantedValue))
        , moduleRaw(std::move(moduleRaw))
    {
    }

    QString key;
    QString moduleValue; // empty when the module's profile lacks the key
    QString wantedValue;
    QString moduleRaw; // the field's bytes where the module holds no value for the key
};
// The keys of wanted whose value the module's profile does not hold, in catalogue order.
QList<Difference> differences(const Profile &module, const Profile &wanted);

struct WriteStep
{
    QString key; // empty for the clear-network step
    QString value;
    QByteArray frame;
    bool changesNetwork = false;
};

enum class ClearNetwork {
    AfterEach, // after every write that changes the network, as the window does
    OnceAtEnd, // once after all writes, if any changes the network
};

// The frames that write the wanted values, in catalogue order, each exactly as the window's
// setter sends it.
QList<WriteStep> writePlan(const QList<Difference> &differences, ClearNetwork clear);

struct Transmission
{
    QString key; // the parameter it writes
    QByteArray bytes;
};

// A plan as the window's setters hand it to the link: a transmission per write, the
// clear-network frame in the same transmission as the write before it.
QList<Transmission> transmissions(const QList<WriteStep> &plan);

} // namespace ModuleProfile
