// Load with one allocation failing, each in turn: wherever memory runs out, Load gives false
// and the record, the controls and the path stay as they were. The global allocator is
// replaced for that, which is why these tests have a binary of their own.
#include "settings/memory_settings_host.h"
#include "tests/host/settings_fakes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

long g_failAt = 0; // the allocation that fails, counted from 1; 0: none
long g_count = 0;

} // namespace

void* operator new(std::size_t size)
{
    void* block = g_failAt != 0 && ++g_count == g_failAt ? nullptr : std::malloc(size != 0 ? size : 1);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

TEST(SettingsOutOfMemory, LoadChangesNothingWhereverMemoryRunsOut)
{
    CFakeControls controls;
    CMemorySettingsHost host;
    host.m_controls = &controls;
    host.m_files.m_files[L"\\old.ini"] = Utf16File(L"[tavrin]\r\nURL0=old;http://o/;f\r\nCONNECTWAIT=1\r\n");
    host.m_files.m_files[L"\\new.ini"] =
        Utf16File(L"[tavrin]\r\nURL0=a;http://a/;f\r\nURL1=b;http://b/;g\r\nAUTOBROWSER=TRUE\r\nCONNECTWAIT=2\r\n");
    CSettings settings(&host);
    ASSERT_TRUE(settings.Load(L"\\old.ini"));
    const auto record = Fields(settings);
    const auto shown = std::make_tuple(controls.m_items, controls.m_selection, controls.m_checks, controls.m_texts);

    for (long n = 1;; ++n) {
        g_count = 0;
        g_failAt = n;
        const bool loaded = settings.Load(L"\\new.ini");
        g_failAt = 0;
        if (g_count < n) { // every allocation granted: the file is in
            EXPECT_TRUE(loaded);
            break;
        }
        ASSERT_FALSE(loaded) << "allocation " << n;
        ASSERT_EQ(Fields(settings), record) << "allocation " << n;
        ASSERT_EQ(std::make_tuple(controls.m_items, controls.m_selection, controls.m_checks, controls.m_texts), shown)
            << "allocation " << n;
    }
    EXPECT_EQ(settings.m_urlList.size(), 2u);
    EXPECT_EQ(controls.m_texts[1020], L"2");
}
