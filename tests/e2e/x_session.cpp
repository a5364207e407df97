#include "x_session.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace zarn::e2e {

namespace {

constexpr int kPollMs = 50;
constexpr int kConnectAttempts = 20;

QString hexId(quint32 window)
{
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

QList<quint32> parseIds(const QString &out)
{
    QList<quint32> ids;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const quint32 id = line.trimmed().toUInt(&ok);
        if (ok) ids << id;
    }
    return ids;
}

} // namespace

CommandResult runCommand(const QString &program, const QStringList &args,
                         const QProcessEnvironment &env, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    CommandResult r;
    if (!p.waitForStarted(timeoutMs)) {
        r.err = QStringLiteral("%1 did not start: %2").arg(program, p.errorString());
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = QStringLiteral("%1 %2 did not finish within %3 ms")
                    .arg(program, args.join(QLatin1Char(' ')))
                    .arg(timeoutMs);
        return r;
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.ok = r.exitCode == 0;
    return r;
}

PrivateXServer::~PrivateXServer()
{
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString PrivateXServer::start()
{
    // -displayfd: the server takes the first free display number and writes
    // it out once it accepts connections.
    m_process.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("Xvfb did not start: %1").arg(m_process.errorString());
    QByteArray out;
    const QDeadlineTimer deadline(20000);
    while (!out.contains('\n') && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ok)
        return QStringLiteral("Xvfb gave no display number: %1")
            .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
    m_display = QStringLiteral(":%1").arg(number);
    return {};
}

XSession::XSession(const QString &display)
    : m_display(display)
{
    // Xvfb now and then drops a connection that comes right after another
    // one closed; a moment later it takes it.
    for (int attempt = 0; attempt < kConnectAttempts && !m_conn; ++attempt) {
        xcb_connection_t *conn = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        if (const int error = xcb_connection_has_error(conn)) {
            xcb_disconnect(conn);
            m_lastError = QStringLiteral("cannot connect to X display %1 (xcb error %2)")
                              .arg(display)
                              .arg(error);
            QThread::msleep(kPollMs);
        } else {
            m_conn = conn;
        }
    }
}

XSession::~XSession()
{
    if (!m_conn) return;
    for (const auto &[keycode, character] : std::as_const(m_lent))
        setKeySymbol(keycode, XCB_NO_SYMBOL);
    xcb_disconnect(m_conn);
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    // xdotool reads window names through the C library's locale: in the "C"
    // locale a Chinese name reads as nothing and no window is ever found.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

CommandResult XSession::xdotool(const QStringList &args, int timeoutMs) const
{
    // timeout(1) as well: an xdotool that waits on the server must not outlive us.
    const QStringList all =
        QStringList{QStringLiteral("-k"), QStringLiteral("2"),
                    QString::number((timeoutMs + 999) / 1000), QStringLiteral("xdotool")} +
        args;
    CommandResult r;
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        r = runCommand(QStringLiteral("timeout"), all, environment(), timeoutMs + 5000);
        if (!r.err.contains(QLatin1String("Can't open display"))) break;
        QThread::msleep(kPollMs);
    }
    if (!r.ok && !(args.value(0) == QLatin1String("search") && r.exitCode == 1))
        m_lastError = QStringLiteral("xdotool %1: exit %2 %3")
                          .arg(args.join(QLatin1Char(' ')))
                          .arg(r.exitCode)
                          .arg(r.err);
    return r;
}

QList<quint32> XSession::windows(qint64 pid, const QString &namePattern) const
{
    const CommandResult r =
        xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
                 namePattern.isEmpty() ? QStringLiteral("^") : namePattern});
    return parseIds(r.out);
}

quint32 XSession::waitForWindow(qint64 pid, const QString &namePattern, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QList<quint32> found = windows(pid, namePattern);
        if (!found.isEmpty()) return found.first();
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    m_lastError = QStringLiteral("no window named /%1/ of process %2 within %3 ms")
                      .arg(namePattern)
                      .arg(pid)
                      .arg(timeoutMs);
    return 0;
}

quint32 XSession::waitForNewWindow(qint64 pid, const QList<quint32> &known, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        for (quint32 w : windows(pid))
            if (!known.contains(w)) return w;
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    m_lastError =
        QStringLiteral("no new window of process %1 within %2 ms").arg(pid).arg(timeoutMs);
    return 0;
}

bool XSession::isShown(quint32 window) const
{
    if (!m_conn) return false;
    xcb_generic_error_t *error = nullptr;
    xcb_get_window_attributes_reply_t *a =
        xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, window), &error);
    const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    std::free(error);
    return shown;
}

bool XSession::waitUntilGone(quint32 window, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if (!isShown(window)) return true;
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    m_lastError =
        QStringLiteral("window %1 still shown after %2 ms").arg(hexId(window)).arg(timeoutMs);
    return false;
}

std::optional<Geometry> XSession::geometry(quint32 window) const
{
    const CommandResult r = xdotool(
        {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    if (!r.ok) return std::nullopt;
    Geometry g;
    int seen = 0;
    for (const QString &line : r.out.split(QLatin1Char('\n'))) {
        const QString name = line.section(QLatin1Char('='), 0, 0).trimmed();
        const int value = line.section(QLatin1Char('='), 1).trimmed().toInt();
        if (name == QLatin1String("X")) g.x = value, ++seen;
        if (name == QLatin1String("Y")) g.y = value, ++seen;
        if (name == QLatin1String("WIDTH")) g.width = value, ++seen;
        if (name == QLatin1String("HEIGHT")) g.height = value, ++seen;
    }
    if (seen != 4) {
        m_lastError = QStringLiteral("getwindowgeometry: %1").arg(r.out);
        return std::nullopt;
    }
    return g;
}

bool XSession::click(int x, int y) const
{
    // The server takes the move before the press, so the press lands at (x, y).
    // (mousemove --sync can wait for ever when the pointer is there already.)
    return xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
                    QStringLiteral("click"), QStringLiteral("1")})
        .ok;
}

bool XSession::key(const QString &keys) const
{
    return xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"), keys})
        .ok;
}

bool XSession::type(const QString &text)
{
    if (!mapCharacters(text)) return false;
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"),
                    QStringLiteral("--"), text})
        .ok;
}

void XSession::setKeySymbol(quint8 keycode, quint32 keysym)
{
    // Both shift levels, so a held Shift makes no difference.
    const xcb_keysym_t symbols[2] = {keysym, keysym};
    xcb_change_keyboard_mapping(m_conn, 1, keycode, 2, symbols);
}

bool XSession::mapCharacters(const QString &text)
{
    if (!m_conn) return false;
    QList<char32_t> wanted;
    for (char32_t c : text.toUcs4()) {
        if (c < 0x80 || wanted.contains(c)) continue;
        const bool lent = std::any_of(m_lent.cbegin(), m_lent.cend(),
                                      [c](const auto &l) { return l.second == c; });
        if (!lent) wanted << c;
    }
    if (wanted.isEmpty()) return true;

    if (m_spareKeys.isEmpty() && m_lent.isEmpty()) {
        const xcb_setup_t *setup = xcb_get_setup(m_conn);
        const int first = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
            m_conn, xcb_get_keyboard_mapping(m_conn, setup->min_keycode, uint8_t(count)), nullptr);
        if (!map) {
            m_lastError = QStringLiteral("cannot read the keymap");
            return false;
        }
        const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(map);
        const int perKey = map->keysyms_per_keycode;
        for (int k = 0; k < count; ++k) {
            const xcb_keysym_t *own = symbols + k * perKey;
            if (std::all_of(own, own + perKey, [](xcb_keysym_t s) { return s == XCB_NO_SYMBOL; }))
                m_spareKeys << quint8(first + k);
        }
        std::free(map);
        // One stays free for xdotool's own use.
        if (!m_spareKeys.isEmpty()) m_spareKeys.removeLast();
    }
    if (m_spareKeys.size() + m_lent.size() < wanted.size()) {
        m_lastError = QStringLiteral("%1 characters to type but only %2 spare key codes")
                          .arg(wanted.size())
                          .arg(m_spareKeys.size() + m_lent.size());
        return false;
    }
    for (char32_t c : std::as_const(wanted)) {
        // The key code held longest goes first when none is spare.
        quint8 keycode;
        if (!m_spareKeys.isEmpty()) {
            keycode = m_spareKeys.takeFirst();
        } else {
            keycode = m_lent.takeFirst().first;
        }
        // Latin-1 keysyms are the code points; the rest are 0x01000000 + code point.
        setKeySymbol(keycode, c < 0x100 ? quint32(c) : 0x01000000u | quint32(c));
        m_lent.append({keycode, c});
    }
    // A round trip: the keymap is changed before xdotool reads it.
    std::free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
    return true;
}

bool XSession::focus(quint32 window) const
{
    return xdotool({QStringLiteral("windowfocus"), QString::number(window)}).ok;
}

quint32 XSession::atom(const char *name) const
{
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
        m_conn, xcb_intern_atom(m_conn, 0, uint16_t(std::strlen(name)), name), nullptr);
    const quint32 a = r ? quint32(r->atom) : quint32(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

bool XSession::close(quint32 window) const
{
    if (!m_conn) return false;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_generic_error_t *error =
        xcb_request_check(m_conn, xcb_send_event_checked(m_conn, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                         reinterpret_cast<const char *>(&event)));
    if (error) {
        m_lastError = QStringLiteral("WM_DELETE_WINDOW to %1: X error %2")
                          .arg(hexId(window))
                          .arg(error->error_code);
        std::free(error);
        return false;
    }
    return true;
}

bool XSession::screenshot(quint32 window, const QString &pngPath) const
{
    // Window 0 stands for the whole screen.
    const QString which = window ? hexId(window) : QStringLiteral("root");
    const CommandResult r = runCommand(QStringLiteral("import"),
                                       {QStringLiteral("-window"), which, pngPath}, environment());
    if (!r.ok) m_lastError = QStringLiteral("import: %1").arg(r.err);
    return r.ok;
}

} // namespace zarn::e2e
