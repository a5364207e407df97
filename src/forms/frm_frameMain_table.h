#pragma once

#include <QString>
#include <span>

namespace zarn::forms {

// What a place on the use-right sheet holds.
enum class SheetKind {
    Heading,    // a printed row heading without a blank
    Edit,       // data-bound edit of the framed family
    PickList,   // data-bound drop-down list, entries only
    List,       // data-bound drop-down list that also takes typed text
    FramedList, // a list of the framed family (change lock, remembered values)
    Memo,       // data-bound memo
    Button,     // push button opening an attached-table editor
};

// One printed label of the use-right sheet and the control over its blank.
// The same table creates and binds the controls, sets the tab order, drives
// the Enter chain and draws the printed form, so they cannot drift apart.
struct SheetEntry {
    int row;             // printed row, 1..26
    const char *label;   // printed label before the blank (UTF-8); empty for none
    const char *control; // control name, also its objectName; empty for a heading
    SheetKind kind;
    const char *column; // bound column of T_DJDCB; button caption for buttons
    int left, top, width;
    int tab;           // position in the tab order, -1 for headings
    const char *enter; // control that takes the focus on Enter; empty: none
    const char *after; // printed text after the blank (UTF-8), e.g. 止
};

std::span<const SheetEntry> sheetTable();

// The entry of a control by name, or null.
const SheetEntry *sheetEntry(const QString &control);

inline QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Size of the printed sheet picture and of the sheet panel at design size.
inline constexpr int kSheetPictureWidth = 676;
inline constexpr int kSheetPictureHeight = 572;
inline constexpr int kSheetWidth = 681;
inline constexpr int kSheetHeight = 585;
inline constexpr int kControlHeight = 20;
inline constexpr int kMemoHeight = 17;

// The change notice label on row 17.
inline constexpr int kLabel50Left = 336;
inline constexpr int kLabel50Top = 353;

} // namespace zarn::forms
