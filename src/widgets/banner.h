#pragma once

#include <QWidget>

namespace zarn::ui {

// The title banner of the survey windows: a logo at the left, the title in
// large outlined characters, a pale-blue ground with a world map at the
// right. Drawn to whatever size the banner has.
class Banner : public QWidget {
    Q_OBJECT
public:
    explicit Banner(const QString &title, QWidget *parent = nullptr);
    ~Banner() override;

    void setTitle(const QString &title);
    const QString &title() const { return m_title; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
};

} // namespace zarn::ui
