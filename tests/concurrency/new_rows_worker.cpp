// One surveyor at a workstation pressing 新增 again and again on a survey form
// of one unit (KIND 0, the default: the use-right form; 1: the ownership
// form): the form's own numbering and statements, in a process of its own.
// Prints "stored N refused M slept S": rows the form stored, message windows
// a surveyor would have seen, and the longest sleep the user-interface thread
// asked for, in milliseconds rounded up. LOCKWAIT and STALLED (milliseconds)
// are the connection's waits (Connection::Waits; 0 STALLED: never), the
// product's when not given.
//
// With "script" for COUNT it takes a surveyor's steps one line of standard
// input at a time instead, and after each prints the boxes it saw ("box: "
// and the text on one line) and "done STATE ROWS" (browse, edit or insert;
// rows the form lists):
//   new                 press 新增
//   set COLUMN VALUE    type VALUE into the current row's COLUMN
//   save                press 保存
//   stop-in-claim       the next claim of numbers, once granted, prints
//                       "claimed" and stops this process (SIGSTOP), as a
//                       laptop whose lid is closed inside its 新增
//
//   zarn-new-rows-worker CONNECTION UNIT COUNT|script [KIND [LOCKWAIT [STALLED]]]

#include "data/connection.h"
#include "data/dataset.h"
#include "forms/ownership_form.h"
#include "forms/use_right_form.h"
#include "session/session_context.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {
std::atomic<long long> longestUiSleepNs{0};
}

// Every sleep asked for through nanosleep (QThread's, std::this_thread's)
// passes here before it is slept: the worker notes the longest one on the
// user-interface thread, whatever put it there.
extern "C" int nanosleep(const struct timespec *requested, struct timespec *remaining) noexcept
{
    if (gettid() == getpid() && requested) {
        const long long ns = requested->tv_sec * 1000000000LL + requested->tv_nsec;
        long long seen = longestUiSleepNs.load();
        while (ns > seen && !longestUiSleepNs.compare_exchange_weak(seen, ns)) {
        }
    }
    const int r = clock_nanosleep(CLOCK_MONOTONIC, 0, requested, remaining);
    if (r == 0) return 0;
    errno = r;
    return -1;
}

namespace {

void runScript(SurveyForm &form, zarn::Dataset &t, zarn::ui::RecordingMessageService &messages)
{
    // The form's own claim, then the stop where the surveyor's machine froze.
    auto stopInClaim = std::make_shared<bool>(false);
    t.setWriteCheck(
        [check = t.writeCheck(), stopInClaim](zarn::Dataset &d) {
            check(d);
            if (!*stopInClaim) return;
            *stopInClaim = false;
            std::printf("claimed\n");
            std::fflush(stdout);
            std::raise(SIGSTOP);
        },
        t.writeCheckColumns());
    qsizetype seen = 0;
    for (std::string line; std::getline(std::cin, line);) {
        const QStringList words = QString::fromStdString(line).split(QLatin1Char(' '));
        const QString &step = words[0];
        if (step == QLatin1String("new")) {
            form.newButton->click();
        } else if (step == QLatin1String("save")) {
            form.saveButton->click();
        } else if (step == QLatin1String("set") && words.size() == 3) {
            t.edit();
            t.setValue(words[1], words[2]);
        } else if (step == QLatin1String("stop-in-claim")) {
            *stopInClaim = true;
        } else if (step == QLatin1String("quit")) {
            break;
        }
        for (; seen < messages.records.size(); ++seen) {
            QString text = messages.records[seen].text;
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            std::printf("box: %s\n", text.toUtf8().constData());
        }
        const char *state = t.state() == zarn::Dataset::State::Insert ? "insert"
                            : t.state() == zarn::Dataset::State::Edit ? "edit"
                                                                      : "browse";
        std::printf("done %s %d\n", state, t.recordCount());
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || args.size() > 7) {
        std::fputs("usage: zarn-new-rows-worker CONNECTION UNIT COUNT|script "
                   "[KIND [LOCKWAIT [STALLED]]]\n",
                   stderr);
        return 2;
    }
    zarn::ui::RecordingMessageService messages;
    zarn::SessionContext session;
    zarn::Connection::Waits waits;
    if (args.size() >= 6) waits.lock = args[5].toInt();
    if (args.size() >= 7) waits.stalledTransaction = args[6].toInt();
    session.connection.setWaits(waits);
    session.connection.setConnectionString(args[1]);
    session.connection.open();
    session.unitCode = args[2];
    int stored = 0;
    {
        std::unique_ptr<SurveyForm> form;
        if (args.size() >= 5 && args[4] == QLatin1String("1"))
            form = std::make_unique<OwnershipForm>(session);
        else
            form = std::make_unique<UseRightForm>(session);
        zarn::Dataset &t = session.surveyRows;
        if (args[3] == QLatin1String("script")) {
            runScript(*form, t, messages);
            return 0;
        }
        for (int i = 0, n = args[3].toInt(); i < n; ++i) {
            const int before = t.recordCount();
            form->newButton->click();
            if (t.recordCount() > before && t.state() == zarn::Dataset::State::Browse) ++stored;
        }
    }
    for (const auto &r : messages.records)
        std::fprintf(stderr, "refusal: %s\n", r.text.toUtf8().constData());
    std::printf("stored %d refused %d slept %lld\n", stored, int(messages.records.size()),
                (longestUiSleepNs.load() + 999999) / 1000000);
    return 0;
}
