#pragma once

#include "data/access.h"

#include <QString>
#include <QVariantList>

namespace zarn {

class Dataset;
struct DeclaredQuery;

// The two ways to run a statement in a dataset, named by the caller: the
// dataset is closed first, the values go to the statement's positional
// placeholders, and a database's refusal goes to the caller.

// Reads: the dataset opens on the statement's rows.
void runQuery(Dataset &dataset, const QString &sql, const QVariantList &params = {});
void runQuery(Dataset &dataset, const DeclaredQuery &query, const QVariantList &params = {});

// Writes: the statement runs and the dataset stays closed, without rows.
void runStatement(Dataset &dataset, const QString &sql, const QVariantList &params = {},
                  Rerun rerun = Rerun::Never);

} // namespace zarn
