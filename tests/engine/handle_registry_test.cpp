// The handle registry under calls from several threads at once: every look-up
// finds the object its handle was given to, or nothing once it is released,
// while other threads add and release theirs.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "engine/src/handles.h"

namespace {

class Numbered : public lce::Object {
public:
    explicit Numbered(int n) : number(n) {}
    lce::HandleType handleType() const override { return lce::HandleType::Search; }
    const int number;
};

int NumberOf(const std::shared_ptr<lce::Object>& object) {
    return object ? static_cast<const Numbered&>(*object).number : -1;
}

TEST(HandleRegistry, ThreadsAddFindAndReleaseTheirOwnHandlesAtOnce) {
    lce::HandleRegistry registry;
    constexpr int kThreads = 4;
    constexpr int kRounds = 5000;
    std::atomic<int> wrong{0};
    // Handles of one thread's objects, kept while the others go on.
    std::vector<std::vector<std::uint32_t>> kept(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const int number = t * kRounds + i;
                const std::uint32_t h = registry.add(std::make_shared<Numbered>(number));
                if (NumberOf(registry.find(h)) != number) ++wrong;
                if (registry.resolve(h, [](const std::shared_ptr<lce::Object>& o) { return NumberOf(o); }) != number)
                    ++wrong;
                if (i % 3 == 0) {
                    kept[t].push_back(h);
                    continue;
                }
                registry.remove(h);
                if (registry.find(h) != nullptr) ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    // What was kept is all still there, each handle with its own object.
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t k = 0; k < kept[t].size(); ++k)
            EXPECT_EQ(NumberOf(registry.find(kept[t][k])), t * kRounds + static_cast<int>(k) * 3);
    }
}

}  // namespace
