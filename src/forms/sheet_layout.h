#pragma once

#include <QRect>
#include <QString>
#include <span>

namespace zarn::forms {

// What a place on a survey sheet holds.
enum class SheetKind {
    Heading,    // a printed row heading without a blank
    Edit,       // data-bound edit of the framed family
    PickList,   // data-bound drop-down list, entries only
    List,       // data-bound drop-down list that also takes typed text
    FramedList, // a list of the framed family (change lock, remembered values)
    Memo,       // data-bound memo
    Button,     // push button opening an attached-table editor
};

// Per-entry switches.
enum SheetFlag : unsigned {
    DigitPicker = 1, // a digit typed into the list picks its nth entry
    AltIme = 2,      // names the sheet's second input method
    NoIme = 4,       // names no input method
};

// One printed label of a survey sheet and the control over its blank. The
// same table creates and binds the controls, sets the tab order, drives the
// Enter chain and draws the printed form (screen and paper), so they cannot
// drift apart. Tables name every member they set (designated initialisers):
// the members are mostly numbers and texts that would swap silently in a
// positional list.
struct SheetEntry {
    int row;           // printed row, from 1
    const char *label; // printed label before the blank (UTF-8, "\n" between lines); empty for none
    const char *control; // control name, also its objectName; empty for a heading
    SheetKind kind;
    const char *column; // bound column of T_DJDCB; button caption for buttons
    int left, top, width;
    int tab;                // position in the tab order, -1 for headings
    const char *enter = ""; // control that takes the focus on Enter; empty: none
    const char *after = ""; // printed text after the blank (UTF-8), e.g. 止
    unsigned flags = 0;
    int height = 0; // 0: one printed line (a memo: its own line height)
};

// A whole survey sheet: its table and what is drawn around it.
struct SheetLayout {
    const char *name;  // objectName of the sheet panel
    const char *title; // the printed form's title (UTF-8)
    std::span<const SheetEntry> entries;
    int pictureWidth, pictureHeight; // the printed picture at design size
    int width, height;               // the sheet panel at design size
    QRect label50;                   // the change notice
    std::span<const int> groupRows;  // rows that open a group (ruled above); empty: none
    bool framed;                     // a frame is drawn around the picture
    int labelMargin;                 // left edge of the labels that begin a row
    const char *ime;                 // input method named by the bound controls (UTF-8)
    const char *altIme;              // the one the AltIme entries name
};

inline constexpr int kControlHeight = 20;
inline constexpr int kMemoHeight = 17;

// The height of an entry's control.
inline int entryHeight(const SheetEntry &e)
{
    if (e.height > 0) return e.height;
    return e.kind == SheetKind::Memo ? kMemoHeight : kControlHeight;
}

// The entry of a control by name, or null.
const SheetEntry *sheetEntry(const SheetLayout &layout, const QString &control);

inline QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The two survey sheets.
const SheetLayout &useRightSheetLayout();
const SheetLayout &ownershipSheetLayout();

} // namespace zarn::forms
