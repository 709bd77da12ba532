// Memo and binary fields: their values are not in the record buffer but
// reached through a blob stream of the dataset, read whole as text, bytes or
// a Variant and written whole.
#include "framework/dataset/dataset.h"
#include "framework/dataset/stream.h"
#include "framework/exceptions.h"
#include "framework/format.h"

namespace fw {

std::string TStream::ReadAll() {
    Seek(0, TSeekOrigin::soBeginning);
    std::string bytes(static_cast<std::size_t>(Size()), '\0');
    bytes.resize(Read(bytes.data(), bytes.size()));
    return bytes;
}

void TStream::WriteAll(const std::string& bytes) {
    SetSize(0);
    Seek(0, TSeekOrigin::soBeginning);
    Write(bytes.data(), bytes.size());
}

std::unique_ptr<TStream> TBlobField::OpenStream(TBlobStreamMode mode) const {
    std::unique_ptr<TStream> stream = DataSet().CreateBlobStream(const_cast<TBlobField&>(*this), mode);
    if (!stream) throw EDatabaseError(Format("Field '%s' has no blob value to stream", {DisplayName()}));
    return stream;
}

// A dataset without blob values refuses the access as it refuses any read or
// write a field type does not support.
std::unique_ptr<TStream> TBlobField::StreamFor(TBlobStreamMode mode, const char* typeName) const {
    std::unique_ptr<TStream> stream = DataSet().CreateBlobStream(const_cast<TBlobField&>(*this), mode);
    if (!stream) AccessError(typeName);
    return stream;
}

std::string TBlobField::ValueAsBytes() const {
    if (IsNull()) return {};
    return StreamFor(TBlobStreamMode::bmRead, "String")->ReadAll();
}

std::uint64_t TBlobField::BlobSize() const {
    if (IsNull()) return 0;
    return StreamFor(TBlobStreamMode::bmRead, "String")->Size();
}

std::string TBlobField::ValueAsText() const { return ValueAsBytes(); }

Variant TBlobField::ValueAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant(StreamFor(TBlobStreamMode::bmRead, "Variant")->ReadAll());
}

void TBlobField::SetValueAsBytes(const std::string& bytes) {
    StreamFor(TBlobStreamMode::bmWrite, "String")->WriteAll(bytes);
}

void TBlobField::SetValueAsText(const std::string& text) { SetValueAsBytes(text); }

void TBlobField::SetValueAsVariant(const Variant& value) {
    if (value.IsNull() || value.IsEmpty()) {
        Clear();
        return;
    }
    StreamFor(TBlobStreamMode::bmWrite, "Variant")->WriteAll(value.AsString());
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField& /*field*/, TBlobStreamMode /*mode*/) { return nullptr; }

}  // namespace fw
