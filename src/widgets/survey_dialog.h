#pragma once

#include <QDialog>

class QFrame;

namespace zarn::ui {

// A plain white band of a survey window (banner, button column or row).
QFrame *whitePanel(const QString &name, QWidget *parent);

// Switches off autoDefault (and default) on every push button under root, so
// that Enter never presses a button of a survey window.
void noAutoDefault(QWidget *root);

// Base of the survey forms, editors and dialogs: set in the Song face, closed
// only by the close box or an exit button. Escape does not close it and Enter
// presses no default button; both are left to the controls.
class SurveyDialog : public QDialog {
    Q_OBJECT
public:
    explicit SurveyDialog(QWidget *parent = nullptr);
    ~SurveyDialog() override;

    // Places the window in the middle of its screen.
    void centreOnScreen();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Reports still waiting for the window's widgets are shown before it goes.
    void closeEvent(QCloseEvent *event) override;
};

} // namespace zarn::ui
