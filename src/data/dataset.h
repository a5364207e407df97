#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>

#include "data/access.h"
#include "data/declared_query.h"

class QTimer;

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zarn {

class Connection;
class Dataset;
class DatabaseError;
class RowStore;

// Type category of a column, from the driver's metadata.
enum class FieldType {
    UnicodeText,
    Text,
    LongText,
    Int16,
    Int32,
    Int64,
    Double,
    Decimal,
    Date,
    Other,
};

bool isIntegerType(FieldType t);
bool isFloatType(FieldType t);
bool isTextType(FieldType t);

struct FieldDef {
    QString name; // as the driver reports it
    FieldType type = FieldType::Other;
    // A text column's width in characters as the database declares it; -1
    // when the column has none (unbounded text, numbers) or the driver does
    // not say.
    int length = -1;
};

// A handle on one column of a dataset's current row, like FieldByName.
class Field {
public:
    Field(Dataset *dataset, int column)
        : m_dataset(dataset)
        , m_column(column)
    {
    }
    int index() const { return m_column; }
    const QString &name() const;
    FieldType type() const;
    QVariant value() const;
    bool isNull() const;
    QString asString() const; // null reads as the empty text
    qint64 asInteger() const; // null reads as 0; throws ConversionError on non-numbers
    double asFloat() const;   // null reads as 0
    void setValue(const QVariant &v);
    void setAsString(const QString &s) { setValue(s); }
    void clear() { setValue(QVariant()); }

private:
    Dataset *m_dataset;
    int m_column;
};

// A query's result with a cursor. A declared query writes posted rows back to
// its table (rows identified by its id column), holds only each row's id,
// ordering and held columns for every row and reads whole rows by id, a page
// at a time, as the cursor, a grid or a field read reaches them (RowStore).
// Any other statement is run whole, its result held whole and never written
// back: its text is not read for a table.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)

    enum LocateOption { CaseInsensitive = 1, PartialKey = 2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)

    explicit Dataset(Connection *connection, QObject *parent = nullptr);
    ~Dataset() override;

    Connection *connection() const { return m_connection; }

    // Statement text and the values bound to its positional placeholders: run
    // whole, its rows not written back. open() reads it; execute() writes.
    void setSql(const QString &sql, const QVariantList &params = {});
    // A declared query and the values bound to its filter's placeholders.
    void setQuery(const DeclaredQuery &query, const QVariantList &params = {});
    // The statement text; for a declared query, once opened, the text it ran.
    const QString &sql() const { return m_sql; }
    const QVariantList &params() const { return m_params; }
    // The table posted rows are written to: a declared query's; empty for a statement.
    const QString &tableName() const { return m_table; }

    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    // Runs a statement that writes, without rows; the dataset stays closed.
    // Rerun::Repeatable lets it run again after a lost connection (see Rerun).
    void execute(Rerun rerun = Rerun::Never);
    void refresh();
    // Re-reads the current row from its table by id, dropping a pending edit
    // of it: another user's version replaces ours. False when the row is no
    // longer there (the list keeps it as it was) or is a new row not yet stored.
    bool refreshRow();
    // True when the table no longer has the current row as it was read
    // (another user deleted it); false for a row it has or a new row. A read
    // of the table that fails throws its DatabaseError: it tells nothing.
    bool rowDeletedMeanwhile();
    // Takes the current row out of the list without touching the table (it is
    // gone there), dropping a pending change of it; the cursor goes to the
    // following row, or to the new last row.
    void dropRow();

    // Rows per page and pages kept in memory for a paged result, from the next open.
    void setPaging(int rowsPerPage, int pagesKept);
    // Whole rows in memory now (all of them when the result is not paged).
    int rowsInMemory() const;

    // A move lands on its row as stored now: a row kept in memory since
    // before the move is read again by id (one statement). A move that
    // reaches a row another user deleted since the open drops it from the
    // list, with the deleted rows right beyond it in the move's direction,
    // stays where it was and throws RowsDeletedError to say so.
    void first();
    void prior();
    void next();
    void last();
    // The first / the last row whose field reads as a text that is not
    // empty (rows without one, null or '', are passed over), -1 when none:
    // the list's ends a surveyor can move from. lastRowWith reads every key.
    int firstRowWith(const QString &field);
    int lastRowWith(const QString &field);
    // One of the four navigator moves, for the cores that map buttons to them.
    enum class Move { First, Prior, Next, Last };
    void move(Move to);
    // Moves to a row by index (0-based). asStoredNow: as the navigator moves
    // do, for the user's own moves (a grid's click, a jump to the list's
    // end); without it the row is taken as read, as a loop over the rows it
    // is rewriting wants, so that a change written over another user's still
    // meets it.
    void moveTo(int row, bool asStoredNow = false);
    bool locate(const QString &field, const QVariant &value, LocateOptions options = {});
    // The first row whose value of field is value or sorts after it, in a
    // list read in the order of that field whose keys still arrive behind
    // its first page: found by counting in the database, without reading the
    // keys before it. recordCount() when every row sorts before it; -1 when
    // the list is not such a one, or the rows around the place counted do
    // not bear it out (another user's changes): then search from the top.
    int seek(const QString &field, const QVariant &value);

    void append();
    void insert();
    void edit();
    void post();
    void cancel();
    void remove();

    // New rows numbered under concurrency: when the database refuses an
    // inserted row because another row already holds one of its keys (another
    // workstation took the same number meanwhile), post() calls renumber with
    // the refusal. It takes fresh numbers and sets them on the row, which is
    // still being inserted (everything else typed stays), and answers true to
    // have the row posted again or false to give up. At most `attempts`
    // renumberings per post; after that the refusal goes to the caller and
    // the row stays pending, so the next post renumbers again.
    using Renumber = std::function<bool(Dataset &, const DatabaseError &)>;
    void setRenumber(Renumber renumber, int attempts = 8);

    // A read of one value sent with each move's reading of a kept row as it
    // is stored now (the row's values as read before go to `make`, the value
    // read to `take`),
    // in the same round trip on a server: what a form reads for every row it
    // moves to costs no round trip of its own.
    void setAlongRereads(std::function<std::optional<Statement>(const QVariantList &row)> make,
                         std::function<void(const QVariant &value)> take);

    // A check of a row about to be written that must see the rows stored
    // before it and keep out those stored after it until the row is in:
    // post() runs it in the transaction that writes the row (its own one
    // when the caller has none), just before the write, for every new row and
    // for a changed row whose changes include one of `columns`. It may take
    // locks, and refuses the row by throwing as the database would (a
    // DuplicateKey refusal of a new row renumbers).
    using WriteCheck = std::function<void(Dataset &)>;
    void setWriteCheck(WriteCheck check, QStringList columns = {});
    const WriteCheck &writeCheck() const { return m_writeCheck; }
    const QStringList &writeCheckColumns() const { return m_checkColumns; }

    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    bool isModified() const { return m_modified; }
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // True while the keys of a long list are still arriving behind its
    // first page (every rule holds meanwhile; a read waits for the keys it needs).
    bool keysArriving() const;
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    int recNo() const { return m_cursor; } // -1 when there is no row

    int fieldCount() const { return int(m_fields.size()); }
    const FieldDef &fieldDef(int column) const { return m_fields[size_t(column)]; }
    int fieldIndex(const QString &name) const; // -1 when unknown
    int indexOf(const QString &name) const;    // throws FieldNotFoundError
    Field field(const QString &name) { return Field(this, indexOf(name)); }
    Field field(int column) { return Field(this, column); }
    Field operator[](const QString &name) { return field(name); }

    // Current row.
    QVariant value(int column) const;
    QVariant value(const QString &name) const { return value(indexOf(name)); }
    QString text(const QString &name) const { return textOf(value(indexOf(name))); }
    void setValue(int column, const QVariant &value);
    void setValue(const QString &name, const QVariant &value) { setValue(indexOf(name), value); }

    // Any row, read with its page when needed. A value the row's page cannot
    // be read for reads as null.
    QVariant valueAt(int row, int column) const;
    // Any row from memory only, for painting: never reads the database. held
    // is false when the row is not in memory (fetchRows reads it); a row the
    // database no longer has is held as nulls.
    QVariant heldValueAt(int row, int column, bool *held) const;
    // Reads the pages of rows first..last (clamped to the rows there are) that
    // are not in memory, as a view about to show them does. True when any row
    // was read. Throws DatabaseError when a page cannot be read. Rows the read
    // finds deleted leave the list (but the cursor's) at the next turn of the
    // event loop, announced as any removed row.
    bool fetchRows(int first, int last);

    static QString textOf(const QVariant &v);
    static bool isNullValue(const QVariant &v) { return !v.isValid() || v.isNull(); }

    // Changes come bracketed, as Qt's models bracket theirs: an about-to
    // signal while the rows are still as they were, a done signal once they
    // have changed. Whenever any signal is emitted the cursor is -1 on an
    // empty dataset or stands on a row there is, so value() is safe to call.
signals:
    void opened();
    void closed();
    void aboutToReset();                // the rows are about to be replaced
    void reset();                       // the rows were replaced (open, refresh, close)
    void rowAboutToBeInserted(int row); // a new pending row is about to be put at row
    void rowInserted(int row);          // a new pending row, the cursor on it
    void rowAboutToBeRemoved(int row);  // the row is still there
    void rowRemoved(int row);           // the row is gone, the cursor on a row there is
    void rowChanged(int row);           // several values of a row changed (cancel)
    // Rows first..last are about to be added at the end / were added: rows
    // another user stored while the keys of a long list were arriving.
    void rowsAboutToArrive(int first, int last);
    void rowsArrived(int first, int last);
    void fieldChanged(int row, int column);
    void cursorMoved(int row);
    void stateChanged(zarn::Dataset::State state);

private:
    void requireOpen() const;
    void checkBrowseMode();
    void fetch();
    void setCursor(int row, bool bof, bool eof, int step, bool asStoredNow);
    void setState(State s);
    void postPending();
    // The id of the row being inserted or changed (invalid without an id column).
    QVariant pendingId() const;
    // Whether the write of the pending row that met a lost connection got
    // there after all; if so the row is as stored and no longer pending.
    bool storedBeforeLoss();
    void postInsert();
    // The stored row instead of ours when the table already held our changes.
    std::optional<QVariantList> postEdit();
    // Runs write, after the write check and in one transaction with it when checked.
    void checkedWrite(bool checked, const std::function<void()> &write);
    void checkWidths(const QVariantList &row, const QVariantList *before) const;
    void explain(DatabaseError &error, const QVariantList &row) const;
    bool storedAsWritten(const QVariantList &row, const QVariantList *before) const;
    // Every column the row changed from before (or, without before, every
    // non-null column) holds the row's value in stored.
    static bool holdsOurChanges(const QVariantList &stored, const QVariantList &row,
                                const QVariantList *before);
    // The row the table holds under an id, in this dataset's columns: a null
    // reads as a valid null QVariant, a column the table no longer has as an
    // invalid one. Empty when there is no such row.
    std::optional<QVariantList> storedRow(const QVariant &id) const;
    void beginPending(int row);
    QVariant convert(int column, const QVariant &v) const;
    // A column's name as statement text, quoted through the driver.
    QString sqlColumn(int column) const;
    QVariantList &currentRow();
    // Takes a row out of the list between its two signals, keeping the cursor
    // on a row there is (the following one, or the new last one).
    void removeRow(int row);
    // Runs replace between aboutToReset and reset, also when it throws.
    void replaceRows(const std::function<void()> &replace);
    void reach(int row, int step, bool asStoredNow);
    // Keys of a long list arriving behind its first page, a chunk at a time
    // from the event loop; n < 0 reads them all now.
    void arrive(qsizetype n);
    void scheduleArrival();
    // Reads keys until a row follows the cursor or none can.
    void arriveBeyond(int row);
    void land(int row, bool announce);
    // Takes out of the list the rows found deleted, but the cursor's.
    void dropGoneRows();

    Connection *m_connection;
    QString m_sql;
    QVariantList m_params;
    QString m_table;
    std::optional<DeclaredQuery> m_query;
    QString m_sqlTable; // m_table as statement text, quoted through the driver

    std::vector<FieldDef> m_fields;
    std::vector<std::pair<QString, int>> m_lookup; // lower-case name -> column, sorted
    std::unique_ptr<RowStore> m_store;
    // Keys read at each turn of the event loop while a long list arrives.
    static constexpr qsizetype kKeysPerTurn = 4096;
    QTimer *m_arrival = nullptr;
    bool m_resetting = false;
    bool m_dropQueued = false;
    int m_idColumn = -1;

    State m_state = State::Inactive;
    int m_cursor = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_modified = false;
    QVariantList m_original; // the row as read, while editing
    int m_cursorBeforeInsert = -1;
    Renumber m_renumber;
    int m_renumberAttempts = 0;
    WriteCheck m_writeCheck;
    QStringList m_checkColumns;
    // The id of the row whose last write met a lost connection (a lost reply
    // to COMMIT may hide a stored row): looked up before it is written again.
    QVariant m_unsureId;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Dataset::LocateOptions)

} // namespace zarn
