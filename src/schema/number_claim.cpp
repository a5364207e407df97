#include "schema/number_claim.h"

#include "data/connection.h"
#include "data/errors.h"
#include "schema/survey_statements.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace zarn::numbering {

namespace {

bool taken(Connection &c, const QString &sql, const QVariantList &params)
{
    QSqlQuery q = c.exec(Access::Read, sql, params, true);
    const bool found = q.next() && q.value(0).toLongLong() > 0;
    q.finish(); // read: its statement is free for the next claim
    return found;
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

// Waits for the unit's turn; a wait that ran out is said as the unit's
// numbering being held, for the surveyor to know what to wait for.
void takeTurn(Connection &c, const QString &dwdm)
{
    const QSqlDriver::DbmsType dbms = c.database().driver()->dbmsType();
    try {
        if (dbms == QSqlDriver::PostgreSQL) {
            // A lock taken, nothing written: the transaction that writes is already begun.
            c.exec(Access::Read, sql::djdcClaimUnitNumbers, {kClaimClass, claimKey(dwdm)}, false)
                .finish();
        } else if (dbms == QSqlDriver::Oracle) {
            // Run as it stands: not every driver prepares a lock statement.
            QSqlQuery lock(c.database());
            if (!lock.exec(sql::djdcLockForNewRows)) throw c.error(lock.lastError());
        }
    } catch (DatabaseError &e) {
        if (e.kind() != RefusalKind::Busy) throw;
        Refusal r = e.refusal();
        r.kind = RefusalKind::NumberingHeld;
        r.table = QStringLiteral("T_DJDCB");
        r.row.insert(QStringLiteral("dwdm"), dwdm);
        throw DatabaseError(
            QStringLiteral("单位 %1 的编号正被另一个工作站占用，等候后仍未轮到").arg(dwdm),
            std::move(r));
    }
}

} // namespace

qint32 claimKey(const QString &dwdm)
{
    // FNV-1a over the code's UTF-8: the same on every workstation and release.
    quint32 h = 2166136261u;
    for (const char c : dwdm.toUtf8()) {
        h ^= quint8(c);
        h *= 16777619u;
    }
    return qint32(h);
}

void claimNumbers(Connection &connection, const QString &dwdm, const QString &parcel,
                  const QString &generatedSurvey)
{
    if (parcel.isEmpty() && generatedSurvey.isEmpty()) return;
    // SQLite's transactions hold the write lock from their first statement
    // (Connection::begin); a server needs to be asked. Readers never wait.
    takeTurn(connection, dwdm);
    if (!parcel.isEmpty() && taken(connection, sql::djdcCurrentParcelCount, {dwdm, parcel}))
        refuse(QStringLiteral("地籍号 %1 在单位 %2 已有现行调查表"), QStringLiteral("ZDBH"), dwdm,
               parcel);
    if (!generatedSurvey.isEmpty() &&
        taken(connection, sql::djdcSurveyNumberCount, {dwdm, generatedSurvey}))
        refuse(QStringLiteral("调查表号 %1 在单位 %2 已被使用"), QStringLiteral("DCBH"), dwdm,
               generatedSurvey);
}

} // namespace zarn::numbering
