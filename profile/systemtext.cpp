#include "systemtext.h"

#include <QCoreApplication>

namespace {

// The system's reasons (strerror, as Qt's file classes report them) a file operation of ours
// can meet, marked for the catalogues.
[[maybe_unused]] constexpr const char *SystemReasons[] = {
    QT_TRANSLATE_NOOP("SystemText", "Operation not permitted"),
    QT_TRANSLATE_NOOP("SystemText", "No such file or directory"),
    QT_TRANSLATE_NOOP("SystemText", "Input/output error"),
    QT_TRANSLATE_NOOP("SystemText", "No such device or address"),
    QT_TRANSLATE_NOOP("SystemText", "Permission denied"),
    QT_TRANSLATE_NOOP("SystemText", "Device or resource busy"),
    QT_TRANSLATE_NOOP("SystemText", "File exists"),
    QT_TRANSLATE_NOOP("SystemText", "No such device"),
    QT_TRANSLATE_NOOP("SystemText", "Not a directory"),
    QT_TRANSLATE_NOOP("SystemText", "Is a directory"),
    QT_TRANSLATE_NOOP("SystemText", "Invalid argument"),
    QT_TRANSLATE_NOOP("SystemText", "Too many open files"),
    QT_TRANSLATE_NOOP("SystemText", "Text file busy"),
    QT_TRANSLATE_NOOP("SystemText", "File too large"),
    QT_TRANSLATE_NOOP("SystemText", "No space left on device"),
    QT_TRANSLATE_NOOP("SystemText", "Read-only file system"),
    QT_TRANSLATE_NOOP("SystemText", "File name too long"),
    QT_TRANSLATE_NOOP("SystemText", "Too many levels of symbolic links"),
    QT_TRANSLATE_NOOP("SystemText", "Disk quota exceeded"),
    QT_TRANSLATE_NOOP("SystemText", "Cannot allocate memory"),
    QT_TRANSLATE_NOOP("SystemText", "Stale file handle"),
    QT_TRANSLATE_NOOP("SystemText", "Invalid cross-device link"),
};

// Texts Qt translates itself in these contexts, so that a catalogue of ours serves them too:
// the JSON parser's reasons and the save file's and any device's own.
[[maybe_unused]] constexpr const char *QtReasons[] = {
    QT_TRANSLATE_NOOP("QJsonParseError", "no error occurred"),
    QT_TRANSLATE_NOOP("QJsonParseError", "unterminated object"),
    QT_TRANSLATE_NOOP("QJsonParseError", "missing name separator"),
    QT_TRANSLATE_NOOP("QJsonParseError", "unterminated array"),
    QT_TRANSLATE_NOOP("QJsonParseError", "missing value separator"),
    QT_TRANSLATE_NOOP("QJsonParseError", "illegal value"),
    QT_TRANSLATE_NOOP("QJsonParseError", "invalid termination by number"),
    QT_TRANSLATE_NOOP("QJsonParseError", "illegal number"),
    QT_TRANSLATE_NOOP("QJsonParseError", "invalid escape sequence"),
    QT_TRANSLATE_NOOP("QJsonParseError", "invalid UTF8 string"),
    QT_TRANSLATE_NOOP("QJsonParseError", "unterminated string"),
    QT_TRANSLATE_NOOP("QJsonParseError", "object is missing after a comma"),
    QT_TRANSLATE_NOOP("QJsonParseError", "too deeply nested document"),
    QT_TRANSLATE_NOOP("QJsonParseError", "too large document"),
    QT_TRANSLATE_NOOP("QJsonParseError", "garbage at the end of the document"),
    QT_TRANSLATE_NOOP("QSaveFile", "Existing file %1 is not writable"),
    QT_TRANSLATE_NOOP("QSaveFile", "Filename refers to a directory"),
    QT_TRANSLATE_NOOP("QSaveFile", "Writing canceled by application"),
    QT_TRANSLATE_NOOP("QIODevice", "Unknown error"),
};

} // namespace

QString systemText(const QString &text)
{
    const QByteArray source = text.toUtf8();
    return QCoreApplication::translate("SystemText", source.constData());
}
