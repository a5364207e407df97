#include "widgets/field_menu.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

namespace zarn::ui {

FieldMenu::FieldMenu(QWidget *field, QWidget *actions)
    : QObject(field)
    , m_field(field)
    , m_actions(actions)
{
    // A text area gets its right clicks on its viewport.
    if (auto *plain = qobject_cast<QPlainTextEdit *>(field))
        m_watched = plain->viewport();
    else
        m_watched = field;
    m_watched->installEventFilter(this);
}

QMenu *FieldMenu::menuAt(const QPoint &pos) const
{
    QMenu *menu = nullptr;
    if (auto *line = qobject_cast<QLineEdit *>(m_field))
        menu = line->createStandardContextMenu();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(m_field))
        menu = plain->createStandardContextMenu(pos);
    if (!menu) menu = new QMenu(m_field);
    const QList<QAction *> more = m_actions ? m_actions->actions() : QList<QAction *>();
    if (!more.isEmpty()) {
        menu->addSeparator();
        menu->addActions(more);
    }
    return menu;
}

bool FieldMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_watched || event->type() != QEvent::ContextMenu) return false;
    auto *e = static_cast<QContextMenuEvent *>(event);
    QMenu *menu = menuAt(e->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
    return true;
}

} // namespace zarn::ui
