#include "data/key_table.h"

#include <QString>

#include <algorithm>
#include <limits>

namespace zarn {

namespace {

bool isWholeNumber(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    case QMetaType::ULongLong:
        return v.toULongLong() <= quint64(std::numeric_limits<qint64>::max());
    default:
        return false;
    }
}

bool isNullVariant(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

} // namespace

void KeyTable::setColumns(const std::vector<Kind> &kinds)
{
    clear();
    m_columns.resize(kinds.size());
    for (size_t i = 0; i < kinds.size(); ++i)
        m_columns[i].kind = kinds[i];
}

void KeyTable::clear()
{
    m_columns.clear();
    m_columns.shrink_to_fit();
    m_chars = std::u16string();
    m_rows = 0;
}

void KeyTable::insertRows(qsizetype at, qsizetype n)
{
    for (Column &c : m_columns) {
        switch (c.kind) {
        case Kind::Integer:
            c.ints.insert(c.ints.begin() + at, size_t(n), 0);
            c.nulls.insert(c.nulls.begin() + at, size_t(n), true);
            break;
        case Kind::Text:
            c.spans.insert(c.spans.begin() + at, size_t(n), Span{});
            break;
        case Kind::Other:
            c.others.insert(at, n, QVariant());
            break;
        }
    }
    m_rows += n;
}

void KeyTable::removeRow(qsizetype at)
{
    for (Column &c : m_columns) {
        switch (c.kind) {
        case Kind::Integer:
            c.ints.erase(c.ints.begin() + at);
            c.nulls.erase(c.nulls.begin() + at);
            break;
        case Kind::Text:
            c.spans.erase(c.spans.begin() + at);
            break;
        case Kind::Other:
            c.others.remove(at);
            break;
        }
    }
    --m_rows;
}

bool KeyTable::isNull(qsizetype row, int column) const
{
    const Column &c = m_columns[size_t(column)];
    switch (c.kind) {
    case Kind::Integer:
        return c.nulls[size_t(row)];
    case Kind::Text:
        return c.spans[size_t(row)].length < 0;
    case Kind::Other:
        break;
    }
    return isNullVariant(c.others[row]);
}

QVariant KeyTable::value(qsizetype row, int column) const
{
    const Column &c = m_columns[size_t(column)];
    switch (c.kind) {
    case Kind::Integer: {
        if (c.nulls[size_t(row)]) return {};
        QVariant v = QVariant::fromValue(c.ints[size_t(row)]);
        if (c.type.isValid() && c.type != v.metaType()) v.convert(c.type);
        return v;
    }
    case Kind::Text: {
        const Span &s = c.spans[size_t(row)];
        if (s.length < 0) return {};
        return text(s);
    }
    case Kind::Other:
        break;
    }
    return c.others[row];
}

void KeyTable::setValue(qsizetype row, int column, const QVariant &v)
{
    Column &c = m_columns[size_t(column)];
    const bool null = isNullVariant(v);
    if (c.kind == Kind::Integer && !null && !isWholeNumber(v)) toOther(c);
    if (c.kind == Kind::Text && !null && v.metaType().id() != QMetaType::QString) toOther(c);
    switch (c.kind) {
    case Kind::Integer:
        if (!null && !c.type.isValid()) c.type = v.metaType();
        if (!null && v.metaType() != c.type) {
            // Mixed integer types would not read back as they were set.
            toOther(c);
            c.others[row] = v;
            return;
        }
        c.nulls[size_t(row)] = null;
        c.ints[size_t(row)] = null ? 0 : v.toLongLong();
        return;
    case Kind::Text: {
        Span &span = c.spans[size_t(row)];
        if (null) {
            span = Span{};
            return;
        }
        const QString s = v.toString();
        // A row's span is its own: a text no longer than the one it held is
        // written over it, so reading a page and letting it go again (which
        // sets the same texts) never grows the buffer.
        if (span.length >= 0 && s.size() <= span.length) {
            std::copy_n(reinterpret_cast<const char16_t *>(s.utf16()), s.size(),
                        m_chars.begin() + span.offset);
            span.length = std::int32_t(s.size());
            return;
        }
        span = store(s);
        return;
    }
    case Kind::Other:
        c.others[row] = null ? QVariant() : v;
        return;
    }
}

void KeyTable::toOther(Column &c)
{
    QList<QVariant> others;
    others.reserve(m_rows);
    for (qsizetype r = 0; r < m_rows; ++r) {
        switch (c.kind) {
        case Kind::Integer: {
            if (c.nulls[size_t(r)]) {
                others.append(QVariant());
                break;
            }
            QVariant v = QVariant::fromValue(c.ints[size_t(r)]);
            if (c.type.isValid() && c.type != v.metaType()) v.convert(c.type);
            others.append(v);
            break;
        }
        case Kind::Text:
            others.append(c.spans[size_t(r)].length < 0 ? QVariant()
                                                        : QVariant(text(c.spans[size_t(r)])));
            break;
        case Kind::Other:
            return;
        }
    }
    c = Column{};
    c.kind = Kind::Other;
    c.others = std::move(others);
}

QString KeyTable::text(const Span &s) const
{
    return QString(reinterpret_cast<const QChar *>(m_chars.data() + s.offset), s.length);
}

KeyTable::Span KeyTable::store(const QString &s)
{
    // Offsets are 32-bit: past 4G characters (never a key column's size) the
    // buffer would wrap, so it is refused loudly rather than misread.
    if (m_chars.size() + size_t(s.size()) > std::numeric_limits<std::uint32_t>::max())
        qFatal("KeyTable: text buffer full");
    Span span{std::uint32_t(m_chars.size()), std::int32_t(s.size())};
    m_chars.append(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
    return span;
}

} // namespace zarn
