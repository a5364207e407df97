#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace zarn::test {

// Watches for message boxes that the component shows (real top-level
// QMessageBox windows), writes down what each one showed and presses its OK
// button, so a modal box never blocks the test.
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

    QList<Box> boxes;
    // Runs while a box is up, before it is answered.
    std::function<void(QMessageBox *)> whileShown;

private:
    void poll();

    QTimer m_timer;
    QList<QPointer<QMessageBox>> m_seen;
};

} // namespace zarn::test
