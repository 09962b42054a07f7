#pragma once

#include "remotecatalogue.h"

#include <QByteArray>
#include <QString>

// Remote commands as the remote window builds them: hex text "FE 00 21 " with the command
// code, the destination address and the command body, then finished with the length byte
// and the check byte. Typed texts (address, value) go into the text exactly as typed.
namespace RemoteFrame {

// What the input row holds when the frame is built.
struct Selection
{
    QString command; // command selector text
    QString address; // destination short address, as typed
    int parameterIndex = -1; // parameter or pin selector (NVID_IO)
    QString parameterText;
    int choiceIndex = -1; // choice or IO pin selector (Type_IOport)
    QString choiceText;
    QString option; // IO function or output level (comboBox)
    QString value; // free hex value (function)
};

// False for the node scan, which goes to the attached module itself and carries no address.
bool takesAddress(RemoteCatalogue::Command command);

// The row as the window's form leaves it after choosing the command, then the parameter or
// pin (an index in the list that command loads), then the choice or IO pin, and typing the
// option and value: the selector texts are those of the lists loaded, and a read leaves the
// choice selector empty. For callers that choose by index rather than through the form.
Selection selection(RemoteCatalogue::Command command, const QString &address, int parameter = -1,
                    int choice = -1, const QString &option = {}, const QString &value = {});

struct Result
{
    QString text; // frame text
    QByteArray bytes; // the finished frame; set by finishFrame only
    QString refusal; // why no frame could be made; empty on success

    bool isRefused() const { return !refusal.isEmpty(); }
};

// The frame text before finishing: "FE 00 21 " (00 holds the place of the length byte), then
// the command code, the address and the body. Refused for the empty command and for a PWM
// frequency that is not four bytes or is zero.
Result compose(const Selection &selection);

// Writes the length (hex bytes after the first four) over the placeholder at characters 3
// and 4, appends a blank and the check byte, and decodes the finished text into bytes.
// Refused when the text holds an odd number of hex digits (the bytes would be shifted by
// half a byte), decodes to fewer than four bytes or the payload exceeds 255 bytes.
Result finishFrame(const QString &frameText);

// compose, then finishFrame.
Result build(const Selection &selection);

} // namespace RemoteFrame
