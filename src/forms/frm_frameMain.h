#pragma once

#include "forms/frm_frameMain_table.h"

#include <QHash>
#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;

namespace zarn::ui {
class DataAwareControl;
class DataSource;
class DBComboBox;
class DBEdit;
class DBMemo;
} // namespace zarn::ui

// The use-right survey sheet: the printed table drawn from the sheet's
// constant table, with a borderless data-bound control over each blank. It
// has no behaviour of its own; the form binds it and attaches the handlers.
class TfrmFrameMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmFrameMain(QWidget *parent = nullptr);
    ~TfrmFrameMain() override;

    // Binds every data-bound control to its column through the source.
    void bind(zarn::ui::DataSource *source);

    // A control by its name, or null.
    QWidget *control(const QString &name) const;
    zarn::ui::DBEdit *edit(const QString &name) const;
    zarn::ui::DBComboBox *comboBox(const QString &name) const;
    // The data-bound controls in creation order (the printed rows' order).
    QList<zarn::ui::DataAwareControl *> boundControls() const;
    // The control that Enter moves to from a control, or null at the chain's end.
    QWidget *enterTarget(QWidget *from) const;

    // The controls the form reads, writes or handles by name.
    zarn::ui::DBEdit *DBEdit18 = nullptr; // ZDBH
    zarn::ui::DBEdit *DBEdit24 = nullptr; // QLRZS
    zarn::ui::DBEdit *DBEdit26 = nullptr; // JZDGS
    zarn::ui::DBComboBox *DBComboBox1 = nullptr;
    zarn::ui::DBComboBox *DBComboBox2 = nullptr;
    zarn::ui::DBComboBox *DBComboBox3 = nullptr;
    zarn::ui::DBComboBox *DBComboBox4 = nullptr;
    zarn::ui::DBComboBox *DBComboBox5 = nullptr;
    zarn::ui::DBComboBox *DBComboBox6 = nullptr;
    zarn::ui::DBComboBox *DBComboBox7 = nullptr;
    zarn::ui::DBComboBox *DBComboBox8 = nullptr;
    zarn::ui::DBMemo *DBMemo1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;
    QLabel *Label50 = nullptr;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QHash<QString, QWidget *> m_controls;
    QList<zarn::ui::DataAwareControl *> m_bound;
};
