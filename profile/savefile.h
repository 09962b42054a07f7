#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with bytes, whole or not at all: they go to a temporary file
// beside it, renamed over it once every byte is written. An existing path that is not a
// regular file (a device, a FIFO, a directory, or a link to one) is refused untouched: the
// rename would replace the node itself. Empty on success, otherwise the reason.
QString saveWhole(const QString &path, const QByteArray &bytes);
