#pragma once

#include <QString>
#include <QVariantList>

namespace zarn {
class Dataset;
struct DeclaredQuery;
} // namespace zarn

// Puts a statement into a query and runs it: a statement whose trimmed text
// starts with lower-case "select" is opened, anything else is executed.
// Values go to the statement's positional placeholders. Database errors go to
// the caller.
void RunSQL(zarn::Dataset &query, const QString &sql, const QVariantList &params = {});
// Puts a declared query into a query and opens it.
void RunSQL(zarn::Dataset &query, const zarn::DeclaredQuery &declared,
            const QVariantList &params = {});
