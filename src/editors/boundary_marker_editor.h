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

    zarn::ui::DBEdit *nestingLevelEdit = nullptr; // nested-parcel level TZJB
    QMenu *contextMenu = nullptr;
    QAction *insertAction = nullptr;
    QAction *deleteAction = nullptr;

    // Inserts a marker before the current one and numbers the rest after it.
    void insertBeforeCurrent();
    void updateContextMenu();
    void columnEntered();

protected:
    void addRow() override;
    void deleteCurrent() override;

private:
    // The level the nested-parcel edit shows: 1 when empty.
    qint64 levelShown() const;
    void insertOnce(qint64 level, qint64 &triedId);
};
