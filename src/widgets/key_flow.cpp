#include "widgets/key_flow.h"

#include "widgets/db_combo_box.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace zarn::ui {

namespace {

QWidget *keyOwner(QObject *watched)
{
    auto *w = qobject_cast<QWidget *>(watched);
    if (w && qobject_cast<QLineEdit *>(w) && qobject_cast<DBComboBox *>(w->parentWidget()))
        return w->parentWidget();
    return w;
}

bool isTypedDigit(const QKeyEvent *key)
{
    // The keypad's digits are left to the list's own typing.
    return key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 &&
           !(key->modifiers() & Qt::KeypadModifier);
}

} // namespace

bool followKeyFlow(const KeyFlowRoutes &routes, QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    QWidget *w = keyOwner(watched);
    if (!w || !routes.isEntry || !routes.isEntry(w)) return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::KeyPress && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        if (QWidget *next = routes.enterTarget(w)) next->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (type == QEvent::KeyRelease && isTypedDigit(key) && routes.picksByDigit(w))
        if (auto *list = qobject_cast<DBComboBox *>(w)) list->pickNthEntry();
    return false;
}

void watchKeys(QWidget *control, QObject *filter)
{
    control->installEventFilter(filter);
    if (auto *combo = qobject_cast<QComboBox *>(control); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(filter);
}

} // namespace zarn::ui
