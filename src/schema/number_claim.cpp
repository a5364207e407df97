#include "schema/number_claim.h"

#include "data/connection.h"
#include "data/errors.h"
#include "schema/djdcb_statements.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace zarn::numbering {

namespace {

bool taken(Connection &c, const QString &sql, const QVariantList &params)
{
    QSqlQuery q = c.exec(sql, params, true);
    return q.next() && q.value(0).toLongLong() > 0;
}

[[noreturn]] void refuse(const QString &message, const QString &column, const QString &dwdm,
                         const QString &number)
{
    Refusal r;
    r.kind = RefusalKind::DuplicateKey;
    r.table = QStringLiteral("T_DJDCB");
    r.keyColumns = {column};
    r.row.insert(QStringLiteral("dwdm"), dwdm);
    r.row.insert(column.toLower(), number);
    throw DatabaseError(message.arg(number, dwdm), std::move(r));
}

} // namespace

void claimNumbers(Connection &connection, const QString &dwdm, const QString &parcel,
                  const QString &generatedSurvey)
{
    if (parcel.isEmpty() && generatedSurvey.isEmpty()) return;
    // SQLite's transactions hold the write lock from their first statement
    // (Connection::begin); a server needs to be asked. Readers never wait.
    const QSqlDriver::DbmsType dbms = connection.database().driver()->dbmsType();
    if (dbms == QSqlDriver::PostgreSQL || dbms == QSqlDriver::Oracle) {
        // Run as it stands: PostgreSQL cannot prepare a lock statement.
        QSqlQuery lock(connection.database());
        if (!lock.exec(sql::djdcLockForNewRows)) throw connection.error(lock.lastError());
    }
    if (!parcel.isEmpty() && taken(connection, sql::djdcCurrentParcelCount, {dwdm, parcel}))
        refuse(QStringLiteral("地籍号 %1 在单位 %2 已有现行调查表"), QStringLiteral("ZDBH"), dwdm,
               parcel);
    if (!generatedSurvey.isEmpty() &&
        taken(connection, sql::djdcSurveyNumberCount, {dwdm, generatedSurvey}))
        refuse(QStringLiteral("调查表号 %1 在单位 %2 已被使用"), QStringLiteral("DCBH"), dwdm,
               generatedSurvey);
}

} // namespace zarn::numbering
