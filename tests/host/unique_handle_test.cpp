#include "common/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

std::vector<int> g_closed;

struct FakeTraits
{
    using Type = int;
    static int Invalid() noexcept { return -1; }
    static bool IsValid(int handle) noexcept { return handle >= 0; }
    static bool Close(int handle) noexcept
    {
        g_closed.push_back(handle);
        return handle != 13; // 13 stands for a handle the platform refuses to close
    }
};

using FakeHandle = CUniqueHandle<FakeTraits>;

TEST(UniqueHandle, ClosesEveryHandleExactlyOnceWhateverPathItLeavesBy)
{
    g_closed.clear();
    {
        FakeHandle a(1);
        FakeHandle b(std::move(a)); // moved: only b closes 1
        EXPECT_FALSE(a.IsValid());
        FakeHandle c(2);
        c = std::move(b); // 2 closed on assignment, 1 taken over
        c.Reset(3);       // 1 closed
        FakeHandle d(4);
        EXPECT_EQ(d.Detach(), 4); // never closed by the owner
        FakeHandle empty;
        EXPECT_TRUE(empty.Close());
    } // 3 closed
    EXPECT_EQ(g_closed, (std::vector<int>{2, 1, 3}));

    FakeHandle refused(13);
    EXPECT_FALSE(refused.Close());
    EXPECT_FALSE(refused.IsValid()); // a failed close still gives the handle up
    EXPECT_TRUE(refused.Close());
}

} // namespace
