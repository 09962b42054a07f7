#pragma once

#include "profile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The provisioning ledger: a CSV table with a header line and one row per module, keyed by
// its MAC (16 upper-case hex digits). Columns named by a profile key ("shortAddress",
// "nodeType") hold that module's own values; "status", "port" and "time" what became of its
// last attempt; any other column is kept as it is.
class Ledger
{
public:
    static inline const QString Mac = QStringLiteral("mac");
    static inline const QString Status = QStringLiteral("status");
    static inline const QString Port = QStringLiteral("port");
    static inline const QString Time = QStringLiteral("time");

    // An empty ledger: mac, status, port, time.
    Ledger();

    // CSV as spreadsheets write it (RFC 4180): a UTF-8 byte-order mark, CRLF or LF, quoted
    // fields with commas, line breaks and doubled quotes inside, any column order. A row of
    // empty fields is skipped. None, and the reason, when there is no mac column, a column is
    // named twice, a row has more fields than the header or a quote is left open.
    static std::optional<Ledger> parse(QByteArrayView csv, QString *error);
    // A ledger is a few hundred kilobytes at most; a larger file is refused unread.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
    // The file at path, read as parse() reads it; a path that is missing or not a regular file
    // (a FIFO, a device) is refused unread.
    static std::optional<Ledger> load(const QString &path, QString *error);
    // The header, then the rows: CRLF, a field quoted where it holds a comma, a quote or a line
    // break, and the byte-order mark when the text read had one.
    QByteArray toCsv() const;

    QStringList columns() const { return m_columns; }
    qsizetype rowCount() const { return m_rows.size(); }
    // A row as a spreadsheet numbers it: the header is row 1.
    static qsizetype rowNumber(qsizetype row) { return row + 2; }
    // Empty when the column or the row (-1 from findMac) is missing.
    QString value(qsizetype row, const QString &column) const;
    // A missing column is added: a profile key before the status, port and time columns,
    // anything else at the end.
    void setValue(qsizetype row, const QString &column, const QString &value);
    qsizetype appendRow(const QString &mac);
    // -1 when no row holds the MAC (either case).
    qsizetype findMac(const QString &mac) const;
    // The rows whose column holds value, ignoring case, in file order.
    QList<qsizetype> rowsWhere(const QString &column, const QString &value) const;
    // The values of a column in the given rows (every row by default), empty ones left out.
    QStringList values(const QString &column, std::optional<QList<qsizetype>> rows = {}) const;

    // The columns named by a profile key, in file order.
    QStringList parameterColumns() const;
    // The row's own values: its non-empty fields in parameter columns. Taken as they stand;
    // check() makes them canonical.
    Profile parameters(qsizetype row) const;

    // Every MAC and every value checked as a profile value and made canonical (hex digits in
    // upper case); one message per fault, naming the row and the key: a MAC that is not 16 hex
    // digits, a MAC in two rows, a refused value, and a value of a unique column held by two
    // rows.
    QStringList check(const QStringList &uniqueColumns = {});

    // KEY=FIRST..LAST: hex keys count in hex, number keys in decimal.
    struct Range
    {
        QString key;
        quint64 first = 0;
        quint64 last = 0;
        int digits = 0; // hex digits; 0 for a decimal key

        QString text(quint64 number) const;
    };
    // None and the reason for an unknown key, a key whose values are words or booleans, a
    // bound the key does not allow, or a first bound above the last.
    static std::optional<Range> parseRange(const QString &text, QString *error);
    // The lowest value in the range that the profile check allows and no row holds; none when
    // every one is held.
    std::optional<QString> lowestFree(const Range &range) const;

private:
    qsizetype column(const QString &name) const;
    qsizetype addColumn(const QString &name);

    QStringList m_columns;
    QList<QStringList> m_rows; // each as long as m_columns
    bool m_byteOrderMark = false;
};
