#include "digiapi.h"

#include "commandframe.h"
#include "hextext.h"

namespace DigiApi {

namespace {

// The address text with its two-character groups in reverse order, characters as typed:
// "0011223344556677" becomes "7766554433221100".
QString reversedPairs(const QString &address, int digits)
{
    const QString field = address.left(digits).rightJustified(digits, u'0');
    QString reversed;
    reversed.reserve(digits);
    for (int pos = digits - 2; pos >= 0; pos -= 2)
        reversed += QStringView(field).mid(pos, 2);
    return reversed;
}

} // namespace

Composition compose(const QString &macAddress, const QString &shortAddress, const QString &data)
{
    // "00" at text positions 3 and 4 holds the place of LEN.
    QString text = QStringLiteral("FE 00 21 2E ");
    text += reversedPairs(macAddress, MacAddressDigits);
    text += u' ';
    text += reversedPairs(shortAddress, ShortAddressDigits);
    text += u' ';
    text += data;

    QByteArray bytes = HexText::decode(text);
    // LEN counts everything after FE, LEN, CMD0 and CMD1.
    const int len = bytes.size() - 4;
    if (len > 0xFF) {
        return { QString(),
                 QStringLiteral("数据共%1字节，超过%2字节上限，未生成API帧")
                         .arg(len - 10)
                         .arg(MaxDataBytes) };
    }
    bytes[1] = char(len);
    text.replace(3, 2, HexText::byte(quint8(len)));

    const quint8 check = CommandFrame::checkByte(QByteArrayView(bytes).sliced(1, 3 + len));
    text += u' ';
    text += HexText::byte(check);
    return { text, QString() };
}

} // namespace DigiApi
