#include "data/statement_runner.h"

#include "data/dataset.h"

namespace zarn {

void runQuery(Dataset &dataset, const QString &sql, const QVariantList &params)
{
    dataset.close();
    dataset.setSql(sql, params);
    dataset.open();
}

void runQuery(Dataset &dataset, const DeclaredQuery &query, const QVariantList &params)
{
    dataset.close();
    dataset.setQuery(query, params);
    dataset.open();
}

void runStatement(Dataset &dataset, const QString &sql, const QVariantList &params, Rerun rerun)
{
    dataset.close();
    dataset.setSql(sql, params);
    dataset.execute(rerun);
}

} // namespace zarn
