#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Hex text as the user types it and as the programs show it.
namespace HexText {

// The toolkit's hex decoding of the text's 8-bit form: characters that are not hex digits
// are skipped and digits pair from the end, so a leading odd digit forms a byte of its own.
QByteArray decode(const QString &text);

// Why parseBytes refused a text.
enum class BytesFault { None, NotHex, NoDigits, OddDigits };

// Whole bytes as typed: hex digits with blanks anywhere ("FE 0021", "F E"), paired from the
// start once the blanks are gone. None for a character that is neither a hex digit nor a
// blank, for no digit at all, or for an odd number of digits; fault says which.
std::optional<QByteArray> parseBytes(const QString &text, BytesFault *fault = nullptr);

// Two upper-case hex digits.
QString byte(quint8 value);

// Every byte as two upper-case hex digits followed by one blank ("0A 1B ").
QString spaced(QByteArrayView bytes);

} // namespace HexText
