#include "schema/number_claim.h"

#include "data/connection.h"
#include "data/errors.h"
#include "schema/survey_statements.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace zarn::numbering {

namespace {

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

// A wait for the unit's turn that ran out, said as the unit's numbering
// being held, for the surveyor to know what to wait for.
[[noreturn]] void sayHeld(const DatabaseError &e, const QString &dwdm)
{
    Refusal r = e.refusal();
    r.kind = RefusalKind::NumberingHeld;
    r.table = QStringLiteral("T_DJDCB");
    r.row.insert(QStringLiteral("dwdm"), dwdm);
    throw DatabaseError(
        QStringLiteral("单位 %1 的编号正被另一个工作站占用，等候后仍未轮到").arg(dwdm),
        std::move(r));
}

bool counted(QSqlQuery &q)
{
    return q.next() && q.value(0).toLongLong() > 0;
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
    const QSqlDriver::DbmsType dbms = connection.database().driver()->dbmsType();
    std::vector<Statement> asked;
    if (dbms == QSqlDriver::PostgreSQL) {
        // A lock taken, nothing written: the transaction that writes is
        // already begun. The checks run after it, each seeing what the
        // lock's last holder committed, and on a server all three travel
        // in one round trip.
        asked.push_back({sql::djdcClaimUnitNumbers, {kClaimClass, claimKey(dwdm)}});
    } else if (dbms == QSqlDriver::Oracle) {
        // Run as it stands: not every driver prepares a lock statement.
        QSqlQuery lock(connection.database());
        if (!lock.exec(sql::djdcLockForNewRows)) {
            DatabaseError e = connection.error(lock.lastError());
            if (e.kind() == RefusalKind::Busy) sayHeld(e, dwdm);
            throw e;
        }
    }
    const size_t first = asked.size();
    if (!parcel.isEmpty()) asked.push_back({sql::djdcCurrentParcelCount, {dwdm, parcel}});
    if (!generatedSurvey.isEmpty())
        asked.push_back({sql::djdcSurveyNumberCount, {dwdm, generatedSurvey}});
    std::vector<QSqlQuery> answers;
    try {
        answers = connection.execAll(Access::Read, asked, false);
    } catch (const DatabaseError &e) {
        if (e.kind() == RefusalKind::Busy) sayHeld(e, dwdm);
        throw;
    }
    size_t at = first;
    if (!parcel.isEmpty() && counted(answers[at++]))
        refuse(QStringLiteral("地籍号 %1 在单位 %2 已有现行调查表"), QStringLiteral("ZDBH"), dwdm,
               parcel);
    if (!generatedSurvey.isEmpty() && counted(answers[at]))
        refuse(QStringLiteral("调查表号 %1 在单位 %2 已被使用"), QStringLiteral("DCBH"), dwdm,
               generatedSurvey);
}

HighestNumbers highestNumbers(Connection &connection, const QString &unit)
{
    std::vector<QSqlQuery> answers = connection.execAll(
        Access::Read, {{sql::djdcMaxId}, {sql::djdcMaxZdbh, {unit}}, {sql::djdcMaxDcbh, {unit}}},
        /*repeatable=*/true);
    const auto first = [](QSqlQuery &q) { return q.next() ? q.value(0) : QVariant(); };
    return {first(answers[0]), first(answers[1]), first(answers[2])};
}

} // namespace zarn::numbering
