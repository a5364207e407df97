#pragma once

#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class QPdfWriter;
class QRectF;

namespace zarn::forms {

struct SheetLayout;

// What one survey row puts on the printed table: a column's value as text
// (by the column name the sheet's table gives), and the change notice of a
// changed version (empty for a current one).
struct SheetValues {
    std::function<QString(const QString &column)> value;
    QString changeNotice;
};

// Draws one filled survey table into a page rectangle (device units): the
// form's title, the printed table from the sheet's constant table with the
// row's values on its blanks, and, under the table, the continuation of any
// value too long for its blank even when set small and wrapped. All of it is
// drawn as vector text in the Song face.
void paintSheetPage(QPainter &painter, const QRectF &page, const SheetLayout &layout,
                    const SheetValues &values);

// Sets a paged device up for survey tables: A4 portrait with 15 mm margins.
void setUpSheetPages(QPagedPaintDevice &device);

// A PDF of survey tables, one page per row, in the order they are added,
// written into a device (the temporary file of writeReplacing, so that a
// file the user named is replaced only by a whole PDF).
class SheetPdf {
public:
    SheetPdf(QIODevice *device, const SheetLayout &layout);
    ~SheetPdf();
    SheetPdf(const SheetPdf &) = delete;
    SheetPdf &operator=(const SheetPdf &) = delete;

    // False when the device cannot be written.
    bool isOpen() const;
    void addPage(const SheetValues &values);
    // Ends the document; false when it could not be written whole.
    bool finish();
    int pageCount() const { return m_pages; }

private:
    const SheetLayout &m_layout;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QPainter> m_painter;
    int m_pages = 0;
};

} // namespace zarn::forms
