#include "common/message_box.h"
#include "common/text_format.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <thread>

TEST(MessageBox, RecorderSeesBoxesFromAnyThreadAndAnswers)
{
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(IDNO, ShowMessageBox(nullptr, L"接続中です。", L"確認", MB_YESNO));
    std::thread worker([] { ShowMessageBox(nullptr, L"ReadFile() failed.", L"Error", MB_OK | MB_ICONERROR); });
    worker.join();
    auto shown = boxes.Boxes();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(L"確認", shown[0].caption);
    EXPECT_EQ(L"ReadFile() failed.", shown[1].text);
    EXPECT_EQ(static_cast<UINT>(0x10), shown[1].style);
}

TEST(TextFormat, WideArgumentsAndHexMatchTheHostBuild)
{
    EXPECT_EQ(L"CreateFile failed: COM1:", Format(L"CreateFile failed: %ls", L"COM1:"));
    EXPECT_EQ(L"(0x0000002a)", Format(L"(0x%08x)", 42u));
    EXPECT_EQ(1023u, Format(L"%ls", std::wstring(5000, L'x').c_str()).size());
}
