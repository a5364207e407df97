#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <cstdio>
#include <optional>

namespace zarn {

// One Key=Value pair of an ADO-style connection string, as written.
struct ConnectionPair {
    QString key;   // as written, trimmed
    QString value; // unquoted
    QString raw;   // the pair's text as written (for passing through to ODBC)
};

// Splits "Key=Value;Key2='a;b';..." into its pairs. Keys keep their spelling;
// lookups through value() ignore case. Quotes (double or single) may hold ';'.
class ConnectionString {
public:
    static ConnectionString parse(const QString &text);

    const QList<ConnectionPair> &pairs() const { return m_pairs; }
    bool contains(const QString &key) const;
    QString value(const QString &key, const QString &fallback = {}) const;

private:
    QList<ConnectionPair> m_pairs;
};

// What a connection string means for Qt: driver and its settings.
struct ConnectionSettings {
    QString provider;     // as written in the string
    QString driver;       // QSQLITE, QPSQL, QODBC, QOCI
    QString databaseName; // file, database, ODBC connection text or TNS name
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions;
    // PostgreSQL: how many servers the string names. With several, hostName
    // is their comma list and the connection goes to the one taking writes.
    int servers = 1;
    bool setZarnSearchPath = false; // PostgreSQL: reach schema zarn by plain names
};

// Maps an ADO-style connection string to a ConnectionSettings. Throws zarn::Error
// naming the provider when it is unknown. oracleHasOci tells whether the Qt
// build offers QOCI (else Oracle goes through QODBC).
ConnectionSettings mapConnectionString(const QString &text, bool oracleHasOci);

// A connection string given as "-" on a tool's command line, where every
// user of the machine could read it: one line of `in` (standard input), its
// line end (LF or CR LF) removed. Read from a terminal, `prompt` goes to
// standard error first and the typing is not echoed, as it holds a password.
// Nothing when the input ends before anything is read.
std::optional<QString> readConnectionStringLine(FILE *in, const QString &prompt);

} // namespace zarn
