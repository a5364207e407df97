#pragma once

#include <QString>
#include <QVariantList>

namespace zarn {
class Dataset;
}

// Puts a statement into a query and runs it: a statement whose trimmed text
// starts with lower-case "select" is opened, anything else is executed.
// Values go to the statement's positional placeholders. Database errors go to
// the caller.
void RunSQL(zarn::Dataset &query, const QString &sql, const QVariantList &params = {});
