#pragma once

// The data-aware control kit in one include.
#include "widgets/banner.h"
#include "widgets/data_aware.h"
#include "widgets/data_source.h"
#include "widgets/dataset_model.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/db_memo.h"
#include "widgets/fonts.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"
#include "widgets/survey_dialog.h"
