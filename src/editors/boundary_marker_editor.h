#pragma once

#include "editors/attached_editor.h"

class QAction;
class QMenu;

// The boundary marker editor: the parcel's rows of T_JZBSB in the order of
// their sequence number XH, kept numbered 1, 2, 3 ... on adding, deleting and
// inserting. A new marker is stored at once.
class BoundaryMarkerEditor : public zarn::editors::AttachedEditor {
    Q_OBJECT
public:
    explicit BoundaryMarkerEditor(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~BoundaryMarkerEditor() override;

    zarn::ui::DBGrid *DBGrid1 = nullptr;
    zarn::ui::DBEdit *EditF1 = nullptr; // nested-parcel level TZJB
    QMenu *ppm = nullptr;
    QAction *ppiInsert = nullptr;
    QAction *ppiDel = nullptr;

    void AddRecordSet();
    // Inserts a marker before the current one and numbers the rest after it.
    void ppiInsertClick();
    void ppmPopup();
    void DBGrid1ColEnter();

protected:
    void addRow() override;
    void deleteCurrent() override;

private:
    // The level the nested-parcel edit shows: 1 when empty.
    qint64 levelShown() const;
    void insertBeforeCurrent(qint64 level, qint64 &triedId);
};
