#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

struct xcb_connection_t;

namespace zarn::e2e {

struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct CommandResult {
    bool ok = false; // ran to the end with exit status 0
    int exitCode = -1;
    QString out; // standard output, trimmed
    QString err;
};

// Runs a program to its end (killed after timeoutMs) and collects its output.
CommandResult runCommand(const QString &program, const QStringList &args,
                         const QProcessEnvironment &env, int timeoutMs = 30000);

// An X server of the test's own: Xvfb on a display number it finds free.
// Tests that share a display share its pointer and keyboard focus, and a box
// another test pops up in the middle of the screen takes both.
class PrivateXServer {
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    // Empty on success, else why it did not start.
    QString start();
    const QString &display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

// Drives an X display as a user would: the pointer and the keyboard through
// xdotool (XTEST), the windows found by process and name. The window close box
// needs a window manager, which Xvfb does not have, so closing a window sends
// WM_DELETE_WINDOW to it directly, as a window manager would.
//
// Characters outside the keymap (all Chinese ones) are put on spare key codes
// before xdotool types them, and stay there until the session ends. xdotool
// would bind each to a scratch key code and take it away again at once; a
// client that reads the keymap only after that (a busy one) types nothing.
class XSession {
public:
    explicit XSession(const QString &display);
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool isOpen() const { return m_conn != nullptr; }
    const QString &display() const { return m_display; }
    // The test's environment with DISPLAY pointing at this display.
    QProcessEnvironment environment() const;

    // Visible top-level windows of a process whose name matches the pattern
    // (an extended regular expression; empty matches every name).
    QList<quint32> windows(qint64 pid, const QString &namePattern = {}) const;
    // The first such window to appear within the time, or 0.
    quint32 waitForWindow(qint64 pid, const QString &namePattern, int timeoutMs = 20000) const;
    // A window of the process that is not among `known`, or 0.
    quint32 waitForNewWindow(qint64 pid, const QList<quint32> &known, int timeoutMs = 20000) const;
    // True once the window is destroyed or no longer shown.
    bool waitUntilGone(quint32 window, int timeoutMs = 20000) const;
    bool isShown(quint32 window) const;

    std::optional<Geometry> geometry(quint32 window) const;

    bool click(int x, int y) const;
    // Key names as xdotool knows them ("Return", "ctrl+a").
    bool key(const QString &keys) const;
    // Any text, Chinese included.
    bool type(const QString &text);
    // Input focus to a window (no window manager hands it over on a click).
    bool focus(quint32 window) const;
    // What the window's close box does.
    bool close(quint32 window) const;
    // A PNG of the window (0: the whole screen).
    bool screenshot(quint32 window, const QString &pngPath) const;

    // The last xdotool or X failure, for messages.
    const QString &lastError() const { return m_lastError; }

private:
    CommandResult xdotool(const QStringList &args, int timeoutMs = 15000) const;
    quint32 atom(const char *name) const;
    bool mapCharacters(const QString &text);
    void setKeySymbol(quint8 keycode, quint32 keysym);

    QString m_display;
    xcb_connection_t *m_conn = nullptr;
    mutable QString m_lastError;
    // Key codes without symbols that this session lends to characters
    // outside the keymap, and which character each one holds now.
    QList<quint8> m_spareKeys;
    QList<std::pair<quint8, char32_t>> m_lent; // oldest first
};

} // namespace zarn::e2e
