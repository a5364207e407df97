#include "session/session_context.h"

#include "config/config_ini.h"
#include "schema/statements.h"

namespace zarn {

SessionContext::SessionContext(QObject *parent)
    : QObject(parent)
    , connection(this)
    , surveyRows(&connection, this)
    , coUserRows(&connection, this)
    , markerRows(&connection, this)
    , fourSidesRows(&connection, this)
    , designationRows(&connection, this)
    , scratchQuery(&connection, this)
{
    // The object names the data module's objects have always had, for
    // readers and tests that look them up.
    connection.setObjectName(QStringLiteral("ADOConn1"));
    surveyRows.setObjectName(QStringLiteral("djdcTable"));
    coUserRows.setObjectName(QStringLiteral("GY"));
    markerRows.setObjectName(QStringLiteral("JZBS"));
    fourSidesRows.setObjectName(QStringLiteral("sz"));
    designationRows.setObjectName(QStringLiteral("Zj"));
    scratchQuery.setObjectName(QStringLiteral("ADOQuery1"));
    // Design-time text only; every form replaces it before opening.
    surveyRows.setSql(sql::djdcDesignTime);
}

SessionContext::~SessionContext()
{
    // Datasets go first so no query outlives the connection.
    connection.close();
}

IniBatch SessionContext::rememberedValues() const
{
    return openConfigIni();
}

} // namespace zarn
