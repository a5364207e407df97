#include "component/session.h"

#include "component/display_check.h"
#include "component/qt_texts.h"
#include "config/config_ini.h"
#include "config/inifile.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "decrypt/ZarnDecryptString.h"
#include "decrypt/cipher.h"
#include "decrypt/module_path.h"
#include "forms/form_factory.h"
#include "schema/session_statements.h"
#include "schema/unit_code.h"
#include "session/session_context.h"
#include "widgets/messages.h"
#include "widgets/refusals.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <cstring>
#include <memory>
#include <utility>

namespace zarn {

namespace {

bool s_running = false;

// The application the session's windows need: the host's own QApplication
// when it has one, else one made for the length of the call.
class ApplicationScope {
public:
    ApplicationScope()
    {
        if (QCoreApplication *app = QCoreApplication::instance()) {
            if (!qobject_cast<QApplication *>(app)) {
                qWarning("Zarndcbdll: the host runs a Qt application without widgets; "
                         "the survey forms cannot be shown");
                return;
            }
            if (QThread::currentThread() != app->thread()) {
                qWarning("Zarndcbdll: showdcbfrm must be called on the user-interface thread");
                return;
            }
            m_usable = true;
            return;
        }
        // Without a platform to show windows on, Qt would end the host process.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
            qEnvironmentVariableIsEmpty("DISPLAY")) {
            qWarning("Zarndcbdll: no display (neither DISPLAY nor QT_QPA_PLATFORM is set)");
            return;
        }
        // Qt would end the host process on a display it cannot reach.
        if (const QString why = unreachableDisplay(); !why.isEmpty()) {
            qWarning("Zarndcbdll: %s; no survey form is shown", qUtf8Printable(why));
            return;
        }
        static int argc = 1;
        static char name[] = "Zarndcbdll";
        static char *argv[] = {name, nullptr};
        m_own = std::make_unique<QApplication>(argc, argv);
        m_usable = true;
    }

    ~ApplicationScope()
    {
        if (!m_usable) return;
        // Objects of the session that asked for a deferred delete go now: the
        // library may be unloaded as soon as the call returns.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_own.reset();
    }

    bool usable() const { return m_usable; }

private:
    bool m_usable = false;
    std::unique_ptr<QApplication> m_own;
};

// Makes the host window the owner of the session's top-level windows: each
// window without a parent of its own gets it as transient parent just before
// it is mapped, so the window manager keeps it above the host.
class HostOwner : public QObject {
public:
    explicit HostOwner(quint32 winhandle)
    {
        if (winhandle == 0) return;
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            m_foreign.reset(QWindow::fromWinId(WId(winhandle)));
            m_host = m_foreign.get();
        } else if (QWidget *w = QWidget::find(WId(winhandle))) {
            // A Qt host in this process on a platform without foreign windows.
            m_host = w->window()->windowHandle();
        }
        if (m_host) qApp->installEventFilter(this);
    }

    ~HostOwner() override
    {
        if (qApp) qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && m_host) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isWindow() && !w->parentWidget()) {
                w->winId(); // the window handle exists only from here on
                QWindow *window = w->windowHandle();
                if (window && window != m_host && !window->transientParent()) {
                    window->setTransientParent(m_host);
                    // Qt would place the window over its transient parent,
                    // but a foreign window has no geometry to go by: a window
                    // that does not place itself goes to the screen's middle.
                    if (m_foreign && !w->testAttribute(Qt::WA_Moved)) centreOnScreen(w);
                }
            }
        }
        return false;
    }

private:
    static void centreOnScreen(QWidget *w)
    {
        if (QScreen *screen = w->screen()) {
            const QRect area = screen->availableGeometry();
            w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
        }
    }

    std::unique_ptr<QWindow> m_foreign;
    QPointer<QWindow> m_host;
};

// Shows the survey form of the session's kind modally; the form is freed
// however the modal run ends, before the session.
void showSurveyForm(SessionContext &session)
{
    if (session.kind != 0 && session.kind != 1) return;
    QPointer<QDialog> form = createSurveyForm(session, nullptr);
    if (!form) return;
    struct Free {
        QPointer<QDialog> &form;
        ~Free() { delete form.data(); } // the form may have freed itself on close
    } freeForm{form};
    form->exec(); // its result is of no interest
}

// Why the session's unit code cannot open a form, or empty when it can. The
// forms list and number the rows of the unit by it: an empty code would
// reach every unit, one with other characters than digits would be written
// into new rows as it stands (a "%" or a blank in DWDM and QSDM), and one
// longer than the DWDM column would be written into new rows that the column
// cannot hold (SQLite would keep it all).
QString unitCodeProblem(Connection &connection, const QString &dwdm)
{
    if (dwdm.trimmed().isEmpty())
        return QStringLiteral("没有收到单位代码，无法打开调查表。请在地籍管理系统中选定单位后再"
                              "打开调查表。");
    if (!unitcode::isDigitCode(dwdm)) {
        // Shown between quotes as received, blanks included; a code of
        // thousands of characters only in its beginning.
        const QString shown = dwdm.size() > 40 ? dwdm.left(40) + QStringLiteral("…") : dwdm;
        return QStringLiteral("单位代码“%1”含有数字以外的字符（如空格、字母或符号），无法打开"
                              "调查表。单位代码只能由数字组成，请检查地籍管理系统传来的单位代码。")
            .arg(shown);
    }
    int width = -1;
    try {
        Dataset columns(&connection);
        columns.setQuery(sql::djdcColumnsOnly);
        columns.open();
        const int dwdmColumn = columns.fieldIndex(QStringLiteral("dwdm"));
        if (dwdmColumn >= 0) width = columns.fieldDef(dwdmColumn).length;
    } catch (const Error &) {
        // Without the table's description the form itself says what is wrong.
    }
    if (width <= 0 || dwdm.size() <= width) return {};
    const QString shown = dwdm.size() > width + 10 ? dwdm.left(width) + QStringLiteral("…") : dwdm;
    return QStringLiteral("单位代码“%1”有 %2 位，超过了单位代码最多 %3 位的长度，无法打开调查表。"
                          "请检查地籍管理系统传来的单位代码。")
        .arg(shown)
        .arg(dwdm.size())
        .arg(width);
}

// One line for the administrator on standard error when the configuration
// gives no connection string: which file, and why. The surveyor sees nothing,
// and the connection string itself is never printed.
void warnNoConnectionString()
{
    const QString config = zarn::configIniPath();
    QString why;
    if (const FileState state = IniFile::state(config); state != FileState::Readable) {
        why = QStringLiteral("配置文件 %1 %2").arg(config, IniFile::describe(state));
    } else if (const QString absent = QStringLiteral("\x01");
               zarn::readConfigValue(QStringLiteral("SystemInfo"),
                                     QStringLiteral("ConnectionString"), absent) == absent) {
        why = QStringLiteral("配置文件 %1 的 [SystemInfo] 一节里没有 ConnectionString").arg(config);
    } else {
        // The decryption library's key: $ZARN_KEY_FILE, or its file beside the library.
        QString key = qEnvironmentVariable(cipher::KeyFileVariable);
        if (key.isEmpty())
            key = QFile::decodeName(QByteArray::fromStdString(folderOf(
                      imagePathContaining(reinterpret_cast<const void *>(&ZarnDecryptStr))))) +
                  QString::fromLatin1(cipher::KeyFileName);
        // Looked at by the library's own rule: a key it cannot read is told
        // as such, not as a text enciphered with another key.
        unsigned char bytes[cipher::KeySize];
        const cipher::KeyFileRead r =
            cipher::readKeyBytes(QFile::encodeName(key).toStdString(), bytes);
        explicit_bzero(bytes, sizeof bytes);
        switch (r.result) {
        case cipher::KeyFileResult::Missing:
            why = QStringLiteral("解密 %2 中连接字符串所用的密钥文件 %1 不存在").arg(key, config);
            break;
        case cipher::KeyFileResult::Unreadable:
            why = QStringLiteral("解密 %2 中连接字符串所用的密钥文件 %1 无法读取：%3")
                      .arg(key, config, QString::fromLocal8Bit(std::strerror(r.error)));
            break;
        case cipher::KeyFileResult::Invalid:
            why = QStringLiteral("解密 %2 中连接字符串所用的密钥文件 %1 不是密钥（密钥文件恰好 "
                                 "%3 字节）")
                      .arg(key, config)
                      .arg(cipher::KeySize);
            break;
        case cipher::KeyFileResult::Ok:
            why = QStringLiteral("%1 中的连接字符串无法用密钥文件 %2 解密（它用另一个密钥加密，"
                                 "或已损坏）")
                      .arg(config, key);
            break;
        }
    }
    qWarning("Zarndcbdll: %s；不显示调查表", qUtf8Printable(why));
}

void surveySession(std::u16string_view getdwdm, std::u16string_view getzdh, qint8 lx)
{
    // The session goes with this call, whichever way it ends.
    auto session = std::make_unique<SessionContext>();
    session->unitCode = QString::fromUtf16(getdwdm.data(), qsizetype(getdwdm.size()));
    session->parcelNumber = QString::fromUtf16(getzdh.data(), qsizetype(getzdh.size()));

    QByteArray stored = toGbk(zarn::readConfigValue(
        QStringLiteral("SystemInfo"), QStringLiteral("ConnectionString"), QStringLiteral("000")));
    char *text = stored.data();
    const bool deciphered = ZarnDecryptStr(&text) != 0;
    if (!deciphered) {
        // The surveyor sees nothing; the session goes with the call.
        warnNoConnectionString();
        return;
    }
    const QString plain = fromGbk(QByteArrayView(text));
    explicit_bzero(stored.data(), size_t(stored.size()));

    session->connection.close();
    session->connection.setConnectionString(plain);
    bool failed = false;
    QString refused;
    try {
        try {
            session->connection.open();
        } catch (const DatabaseError &e) {
            // The connection parameters are right; what has to change is the
            // database's place or its permissions, and the message says which.
            if (e.kind() != RefusalKind::NoAccess) throw;
            refused = ui::reasonText(e);
        }
        session->kind = qint32(lx);
        if (refused.isEmpty() && (session->kind == 0 || session->kind == 1))
            refused = unitCodeProblem(session->connection, session->unitCode);
        // The host window already owns every window of the call (HostOwner).
        if (refused.isEmpty()) showSurveyForm(*session);
        session.reset();
    } catch (const Error &) {
        // The connection string or the database; anything else ends the
        // session at its boundary.
        failed = true;
    }
    if (!failed && !refused.isEmpty()) {
        // No form and nothing written: the surveyor is told why.
        if (session) session->connection.close();
        session.reset();
        ui::messageBox(refused, QStringLiteral("错误"), ui::MessageIcon::Warning, ui::Ok, nullptr);
        return;
    }
    if (!failed) return;
    // Whatever went wrong from the connection on, the user is told this one
    // thing; the box is shown outside the handler, with the session gone.
    if (session) session->connection.close();
    session.reset();
    ui::messageBox(QStringLiteral("无法连接数据库,请重新设置连接参数!"), QStringLiteral("错误"),
                   ui::MessageIcon::Critical, ui::Ok, nullptr);
}

} // namespace

void runSurveySession(std::u16string_view getdwdm, std::u16string_view getzdh, qint8 lx,
                      quint32 winhandle) noexcept
{
    // One session at a time: a call from inside a running session (a host
    // reacting to its own events meanwhile) would show a second modal form
    // over the first and leave the first's Qt objects to a nested run.
    if (s_running) return;
    s_running = true;
    struct Reset {
        ~Reset() { s_running = false; }
    } reset;
    try {
        ApplicationScope app;
        if (!app.usable()) return;
        HostOwner owner(winhandle);
        // Qt's own dialogs and menus speak Chinese like the forms do.
        QtChineseTexts qtTexts;
        surveySession(getdwdm, getzdh, lx);
    } catch (...) {
        // The session's boundary. Before the connection is tried (no memory,
        // say) there is nothing to tell the user that would help; the host
        // must not see it either. The session was freed on the way out.
    }
}

} // namespace zarn
