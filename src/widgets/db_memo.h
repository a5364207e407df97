#pragma once

#include "widgets/data_aware.h"

#include <QPlainTextEdit>

namespace zarn::ui {

// Data-bound memo, without border or margins, so that one visual line fits
// one printed line of a form. Its height decides how it behaves: a memo one
// line high shows the first line of its text, unwrapped and without scroll
// bars (the text scrolls with the caret), and selects its text when Tab or
// Enter brings the focus to it, as the edits do; a taller memo wraps its
// text and shows a scroll bar when the text needs one.
class DBMemo : public QPlainTextEdit, public DataAwareControl {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);
    DBMemo(const QString &objectName, QWidget *parent);
    ~DBMemo() override;

    void setReadOnly(bool readOnly) override;
    bool isReadOnly() const { return DataAwareControl::isReadOnly(); }
    QString controlText() const override;

    // True while the memo is too low for two lines of text.
    bool isOneLine() const { return m_oneLine; }

    QSize sizeHint() const override;

protected:
    void showValue(const QString &text) override;
    void applyReadOnly(bool readOnly) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int lineHeight() const;
    void followHeight();

    bool m_oneLine = false;
};

} // namespace zarn::ui
