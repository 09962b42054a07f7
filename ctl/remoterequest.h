#pragma once

#include "remoteframe.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The words of `cc2530ctl remote` turned into the remote window's row, so that the window's
// frame builder makes each frame; and the nodes the frames go to. Every check is made here,
// before anything is opened. Refusals are English sentences naming the closest known word.
namespace Ctl::Remote {

// COMMAND [ARGUMENT...] as the row the window holds for it, the address left empty.
std::optional<RemoteFrame::Selection> parseCommand(const QStringList &words, QString *error);

// The --to value: addresses and ranges, or the shortAddress of every row of a ledger that the
// filter keeps (rows without one are left out), in file order, each once.
std::optional<QList<quint16>> parseTargets(const QString &text, QString *error);

// The finished frame for one address (none for the node scan); refused when its payload would
// exceed 255 bytes.
std::optional<QByteArray> frameFor(const RemoteFrame::Selection &row,
                                   std::optional<quint16> address, QString *error);

// Four upper-case hex digits.
QString addressText(quint16 address);

} // namespace Ctl::Remote
