#pragma once

#include <QString>

// The DigiAPI transmit frame as hex text for the user to copy:
// "FE LL 21 2E " MAC (8 bytes, least significant first) " " short address (LSB first) " "
// data as typed " " check byte. LEN and the check byte come from the hex decoding of the
// composed text, so characters that are not hex digits are copied but not counted.
namespace DigiApi {

inline constexpr int MacAddressDigits = 16;
inline constexpr int ShortAddressDigits = 4;
// LEN is one byte and counts the 8 + 2 address bytes as well.
inline constexpr int MaxDataBytes = 0xFF - 10;

struct Composition
{
    QString frameText; // empty when refused
    QString refusal; // why nothing was composed; empty on success

    bool isComposed() const { return refusal.isEmpty(); }
};

// An address shorter than its field is filled with '0' in front; characters beyond the
// field are not used.
Composition compose(const QString &macAddress, const QString &shortAddress, const QString &data);

} // namespace DigiApi
