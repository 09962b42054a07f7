#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// What the module a profile was read from is; information only, never written.
struct ModuleInfo
{
    QString mac; // 16 hex digits
    QString firmware; // "1.1.1"

    friend bool operator==(const ModuleInfo &a, const ModuleInfo &b)
    {
        return a.mac == b.mac && a.firmware == b.firmware;
    }
    friend bool operator!=(const ModuleInfo &a, const ModuleInfo &b) { return !(a == b); }
};

// The parameters of one module by catalogue key ("channel", "pins.io3"), each as its
// canonical text (see ProfileCatalogue::Type). It may hold any subset of the catalogue.
class Profile
{
public:
    ModuleInfo module;

    bool isEmpty() const { return m_values.isEmpty(); }
    bool contains(const QString &key) const;
    // Empty when the profile does not hold the key.
    QString value(const QString &key) const;
    // The key must be in the catalogue and the value checked (ProfileCatalogue::check).
    void set(const QString &key, const QString &value);
    void remove(const QString &key);
    // In catalogue order.
    QStringList keys() const;

    // A key a module's reply holds no value for, with the field's bytes (hex digits, most
    // significant first); such a key has no value.
    void setUnknown(const QString &key, const QString &raw);
    // Empty unless the key is unknown.
    QString unknown(const QString &key) const;
    // In catalogue order.
    QStringList unknownKeys() const;

    friend bool operator==(const Profile &a, const Profile &b)
    {
        return a.module == b.module && a.m_values == b.m_values && a.m_unknown == b.m_unknown;
    }
    friend bool operator!=(const Profile &a, const Profile &b) { return !(a == b); }

private:
    QMap<int, QString> m_values; // by catalogue row
    QMap<int, QString> m_unknown; // by catalogue row
};

// The profile file: UTF-8 JSON with the format name, the version, the module and the
// parameters, nested where a key has a dot ("pins.io3" in "pins").
namespace ProfileFile {

inline constexpr char Format[] = "cc2530-profile";
inline constexpr int Version = 1;

// The whole text is checked before anything is taken: with any fault the result is none and
// errors holds one English message per fault. A name given twice in one object is a fault.
// notes tells of values the module holds as others (ProfileCatalogue::check).
std::optional<Profile> parse(const QByteArray &json, QStringList *errors,
                             QStringList *notes = nullptr);

// A profile is a few kilobytes; a larger file is refused unread.
inline constexpr qint64 MaxFileBytes = 64 * 1024;

// Reads and parses the file at path; with any fault none, and errors holds one English
// message per fault (a file that cannot be read, is not a regular file, is too large, or does
// not parse).
std::optional<Profile> load(const QString &path, QStringList *errors, QStringList *notes = nullptr);

// Keys in catalogue order, hex digits in upper case; parse() gives the profile back.
QByteArray write(const Profile &profile);

struct Setting
{
    QString key;
    QString value; // canonical
    QString note; // how the module holds a value other than the one given
};

// "KEY=VALUE" ("shortAddress=0002", "pins.io3=ds18b20"), blanks around either ignored, checked
// as the key in a file.
std::optional<Setting> parseSetting(const QString &text, QString *error);
// Several, each key at most once; with any fault none, and errors holds one message per fault.
std::optional<QList<Setting>> parseSettings(const QStringList &texts, QStringList *errors);

} // namespace ProfileFile
