// Nothing the user does during a wait loses its end: a menu held open, a window being moved or
// another dialog of the program's own each run a loop of their own, and the wait still ends as
// it would have. Every bound holds when a platform call never returns, and the exit too.
#include "tests/e2e/e2e_common.h"

#include <iostream>

namespace {

// The loops the user can start while a wait's dialog is up.
enum class Loop
{
    ContextMenu, // the progress text's own menu (right tap)
    Move,        // the progress dialog dragged by its caption
    AboutBox,    // "バージョン情報" from the menu
};

const char* NameOf(Loop loop)
{
    switch (loop) {
    case Loop::ContextMenu:
        return "the progress text's menu";
    case Loop::Move:
        return "the dialog's move loop";
    case Loop::AboutBox:
        return "the about box";
    }
    return "?";
}

DWORD ThreadOf(HWND window)
{
    return GetWindowThreadProcessId(window, nullptr);
}

// Whether the program's user-interface thread is inside a menu's or a move's loop.
bool InLoopOf(HWND window, DWORD flags)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(ThreadOf(window), &info) && (info.flags & flags) != 0;
}

HWND AboutBox(const TavrinSession& app)
{
    for (HWND dialog : app.Dialogs()) {
        if (TextOf(dialog) == L"バージョン情報 tavrin") {
            return dialog;
        }
    }
    return nullptr;
}

// Starts `loop` over the progress dialog, keeps it until the tick `untilTick`, ends it; false
// when it never began.
bool HoldLoop(TavrinSession& app, HWND progress, Loop loop, DWORD untilTick)
{
    HWND text = GetDlgItem(progress, IDC_PROGRESS_TEXT);
    auto hold = [untilTick] {
        const LONG left = static_cast<LONG>(untilTick - GetTickCount());
        if (left > 0) {
            Sleep(static_cast<DWORD>(left));
        }
    };
    bool began = false;
    switch (loop) {
    case Loop::ContextMenu:
        PostMessageW(text, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(text), MAKELPARAM(20, 20));
        began = WaitFor([&] { return InLoopOf(progress, GUI_INMENUMODE | GUI_POPUPMENUMODE); }, 3000);
        hold();
        PostMessageW(FindWindowW(L"#32768", nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
        WaitFor([&] { return !InLoopOf(progress, GUI_INMENUMODE | GUI_POPUPMENUMODE); }, 3000);
        break;
    case Loop::Move:
        PostMessageW(progress, WM_SYSCOMMAND, SC_MOVE, 0);
        began = WaitFor([&] { return InLoopOf(progress, GUI_INMOVESIZE); }, 3000);
        hold();
        PostMessageW(progress, WM_KEYDOWN, VK_RETURN, 0);
        WaitFor([&] { return !InLoopOf(progress, GUI_INMOVESIZE); }, 3000);
        break;
    case Loop::AboutBox: {
        PostMessageW(app.MainWindow(), WM_COMMAND, IDM_ABOUT, 0);
        began = WaitFor([&] { return AboutBox(app) != nullptr; }, 3000);
        hold();
        HWND about = AboutBox(app);
        if (about != nullptr) {
            PostMessageW(about, WM_COMMAND, IDOK, 0);
        }
        WaitFor([&] { return AboutBox(app) == nullptr; }, 3000);
        break;
    }
    }
    return began;
}

// One wait of a send, made to end `endsAfterMs` after the press.
struct WaitCase
{
    const char* name;
    const char* device;
    const char* lookup;
    const wchar_t* autoConnect;
    const wchar_t* connectWait;
    int button;
    const wchar_t* progress; // the caption of the wait's dialog
    DWORD endsAfterMs;
};

const WaitCase kWaits[] = {
    {"the lookup answers after 2 s", nullptr, R"({"delay_seconds": 2})", L"FALSE", L"0", IDC_SEND, L"送信中…", 2000},
    {"the network check answers after 2 s", "test = 0x10\nblock = test@2000\n", "{}", L"TRUE", L"0", IDC_SEND,
     L"接続中…", 2000},
    {"a wait of 2 s before the send", nullptr, "{}", L"TRUE", L"2000", IDC_GET_AND_SEND, L"待機中…", 2000},
};

// The loop is held this long past the wait's end, for the end to reach the program meanwhile.
constexpr DWORD kHeldPastTheEndMs = 1000;

} // namespace

TEST(ModalLoops, AWaitEndsAsItWouldHaveWhateverLoopRunsMeanwhile)
{
    for (const WaitCase& wait : kWaits) {
        SCOPED_TRACE(wait.name);
        // The loops take turns in one program: every send waits anew, and ends before the next.
        SettingsFile settings = TavrinSession::TestSettings();
        settings.Set(L"AUTOCONNECT", wait.autoConnect);
        settings.Set(L"CONNECTWAIT", wait.connectWait);
        auto app = wait.device != nullptr ? StartWithDevice(wait.device, settings) : StartSession(settings);
        ASSERT_TRUE(app);
        if (wait.button == IDC_SEND) {
            ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
        }
        Lookup().Configure(wait.lookup);
        size_t sends = 0;
        for (Loop loop : {Loop::ContextMenu, Loop::Move, Loop::AboutBox}) {
            SCOPED_TRACE(std::string("held open in ") + NameOf(loop));
            auto command = app->Press(wait.button);
            const DWORD pressed = GetTickCount();
            HWND progress = nullptr;
            WaitFor(
                [&] {
                    for (HWND dialog : app->Dialogs()) {
                        if (GetDlgItem(dialog, IDC_PROGRESS_TEXT) != nullptr && TextOf(dialog) == wait.progress) {
                            progress = dialog;
                        }
                    }
                    return progress != nullptr;
                },
                5000);
            ASSERT_NE(nullptr, progress) << "no dialog " << Utf8(wait.progress);
            // Held past the end of the wait, which the loop must not lose.
            EXPECT_TRUE(HoldLoop(*app, progress, loop, pressed + wait.endsAfterMs + kHeldPastTheEndMs));
            const DWORD loopEnded = GetTickCount();
            const bool started = app->WaitBrowserCalls(++sends, 5000);
            std::cout << wait.name << ", " << NameOf(loop) << ": browser " << GetTickCount() - loopEnded
                      << " ms after the loop" << std::endl;
            EXPECT_TRUE(started);
            MessageBoxSeen box;
            EXPECT_FALSE(app->WaitMessageBox(box, 200)) << Utf8(box.text);
            EXPECT_TRUE(command->Wait(5000));
        }
    }
}

TEST(ModalLoops, TheExitAndLaterCommandsHoldWhateverIsStuck)
{
    // A cache write of 10 s, a Connection Manager check that never returns, a lookup that never
    // answers: the window closes, and the program is gone, within 5 s.
    struct Case
    {
        const char* name;
        const char* device;
        const char* lookup;
        bool cache;
        const wchar_t* autoConnect;
    };
    const Case cases[] = {
        {"a cache write takes 10 s", "storage_write = 10000\n", "{}", true, L"FALSE"},
        {"the network check never returns", "block = test@600000\n", "{}", false, L"TRUE"},
        {"the lookup never answers", nullptr, R"({"mode": "stall", "stall_seconds": 120})", false, L"FALSE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile settings = TavrinSession::TestSettings();
        settings.Set(L"AUTOCONNECT", c.autoConnect);
        if (c.cache) {
            settings.Set(L"LOOKUPCACHE", L"TRUE");
        }
        auto app = c.device != nullptr ? StartWithDevice(c.device, settings) : StartSession(settings);
        ASSERT_TRUE(app);
        ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
        Lookup().Configure(c.lookup);
        auto command = app->Press(IDC_SEND);
        if (c.cache) {
            ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
            Sleep(1500); // the write began a second after the send
        } else {
            Sleep(2000);
        }
        const DWORD start = GetTickCount();
        PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(app->WaitForExit(5000)) << "still running after " << GetTickCount() - start << " ms";
    }
}

TEST(ModalLoops, AConnectionManagerCallThatNeverReturnsHoldsNoLaterCommand)
{
    auto app = StartWithDevice("block = test@600000\n");
    ASSERT_TRUE(app);
    // The check has its limit like every wait.
    std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_CONNECT, IDOK, 30000);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"接続確認に失敗しました。\nネットワークの確認が 10 秒以内に終わりませんでした。", boxes[0].text);
    // The stuck call still holds the connection: a second "接続" says so instead of waiting.
    boxes = app->PressAndAnswer(IDC_CONNECT, IDOK, 30000);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"前回の接続の処理がまだ終わっていないため、続けられません。しばらくしてからもう一度操作してください。",
              boxes[0].text);
    PostMessageW(app->MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app->WaitForExit(5000));
}

TEST(ModalLoops, ACacheWriteRefusedIsToldOnceAndWrittenAtTheNextTry)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"LOOKUPCACHE", L"TRUE");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    const std::wstring file = app->Folder() + L"\\cache.ini";
    WriteUtf16(file, L"\xFEFF[cache]\r\n");
    // Held open without sharing: every replacement of the file is refused meanwhile.
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_AND_SEND).empty());
    const std::wstring refused = L"キャッシュを保存できませんでした。";
    auto countRefusals = [&] {
        const std::wstring log = app->Log();
        size_t count = 0;
        for (size_t at = log.find(refused); at != std::wstring::npos; at = log.find(refused, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_TRUE(WaitFor([&] { return countRefusals() == 1; }, 5000)) << Utf8(app->Log());
    // The next try (5 s later) is refused too, and not told again.
    Sleep(6000);
    EXPECT_EQ(1u, countRefusals()) << Utf8(app->Log());
    EXPECT_EQ(std::wstring::npos, ReadUtf16(file).find(kDefaultCsId));
    CloseHandle(held);
    EXPECT_TRUE(WaitFor([&] { return ReadUtf16(file).find(kDefaultCsId) != std::wstring::npos; }, 8000));
}
