#include "component/unt_Comm.h"

#include "data/dataset.h"

namespace {

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
}

} // namespace

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 0x20)
        ++b;
    while (e > b && s[e - 1].unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

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
