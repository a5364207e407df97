#pragma once

#include "zarn-db/survey_ddl.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

namespace zarn::dbsetup {

// Inserts rows into one table many at a time. A batch of rows travels as one
// bound value, a JSON array of rows, that the database unpacks itself
// (json_each on SQLite, json_populate_recordset on PostgreSQL). Binding value
// by value costs Qt about a microsecond each, which for a large demo data set
// is most of the run; one value per batch makes the database the only cost.
// Rows are buffered until a batch is full; flush() writes the rest. Throws
// DatabaseError with the driver's text.
class BatchInserter {
public:
    BatchInserter(QSqlDatabase db, Dialect dialect, QString table, QStringList columns);
    ~BatchInserter();
    BatchInserter(const BatchInserter &) = delete;
    BatchInserter &operator=(const BatchInserter &) = delete;

    // One row, its values in the order of the columns: null, whole numbers or
    // texts.
    void add(const QVariantList &row);
    void flush();
    qint64 rowsWritten() const { return m_written; }

    // Appends one row as it travels in a batch: a JSON array, or with keys an
    // object.
    static void appendJsonRow(QString &out, const QVariantList &row, const QStringList *keys);

private:
    void write();

    QSqlDatabase m_db;
    Dialect m_dialect;
    QString m_table;
    QStringList m_columns;
    QStringList m_keys; // PostgreSQL matches object keys to its lower-case column names
    QString m_sql;
    QString m_batch; // rows so far, comma-separated
    int m_rows = 0;
    std::unique_ptr<QSqlQuery> m_query;
    qint64 m_written = 0;
};

} // namespace zarn::dbsetup
