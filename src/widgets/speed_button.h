#pragma once

#include <QIcon>
#include <QToolButton>

namespace zarn::ui {

// The pictures of the navigator buttons, drawn by us.
enum class ButtonPicture {
    None,
    First,
    Prior,
    Next,
    Last,
    New,
    Insert,
    Delete,
    Save,
    Locate,
    Exit
};

QIcon pictureIcon(ButtonPicture picture);
// The survey windows' own icon.
QIcon surveyWindowIcon();

// A flat button with a small picture beside its caption. An "&" in the
// caption marks the access key (Alt + letter). It takes no focus, so the
// control being typed in keeps it while the button works.
class SpeedButton : public QToolButton {
    Q_OBJECT
public:
    explicit SpeedButton(QWidget *parent = nullptr);
    SpeedButton(ButtonPicture picture, const QString &caption, QWidget *parent = nullptr);
    ~SpeedButton() override;

    void setPicture(ButtonPicture picture);
    ButtonPicture picture() const { return m_picture; }

private:
    ButtonPicture m_picture = ButtonPicture::None;
};

} // namespace zarn::ui
