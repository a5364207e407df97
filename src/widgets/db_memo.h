#pragma once

#include "widgets/data_aware.h"

#include <QPlainTextEdit>

namespace zarn::ui {

// Data-bound memo. Without border or margins, so that one visual line fits
// one printed line of a form; scroll bars appear only when the text needs them.
class DBMemo : public QPlainTextEdit, public DataAwareControl {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);
    DBMemo(const QString &objectName, QWidget *parent);
    ~DBMemo() override;

    void setReadOnly(bool readOnly) override;
    bool isReadOnly() const { return DataAwareControl::isReadOnly(); }
    QString controlText() const override;

    QSize sizeHint() const override;

protected:
    void showValue(const QString &text) override;
    void applyReadOnly(bool readOnly) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace zarn::ui
