#pragma once
// Binding a parameter's value to an engine statement by its data type, for
// a query's statement and for those the connection runs on behalf of its
// caller. A failure is reported for the dataset given, or for none.
#include <cstdint>

#include "data/lum/engine.h"
#include "data/lum/params.h"

namespace lum {

class TLumDataSet;

// Binds `param` to the statement's marker `ordinal` (from 1): a null value as
// empty, dates as Julian days, times as milliseconds of the day, date-times
// as both, bytes as binary, Booleans as logicals, numbers as doubles and
// everything else as text. A parameter without a type, or with a value of a
// type no statement takes, is refused with the layer's message naming it.
void BindStatementParam(const LumFunctions& engine, TLumDataSet* dataSet, LUMHANDLE statement, const TParam& param,
                        std::uint16_t ordinal);

}  // namespace lum
