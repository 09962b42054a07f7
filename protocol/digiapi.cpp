#include "digiapi.h"

#include "commandframe.h"

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

    const CommandFrame::FinishedText finished = CommandFrame::finishHexText(text);
    if (!finished.isFinished()) {
        // The payload is the ten address bytes and the data.
        return { QString(),
                 QStringLiteral("数据共%1字节，超过%2字节上限，未生成API帧")
                         .arg(finished.payloadSize - 10)
                         .arg(MaxDataBytes) };
    }
    return { finished.text, QString() };
}

} // namespace DigiApi
