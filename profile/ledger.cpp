#include "ledger.h"

#include "catalogue.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

// The records of a CSV text, each a list of fields; none when a quote is left open.
std::optional<QList<QStringList>> records(const QString &text)
{
    QList<QStringList> out;
    QStringList record;
    QString field;
    bool quoted = false;
    bool pending = false; // the record has begun
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != u'"')
                field += c;
            else if (i + 1 < n && text.at(i + 1) == u'"')
                field += text.at(++i);
            else
                quoted = false;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            record << field;
            out << record;
            record.clear();
            field.clear();
            pending = false;
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            continue;
        }
        pending = true;
        if (c == u'"')
            quoted = true;
        else if (c == u',')
            record << std::exchange(field, QString());
        else
            field += c;
    }
    if (quoted)
        return std::nullopt;
    if (pending) {
        record << field;
        out << record;
    }
    return out;
}

QString csvField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r')
        && !field.contains(u'\n'))
        return field;
    QString quoted = field;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool isMac(const QString &text)
{
    return text.size() == 16 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
           });
}

} // namespace

Ledger::Ledger()
    : m_columns { Mac, Status, Port, Time }
{
}

std::optional<Ledger> Ledger::parse(QByteArrayView csv, QString *error)
{
    const auto refuse = [error](const QString &why) -> std::optional<Ledger> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    Ledger ledger;
    ledger.m_byteOrderMark = csv.startsWith(ByteOrderMark);
    if (ledger.m_byteOrderMark)
        csv = csv.sliced(3);
    const auto table = records(QString::fromUtf8(csv));
    if (!table)
        return refuse(QStringLiteral("a quoted field is not closed"));
    if (table->isEmpty())
        return ledger;

    ledger.m_columns.clear();
    for (const QString &name : table->first()) {
        const QString column = name.trimmed();
        if (!column.isEmpty() && ledger.m_columns.contains(column))
            return refuse(QStringLiteral("the header names the column %1 twice").arg(column));
        ledger.m_columns << column;
    }
    if (!ledger.m_columns.contains(Mac))
        return refuse(QStringLiteral("the header has no column %1").arg(Mac));
    for (qsizetype r = 1; r < table->size(); ++r) {
        QStringList row = table->at(r);
        const auto isEmpty = [](const QString &f) { return f.isEmpty(); };
        if (std::all_of(row.begin(), row.end(), isEmpty))
            continue;
        // Spreadsheets may end a row with empty fields beyond the header's columns.
        if (std::any_of(row.begin() + std::min(row.size(), ledger.m_columns.size()), row.end(),
                        std::not_fn(isEmpty)))
            return refuse(
                    QStringLiteral("row %1: more fields than the header has columns").arg(r + 1));
        row.resize(ledger.m_columns.size());
        ledger.m_rows << row;
    }
    return ledger;
}

std::optional<Ledger> Ledger::load(const QString &path, QString *error)
{
    const auto refuse = [error](const QString &why) -> std::optional<Ledger> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(QStringLiteral("no such file"));
    if (!info.isFile())
        return refuse(QStringLiteral("not a regular file"));
    if (info.size() > MaxFileBytes)
        return refuse(
                QStringLiteral("larger than a ledger can be (%1 bytes at most)").arg(MaxFileBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot read: ") + file.errorString());
    return parse(file.read(MaxFileBytes), error);
}

QByteArray Ledger::toCsv() const
{
    const auto line = [](const QStringList &fields) {
        QStringList out;
        for (const QString &field : fields)
            out << csvField(field);
        return out.join(u',').toUtf8() + "\r\n";
    };
    QByteArray csv = m_byteOrderMark ? QByteArray(ByteOrderMark) : QByteArray();
    csv += line(m_columns);
    for (const QStringList &row : m_rows)
        csv += line(row);
    return csv;
}

qsizetype Ledger::column(const QString &name) const
{
    return m_columns.indexOf(name);
}

qsizetype Ledger::addColumn(const QString &name)
{
    qsizetype at = m_columns.size();
    if (ProfileCatalogue::find(name)) {
        for (const QString &end : { Status, Port, Time }) {
            if (column(end) >= 0)
                at = std::min(at, column(end));
        }
    }
    m_columns.insert(at, name);
    for (QStringList &row : m_rows)
        row.insert(at, QString());
    return at;
}

QString Ledger::value(qsizetype row, const QString &column) const
{
    const qsizetype c = this->column(column);
    return c < 0 || row < 0 || row >= m_rows.size() ? QString() : m_rows.at(row).at(c);
}

void Ledger::setValue(qsizetype row, const QString &column, const QString &value)
{
    qsizetype c = this->column(column);
    if (c < 0)
        c = addColumn(column);
    m_rows[row][c] = value;
}

qsizetype Ledger::appendRow(const QString &mac)
{
    m_rows.append(QStringList(m_columns.size()));
    setValue(m_rows.size() - 1, Mac, mac);
    return m_rows.size() - 1;
}

qsizetype Ledger::findMac(const QString &mac) const
{
    const qsizetype c = column(Mac);
    for (qsizetype r = 0; c >= 0 && r < m_rows.size(); ++r) {
        if (m_rows.at(r).at(c).compare(mac, Qt::CaseInsensitive) == 0)
            return r;
    }
    return -1;
}

QList<qsizetype> Ledger::rowsWhere(const QString &column, const QString &value) const
{
    QList<qsizetype> rows;
    const qsizetype c = this->column(column);
    for (qsizetype r = 0; c >= 0 && r < m_rows.size(); ++r) {
        if (m_rows.at(r).at(c).compare(value, Qt::CaseInsensitive) == 0)
            rows << r;
    }
    return rows;
}

QStringList Ledger::values(const QString &column, std::optional<QList<qsizetype>> rows) const
{
    QStringList out;
    const qsizetype c = this->column(column);
    if (c < 0)
        return out;
    if (!rows) {
        rows.emplace();
        for (qsizetype r = 0; r < m_rows.size(); ++r)
            rows->append(r);
    }
    for (const qsizetype r : std::as_const(*rows)) {
        if (!m_rows.at(r).at(c).isEmpty())
            out << m_rows.at(r).at(c);
    }
    return out;
}

QStringList Ledger::parameterColumns() const
{
    QStringList keys;
    for (const QString &name : m_columns) {
        if (ProfileCatalogue::find(name))
            keys << name;
    }
    return keys;
}

Profile Ledger::parameters(qsizetype row) const
{
    Profile profile;
    profile.module.mac = value(row, Mac);
    for (const QString &key : parameterColumns()) {
        if (!value(row, key).isEmpty())
            profile.set(key, value(row, key));
    }
    return profile;
}

QStringList Ledger::check(const QStringList &uniqueColumns)
{
    QStringList faults;
    QHash<QString, qsizetype> macs;
    const qsizetype macColumn = column(Mac);
    const QStringList keys = parameterColumns();
    for (qsizetype r = 0; r < m_rows.size(); ++r) {
        QString &mac = m_rows[r][macColumn];
        mac = mac.trimmed().toUpper();
        const QString row = QStringLiteral("row %1").arg(rowNumber(r));
        if (!isMac(mac))
            faults << QStringLiteral("%1: mac: \"%2\" is not 16 hex digits").arg(row, mac);
        else if (macs.contains(mac))
            faults << QStringLiteral("%1: mac %2 is in row %3 already")
                              .arg(row, mac)
                              .arg(rowNumber(macs.value(mac)));
        macs.insert(mac, r);
        for (const QString &key : keys) {
            QString &field = m_rows[r][column(key)];
            if (field.trimmed().isEmpty()) {
                field.clear();
                continue;
            }
            QString error;
            if (const auto setting = ProfileFile::parseSetting(key + u'=' + field, &error))
                field = setting->value;
            else
                faults << QStringLiteral("%1 (%2): %3").arg(row, mac, error);
        }
    }
    for (const QString &key : uniqueColumns) {
        QHash<QString, qsizetype> holders;
        for (qsizetype r = 0; column(key) >= 0 && r < m_rows.size(); ++r) {
            const QString held = value(r, key);
            if (held.isEmpty())
                continue;
            if (holders.contains(held))
                faults << QStringLiteral("rows %1 and %2 both hold %3 %4")
                                  .arg(rowNumber(holders.value(held)))
                                  .arg(rowNumber(r))
                                  .arg(key, held);
            else
                holders.insert(held, r);
        }
    }
    return faults;
}

QString Ledger::Range::text(quint64 number) const
{
    if (digits == 0)
        return QString::number(number);
    return QString::number(number, 16).rightJustified(digits, u'0').toUpper();
}

std::optional<Ledger::Range> Ledger::parseRange(const QString &text, QString *error)
{
    const auto refuse = [error](const QString &why) -> std::optional<Range> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const qsizetype equals = text.indexOf(u'=');
    const qsizetype dots = text.indexOf(QStringLiteral(".."), equals + 1);
    if (equals < 0 || dots < 0)
        return refuse(QStringLiteral("\"%1\" is not KEY=FIRST..LAST").arg(text));
    Range range;
    range.key = text.left(equals).trimmed();
    const ProfileCatalogue::Entry *entry = ProfileCatalogue::find(range.key);
    if (!entry) {
        QString unknown;
        ProfileFile::parseSetting(range.key + u'=', &unknown);
        return refuse(unknown);
    }
    if (entry->type != ProfileCatalogue::Type::Hex
        && entry->type != ProfileCatalogue::Type::Integer)
        return refuse(QStringLiteral("%1: its values are words, not numbers to count through")
                              .arg(range.key));
    range.digits = entry->type == ProfileCatalogue::Type::Hex ? entry->digits : 0;
    quint64 bounds[2] = {};
    const QString texts[2] = { text.mid(equals + 1, dots - equals - 1), text.mid(dots + 2) };
    for (int i = 0; i < 2; ++i) {
        const auto bound = ProfileFile::parseSetting(range.key + u'=' + texts[i], error);
        if (!bound)
            return std::nullopt;
        bounds[i] = bound->value.toULongLong(nullptr, range.digits ? 16 : 10);
    }
    range.first = bounds[0];
    range.last = bounds[1];
    if (range.first > range.last)
        return refuse(QStringLiteral("%1: the first value %2 is above the last %3")
                              .arg(range.key, range.text(range.first), range.text(range.last)));
    return range;
}

std::optional<QString> Ledger::lowestFree(const Range &range) const
{
    const ProfileCatalogue::Entry *entry = ProfileCatalogue::find(range.key);
    if (!entry)
        return std::nullopt;
    const QStringList heldList = values(range.key);
    const QSet<QString> held(heldList.begin(), heldList.end());
    // A value the module would hold as another (a frequency) is not one to hand out.
    const auto free = [&](quint64 number) {
        const QString text = range.text(number);
        QString note;
        const auto checked = ProfileCatalogue::check(
                *entry, ProfileCatalogue::fromText(*entry, text), range.key, nullptr, &note);
        return checked && note.isEmpty() && !held.contains(*checked);
    };
    if (!entry->values.isEmpty()) {
        QList<quint64> numbers;
        for (const QString &v : entry->values)
            numbers << v.toULongLong();
        std::sort(numbers.begin(), numbers.end());
        for (const quint64 n : std::as_const(numbers)) {
            if (n >= range.first && n <= range.last && free(n))
                return range.text(n);
        }
        return std::nullopt;
    }
    for (quint64 n = range.first;; ++n) {
        if (free(n))
            return range.text(n);
        if (n == range.last)
            return std::nullopt;
    }
}
