#include "widgets/messages.h"

#include "widgets/fonts.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace zarn::ui {

namespace {

// Message windows are set in the forms' Song face, buttons included; left
// alone they take the desktop's face, which on a Chinese desktop may be a
// brush script.
void useFormFace(QMessageBox &box)
{
    box.setFont(songFont(9));
}

// The Ming face of Linux desktops draws its underscore below the line: on the
// text's last line the label would cut it off, and a table name such as
// T_DJDCB would read "T DJDCB". An empty line after it gives it room.
QString withRoomBelow(const QString &text)
{
    const QStringView last = QStringView(text).mid(text.lastIndexOf(u'\n') + 1);
    return last.contains(u'_') ? text + u'\n' : text;
}

class ScreenMessageService : public MessageService {
public:
    void showMessage(const QString &text, QWidget *parent) override
    {
        QMessageBox box(QMessageBox::NoIcon, captionFor(QString(), MessageIcon::None),
                        withRoomBelow(text), QMessageBox::NoButton, parent);
        useFormFace(box);
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        box.exec();
    }

    int messageBox(const QString &text, const QString &caption, MessageIcon icon, int buttons,
                   QWidget *parent) override
    {
        QMessageBox::Icon qicon = QMessageBox::NoIcon;
        switch (icon) {
        case MessageIcon::None:
            break;
        case MessageIcon::Information:
            qicon = QMessageBox::Information;
            break;
        case MessageIcon::Warning:
            qicon = QMessageBox::Warning;
            break;
        case MessageIcon::Critical:
            qicon = QMessageBox::Critical;
            break;
        case MessageIcon::Question:
            qicon = QMessageBox::Question;
            break;
        }
        QMessageBox box(qicon, captionFor(caption, icon), withRoomBelow(text),
                        QMessageBox::NoButton, parent);
        useFormFace(box);
        struct Choice {
            int ours;
            QMessageBox::StandardButton theirs;
            const char *label;
        };
        // The survey forms are Chinese throughout, buttons included.
        const Choice choices[] = {{Ok, QMessageBox::Ok, "确定"},
                                  {Save, QMessageBox::Save, "保存"},
                                  {Discard, QMessageBox::Discard, "不保存"},
                                  {Cancel, QMessageBox::Cancel, "取消"},
                                  {Yes, QMessageBox::Yes, "是"},
                                  {No, QMessageBox::No, "否"}};
        for (const auto &c : choices)
            if (buttons & c.ours) box.addButton(c.theirs)->setText(QString::fromUtf8(c.label));
        if (buttons == 0) box.addButton(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        const int pressed = box.exec();
        for (const auto &c : choices)
            if (pressed == c.theirs) return c.ours;
        return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    }
};

ScreenMessageService s_screen;
MessageService *s_current = nullptr;

} // namespace

QString captionFor(const QString &caption, MessageIcon icon)
{
    if (!caption.isEmpty()) return caption;
    switch (icon) {
    case MessageIcon::Critical:
        return QStringLiteral("错误");
    case MessageIcon::Warning:
        return QStringLiteral("警告");
    case MessageIcon::None:
    case MessageIcon::Information:
    case MessageIcon::Question:
        break;
    }
    return QStringLiteral("提示");
}

MessageService &messages()
{
    return s_current ? *s_current : s_screen;
}
void setMessageService(MessageService *service)
{
    s_current = service;
}

void showMessage(const QString &text, QWidget *parent)
{
    messages().showMessage(text, parent);
}

int messageBox(const QString &text, const QString &caption, MessageIcon icon, int buttons,
               QWidget *parent)
{
    return messages().messageBox(text, captionFor(caption, icon), icon, buttons, parent);
}

RecordingMessageService::RecordingMessageService()
    : m_previous(s_current)
{
    setMessageService(this);
}

RecordingMessageService::~RecordingMessageService()
{
    setMessageService(m_previous);
}

void RecordingMessageService::keepOpen()
{
    if (!holdOpen) return;
    QPointer<QWidget> before = QApplication::activeWindow();
    // Without a parent: the window a box was opened for may close while it is open.
    QWidget box(nullptr, Qt::Dialog);
    box.setWindowModality(Qt::ApplicationModal);
    box.setFocusPolicy(Qt::StrongFocus);
    box.show();
    QApplication::setActiveWindow(&box);
    box.setFocus(Qt::ActiveWindowFocusReason);
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    box.hide();
    if (before) QApplication::setActiveWindow(before);
}

namespace {
bool overShownWindow(const QWidget *parent)
{
    return parent && parent->window()->isVisible();
}
} // namespace

void RecordingMessageService::showMessage(const QString &text, QWidget *parent)
{
    records.append({true, text, captionFor(QString(), MessageIcon::None), MessageIcon::None, Ok,
                    overShownWindow(parent)});
    keepOpen();
}

int RecordingMessageService::messageBox(const QString &text, const QString &caption,
                                        MessageIcon icon, int buttons, QWidget *parent)
{
    records.append({false, text, caption, icon, buttons, overShownWindow(parent)});
    keepOpen();
    if (!answers.isEmpty()) return answers.takeFirst();
    for (int b : {Ok, Save, Yes, No, Discard, Cancel})
        if (buttons & b) return b;
    return Ok;
}

} // namespace zarn::ui
