// One surveyor at a workstation pressing 新增 again and again on a survey form
// of one unit (KIND 0, the default: the use-right form; 1: the ownership
// form): the form's own numbering and statements, in a process of its own.
// Prints "stored N refused M slept S": rows the form stored, message windows
// a surveyor would have seen, and the longest sleep the user-interface thread
// asked for, in milliseconds rounded up.
//
//   zarn-new-rows-worker CONNECTION UNIT COUNT [KIND]

#include "component/DataM.h"
#include "data/dataset.h"
#include "forms/frm_rptdjdcb.h"
#include "forms/frm_syqdjdcb.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
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

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 && args.size() != 5) {
        std::fputs("usage: zarn-new-rows-worker CONNECTION UNIT COUNT [KIND]\n", stderr);
        return 2;
    }
    zarn::ui::RecordingMessageService messages;
    DataMod = new TDataMod;
    DataMod->ADOConn1.setConnectionString(args[1]);
    DataMod->ADOConn1.open();
    DataMod->dwdm = args[2];
    int stored = 0;
    {
        std::unique_ptr<SurveyForm> form;
        if (args.size() == 5 && args[4] == QLatin1String("1"))
            form = std::make_unique<Tfrmsyqdjdcb>();
        else
            form = std::make_unique<Tfrmrptdjdcb>();
        zarn::Dataset &t = DataMod->djdcTable;
        for (int i = 0, n = args[3].toInt(); i < n; ++i) {
            const int before = t.recordCount();
            form->spbNew->click();
            if (t.recordCount() > before && t.state() == zarn::Dataset::State::Browse) ++stored;
        }
    }
    for (const auto &r : messages.records)
        std::fprintf(stderr, "refusal: %s\n", r.text.toUtf8().constData());
    std::printf("stored %d refused %d slept %lld\n", stored, int(messages.records.size()),
                (longestUiSleepNs.load() + 999999) / 1000000);
    delete DataMod;
    DataMod = nullptr;
    return 0;
}
