#pragma once

#include "forms/sheet_layout.h"

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
} // namespace zarn::ui

// A survey sheet: the printed table drawn from its constant table, with a
// borderless data-bound control over each blank. It has no behaviour of its
// own; the form binds it and attaches the handlers.
class SurveySheet : public QWidget {
    Q_OBJECT
public:
    SurveySheet(const zarn::forms::SheetLayout &layout, QWidget *parent = nullptr);
    ~SurveySheet() override;

    const zarn::forms::SheetLayout &sheetLayout() const { return m_layout; }

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
    // The entry a control was made from, or null.
    const zarn::forms::SheetEntry *entryOf(const QWidget *control) const;

    // What both survey sheets have under these names.
    zarn::ui::DBEdit *parcelNumberEdit = nullptr;       // ZDBH
    zarn::ui::DBEdit *coUserCountEdit = nullptr;        // QLRZS
    zarn::ui::DBEdit *boundaryPointCountEdit = nullptr; // JZDGS
    QPushButton *markerButton = nullptr;                // boundary markers
    QPushButton *designationButton = nullptr;           // boundary designation
    QPushButton *coUserButton = nullptr;                // co-use-right holders
    QPushButton *fourSidesButton = nullptr;             // four sides
    QLabel *changeNotice = nullptr;                     // change notice

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const zarn::forms::SheetLayout &m_layout;
    QHash<QString, QWidget *> m_controls;
    QList<zarn::ui::DataAwareControl *> m_bound;
};
