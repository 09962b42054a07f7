#include "hextext.h"

#include <QRegularExpression>

namespace HexText {

QByteArray decode(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

std::optional<QByteArray> parseBytes(const QString &text, BytesFault *fault)
{
    static const QRegularExpression blanks(QStringLiteral("\\s"));
    static const QRegularExpression notHex(QStringLiteral("[^0-9A-Fa-f]"));
    const QString digits = QString(text).remove(blanks);
    BytesFault found = BytesFault::None;
    if (digits.contains(notHex))
        found = BytesFault::NotHex;
    else if (digits.isEmpty())
        found = BytesFault::NoDigits;
    else if (digits.size() % 2 != 0)
        found = BytesFault::OddDigits;
    if (fault)
        *fault = found;
    if (found != BytesFault::None)
        return std::nullopt;
    return QByteArray::fromHex(digits.toLatin1());
}

QString byte(quint8 value)
{
    return QString::number(value, 16).rightJustified(2, u'0').toUpper();
}

QString spaced(QByteArrayView bytes)
{
    // Written digit by digit: the logs format every received byte through here.
    static constexpr char Digits[] = "0123456789ABCDEF";
    QString text(bytes.size() * 3, Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        *out++ = QLatin1Char(Digits[quint8(b) >> 4]);
        *out++ = QLatin1Char(Digits[quint8(b) & 0x0F]);
        *out++ = u' ';
    }
    return text;
}

} // namespace HexText
