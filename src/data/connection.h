#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace zarn {

// The one database connection of a survey session. Owns a uniquely named
// QSqlDatabase; closing it tells every dataset on it to close first, so no
// query outlives its database.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString &text);
    const QString &connectionString() const { return m_connectionString; }

    // Opens with the connection string; throws DatabaseError (driver's text,
    // never the password) or Error for an unusable string.
    void open();
    void close();
    bool isOpen() const;

    // The open database; throws DatabaseError when closed.
    QSqlDatabase database() const;
    QString driverName() const;

    // Runs fn inside one transaction: commits when it returns, rolls back when it throws.
    template <class F> void transaction(F &&fn)
    {
        begin();
        try {
            fn();
        } catch (...) {
            rollback();
            throw;
        }
        commit();
    }
    void begin();
    void commit();
    void rollback();

signals:
    // Emitted before the database closes; datasets close on it.
    void aboutToClose();
    void opened();

private:
    QString m_connectionString;
    QString m_name;
    QString m_password; // kept only to strip it from error texts
};

// Removes every occurrence of a secret from a text meant for the user.
QString withoutSecret(QString text, const QString &secret);

} // namespace zarn
