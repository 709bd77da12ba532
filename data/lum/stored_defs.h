#pragma once
// Field and index definitions as a stored description holds them: one
// property per item and attribute, the item's position in brackets.
//   FieldDefs[i].Name       text         IndexDefs[i].Name     text
//   FieldDefs[i].DataType   ftString...  IndexDefs[i].Fields   "A;B" (upper case)
//   FieldDefs[i].Size       number       IndexDefs[i].Options  [ixPrimary, ixUnique, ...]
//   FieldDefs[i].Precision  number
//   FieldDefs[i].Required   true/false
// Positions count from 0; position Count() appends an item, a larger one is
// an invalid property value. Writing gives each item's Name first, then the
// attributes that differ from their defaults.
#include <string>
#include <utility>
#include <vector>

#include "framework/dataset/field_defs.h"
#include "framework/reader.h"

namespace lum {

using StoredProperties = std::vector<std::pair<std::string, fw::PropertyValue>>;

// Whether the path names an item of the field or the index definitions.
bool IsFieldDefPath(const std::string& path);
bool IsIndexDefPath(const std::string& path);

// Sets one attribute of one item. EConvertError "Invalid property value: %s"
// for a bad position, attribute or value; an index name another item has
// already gives the framework's "Duplicate index name '%s'".
void SetStoredFieldDef(fw::TFieldDefs& defs, const std::string& path, const fw::PropertyValue& value);
void SetStoredIndexDef(fw::TIndexDefs& defs, const std::string& path, const fw::PropertyValue& value);

// The properties that store the definitions; an empty collection gives none.
StoredProperties StoredDefProperties(const fw::TFieldDefs& fields, const fw::TIndexDefs& indexes);

}  // namespace lum
