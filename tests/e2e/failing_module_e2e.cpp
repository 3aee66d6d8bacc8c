// A module that fails in the middle of its work costs a box, never the program.
#include "tests/e2e/e2e_common.h"

TEST(FailingModule, VanishingInTheMiddleOfAnAnswerCostsABoxAndTheNextAcquisitionWorks)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    // Ten bytes of the CS-ID answer, then the line hangs up; the next open finds the module.
    ASSERT_TRUE(WsimConfigure(R"({"vanish_at": 10, "chunk_gap_ms": 300})"));
    auto command = app->Press(IDC_GET_LOCATION);
    MessageBoxSeen box;
    ASSERT_TRUE(app->WaitMessageBox(box, 10000));
    EXPECT_EQ(0u, box.text.rfind(L"ClearCommError() Failed.", 0)) << Utf8(box.text);
    // Shown by the acquisition dialog, never on the reader thread, which may have to be ended.
    HWND progress = app->WaitDialogWith(IDC_PROGRESS_TEXT, 5000);
    ASSERT_NE(nullptr, progress);
    EXPECT_EQ(progress, box.owner);
    EXPECT_TRUE(TavrinSession::Answer(box.box, IDOK));

    // The acquisition waits for the user, who gives up.
    EXPECT_TRUE(TavrinSession::Answer(progress, IDCANCEL));
    EXPECT_TRUE(command->Wait(5000));
    EXPECT_EQ(L"", app->Log());

    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_TRUE(app->Running());
}
