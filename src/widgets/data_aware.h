#pragma once

#include <QColor>

#include <QList>
#include <QString>
#include <Qt>

#include <memory>

class QLineEdit;
class QWidget;

namespace zarn {
class Dataset;
}

namespace zarn::ui {

class DataSource;

// The look every bound control shares: navy text, one printed line high.
inline const QColor kControlInk(0, 0, 128);
inline constexpr int kControlLineHeight = 20;

// How the forms treat a control. Framed controls (the edits and the framed
// drop-down list) take part in the change lock and in the remembered values;
// plain drop-down lists take part in neither; the memo in the lock only.
enum class ControlFamily { Framed, Plain, Memo };

// What every data-bound control has in common: it shows its column of the
// data source's current row, and what the user types goes into that column.
//
// - The control refreshes on every cursor move, open, close, refresh, cancel
//   and on a change of its column made by code, without writing back what it
//   merely shows.
// - The first keystroke puts the dataset into edit (on an empty dataset that
//   appends a row) and every keystroke writes the column. A text the column
//   cannot take stays on screen, is not written, and is reported when the
//   control loses focus.
// - Escape gives the column back the value it had before this control's
//   typing began.
// - A read-only control, or one without an open dataset and a known column,
//   refuses typing but still takes focus and lets its text be selected.
class DataAwareControl {
public:
    virtual ~DataAwareControl();
    DataAwareControl(const DataAwareControl &) = delete;
    DataAwareControl &operator=(const DataAwareControl &) = delete;

    // Binds to a column of the source's dataset (name matched without regard
    // to case). A null source or an empty name unbinds.
    void bind(DataSource *source, const QString &field);
    const QString &dataField() const;
    DataSource *dataSource() const;
    zarn::Dataset *dataset() const;

    ControlFamily family() const;
    void setFamily(ControlFamily family);

    virtual void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    // What the control shows.
    virtual QString controlText() const = 0;

    // The input method a form names for the control. Linux has no switch to a
    // named input method, so the name is kept for the form's use only.
    const QString &imeName() const;
    void setImeName(const QString &name);

    QWidget *widget() const;

    // Shows the current row's value again, dropping typing not yet written.
    void refresh();
    // True between the first keystroke and the end of this control's typing
    // (focus lost, Escape, or the row changed under it).
    bool isTyping() const;

protected:
    DataAwareControl(QWidget *self, ControlFamily family);

    // Puts a value on screen without it counting as typing.
    virtual void showValue(const QString &text) = 0;
    // The widget's own switch against typing.
    virtual void applyReadOnly(bool readOnly) = 0;

    // Hooks for the controls' event handlers.
    void textTyped(const QString &text);    // the user changed the text
    bool escapePressed();                   // true when Escape was used here
    void focusLeft(Qt::FocusReason reason); // ends the typing
    bool isShowingValue() const;            // inside showValue()
    bool acceptsTyping() const;             // not read-only and bound to an open dataset

private:
    struct Private;
    std::unique_ptr<Private> d;
    friend struct Private;
};

// Lifts a line's own limit on its text (QLineEdit cuts what it is given at
// 32,767 UTF-16 units) so that a line shows and writes back a stored value
// whole, however long; the column's width is held by the control instead.
void holdWholeValues(QLineEdit *line);

// The data-bound controls under root (root included), in child order, which
// is the order the form created them in.
QList<DataAwareControl *> dataAwareControls(QWidget *root);

} // namespace zarn::ui
