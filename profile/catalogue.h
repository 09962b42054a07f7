#pragma once

#include "deviceinfo.h"
#include "parameterwrites.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Every parameter a module profile holds, one row per key in the order of the file: the
// value's form, the node window's field, the frame that writes it and where the
// device-information reply holds it.
namespace ProfileCatalogue {

// The value's form in the file. Values are held as canonical text: words as in the file,
// whole numbers in decimal, booleans as "true" or "false", hex digits in upper case.
enum class Type {
    Word, // a string, one of values
    Integer, // a number: one of values when there are any, otherwise minimum to maximum
    Boolean, // false or true, the two values
    Hex, // a string of digits hex digits, either case
};

// The frame is exactly the one the window's setter sends for the value.
enum class Write {
    List, // ParameterWrites::listFrame with the value's list index
    Text, // ParameterWrites::textFrame with the value's text
    TxPower, // ParameterWrites::txPowerFrame with the code in decimal
    Frequency, // ParameterWrites::frequencyFrame with the frequency in hex digits
    Pin, // ParameterWrites::pinFrame with the value's list item
};

enum class Read {
    // The value whose frame puts exactly the field's bytes into the module; bytes no value's
    // frame writes hold no value, whatever item the window falls back to for them.
    Written,
    Raw, // the field as the module sends it
    RawHalved, // the field halved: the module holds it doubled
    Frequency, // clock / divisor, where that is a frequency the module reads back as written
};

struct Entry
{
    QString key; // "channel", "pins.io3"
    QString label; // the window's label of the field
    Type type = Type::Word;
    QStringList values;
    qint64 minimum = 0;
    qint64 maximum = 0;
    int digits = 0;
    // The window's list for List and Pin writes: item firstIndex + n stands for values[n]
    // (or for minimum + n).
    QStringList list;
    int firstIndex = 1;

    Write write = Write::Text;
    ParameterWrites::Parameter parameter = ParameterWrites::Parameter::NodeType; // List, Text
    quint8 pin = 0; // Pin
    // The window clears the network formation after writing it.
    bool changesNetwork = false;

    Read read = Read::Raw;
    DeviceInfoReply::Field field = DeviceInfoReply::Field::NodeType;
    // Read::Written: the field's number (low byte first) each value's frame writes, by value.
    QList<std::pair<quint64, QString>> written;
    // What the window shows: the text of a line-edit field, or the item a list selects (for
    // the channel and the work mode, the item their own rules select).
    QString DeviceInfoReply::DeviceInfo::*shown = nullptr;
    int DeviceInfoReply::DeviceInfo::*index = nullptr;
};

const QList<Entry> &entries();
const Entry *find(const QString &key);
int position(const Entry &entry); // row in entries()
// Every value an entry with a list of values or a range allows (the channel as 11 to 26).
QStringList allValues(const Entry &entry);

// The canonical text of a value, or none and the reason, naming the value by name. A value the
// module cannot hold as given is taken as the one it holds instead, and note says so.
std::optional<QString> check(const Entry &entry, const QJsonValue &value, const QString &name,
                             QString *error, QString *note = nullptr);
// A value typed as text (KEY=VALUE) as the JSON value it stands for.
QJsonValue fromText(const Entry &entry, const QString &text);
QJsonValue toJson(const Entry &entry, const QString &value);

// The module's value in a reply; none where the reply holds none the profile allows
// (bytes no value's frame writes, divisor 0 or one no frequency's write gives).
std::optional<QString> read(const Entry &entry, const DeviceInfoReply::RawFields &raw,
                            const DeviceInfoReply::DeviceInfo &info);
// The field's bytes as the module holds them: hex digits, most significant byte first.
QString rawText(const Entry &entry, const DeviceInfoReply::RawFields &raw);
// What the window shows for it; empty where the window selects no item.
QString shownText(const Entry &entry, const DeviceInfoReply::DeviceInfo &info);

// The window's list item for a checked value of a list or pin entry, the value itself for
// the others; empty for an empty value.
QString windowText(const Entry &entry, const QString &value);

// The frame that writes a checked value.
QByteArray frame(const Entry &entry, const QString &value);

// The file's word for an item of a window's list ("开关量采集" → "switch-input"); the item text
// itself where the file writes the text.
QString listWord(const QString &item);

// The known name nearest to name by edit distance, ignoring case.
QString closest(const QString &name, const QStringList &known);

} // namespace ProfileCatalogue
