#pragma once

#include <QList>
#include <QString>

// SQLite keeps a column's width and collation only in the text that declared
// it. One reader of that text, so that nothing else takes SQL apart.
namespace zarn::sqlite {

struct ColumnDeclaration {
    QString name;      // unquoted, as declared
    QString type;      // the declared type, its words and arguments as one text; empty when none
    int width = -1;    // see declaredWidth
    QString collation; // the COLLATE clause's name, unquoted; empty when none
};

// The columns a CREATE TABLE statement declares, in order. Names and types
// may be quoted ("", [], ``, ''), and comments may stand anywhere; table
// constraints (PRIMARY KEY (...), UNIQUE (...), CHECK, FOREIGN KEY,
// CONSTRAINT name ...) are no columns. Empty for a text that declares no
// column list (CREATE TABLE ... AS SELECT, a virtual table's arguments aside).
QList<ColumnDeclaration> declaredColumns(const QString &createTable);

// The width in characters a declared type gives a text column: the first
// number of a character type (char, varchar, nvarchar, character varying,
// ...(n)); -1 for any other type or a character type without one.
int declaredWidth(const QString &declaredType);

} // namespace zarn::sqlite
