#include "widgets/db_combo_box.h"

#include "data/dataset.h"
#include "data/errors.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace zarn::ui {

namespace {

// Entries of the drop-down part in rows a printed line high: at the bare
// height of the text, neighbouring entries touch.
class EntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), option.fontMetrics.height() + 6));
        return size;
    }
};

} // namespace

DBComboBox::DBComboBox(QWidget *parent)
    : QComboBox(parent)
    , DataAwareControl(this, ControlFamily::Plain)
{
    setFrame(false);
    setInsertPolicy(QComboBox::NoInsert);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, kControlInk);
    pal.setColor(QPalette::ButtonText, kControlInk);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    setEditable(true);
    setUpLineEdit();
    setItemDelegate(new EntryDelegate(this));
    resize(width(), kControlLineHeight);
    // activated is the user's choice only (popup, arrow keys, wheel, Enter on a match).
    connect(this, &QComboBox::activated, this, &DBComboBox::entryChosen);
    refresh();
}

DBComboBox::DBComboBox(const QString &objectName, QWidget *parent)
    : DBComboBox(parent)
{
    setObjectName(objectName);
}

DBComboBox::~DBComboBox() = default;

void DBComboBox::setUpLineEdit()
{
    QLineEdit *edit = lineEdit();
    if (!edit) return;
    holdWholeValues(edit);
    // Inline completion would put text on screen that was never typed nor
    // written to the column.
    setCompleter(nullptr);
    connect(edit, &QLineEdit::textEdited, this, [this](const QString &text) { textTyped(text); });
}

void DBComboBox::setPickOnly(bool pickOnly)
{
    if (pickOnly == isPickOnly()) return;
    const QString shown = controlText();
    setEditable(!pickOnly);
    setUpLineEdit();
    showValue(shown);
    applyReadOnly(!acceptsTyping());
}

bool DBComboBox::isPickOnly() const
{
    return !isEditable();
}

void DBComboBox::setEntries(const QStringList &entries)
{
    const QString shown = controlText();
    clear();
    addItems(entries);
    showValue(shown);
}

QStringList DBComboBox::entries() const
{
    QStringList list;
    list.reserve(count());
    for (int i = 0; i < count(); ++i)
        list << itemText(i);
    return list;
}

void DBComboBox::setReadOnly(bool readOnly)
{
    DataAwareControl::setReadOnly(readOnly);
}

QString DBComboBox::controlText() const
{
    return isEditable() ? currentText() : m_shown;
}

void DBComboBox::showPopup()
{
    if (!acceptsTyping()) return;
    QComboBox::showPopup();
}

QSize DBComboBox::sizeHint() const
{
    return {QComboBox::sizeHint().width(), kControlLineHeight};
}

QSize DBComboBox::minimumSizeHint() const
{
    return {QComboBox::minimumSizeHint().width(), kControlLineHeight};
}

void DBComboBox::showValue(const QString &text)
{
    const int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (currentIndex() != index) setCurrentIndex(index);
    if (isEditable()) {
        if (currentText() != text) setEditText(text);
    } else if (m_shown != text) {
        m_shown = text;
        update();
    }
}

void DBComboBox::applyReadOnly(bool readOnly)
{
    if (QLineEdit *edit = lineEdit()) edit->setReadOnly(readOnly);
}

void DBComboBox::entryChosen(int index)
{
    if (isShowingValue() || index < 0) return;
    const QString text = itemText(index);
    if (!acceptsTyping()) {
        refresh();
        return;
    }
    if (!isEditable()) {
        m_shown = text;
        update();
    }
    textTyped(text);
}

void DBComboBox::keyPressEvent(QKeyEvent *event)
{
    const bool popupShown = view() && view()->isVisible();
    if (!popupShown && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escapePressed();
        event->accept();
        return;
    }
    if (!acceptsTyping()) {
        // Keys that would pick another entry are refused; the rest (copy,
        // moving within the text, Tab) still work.
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_F4:
            event->accept();
            return;
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Space:
            if (!isEditable()) {
                event->accept();
                return;
            }
            break;
        default:
            if (!isEditable() && !event->text().isEmpty() && event->text().at(0).isPrint()) {
                event->accept();
                return;
            }
        }
    }
    QComboBox::keyPressEvent(event);
}

void DBComboBox::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    focusLeft(event->reason());
}

void DBComboBox::wheelEvent(QWheelEvent *event)
{
    if (!acceptsTyping()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void DBComboBox::paintEvent(QPaintEvent *event)
{
    if (isEditable()) {
        QComboBox::paintEvent(event);
        return;
    }
    // A pick-only list is drawn flat on white like the editable ones (not as
    // a raised button), its text highlighted while it has the focus, and it
    // shows the column's value even when that is no entry.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = m_shown;
    option.currentIcon = QIcon();
    option.editable = true;
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const bool focused = hasFocus();
    painter.fillRect(field, palette().brush(focused ? QPalette::Highlight : QPalette::Base));
    option.editable = false;
    painter.setPen(palette().color(focused ? QPalette::HighlightedText : QPalette::ButtonText));
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void DBComboBox::pickNthEntry()
{
    try {
        Dataset *ds = dataset();
        if (!ds) return;
        ds->edit();
        bool ok = false;
        const int n = currentText().toInt(&ok);
        const QStringList list = entries();
        if (!ok || n < 1 || n > list.size()) return;
        ds->setValue(dataField(), list[n - 1]);
    } catch (const zarn::Error &) {
        // A picker that cannot pick leaves the row as it is.
    }
}

} // namespace zarn::ui
