#include "widgets/db_edit.h"

#include "data/dataset.h"

#include <QKeyEvent>

#include <algorithm>

namespace zarn::ui {

namespace {
constexpr int kUnlimited = 32767; // QLineEdit's own default
}

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
    const int most = width > 0 ? std::max(width, int(text.size())) : kUnlimited;
    if (maxLength() != most) setMaxLength(most);
    if (text != QLineEdit::text()) setText(text);
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
