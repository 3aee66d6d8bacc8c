// A lookup that misbehaves, as anyone on the plain-HTTP path can make it: it neither chooses
// what the browser runs nor holds the window.
#include "tests/e2e/e2e_common.h"

#include <iostream>

namespace {

const std::wstring kAcquiredLog = std::wstring(kDefaultCsId) + L"\r\n";

} // namespace

TEST(HostileLocation, OnlyAWebAddressIsPassedToTheBrowser)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());

    const std::string hostile[] = {
        R"j("javascript:alert(1)")j",
        R"("--disable-web-security")",
        R"("file:///C:/windows/system32/calc.exe")",
        R"("\\\\host\\share\\x.exe")",
    };
    for (const std::string& location : hostile) {
        Lookup().Configure(R"({"mode": "fixed_location", "location": )" + location + "}");
        auto boxes = app->PressAndAnswer(IDC_SEND);
        ASSERT_EQ(1u, boxes.size()) << location << "\n" << Shown(boxes);
        EXPECT_EQ(L"位置情報の取得に失敗しました。", boxes[0].text) << location;
        EXPECT_EQ(L"Error", boxes[0].caption);
    }
    EXPECT_EQ(kAcquiredLog, app->Log());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 1000));

    // An honest redirect elsewhere, without a position, still opens in the browser.
    Lookup().Configure(R"({"mode": "fixed_location", "location": "http://map.example.test/moved"})");
    auto boxes = app->PressAndAnswer(IDC_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(kAcquiredLog + L"\r\n", app->Log()); // no position to log
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(std::vector<std::wstring>{L"http://map.example.test/moved"}, app->BrowserCalls());
}

TEST(TricklingBody, SendGoesOnWithTheLocationOnceTheBodyHadItsTime)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());

    // The body would trickle for ten minutes; the send must end long before (the body gets
    // 10 s), or PressAndAnswer gives up and reports a command that did not end.
    Lookup().Configure(R"({"mode": "trickle", "trickle_seconds": 600, "trickle_interval": 0.5})");
    const DWORD start = GetTickCount();
    auto boxes = app->PressAndAnswer(IDC_SEND, IDOK, 60000);
    std::cout << "send against a trickling body: " << GetTickCount() - start << " ms" << std::endl;
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(kAcquiredLog + kDefaultPosition + L"\r\n", app->Log());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(std::wstring(L"http://map.example.test/show?pos=") + kDefaultPosition, app->BrowserCalls()[0]);
}
