// Private configuration folders and store files spelled in both encodings for the store tests.
#include "store_fixture.h"

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace locationtest {

std::string Wide(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t cp = b;
        int extra = 0;
        if (b >= 0xE0)
            cp = b & 0x0F, extra = 2;
        else if (b >= 0xC0)
            cp = b & 0x1F, extra = 1;
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += extra + 1;
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
    }
    return out;
}

std::string Encode(std::string_view utf8, Enc enc) {
    switch (enc) {
        case Enc::Utf8: return std::string(utf8);
        case Enc::Utf8Bom: return "\xEF\xBB\xBF" + std::string(utf8);
        case Enc::Utf16: return "\xFF\xFE" + Wide(utf8);
    }
    return {};
}

std::string HexList(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (const char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(c));
        if (!out.empty()) out += ',';
        out += buf;
    }
    return out;
}

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void StoreTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "location-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
}

void StoreTest::TearDown() {
    std::error_code ec;
    std::filesystem::permissions(Store(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(config_, ec);
}

void StoreTest::WriteStore(std::string_view bytes) const { WriteFile(Store(), bytes); }

}  // namespace locationtest
