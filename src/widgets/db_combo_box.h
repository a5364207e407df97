#pragma once

#include "widgets/data_aware.h"

#include <QComboBox>

namespace zarn::ui {

// Data-bound drop-down list, flat, 20 pixels high. The chosen entry or the
// typed text goes into the column as text. A pick-only list accepts entries
// only; either kind shows a value that is not among its entries as it is.
class DBComboBox : public QComboBox, public DataAwareControl {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget *parent = nullptr);
    DBComboBox(const QString &objectName, QWidget *parent);
    ~DBComboBox() override;

    // Editable by default.
    void setPickOnly(bool pickOnly);
    bool isPickOnly() const;

    // Replaces the entries; the column and what is shown stay as they are.
    void setEntries(const QStringList &entries);
    // The digit picker: a number n typed into the list puts its nth entry
    // into the bound column (the dataset goes into edit first). Anything
    // else, or a failure, leaves the row as it is.
    void pickNthEntry();
    QStringList entries() const;

    void setReadOnly(bool readOnly) override;
    QString controlText() const override;

    void showPopup() override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showValue(const QString &text) override;
    void applyReadOnly(bool readOnly) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setUpLineEdit();
    void entryChosen(int index);

    QString m_shown; // what a pick-only list shows
};

} // namespace zarn::ui
