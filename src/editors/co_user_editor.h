#pragma once

#include "editors/attached_editor.h"

// The co-ownership editor: the parcel's rows of T_GYQ, one per holder who
// shares the land rights, on a wide entry page in two columns.
class CoUserEditor : public zarn::editors::AttachedEditor {
    Q_OBJECT
public:
    explicit CoUserEditor(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~CoUserEditor() override;

    // The label of the apportioned land area FTTDMJ. The ownership form sets
    // it to 分摊土地系数 before showing the editor.
    QLabel *apportionedAreaLabel = nullptr;
};
