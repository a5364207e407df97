#pragma once

// The checks that decide in C++ over the rows a statement reads, as the
// check table names them. Internal to the checks.

#include "schema/quality_reader.h"
#include "schema/value_checks.h"

namespace zarn::quality::internal {

using Evaluator = void (*)(Reader &, int check, Out &);

// Over the current survey rows (quality_row_checks.cpp).
void complete(Reader &reader, int check, Out &out);
template <checks::ValueCheck Kind> void formed(Reader &reader, int check, Out &out);
void dateOrder(Reader &reader, int check, Out &out);
void surveyNumberForm(Reader &reader, int check, Out &out);
void parcelNumberForm(Reader &reader, int check, Out &out);

// Over the parcels' markers and designation lines (quality_boundary_checks.cpp).
void markerCount(Reader &reader, int check, Out &out);
void markerNumbering(Reader &reader, int check, Out &out);
void ring(Reader &reader, int check, Out &out);
void markerCodes(Reader &reader, int check, Out &out);
void boundaryAlone(Reader &reader, int check, Out &out);

} // namespace zarn::quality::internal
