#include "hextext.h"

namespace HexText {

QByteArray decode(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

QString byte(quint8 value)
{
    return QString::number(value, 16).rightJustified(2, u'0').toUpper();
}

QString compact(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

QString spaced(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char b : bytes) {
        text += byte(quint8(b));
        text += u' ';
    }
    return text;
}

} // namespace HexText
