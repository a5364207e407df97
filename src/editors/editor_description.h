#pragma once

#include "data/dataset.h"
#include "schema/attached_rows.h"

#include <QSize>
#include <QString>
#include <span>

namespace zarn {
class SessionContext;
}

namespace zarn::sql {
struct CodeList;
}

// What one attached-table editor is, as data: the shared editor reads it and
// builds the window, binds the controls, sets the tab order and the Enter
// flow, fills the code lists and runs its statements from it. Descriptions
// and their tables name every member they set (designated initialisers), so
// that two flags or numbers swapped do not compile as another editor.
namespace zarn::editors {

// What a place on the entry page holds.
enum class EntryKind {
    Edit,         // data-bound edit
    ReadOnlyEdit, // data-bound edit the user cannot type into (the parcel number)
    List,         // data-bound drop-down list that also takes typed text
    Button,       // push button; the editor connects it itself
};

// What Enter does in a control of the entry page.
enum class EnterKey {
    Next, // moves to the next control in the tab order, after the last back to the first
    Stay, // nothing: the focus stays
    Jump, // moves to the control named in `jump`
};

// One control of the entry page with the label before it.
struct EntryField {
    const char *control; // name, also its objectName
    EntryKind kind;
    const char *column; // bound column; empty for a button
    const char *label;  // label before the control (UTF-8); a button's caption
    int tab;            // position in the tab order
    EnterKey enter = EnterKey::Next;
    const char *jump = "";      // the control Enter jumps to (EnterKey::Jump)
    bool digitPicker = false;   // a typed digit 1..9 picks that entry of the list
    const char *items = "";     // built-in entries of a list, separated by '|' (UTF-8)
    int row;                    // place on the page: row,
    int half = 0;               // half (0 left, 1 right)
    int halves;                 // and halves spanned
    const char *labelName = ""; // the label's objectName; empty: the control's name + "Label"
};

// One column of the list page's grid.
struct GridField {
    const char *column;
    const char *title; // UTF-8
    int width;
    const char *pickList = ""; // fixed values offered in the cell, '|' separated; empty: none
};

// A code table that fills a drop-down list and the matching grid column.
struct CodeListFill {
    const zarn::sql::CodeList *list;
    const char *control;    // the entry page's drop-down list
    const char *gridColumn; // the grid column's bound column
};

// When the editor reads its rows.
enum class LoadOn {
    Show,       // each time it is shown
    Activation, // when shown, and again when it becomes active after another
                // window of the component (never after one of its own message boxes)
};

using Purge = zarn::attached::Purge;

struct AttachedEditorDescription {
    const char *name;    // objectName of the window
    const char *caption; // window caption (UTF-8)
    const char *title;   // banner title (UTF-8)
    zarn::Dataset zarn::SessionContext::*dataset;
    // Statements from src/schema. Lists bind parcel, unit (and the change date
    // for the changed list); the purge binds parcel, unit; the sparing purge
    // also the id of the row being saved; the maximum id binds nothing.
    const DeclaredQuery *listCurrent;
    const DeclaredQuery *listChanged;
    const QString *maxId;
    const QString *purge;        // null: no purge
    const QString *purgeSparing; // null: the purge spares nothing
    Purge purgeWhen;
    const char *container; // the entry page's panel, disabled in changed mode
    const char *grid;      // the list page's grid
    std::span<const EntryField> entries;
    std::span<const GridField> columns;
    std::span<const CodeListFill> codeLists;
    bool postNewRowAtOnce; // a new row is stored as soon as it is made
    LoadOn loadOn;
    bool lastGuarded;      // 末记录 refuses a blank parcel number like the other moves
    bool gridEditorAlways; // the grid opens its cell editor as soon as a cell is current
    QSize size;            // the window's fixed client size
    int labelWidth;        // width of the labels' column on the entry page
};

inline QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace zarn::editors
