#pragma once

// Which window of a process the X server maps, and when: a connection of its
// own listening on the root window, so that the program watched needs no help.
#include <QByteArray>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

namespace bench {

// One clock for this process and its children.
inline double monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The display, watched for the top-level windows mapped on it.
class Display {
public:
    explicit Display(const QByteArray &name) : m_c(xcb_connect(name.constData(), nullptr))
    {
        if (xcb_connection_has_error(m_c)) return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_name = atom("_NET_WM_NAME");
        m_pid = atom("_NET_WM_PID");
        xcb_flush(m_c);
    }
    ~Display() { xcb_disconnect(m_c); }
    bool ok() const { return !xcb_connection_has_error(m_c); }

    // Waits for a window of process `pid` titled `title` to be mapped: when
    // it was seen (monotonicMs), or -1 after `timeoutMs`.
    double waitMapped(qint64 pid, const QByteArray &title, int timeoutMs)
    {
        const double until = monotonicMs() + timeoutMs;
        while (monotonicMs() < until) {
            pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_poll_for_event(m_c),
                                                                         &std::free);
            if (!e) {
                poll(&p, 1, 50);
                continue;
            }
            if ((e->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
            const double at = monotonicMs();
            const xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t *>(e.get())->window;
            if (property(w, m_name) == title && property(w, m_pid).toUInt() == pid) return at;
        }
        return -1;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name),
                                  nullptr),
            &std::free);
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // A text property as bytes, a cardinal one as its number in decimal.
    QByteArray property(xcb_window_t w, xcb_atom_t a)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> r(
            xcb_get_property_reply(
                m_c, xcb_get_property(m_c, 0, w, a, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr),
            &std::free);
        if (!r) return {};
        const auto *v = static_cast<const char *>(xcb_get_property_value(r.get()));
        const int n = xcb_get_property_value_length(r.get());
        if (r->type == XCB_ATOM_CARDINAL && n == 4)
            return QByteArray::number(*reinterpret_cast<const uint32_t *>(v));
        return QByteArray(v, n);
    }

    xcb_connection_t *m_c;
    xcb_window_t m_root = 0;
    xcb_atom_t m_name = 0, m_pid = 0;
};

} // namespace bench
