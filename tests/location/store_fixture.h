#pragma once
// A private configuration folder per test, with the store file in it, and
// helpers that spell store files in the two encodings independently of the
// code under test.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace locationtest {

enum class Enc { Utf8, Utf8Bom, Utf16 };

// UTF-8 text (code points below U+10000) as UTF-16LE bytes, without a BOM.
std::string Wide(std::string_view utf8);
// The text as a store file's bytes in the encoding (BOM included where it has one).
std::string Encode(std::string_view utf8, Enc enc);
// "xx,xx,..." of the bytes, as a hex value list.
std::string HexList(std::string_view bytes);

std::optional<std::string> ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, std::string_view bytes);

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path Store() const { return config_ / "Orvanta" / "registry.reg"; }
    void WriteStore(std::string_view bytes) const;

    std::filesystem::path config_;
};

}  // namespace locationtest
