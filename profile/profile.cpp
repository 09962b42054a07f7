#include "profile.h"

#include "catalogue.h"
#include "systemtext.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <utility>

using ProfileCatalogue::Entry;

bool Profile::contains(const QString &key) const
{
    const Entry *entry = ProfileCatalogue::find(key);
    return entry && m_values.contains(ProfileCatalogue::position(*entry));
}

QString Profile::value(const QString &key) const
{
    const Entry *entry = ProfileCatalogue::find(key);
    return entry ? m_values.value(ProfileCatalogue::position(*entry)) : QString();
}

void Profile::set(const QString &key, const QString &value)
{
    const Entry *entry = ProfileCatalogue::find(key);
    Q_ASSERT_X(entry, "Profile::set", qPrintable(key));
    if (!entry)
        return;
    m_values.insert(ProfileCatalogue::position(*entry), value);
    m_unknown.remove(ProfileCatalogue::position(*entry));
}

void Profile::remove(const QString &key)
{
    if (const Entry *entry = ProfileCatalogue::find(key)) {
        m_values.remove(ProfileCatalogue::position(*entry));
        m_unknown.remove(ProfileCatalogue::position(*entry));
    }
}

namespace {

QStringList keysOf(const QMap<int, QString> &byRow)
{
    QStringList keys;
    for (auto it = byRow.cbegin(); it != byRow.cend(); ++it)
        keys << ProfileCatalogue::entries().at(it.key()).key;
    return keys;
}

} // namespace

QStringList Profile::keys() const
{
    return keysOf(m_values);
}

void Profile::setUnknown(const QString &key, const QString &raw)
{
    const Entry *entry = ProfileCatalogue::find(key);
    Q_ASSERT_X(entry, "Profile::setUnknown", qPrintable(key));
    if (!entry)
        return;
    m_values.remove(ProfileCatalogue::position(*entry));
    m_unknown.insert(ProfileCatalogue::position(*entry), raw);
}

QString Profile::unknown(const QString &key) const
{
    const Entry *entry = ProfileCatalogue::find(key);
    return entry ? m_unknown.value(ProfileCatalogue::position(*entry)) : QString();
}

QStringList Profile::unknownKeys() const
{
    return keysOf(m_unknown);
}

namespace ProfileFile {

namespace {

struct Text
{
    Q_DECLARE_TR_FUNCTIONS(ProfileFile)
};

const auto FormatKey = QStringLiteral("format");
const auto VersionKey = QStringLiteral("version");
const auto ModuleKey = QStringLiteral("module");
const auto ParametersKey = QStringLiteral("parameters");
const auto MacKey = QStringLiteral("mac");
const auto FirmwareKey = QStringLiteral("firmware");

QString lineAndColumn(const QByteArray &json, int offset)
{
    const QByteArray before = json.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return Text::tr("line %1, column %2")
            .arg(before.count('\n') + 1)
            .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1);
}

QString jsonText(const QJsonValue &value)
{
    const QByteArray text = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

QString unknownKey(const QString &path, const QString &key, const QStringList &known)
{
    return Text::tr("%1: unknown key; did you mean \"%2\"?")
            .arg(path, ProfileCatalogue::closest(key, known));
}

QString notAnObject(const QString &path, const QJsonValue &value)
{
    return Text::tr("%1: expected an object, got %2")
            .arg(path, value.isArray() ? Text::tr("a list") : jsonText(value));
}

// The names one level below prefix ("" or "pins."): keys and groups of keys.
QStringList namesUnder(const QString &prefix)
{
    QStringList names;
    for (const Entry &entry : ProfileCatalogue::entries()) {
        if (!entry.key.startsWith(prefix))
            continue;
        const QString name = entry.key.mid(prefix.size()).section(u'.', 0, 0);
        if (!names.contains(name))
            names << name;
    }
    return names;
}

void readParameters(const QJsonObject &object, const QString &prefix, Profile &profile,
                    QStringList &errors, QStringList &notes)
{
    const QStringList names = namesUnder(prefix);
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = prefix + it.key();
        const QString path = ParametersKey + u'.' + key;
        // A dotted key is only reached through its group.
        const Entry *entry = it.key().contains(u'.') ? nullptr : ProfileCatalogue::find(key);
        if (entry) {
            QString error;
            QString note;
            if (const auto value = ProfileCatalogue::check(*entry, it.value(), path, &error, &note))
                profile.set(key, *value);
            else
                errors << error;
            if (!note.isEmpty())
                notes << note;
        } else if (!names.contains(it.key())) {
            errors << unknownKey(path, it.key(), names);
        } else if (!it.value().isObject()) {
            errors << notAnObject(path, it.value());
        } else {
            readParameters(it.value().toObject(), key + u'.', profile, errors, notes);
        }
    }
}

void readModule(const QJsonValue &value, ModuleInfo &module, QStringList &errors)
{
    if (!value.isObject()) {
        errors << notAnObject(ModuleKey, value);
        return;
    }
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString path = ModuleKey + u'.' + it.key();
        QString *field = it.key() == MacKey ? &module.mac
                : it.key() == FirmwareKey   ? &module.firmware
                                            : nullptr;
        if (!field)
            errors << unknownKey(path, it.key(), { MacKey, FirmwareKey });
        else if (!it.value().isString())
            errors << Text::tr("%1: expected a string, got %2").arg(path, jsonText(*it));
        else
            *field = it.value().toString();
    }
}

// Format and version decide whether the rest can be read at all.
bool readHeader(const QJsonObject &root, QStringList &errors)
{
    const QJsonValue format = root.value(FormatKey);
    if (format.isUndefined()) {
        errors << Text::tr("format: missing; expected \"%1\"").arg(QLatin1String(Format));
        return false;
    }
    if (format.toString() != QLatin1String(Format)) {
        errors << Text::tr("format: %1 is not a module profile; expected \"%2\"")
                          .arg(jsonText(format), QLatin1String(Format));
        return false;
    }
    const QJsonValue version = root.value(VersionKey);
    if (!version.isDouble() || version.toDouble() < 1 || version.toDouble() != version.toInt()) {
        errors << Text::tr("version: expected %1, got %2")
                          .arg(Version)
                          .arg(version.isUndefined() ? Text::tr("nothing") : jsonText(version));
        return false;
    }
    if (version.toInt() > Version) {
        errors << Text::tr("version: %1 is newer than this program reads (%2)")
                          .arg(version.toInt())
                          .arg(Version);
        return false;
    }
    return true;
}

QString givenTwice(const QString &path)
{
    return Text::tr("%1: given more than once").arg(path);
}

// The JSON string starting at start (a quote) as text, and the offset just past it.
std::pair<QString, qsizetype> jsonString(const QByteArray &json, qsizetype start)
{
    qsizetype end = start + 1;
    bool escaped = false;
    while (end < json.size() && (escaped || json.at(end) != '"')) {
        escaped = !escaped && json.at(end) == '\\';
        ++end;
    }
    const QByteArray token = json.mid(start, end + 1 - start);
    if (!token.contains('\\'))
        return { QString::fromUtf8(token.mid(1, token.size() - 2)), end + 1 };
    const QJsonDocument decoded = QJsonDocument::fromJson('[' + token + ']');
    return { decoded.array().at(0).toString(), end + 1 };
}

// QJsonDocument keeps only the last of members with the same name, so the text (valid JSON)
// is scanned for them: each is named by its path, once per object.
void findRepeatedNames(const QByteArray &json, QStringList &errors)
{
    struct Level
    {
        bool object = false;
        QString path;
        QStringList names;
        QStringList reported;
        bool expectingName = false;
        int index = 0; // of the array's element
    };
    const auto childPath = [](const Level &level) {
        if (!level.object)
            return QStringLiteral("%1[%2]").arg(level.path).arg(level.index);
        const QString &name = level.names.last();
        return level.path.isEmpty() ? name : level.path + u'.' + name;
    };
    QList<Level> levels;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (c == '{' || c == '[') {
            Level level;
            level.object = c == '{';
            level.expectingName = level.object;
            if (!levels.isEmpty())
                level.path = childPath(levels.last());
            levels.append(level);
        } else if (c == '}' || c == ']') {
            if (!levels.isEmpty())
                levels.removeLast();
        } else if (c == ',' && !levels.isEmpty()) {
            Level &level = levels.last();
            level.expectingName = level.object;
            ++level.index;
        } else if (c == '"') {
            const auto [text, end] = jsonString(json, i);
            i = end - 1;
            if (levels.isEmpty() || !levels.last().expectingName)
                continue;
            Level &level = levels.last();
            level.expectingName = false;
            if (level.names.contains(text) && !level.reported.contains(text)) {
                level.reported << text;
                errors << givenTwice(level.path.isEmpty() ? text : level.path + u'.' + text);
            }
            level.names << text;
        }
    }
}

void readRoot(const QJsonObject &root, Profile &profile, QStringList &errors, QStringList &notes)
{
    if (!root.contains(ParametersKey))
        errors << Text::tr("parameters: missing");
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it.key() == FormatKey || it.key() == VersionKey)
            continue;
        if (it.key() == ModuleKey)
            readModule(*it, profile.module, errors);
        else if (it.key() != ParametersKey)
            errors << unknownKey(it.key(), it.key(),
                                 { FormatKey, VersionKey, ModuleKey, ParametersKey });
        else if (!it->isObject())
            errors << notAnObject(ParametersKey, *it);
        else
            readParameters(it->toObject(), QString(), profile, errors, notes);
    }
}

using Member = std::pair<QString, QByteArray>;

QByteArray quotedName(const QString &name)
{
    return jsonText(name).toUtf8();
}

// Members one per line, two blanks deeper than the object's own indent.
QByteArray objectText(const QList<Member> &members, int indent)
{
    if (members.isEmpty())
        return "{}";
    const QByteArray inner(indent + 2, ' ');
    QByteArrayList lines;
    for (const auto &[name, value] : members)
        lines << inner + quotedName(name) + ": " + value;
    return "{\n" + lines.join(",\n") + '\n' + QByteArray(indent, ' ') + '}';
}

QByteArray parametersText(const Profile &profile, int indent)
{
    // Keys in catalogue order; the keys of a group sit together, so a group opens at its first.
    QList<Member> members;
    QString group;
    QList<Member> groupMembers;
    const auto closeGroup = [&] {
        if (!group.isEmpty())
            members.append({ group, objectText(groupMembers, indent + 2) });
        group.clear();
        groupMembers.clear();
    };
    for (const QString &key : profile.keys()) {
        const Entry &entry = *ProfileCatalogue::find(key);
        const QByteArray value =
                jsonText(ProfileCatalogue::toJson(entry, profile.value(key))).toUtf8();
        const qsizetype dot = key.indexOf(u'.');
        if (dot < 0) {
            closeGroup();
            members.append({ key, value });
            continue;
        }
        if (key.left(dot) != group) {
            closeGroup();
            group = key.left(dot);
        }
        groupMembers.append({ key.mid(dot + 1), value });
    }
    closeGroup();
    return objectText(members, indent);
}

} // namespace

std::optional<Profile> parse(const QByteArray &json, QStringList *errors, QStringList *notes)
{
    QStringList faults;
    QStringList stored;
    Profile profile;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (json.trimmed().isEmpty()) {
        faults << Text::tr("empty file, not a profile");
    } else if (json.trimmed().startsWith("mac\t")) {
        // What `cc2530ctl read` prints, saved as a file: a line per key, tab-separated.
        faults << Text::tr("`read`'s table, not a profile; use `backup` or `read --json`");
    } else if (parseError.error != QJsonParseError::NoError) {
        // Qt's reason is translated by the catalogue as well (systemtext.cpp).
        faults << Text::tr("%1: %2").arg(lineAndColumn(json, parseError.offset),
                                         parseError.errorString());
    } else if (!document.isObject()) {
        faults << Text::tr("the profile is not a JSON object");
    } else {
        findRepeatedNames(json, faults);
        const QJsonObject root = document.object();
        if (readHeader(root, faults))
            readRoot(root, profile, faults, stored);
    }
    if (errors)
        *errors = faults;
    if (notes)
        *notes = stored;
    if (!faults.isEmpty())
        return std::nullopt;
    return profile;
}

std::optional<Profile> load(const QString &path, QStringList *errors, QStringList *notes)
{
    const auto refuse = [errors](const QString &why) -> std::optional<Profile> {
        if (errors)
            *errors = QStringList { why };
        return std::nullopt;
    };
    // A FIFO or a device shows size 0, and opening or reading it can wait for ever: it is
    // refused before it is opened.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refuse(Text::tr("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(Text::tr("cannot read: %1").arg(systemText(file.errorString())));
    if (file.size() > MaxFileBytes) {
        return refuse(Text::tr("%1 bytes: larger than a profile can be (%2 bytes at most)")
                              .arg(file.size())
                              .arg(MaxFileBytes));
    }
    return parse(file.read(MaxFileBytes), errors, notes);
}

QByteArray write(const Profile &profile)
{
    QList<Member> module;
    if (!profile.module.mac.isEmpty())
        module.append({ MacKey, jsonText(profile.module.mac).toUtf8() });
    if (!profile.module.firmware.isEmpty())
        module.append({ FirmwareKey, jsonText(profile.module.firmware).toUtf8() });

    QList<Member> root { { FormatKey, quotedName(QLatin1String(Format)) },
                         { VersionKey, QByteArray::number(Version) } };
    if (!module.isEmpty())
        root.append({ ModuleKey, objectText(module, 2) });
    root.append({ ParametersKey, parametersText(profile, 2) });
    return objectText(root, 0) + '\n';
}

std::optional<Setting> parseSetting(const QString &text, QString *error)
{
    const qsizetype equals = text.indexOf(u'=');
    const QString key = text.left(equals).trimmed();
    const auto refuse = [error](const QString &why) -> std::optional<Setting> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (equals < 0)
        return refuse(Text::tr("\"%1\" is not KEY=VALUE").arg(text));
    const Entry *entry = ProfileCatalogue::find(key);
    if (!entry) {
        QStringList keys;
        for (const Entry &e : ProfileCatalogue::entries())
            keys << e.key;
        return refuse(unknownKey(key, key, keys));
    }
    const QJsonValue value = ProfileCatalogue::fromText(*entry, text.mid(equals + 1).trimmed());
    QString note;
    const auto checked = ProfileCatalogue::check(*entry, value, key, error, &note);
    if (!checked)
        return std::nullopt;
    return Setting { key, *checked, note };
}

std::optional<QList<Setting>> parseSettings(const QStringList &texts, QStringList *errors)
{
    QStringList faults;
    QList<Setting> settings;
    QStringList seen;
    for (const QString &text : texts) {
        QString error;
        const auto setting = parseSetting(text, &error);
        if (!setting) {
            faults << error;
            continue;
        }
        if (seen.contains(setting->key)) {
            if (!faults.contains(givenTwice(setting->key)))
                faults << givenTwice(setting->key);
            continue;
        }
        seen << setting->key;
        settings << *setting;
    }
    if (errors)
        *errors = faults;
    if (!faults.isEmpty())
        return std::nullopt;
    return settings;
}

} // namespace ProfileFile
