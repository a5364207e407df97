#pragma once

#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace zarn::test {

// Watches for the windows that the component shows (real top-level windows):
// writes down what each message box showed and presses its OK button, and
// closes every other dialog (a survey form) by its close box, so nothing
// modal blocks the test.
class BoxWatcher : public QObject {
public:
    struct Box {
        QString text;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;     // button texts
        bool hasOk = false;      // one of them is the OK button
        QStringList connections; // database connections alive while shown
        QWindow *transientParent = nullptr;
    };

    BoxWatcher();
    ~BoxWatcher() override;

    struct Form {
        QString caption;
        bool modal = false;
        QStringList connections;
        QWindow *transientParent = nullptr;
    };

    QList<Box> boxes;
    QList<Form> forms;
    // Runs while a box is up, before it is answered.
    std::function<void(QMessageBox *)> whileShown;

private:
    void poll();

    QTimer m_timer;
    QList<QPointer<QWidget>> m_seen;
};

} // namespace zarn::test
