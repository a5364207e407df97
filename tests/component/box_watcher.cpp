#include "box_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QSqlDatabase>
#include <QWindow>

namespace zarn::test {

BoxWatcher::BoxWatcher()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &BoxWatcher::poll);
    m_timer.start();
}

BoxWatcher::~BoxWatcher() = default;

void BoxWatcher::poll()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || m_seen.contains(w)) continue;
        auto *box = qobject_cast<QMessageBox *>(w);
        auto *dialog = qobject_cast<QDialog *>(w);
        if (dialog && !box) {
            m_seen.append(w);
            forms.append({dialog->windowTitle(), dialog->isModal(), QSqlDatabase::connectionNames(),
                          w->windowHandle() ? w->windowHandle()->transientParent() : nullptr});
            QPointer<QDialog> guard(dialog);
            QMetaObject::invokeMethod(
                this,
                [guard] {
                    if (guard) guard->close();
                },
                Qt::QueuedConnection);
            continue;
        }
        if (!box) continue;
        m_seen.append(box);
        Box b;
        b.text = box->text();
        b.caption = box->windowTitle();
        b.icon = box->icon();
        for (QAbstractButton *button : box->buttons())
            b.buttons.append(button->text());
        b.hasOk = box->button(QMessageBox::Ok) != nullptr;
        b.connections = QSqlDatabase::connectionNames();
        b.transientParent = box->windowHandle() ? box->windowHandle()->transientParent() : nullptr;
        boxes.append(b);
        // Answered from a posted call, not from inside this timer, so that
        // the timer still sees a box that opens meanwhile.
        QPointer<QMessageBox> guard(box);
        QMetaObject::invokeMethod(
            this,
            [this, guard] {
                if (!guard) return;
                if (whileShown) whileShown(guard);
                if (!guard) return;
                QAbstractButton *answer = guard->button(QMessageBox::Ok);
                if (!answer && !guard->buttons().isEmpty()) answer = guard->buttons().first();
                if (answer)
                    answer->click();
                else
                    guard->done(0);
            },
            Qt::QueuedConnection);
    }
}

} // namespace zarn::test
