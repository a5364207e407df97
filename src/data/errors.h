#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <stdexcept>

namespace zarn {

// Base of every error this system raises. The text is what the user reads in
// the error report, so it is kept as a QString and also handed to what() as UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Why the database refused a statement, as far as its answer tells. The
// surveyor is told the kind in words of the survey sheet; the driver's own
// text follows for the administrator.
enum class RefusalKind {
    Other,          // anything not named below, and errors of our own making
    ValueTooLong,   // a text longer than its column
    DuplicateKey,   // a key another row already has
    RowChanged,     // the row was changed or deleted by another user since it was read
    RowsDeleted,    // rows a move reached were deleted by another user and left the list
    ConnectionLost, // the server cannot be reached (any more)
    DamagedFile,    // the database file is damaged or is no database
    Busy,           // another user holds a lock (SQLite's, a row's) longer than we wait
    NumberingHeld,  // another workstation's claim of the unit's numbers outlasted our wait
    ReadOnly,       // the database may be read but not written (a write-protected file)
    NoAccess,       // the user may not use the database file or its folder as it needs
};

struct Refusal {
    RefusalKind kind = RefusalKind::Other;
    QString driverText; // the database's own words; empty for errors of our own making
    QString nativeCode; // the driver's native code or SQLSTATE
    QString table;      // the table written to, where known
    // ValueTooLong: the column and its width, where the database says them or
    // the dataset could find them (-1: not known).
    QString column;
    int limit = -1;
    // DuplicateKey: the constraint or index and its columns, where said, and
    // the values of the refused row (lower-case column names), where known.
    QString constraint;
    QStringList keyColumns;
    QVariantMap row;
    // The refused statement only read: nothing was being stored.
    bool reading = false;

    // The refused key is the table's row number id (not another unique key).
    bool primaryKey() const;

    // A refusal of our own making, of `kind`, on `table`.
    static Refusal of(RefusalKind kind, const QString &table)
    {
        Refusal r;
        r.kind = kind;
        r.table = table;
        return r;
    }
};

// The database refused something, or the connection to it failed. message()
// is the driver's text for a refusal (so existing reports keep showing it)
// or our own text; refusal() says what kind it was.
class DatabaseError : public Error {
public:
    explicit DatabaseError(const QString &message)
        : Error(message)
    {
    }
    DatabaseError(const QString &message, Refusal refusal)
        : Error(message)
        , m_refusal(std::move(refusal))
    {
    }
    RefusalKind kind() const { return m_refusal.kind; }
    const Refusal &refusal() const { return m_refusal; }
    Refusal &refusal() { return m_refusal; }

private:
    Refusal m_refusal;
};

// Another user changed or removed the row since it was read.
class RowChangedError : public DatabaseError {
public:
    explicit RowChangedError(const QString &message, const QString &table = {})
        : DatabaseError(message, Refusal::of(RefusalKind::RowChanged, table))
    {
    }
};

// Rows a move reached that another user deleted since the list was read: they
// left the list, and the cursor stayed where it was. count() says how many.
class RowsDeletedError : public DatabaseError {
public:
    RowsDeletedError(int count, const QString &table)
        : DatabaseError(QStringLiteral("有 %1 条记录已被其他用户删除，已从列表中移去。").arg(count),
                        Refusal::of(RefusalKind::RowsDeleted, table))
        , m_count(count)
    {
    }
    int count() const { return m_count; }

private:
    int m_count;
};

// A value that does not fit the column it is written to.
class ConversionError : public Error {
public:
    using Error::Error;
};

// A field name that the dataset does not have.
class FieldNotFoundError : public Error {
public:
    using Error::Error;
};

// An operation the dataset cannot do in its present state (delete on an empty
// dataset, writing a field outside edit or insert, ...).
class DatasetStateError : public Error {
public:
    using Error::Error;
};

} // namespace zarn
