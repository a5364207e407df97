#pragma once

#include <QString>
#include <QVariantList>

namespace zarn {

// Whether a statement reads or writes, said by whoever runs it: the data
// layer never reads it from the statement's text. A write is sent only to a
// server that takes writes (a standby is asked first whether it was promoted
// meanwhile); a refused read tells the surveyor that nothing was being stored.
enum class Access { Read, Write };

// Whether a statement may run a second time when the server connection was
// lost under its first run (and opened anew, with no transaction open):
// only when the second run cannot do twice what the first did (a read; a
// delete of rows picked by value).
enum class Rerun { Never, Repeatable };

// A statement with its values, for running several together.
struct Statement {
    QString sql;
    QVariantList params = {};
};

} // namespace zarn
