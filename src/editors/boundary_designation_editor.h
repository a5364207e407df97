#pragma once

#include "editors/attached_editor.h"

// The boundary designation editor: the parcel's rows of T_ZJB, one per
// boundary line, with the neighbour and the persons who designated it.
class BoundaryDesignationEditor : public zarn::editors::AttachedEditor {
    Q_OBJECT
public:
    explicit BoundaryDesignationEditor(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~BoundaryDesignationEditor() override;

    QPushButton *nextRowButton = nullptr;

    // Moves to the next row and carries the neighbour and the two names into it.
    void carryToNextRow();

protected:
    void setOwnColumns(zarn::Dataset &ds) override;
};
