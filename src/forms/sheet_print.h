#pragma once

#include "forms/recorded_drawing.h"
#include "forms/shaped_text.h"

#include <QFont>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class QPdfWriter;

namespace zarn::forms {

struct SheetLayout;

// What one survey row puts on the printed table: a column's value as text
// (by the column name the sheet's table gives), and the change notice of a
// changed version (empty for a current one).
struct SheetValues {
    std::function<QString(const QString &column)> value;
    QString changeNotice;
};

// Sets a paged device up for survey tables: A4 portrait with 15 mm margins.
void setUpSheetPages(QPagedPaintDevice &device);

// Filled survey tables on a paged device, a printer or a PDF writer alike,
// each starting on a new page. A table fills the printable area of its page:
// the form's title, the printed table from the sheet's constant table with
// the row's values on its blanks, all as vector text in the Song face. A
// value too long for its blank even when set small and wrapped follows in
// full under the table, on as many further pages as it takes, each headed
// with the table's title and survey table number.
class SheetPages {
public:
    // Starts painting on the device (set up already); see isOpen.
    explicit SheetPages(QPagedPaintDevice &device);
    ~SheetPages();
    SheetPages(const SheetPages &) = delete;
    SheetPages &operator=(const SheetPages &) = delete;

    // False when the device cannot be painted on.
    bool isOpen() const;
    void add(const SheetLayout &layout, const SheetValues &values);
    // Ends the document; false when it could not be written whole.
    bool finish();
    // Pages drawn so far, continuation pages included.
    int pageCount() const { return m_pages; }

    // The Song face at a size in design pixels, made once: a new font is
    // looked up in the font database anew, a tenth of a page's time.
    const QFont &font(int pixels);

private:
    struct PrintedSheet;
    // The sheet of a kind as printed on this device: a device has one page
    // size, so a kind draws alike on all its pages.
    const PrintedSheet &printed(const SheetLayout &layout, qreal pageHeight);

    // How a value is set in its blank: the biggest size, from the sheet's
    // own down to `smallest`, at which it fits, on one line or wrapped (0
    // when none does); for one line, the text shaped at that size.
    struct Fit {
        int pixels = 0;
        bool oneLine = true;
        ShapedLine shaped;
    };
    Fit fitting(const QString &text, const QRectF &line, const QRectF &box, int smallest);

    QPagedPaintDevice &m_device;
    std::unique_ptr<QPainter> m_painter;
    int m_pages = 0;
    std::map<int, QFont> m_fonts; // by pixel size; a map keeps references good
    std::map<const SheetLayout *, std::unique_ptr<PrintedSheet>> m_printed;
    ShapedLines m_shaped;
};

// A PDF of survey tables, written into a device (the temporary file of
// writeReplacing, so that a file the user named is replaced only by a whole
// PDF).
class SheetPdf {
public:
    SheetPdf(QIODevice *device, const QString &title);
    ~SheetPdf();
    SheetPdf(const SheetPdf &) = delete;
    SheetPdf &operator=(const SheetPdf &) = delete;

    bool isOpen() const;
    void add(const SheetLayout &layout, const SheetValues &values);
    bool finish();
    int pageCount() const;

private:
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<SheetPages> m_pages;
    int m_finishedPages = 0;
};

} // namespace zarn::forms
