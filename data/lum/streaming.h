#pragma once
// Makes the layer's components known to a reader of stored window
// descriptions: TLumConnection, TLumQuery, TLumTable (and TDataSource).
#include "framework/reader.h"

namespace lum {

void RegisterLumClasses(fw::TReader& reader);

}  // namespace lum
