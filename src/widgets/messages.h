#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace zarn::ui {

enum class MessageIcon { None, Information, Warning, Critical, Question };

// Buttons of a captioned box, and the answer it gives. Save and Discard are
// the 保存 / 不保存 of a question about changes not yet stored.
enum MessageButton { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8, Save = 0x10, Discard = 0x20 };

// The two kinds of message window: a plain message with only OK, captioned
// 提示 (user mistakes), and a captioned box with icon and buttons
// (confirmations and failures). Tests put a recorder in place of the screen.
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual void showMessage(const QString &text, QWidget *parent) = 0;
    // Returns the button pressed (one MessageButton value).
    virtual int messageBox(const QString &text, const QString &caption, MessageIcon icon,
                           int buttons, QWidget *parent) = 0;
};

// The service in use: the on-screen one unless a test replaced it.
MessageService &messages();
// Replaces the service (not owned); null puts the on-screen one back.
void setMessageService(MessageService *service);

// The caption a box shows: the one it was given, or for a box given none and
// for the plain message the word for what it is (错误, 警告, 提示). A window
// without a title of its own would take the application's, which in a host
// program is the program's file name.
QString captionFor(const QString &caption, MessageIcon icon);

// Shorthands through the service in use.
void showMessage(const QString &text, QWidget *parent = nullptr);
int messageBox(const QString &text, const QString &caption, MessageIcon icon, int buttons,
               QWidget *parent = nullptr);

// A recorder for tests: remembers every window and answers from a queue
// (the first button offered when the queue is empty).
//
// With `holdOpen` set, each window stays "open" as a modal box does: a
// stand-in window takes the activation and the focus, and a nested event loop
// runs until a zero-delay timer closes it and gives the activation back.
// Whatever the open box sets off in the widgets (an editor losing the focus
// and committing again) happens meanwhile and shows in `records`.
class RecordingMessageService : public MessageService {
public:
    struct Record {
        bool plain = true;
        QString text;
        QString caption;
        MessageIcon icon = MessageIcon::None;
        int buttons = Ok;
        // The window the box was shown over, when it had one on screen.
        bool overShownWindow = false;
    };
    RecordingMessageService();
    ~RecordingMessageService() override;
    void showMessage(const QString &text, QWidget *parent) override;
    int messageBox(const QString &text, const QString &caption, MessageIcon icon, int buttons,
                   QWidget *parent) override;

    QList<Record> records;
    QList<int> answers;
    bool holdOpen = false;

private:
    void keepOpen();

    MessageService *m_previous;
};

} // namespace zarn::ui
