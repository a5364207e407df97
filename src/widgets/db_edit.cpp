#include "widgets/db_edit.h"

#include "data/characters.h"
#include "data/dataset.h"

#include <QKeyEvent>
#include <QValidator>

#include <algorithm>

namespace zarn::ui {

namespace {

// Holds the line to a number of characters counted as the column counts
// them. QLineEdit's own maximum counts UTF-16 units, which would stop a name
// with a rare character such as 𠮷 at half the column's width.
class CharacterLimit : public QValidator {
public:
    explicit CharacterLimit(QObject *parent)
        : QValidator(parent)
    {
    }

    State validate(QString &input, int &pos) const override
    {
        if (limit < 0) return Acceptable;
        qsizetype over = zarn::characterCount(input) - limit;
        if (over <= 0) return Acceptable;
        // Like QLineEdit's maximum: what was just typed or pasted (before
        // the cursor) is cut, never a surrogate pair in half.
        int cut = pos;
        while (over > 0 && cut > 0) {
            --cut;
            if (cut > 0 && input[cut].isLowSurrogate() && input[cut - 1].isHighSurrogate()) --cut;
            --over;
        }
        input.remove(cut, pos - cut);
        pos = cut;
        return over <= 0 ? Acceptable : Invalid;
    }

    int limit = -1;
};

} // namespace

DBEdit::DBEdit(QWidget *parent)
    : QLineEdit(parent)
    , DataAwareControl(this, ControlFamily::Framed)
{
    setFrame(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, kControlInk);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    resize(width(), kControlLineHeight);
    holdWholeValues(this);
    m_limit = new CharacterLimit(this);
    setValidator(m_limit);
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) { textTyped(text); });
    refresh();
}

DBEdit::DBEdit(const QString &objectName, QWidget *parent)
    : DBEdit(parent)
{
    setObjectName(objectName);
}

DBEdit::~DBEdit() = default;

void DBEdit::setReadOnly(bool readOnly)
{
    DataAwareControl::setReadOnly(readOnly);
}

QString DBEdit::controlText() const
{
    return text();
}

QSize DBEdit::sizeHint() const
{
    return {QLineEdit::sizeHint().width(), kControlLineHeight};
}

void DBEdit::showValue(const QString &text)
{
    // Typing stops at the column's width as the database declares it, so the
    // surveyor learns of it while typing, not when saving. A stored value
    // already longer than that (SQLite keeps what it is given) shows whole
    // and can only be shortened.
    int width = -1;
    if (const zarn::Dataset *ds = dataset(); ds && ds->isOpen()) {
        const int column = ds->fieldIndex(dataField());
        if (column >= 0 && zarn::isTextType(ds->fieldDef(column).type))
            width = ds->fieldDef(column).length;
    }
    static_cast<CharacterLimit *>(m_limit)->limit =
        width > 0 ? std::max(width, int(zarn::characterCount(text))) : -1;
    if (text == QLineEdit::text()) return;
    setText(text);
    // A new value is shown from its beginning, as the memo shows it: setText
    // leaves the caret at the end, and a value wider than the blank would
    // show only its tail. Typing never comes here: what is typed is the text.
    setCursorPosition(0);
}

int DBEdit::characterLimit() const
{
    return static_cast<const CharacterLimit *>(m_limit)->limit;
}

void DBEdit::applyReadOnly(bool readOnly)
{
    QLineEdit::setReadOnly(readOnly);
}

void DBEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Taken here in any case: Escape undoes typing, it never closes the window.
        escapePressed();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    focusLeft(event->reason());
}

} // namespace zarn::ui
