#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;

namespace zarn::ui {

// A thin red wavy line under the text of an edit whose value looks wrong,
// like a spelling mark, with the reason as the edit's tooltip. It follows
// every change of the text, typed or shown from the row, and never refuses
// or changes a value. A child of the edit that lets the mouse through; the
// printed sheet is drawn from the values, so the mark never reaches paper.
class ValueMark : public QWidget {
    Q_OBJECT
public:
    // `why` gives the reason a text looks wrong, empty when it looks right.
    ValueMark(QLineEdit *edit, std::function<QString(const QString &)> why);

    // The reason now shown; empty when the edit is not marked.
    const QString &reason() const { return m_reason; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void recheck();
    void place();

    QLineEdit *m_edit;
    std::function<QString(const QString &)> m_why;
    QString m_reason;
    QString m_ownTip;
};

} // namespace zarn::ui
