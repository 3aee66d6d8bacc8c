// The log field: trimmed to its newest characters, and the user's own text kept.
#include "tests/e2e/e2e_common.h"

TEST(MainLog, KeepsTheNewest4096Characters)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    std::wstring typed;
    for (int i = 0; i < 4090; ++i) {
        typed += static_cast<wchar_t>(L'a' + i % 26);
    }
    app->SetText(IDC_LOG, typed);
    ASSERT_EQ(typed, app->Log());

    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    std::wstring expected = typed + kDefaultCsId + L"\r\n";
    expected.erase(0, expected.size() - 4096);
    EXPECT_EQ(expected, app->Log());

    ASSERT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    expected += std::wstring(kDefaultPosition) + L"\r\n";
    expected.erase(0, expected.size() - 4096);
    EXPECT_EQ(expected, app->Log());
    EXPECT_EQ(4096u, app->Log().size());
}

TEST(MainLog, TypedTextAndSettingsSurviveTheNextCommand)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    app->SetText(IDC_LOG, L"メモ: 駅前\r\n");
    app->SetText(IDC_CONNECT_WAIT, L"250");
    app->SetChecked(IDC_STARTUP_ALL, true);
    app->SelectCombo(IDC_BROWSER_COMBO, 1);

    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    EXPECT_EQ(std::wstring(L"メモ: 駅前\r\n") + kDefaultCsId + L"\r\n", app->Log());
    EXPECT_EQ(L"250", app->Text(IDC_CONNECT_WAIT));
    EXPECT_TRUE(app->Checked(IDC_STARTUP_ALL));
    EXPECT_EQ(1, app->ComboSelection(IDC_BROWSER_COMBO));

    app->SetText(IDC_LOG, app->Log() + L"次へ\r\n");
    ASSERT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    EXPECT_EQ(std::wstring(L"メモ: 駅前\r\n") + kDefaultCsId + L"\r\n次へ\r\n" + kDefaultPosition + L"\r\n",
              app->Log());
}
