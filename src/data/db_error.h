#pragma once

#include "data/errors.h"

class QSqlError;

namespace zarn {

// Reads a driver's error (QSQLITE, QPSQL, QODBC to PostgreSQL, SQLite or
// Oracle, QOCI): the kind of refusal from the native code, the SQLSTATE or
// the text, and the column, width, constraint and key columns where the text
// names them. driverText is the database's text with the secret taken out.
Refusal classifyRefusal(const QSqlError &error, const QString &driverName,
                        const QString &secret = {});

// The error to throw for a driver's error: the database's own text as its
// message, classified.
DatabaseError databaseError(const QSqlError &error, const QString &driverName,
                            const QString &secret = {});

} // namespace zarn
