#pragma once

#include "editors/attached_editor.h"

// The four-sides editor: the parcel's rows of T_SZB, one per stretch of
// boundary with its neighbour and direction. It reads its rows again when
// the user comes back to it from another window of the component.
class FourSidesEditor : public zarn::editors::AttachedEditor {
    Q_OBJECT
public:
    explicit FourSidesEditor(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~FourSidesEditor() override;

    zarn::ui::DBComboBox *directionList = nullptr; // direction FWSX

    void reloadOnActivation();
};
