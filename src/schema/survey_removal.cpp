#include "schema/survey_removal.h"

#include "data/connection.h"
#include "schema/attached_statements.h"
#include "schema/survey_statements.h"

namespace zarn::survey {

void removeSurveyRow(Connection &connection, const StoredSurveyRow &row)
{
    // Deletes of rows picked by value may be run again after a reconnect.
    constexpr bool repeatable = true;
    connection.transaction(
        [&] {
            if (row.changeDate.isEmpty()) {
                for (const QString &statement : sql::deleteCurrentAttached)
                    connection.exec(Access::Write, statement, {row.parcel, row.unit}, repeatable);
            } else {
                for (const QString &statement : sql::deleteChangedAttached)
                    connection.exec(Access::Write, statement,
                                    {row.parcel, row.unit, row.changeDate}, repeatable);
            }
            connection.exec(Access::Write, sql::djdcDeleteRow, {row.id}, repeatable);
        },
        Connection::Begin::WithFirstStatement);
}

} // namespace zarn::survey
