#pragma once

#include <QtGlobal>
#include <string_view>

namespace zarn {

// One survey session, the body of showdcbfrm: makes the session context, reads
// and deciphers the connection string, connects, shows the survey form of
// kind lx modally and tears everything down again. Errors from the
// connection on reach the user as the connection message; nothing is thrown
// and the host learns nothing of the outcome.
//
// The host window winhandle (an X11 window id, 0 for none) becomes the
// transient parent of every top-level window shown during the call that has
// no parent window of its own: forms, editors and message boxes need do
// nothing for it. A window made with a parent widget stays above that parent,
// as Qt arranges.
//
// When the process has no QApplication, one is made for the call and removed
// afterwards. A call made while a session runs returns at once. Nothing
// thrown inside the session leaves it: this is the boundary the host calls
// across.
void runSurveySession(std::u16string_view getdwdm, std::u16string_view getzdh, qint8 lx,
                      quint32 winhandle) noexcept;

} // namespace zarn
