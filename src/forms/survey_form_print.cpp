// The survey forms' row on paper: the print dialog and PDF export.
#include "forms/survey_form.h"

#include "config/file_output.h"
#include "config/setup_files.h"
#include "data/characters.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "forms/sheet_layout.h"
#include "forms/sheet_print.h"
#include "forms/survey_sheet.h"
#include "session/session_context.h"

#include <QFileDialog>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>

using namespace zarn;
using namespace zarn::forms;

SheetValues SurveyForm::shownValues() const
{
    Dataset &t = table();
    // What the sheet shows, typing not yet stored included.
    return {[&t](const QString &column) { return t.text(column); }, m_sheet->changeNotice->text()};
}

void SurveyForm::printSheet()
{
    finishOpening();
    QPrinter printer(QPrinter::HighResolution);
    setUpSheetPages(printer);
    printer.setDocName(text(m_desc.sheet.title));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印调查表"));
    if (dialog.exec() != QDialog::Accepted) return;
    printTo(printer);
}

void SurveyForm::printTo(QPrinter &printer)
{
    SheetPages pages(printer);
    if (!pages.isOpen()) throw Error(QStringLiteral("打印机无法使用，请检查打印机设置后再打印。"));
    pages.add(m_desc.sheet, shownValues());
    if (!pages.finish())
        throw Error(QStringLiteral("调查表没有打印完，请检查打印机后再打印一次。"));
}

void SurveyForm::exportPdf()
{
    finishOpening();
    const QString suggested =
        zarn::trimBlanks(table().text(QStringLiteral("zdbh"))) + QStringLiteral(".pdf");
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出PDF"), suggested,
                                                      QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return;
    QString why;
    if (!writePdf(path, &why)) throw Error(why);
}

bool SurveyForm::writePdf(const QString &path, QString *why)
{
    // The database, its journals, config.ini and the key are never exported onto.
    const QString refused =
        ProtectedFiles::ofSetup(session().connection.connectionString()).refusal(path);
    if (!refused.isEmpty()) {
        if (why) *why = refused;
        return false;
    }
    return writeReplacing(
        path,
        [this](QIODevice &file) {
            SheetPdf pdf(&file, text(m_desc.sheet.title));
            if (!pdf.isOpen()) return false;
            pdf.add(m_desc.sheet, shownValues());
            return pdf.finish();
        },
        why);
}
