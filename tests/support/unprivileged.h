#pragma once

#include <string>

namespace zarn::test {

// The superuser may write any file and folder, so what a surveyor meets with
// write-protected files can only be seen as another user: run as root, the
// current case runs itself again as the user nobody (through setpriv), and
// its result counts for this run. Returns false when the case should go on
// itself (not root); *skip says why it could not run as that user.
bool ranAsUnprivilegedUser(std::string *skip);

} // namespace zarn::test

// Opens a case that has to run without the superuser's rights.
#define ZARN_RUN_UNPRIVILEGED()                                                                    \
    if (std::string zarnSkip; ::zarn::test::ranAsUnprivilegedUser(&zarnSkip)) {                    \
        if (!zarnSkip.empty()) GTEST_SKIP() << zarnSkip;                                           \
        return;                                                                                    \
    }
