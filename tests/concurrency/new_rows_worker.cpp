// One surveyor at a workstation pressing 新增 again and again on a survey form
// of one unit (KIND 0, the default: the use-right form; 1: the ownership
// form): the form's own numbering and statements, in a process of its own.
// Prints "stored N refused M": rows the form stored, and message windows a
// surveyor would have seen.
//
//   zarn-new-rows-worker CONNECTION UNIT COUNT [KIND]

#include "component/DataM.h"
#include "data/dataset.h"
#include "forms/frm_rptdjdcb.h"
#include "forms/frm_syqdjdcb.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <cstdio>
#include <memory>

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
    std::printf("stored %d refused %d\n", stored, int(messages.records.size()));
    delete DataMod;
    DataMod = nullptr;
    return 0;
}
