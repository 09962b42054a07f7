#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One serial port as the system enumerates it.
struct PortDescription
{
    QString name; // "ttyUSB0", "COM3": the text of its list item
    QString location; // "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1; // USB ids; -1 where the port has none
    int productId = -1;

    // The location and every known field, one a line: what tells two like adapters apart.
    QString toolTip() const;
};

// The serial ports the system enumerates, in its order. With describe set, each port's name
// and description go to the debug output, as the rescan button shows them.
QList<PortDescription> availablePorts(bool describe = false);
QStringList availablePortNames(bool describe = false);

// Lets tests stand in for the system's enumeration; an empty function gives it back.
void setPortSource(std::function<QList<PortDescription>()> source);

// What a port list shows once it is filled again: the port it showed where that is still
// listed, otherwise the first. A typed path (a text that is not the item under it) stays as
// typed; with keepShown (the port is in use) so does whatever the list showed.
struct PortRefill
{
    int index = -1;
    bool keepText = false;
};
PortRefill refillChoice(const QStringList &oldNames, int oldIndex, const QString &shownText,
                        bool keepShown, const QStringList &newNames);

// Fills box, a QComboBox, with the ports by the rule above, each item carrying its tool tip.
// A box being edited (its line edit has the focus) keeps its text and cursor, whatever the
// rule says. (A template, so that this folder needs no widgets.) The box's signals are the
// caller's.
template<typename Box>
void refillPortBox(Box &box, const QList<PortDescription> &ports, bool keepShown)
{
    auto *edit = box.lineEdit();
    const bool editing = edit && edit->hasFocus();
    const int cursor = edit ? edit->cursorPosition() : 0;
    QStringList oldNames;
    for (int i = 0; i < box.count(); ++i)
        oldNames << box.itemText(i);
    QStringList newNames;
    for (const PortDescription &port : ports)
        newNames << port.name;
    const QString shown = box.currentText();
    const PortRefill refill =
            refillChoice(oldNames, box.currentIndex(), shown, keepShown, newNames);
    box.clear();
    for (const PortDescription &port : ports) {
        box.addItem(port.name);
        box.setItemData(box.count() - 1, port.toolTip(), Qt::ToolTipRole);
    }
    box.setCurrentIndex(refill.index);
    if (refill.keepText || editing)
        box.setEditText(shown);
    if (editing)
        edit->setCursorPosition(cursor);
}

// The tool tip of a port box: that of the listed port it shows, or else its whole text (the
// box is narrower than most device paths).
template<typename Box>
QString portBoxToolTip(const Box &box)
{
    const int index = box.currentIndex();
    if (index >= 0 && box.itemText(index) == box.currentText())
        return box.itemData(index, Qt::ToolTipRole).toString();
    return box.currentText();
}
