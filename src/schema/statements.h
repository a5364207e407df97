#pragma once

// Every statement the system runs, in one place. Values are bound to the
// positional placeholders; none is ever joined into the text.
#include "schema/attached_statements.h"
#include "schema/code_statements.h"
#include "schema/session_statements.h"
#include "schema/survey_statements.h"
#include "schema/unit_code.h"
