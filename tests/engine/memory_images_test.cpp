// A result's images held in memory: every image reads back as it was added,
// whether it shares a chunk, begins a new one, fills one exactly, is larger
// than a chunk or is empty.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/src/memory_images.h"

namespace {

TEST(MemoryImages, EveryImageReadsBackAcrossChunkEdges) {
    struct Case {
        const char* name;
        std::size_t chunk;
        std::vector<std::string> images;
    };
    const Case cases[] = {
        {"all in one chunk", 64, {"a", "bc", "def", "ghij"}},
        {"one fills a chunk exactly, the next begins another", 4, {"ab", "cd", "ef", "g"}},
        {"one does not fit what is left", 5, {"abc", "def", "ghi", "jk"}},
        {"one is larger than a chunk", 4, {"ab", "cdefghijkl", "mn", "opqrstuvwxyz0", "1"}},
        {"empty images between others", 3, {"", "abc", "", "", "de", ""}},
        {"bytes of every value", 7, {std::string("\0\x01\xff", 3), std::string(9, '\0'), "x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lce::MemoryImages images(c.chunk);
        EXPECT_TRUE(images.empty());
        for (const std::string& image : c.images) images.add(image);
        ASSERT_EQ(images.size(), c.images.size());
        for (std::size_t i = 0; i < c.images.size(); ++i) EXPECT_EQ(images.image(i), c.images[i]) << i;
    }
}

// Growing never moves an image already added (a view taken stays valid).
TEST(MemoryImages, AddingDoesNotMoveWhatIsHeld) {
    lce::MemoryImages images(16);
    images.add("first");
    const std::string_view first = images.image(0);
    for (int i = 0; i < 1000; ++i) images.add("image " + std::to_string(i));
    EXPECT_EQ(first.data(), images.image(0).data());
    EXPECT_EQ(images.image(0), "first");
    EXPECT_EQ(images.image(1000), "image 999");
}

}  // namespace
