#pragma once

#include <QString>
#include <QStringList>

// Checks of the PORT and FILE arguments, made before anything is opened: a serial device or
// a FIFO is never read as a profile, a file is never opened as a port, and arguments given
// the wrong way round are named as such.
namespace Ctl {

enum class FileUse {
    None, // the subcommand takes no FILE
    Read, // a profile to read: an existing regular file
    Write, // a profile to write: missing, or a regular file to replace
};

// One message per fault, the hint on swapped arguments last; empty when both may be used.
// A PORT that names no device passes: the open says why it fails.
QStringList argumentProblems(const QString &subcommand, const QString &port, FileUse use,
                             const QString &file = QString());

} // namespace Ctl
