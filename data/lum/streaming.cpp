// Registers the layer's component classes with a reader of stored descriptions.
#include "data/lum/streaming.h"

#include "data/lum/connection.h"
#include "data/lum/query.h"
#include "data/lum/table.h"
#include "framework/dataset/data_source.h"

namespace lum {

void RegisterLumClasses(fw::TReader& reader) {
    reader.RegisterClass("TLumConnection",
                         [](fw::TComponent& owner) -> fw::TComponent& { return owner.CreateOwned<TLumConnection>(); });
    reader.RegisterClass("TLumQuery",
                         [](fw::TComponent& owner) -> fw::TComponent& { return owner.CreateOwned<TLumQuery>(); });
    reader.RegisterClass("TLumTable",
                         [](fw::TComponent& owner) -> fw::TComponent& { return owner.CreateOwned<TLumTable>(); });
    fw::RegisterDataSetClasses(reader);
}

}  // namespace lum
