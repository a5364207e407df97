#pragma once

#include "widgets/data_aware.h"

#include <QLineEdit>

class QValidator;

namespace zarn::ui {

// Single-line data-bound edit: no border, navy text on white, 20 pixels high.
// Bound to a text column of known width, it takes no more characters than
// the column holds.
class DBEdit : public QLineEdit, public DataAwareControl {
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);
    DBEdit(const QString &objectName, QWidget *parent);
    ~DBEdit() override;

    void setReadOnly(bool readOnly) override;
    bool isReadOnly() const { return DataAwareControl::isReadOnly(); }
    QString controlText() const override;

    QSize sizeHint() const override;
    // The most characters typing may leave in the edit (a character outside
    // the Basic Multilingual Plane counts one); -1 when the column sets none.
    int characterLimit() const;

protected:
    void showValue(const QString &text) override;
    void applyReadOnly(bool readOnly) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QValidator *m_limit;
};

} // namespace zarn::ui
