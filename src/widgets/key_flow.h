#pragma once

#include <functional>

class QEvent;
class QObject;
class QWidget;

namespace zarn::ui {

// How the entry controls of a sheet or an editor answer the keys the
// surveyor works with: Enter passes the focus on (as Tab does, selecting the
// text arrived at, so typing replaces it), and a digit typed into a picking
// list selects that entry of the list. What differs from window to window is
// which controls take part and where Enter goes; the keys are handled alike.
struct KeyFlowRoutes {
    // Whether the control is one of the window's entries (unset: none is).
    std::function<bool(const QWidget *control)> isEntry;
    // Where Enter moves the focus from the entry; null: it stays (Enter is
    // still taken, so no default button fires).
    std::function<QWidget *(QWidget *from)> enterTarget;
    // Whether the entry is a list that a typed digit 1..9 picks from.
    std::function<bool(const QWidget *control)> picksByDigit;
};

// Handles a key event that the window's filter received for `watched`. An
// editable list's keys arrive at its line edit; they count as the list's.
// True when the event is taken (Enter on an entry); false when it goes on
// to the watched object, as every other event does.
bool followKeyFlow(const KeyFlowRoutes &routes, QObject *watched, QEvent *event);

// Installs the window's filter on a control and, for an editable list, on
// the line edit that receives its keys.
void watchKeys(QWidget *control, QObject *filter);

} // namespace zarn::ui
