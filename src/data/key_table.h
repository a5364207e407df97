#pragma once

#include <QList>
#include <QMetaType>
#include <QVariant>

#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

// The few columns a row store holds for every row of a long result, in plain
// arrays: a whole number as a 64-bit integer, a text as a span of one shared
// character buffer, anything else as a QVariant. A district's million rows
// cost tens of bytes each rather than a QVariant and a string per value.
//
// A value of another type than its column was made for (SQLite lets a text
// into an integer column) turns that column into QVariants, so a value always
// reads back as it was set.
class KeyTable {
public:
    enum class Kind { Integer, Text, Other };

    void setColumns(const std::vector<Kind> &kinds);
    void clear();

    int width() const { return int(m_columns.size()); }
    qsizetype rows() const { return m_rows; }
    // Characters held for the text columns, for a look at what the list costs.
    qsizetype characters() const { return qsizetype(m_chars.size()); }

    // A row of nulls at the end, or n of them before row `at`.
    void appendRow() { insertRows(m_rows, 1); }
    void insertRows(qsizetype at, qsizetype n);
    void removeRow(qsizetype at);

    QVariant value(qsizetype row, int column) const;
    void setValue(qsizetype row, int column, const QVariant &v);
    // True for a null, without making the value.
    bool isNull(qsizetype row, int column) const;

private:
    struct Span {
        std::uint32_t offset = 0;
        std::int32_t length = -1; // -1: null
    };
    struct Column {
        Kind kind = Kind::Other;
        QMetaType type{};          // an integer column's first value's type
        std::vector<qint64> ints{};
        std::vector<bool> nulls{}; // an integer column's nulls
        std::vector<Span> spans{};
        QList<QVariant> others{};
    };

    void toOther(Column &c);
    QString text(const Span &s) const;
    Span store(const QString &s);

    std::vector<Column> m_columns;
    // Every text value, appended; a text set again is written over its
    // row's span when it fits, else takes a new one, so the buffer grows
    // only with texts made longer, not with moves or pages read again.
    std::u16string m_chars;
    qsizetype m_rows = 0;
};

} // namespace zarn
