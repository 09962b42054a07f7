#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The option lists of the node window. An item's index is the value's code, so the texts
// and their order are part of the protocol. Every parameter list starts with an empty item.
namespace OptionLists {

QStringList nodeType();
QStringList channel();
QStringList baudRate();
QStringList stopBits();
QStringList parity();
QStringList sleepMode();
QStringList workMode();
QStringList sendMode();
QStringList sendAddrMode();
QStringList outPut();
QStringList addrMode();

// The three pin lists: 1 for IO_1 and io_10, 2 for IO_2 and io_11, 3 for IO_3 to IO_6.
enum class PinList { One, Two, Three };
QStringList pinFunctions(PinList list);

// Function code written for a pin item text ("无" is 0xFF); nothing for other texts.
std::optional<quint8> pinFunctionCode(const QString &itemText);

// Index of the item a function code read from the module selects in the list;
// 0 ("无") when the list does not offer that function or the code is unknown.
int pinFunctionIndex(PinList list, quint8 code);

} // namespace OptionLists
