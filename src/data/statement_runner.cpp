#include "data/statement_runner.h"

#include "data/dataset.h"

namespace {

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
}

} // namespace

void RunSQL(zarn::Dataset &query, const QString &sql, const QVariantList &params)
{
    query.close();
    query.setSql(sql, params);
    qsizetype b = 0, e = sql.size();
    while (b < e && isBlankOrControl(sql[b]))
        ++b;
    while (e > b && isBlankOrControl(sql[e - 1]))
        --e;
    // Only the exact lower-case word opens; "SELECT" or "Select" is executed and
    // leaves the query without rows, and callers rely on that.
    if (QStringView(sql).mid(b, e - b).left(6) == QLatin1String("select"))
        query.open();
    else
        query.execute();
}

void RunSQL(zarn::Dataset &query, const zarn::DeclaredQuery &declared, const QVariantList &params)
{
    query.close();
    query.setQuery(declared, params);
    query.open();
}
