#pragma once

#include <QObject>
#include <QPointer>

class QMenu;
class QPoint;
class QWidget;

namespace zarn::ui {

// The menu a right click on a field shows: the field's own edit entries
// (undo, cut, copy, paste, select all) followed by the actions of another
// widget, so that what the form offers around the field is offered on the
// field too. Installs itself on the field as an event filter.
class FieldMenu : public QObject {
    Q_OBJECT
public:
    // `field` is a QLineEdit or a QPlainTextEdit; `actions` lends its actions.
    FieldMenu(QWidget *field, QWidget *actions);

    // A new menu for a right click at `pos` (field coordinates); the caller owns it.
    QMenu *menuAt(const QPoint &pos) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_field;
    QWidget *m_watched;
    QPointer<QWidget> m_actions;
};

} // namespace zarn::ui
