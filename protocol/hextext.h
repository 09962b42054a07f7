#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Hex text as the user types it and as the programs show it.
namespace HexText {

// The toolkit's hex decoding of the text's 8-bit form: characters that are not hex digits
// are skipped and digits pair from the end, so a leading odd digit forms a byte of its own.
QByteArray decode(const QString &text);

// Two upper-case hex digits.
QString byte(quint8 value);

// Every byte as two upper-case hex digits followed by one blank ("0A 1B ").
QString spaced(QByteArrayView bytes);

} // namespace HexText
