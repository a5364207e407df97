#include "data/sqlite_declaration.h"

#include <QStringList>

namespace zarn::sqlite {

namespace {

struct Token {
    enum Kind { Word, Quoted, Number, Open, Close, Comma, Other } kind;
    QString text; // a quoted token without its quotes
    bool isWord(const char *word) const
    {
        return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isName() const { return kind == Word || kind == Quoted; }
};

// SQLite's tokens, as far as a declaration needs them: blanks and both kinds
// of comment skipped, a quoted name or text taken whole (a doubled quote
// inside stands for one).
QList<Token> tokenize(const QString &text)
{
    QList<Token> tokens;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
            while (i < n && text[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('\'') ||
                   c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString quoted;
            ++i;
            while (i < n) {
                if (text[i] == close) {
                    // [] knows no doubling; the other quotes double to escape.
                    if (close != QLatin1Char(']') && i + 1 < n && text[i + 1] == close) {
                        quoted += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                quoted += text[i++];
            }
            tokens.append({Token::Quoted, quoted});
        } else if (c.isDigit()) {
            const qsizetype from = i;
            while (i < n && (text[i].isDigit() || text[i] == QLatin1Char('.')))
                ++i;
            tokens.append({Token::Number, text.mid(from, i - from)});
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype from = i;
            while (i < n && (text[i].isLetterOrNumber() || text[i] == QLatin1Char('_') ||
                             text[i] == QLatin1Char('$')))
                ++i;
            tokens.append({Token::Word, text.mid(from, i - from)});
        } else {
            const Token::Kind kind = c == QLatin1Char('(')   ? Token::Open
                                     : c == QLatin1Char(')') ? Token::Close
                                     : c == QLatin1Char(',') ? Token::Comma
                                                             : Token::Other;
            tokens.append({kind, QString(c)});
            ++i;
        }
    }
    return tokens;
}

// The words that end a column's type and begin its constraints.
bool beginsConstraint(const Token &t)
{
    for (const char *word : {"constraint", "primary", "not", "null", "unique", "check", "default",
                             "collate", "references", "generated", "as"})
        if (t.isWord(word)) return true;
    return false;
}

bool beginsTableConstraint(const Token &t)
{
    for (const char *word : {"constraint", "primary", "unique", "check", "foreign"})
        if (t.isWord(word)) return true;
    return false;
}

// The declared type from tokens[from], up to the first constraint (or the
// end), as one text: its words, then its arguments in parentheses.
QString typeText(const QList<Token> &tokens, qsizetype from, qsizetype to, qsizetype *end)
{
    QString type;
    qsizetype i = from;
    for (; i < to && tokens[i].isName() && !beginsConstraint(tokens[i]); ++i)
        type += (type.isEmpty() ? QString() : QStringLiteral(" ")) + tokens[i].text;
    if (i < to && tokens[i].kind == Token::Open && !type.isEmpty()) {
        type += QLatin1Char('(');
        for (++i; i < to && tokens[i].kind != Token::Close; ++i)
            type += tokens[i].text;
        type += QLatin1Char(')');
        if (i < to) ++i;
    }
    *end = i;
    return type;
}

int widthOf(const QList<Token> &tokens)
{
    bool character = false;
    for (const Token &t : tokens) {
        if (t.kind == Token::Word && t.text.contains(QLatin1String("char"), Qt::CaseInsensitive))
            character = true;
        else if (character && t.kind == Token::Number)
            return t.text.toInt();
        else if (t.kind == Token::Close)
            break;
    }
    return -1;
}

ColumnDeclaration column(const QList<Token> &tokens, qsizetype from, qsizetype to)
{
    ColumnDeclaration c;
    c.name = tokens[from].text;
    qsizetype i = from + 1;
    c.type = typeText(tokens, i, to, &i);
    c.width = widthOf(tokens.mid(from + 1, i - from - 1));
    int depth = 0;
    for (; i < to; ++i) {
        if (tokens[i].kind == Token::Open)
            ++depth;
        else if (tokens[i].kind == Token::Close)
            --depth;
        else if (depth == 0 && tokens[i].isWord("collate") && i + 1 < to && tokens[i + 1].isName())
            c.collation = tokens[i + 1].text;
    }
    return c;
}

} // namespace

QList<ColumnDeclaration> declaredColumns(const QString &createTable)
{
    const QList<Token> tokens = tokenize(createTable);
    // The column list is the first parenthesis, after the table's name.
    qsizetype open = 0;
    while (open < tokens.size() && tokens[open].kind != Token::Open) {
        if (tokens[open].isWord("as")) return {};
        ++open;
    }
    QList<ColumnDeclaration> columns;
    int depth = 0;
    qsizetype from = open + 1;
    for (qsizetype i = open + 1; i < tokens.size() && depth >= 0; ++i) {
        const Token::Kind k = tokens[i].kind;
        if (k == Token::Open) {
            ++depth;
            continue;
        }
        if (k == Token::Close) --depth;
        if (depth < 0 || (depth == 0 && k == Token::Comma)) {
            if (from < i && tokens[from].isName() && !beginsTableConstraint(tokens[from]))
                columns.append(column(tokens, from, i));
            from = i + 1;
        }
    }
    return columns;
}

int declaredWidth(const QString &declaredType)
{
    return widthOf(tokenize(declaredType));
}

} // namespace zarn::sqlite
