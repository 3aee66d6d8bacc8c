#include "ui/device_wait.h"

#include "common/message_box.h"
#include "resources/resource.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleW(nullptr);
}

// A device that does what a row says and counts what reaches it.
struct FakeDevice : IWaitingDevice
{
    // What ends the wait: its first timer (ends with the box), or Begin itself before dressing.
    bool endInBegin = false;
    WaitBox box{L"A"};
    int heard = 0, timers = 0, readFailures = 0, writeFailures = 0, cancels = 0, releases = 0;
    bool gone = false;
    std::shared_ptr<std::atomic<bool>> released = std::make_shared<std::atomic<bool>>(false);

    void Begin(CDeviceWait& wait) override
    {
        if (endInBegin) {
            wait.EndWait(kWaitFailed, box);
        }
        wait.SetTimer(1, 10);
        wait.Dress(L"待機", L"デバイスを待っています。");
    }
    void Opened(CDeviceWait&, HANDLE, const DCB&, const std::wstring&) override {}
    void Heard(CDeviceWait&) override { ++heard; }
    void TimerFired(CDeviceWait& wait, UINT_PTR) override
    {
        ++timers;
        wait.EndWait(kWaitFailed, box);
    }
    void ReadFailed(CDeviceWait&) override { ++readFailures; }
    void WriteFailed(CDeviceWait&) override { ++writeFailures; }
    void Cancelled(CDeviceWait&) override { ++cancels; }
    std::function<void()> Release(INT_PTR, bool dialogGone) override
    {
        ++releases;
        gone = dialogGone;
        std::shared_ptr<std::atomic<bool>> done = released;
        return [done] {
            Sleep(100); // a port that takes its time to close
            *done = true;
        };
    }
};

// Shows boxes as a user would see them, the box's own loop running meanwhile: while it is up,
// everything that could end a wait arrives at the dialog.
struct BoxWatch
{
    std::vector<std::wstring> texts;
    std::vector<bool> releasedFirst;
    std::vector<std::wstring> captions; // the dialog's caption at the time
    FakeDevice* device = nullptr;

    BoxWatch()
    {
        SetMessageBoxHook([this](HWND owner, const std::wstring& text, const std::wstring&, UINT) {
            texts.push_back(text);
            releasedFirst.push_back(device->released->load());
            captions.push_back(TextOf(owner));
            for (UINT message : {WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR, WM_TAVRIN_WRITE_FAILED}) {
                PostMessageW(owner, message, 0, 0);
            }
            PostMessageW(owner, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(owner, WM_TIMER, 1, 0);
            PumpFor(300);
            return IDOK;
        });
    }
    ~BoxWatch() { SetMessageBoxHook(nullptr); }
};

} // namespace

// The wait ends once: the device is released before the box, and while the box is up no answer,
// failure, timer or "中断" reaches the device or ends the wait again.
TEST(DeviceWait, EndsOnceReleasingTheDeviceBeforeItsOneBox)
{
    for (bool endInBegin : {false, true}) {
        SCOPED_TRACE(endInBegin ? "ended while it began" : "ended by its timer");
        FakeDevice device;
        device.endInBegin = endInBegin;
        BoxWatch boxes;
        boxes.device = &device;
        EXPECT_EQ(kWaitFailed, RunDeviceWait(Instance(), nullptr, device));
        ASSERT_EQ(std::vector<std::wstring>{L"A"}, boxes.texts);
        EXPECT_TRUE(boxes.releasedFirst[0]);
        // The box comes on the dressed dialog, also when the wait ended before it was dressed.
        EXPECT_EQ(L"待機", boxes.captions[0]);
        EXPECT_EQ(1, device.releases);
        EXPECT_FALSE(device.gone);
        EXPECT_EQ(0, device.heard + device.readFailures + device.writeFailures + device.cancels);
        EXPECT_LE(device.timers, 1);
    }
}

// Taken down with its owner (the program is closing): the device is released by itself, and no
// box is shown.
TEST(DeviceWait, TakenDownWithItsOwnerReleasesTheDeviceWithoutABox)
{
    struct Waiting : FakeDevice
    {
        void TimerFired(CDeviceWait& wait, UINT_PTR) override
        {
            ++timers;
            wait.KillTimer(1);
            DestroyWindow(GetParent(wait.Dialog()));
        }
    } device;
    HWND owner =
        CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr);
    ASSERT_NE(nullptr, owner);
    BoxWatch boxes;
    boxes.device = &device;
    EXPECT_EQ(kWaitFailed, RunDeviceWait(Instance(), owner, device));
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(1, device.releases);
    EXPECT_TRUE(device.gone);
    EXPECT_TRUE(PumpUntil([&] { return device.released->load(); }, 5000));
    EXPECT_FALSE(IsWindow(owner));
}

// A box that offers the port search ends the wait with kWaitSearchPorts only when answered はい;
// no other box does, whatever it is answered.
TEST(DeviceWait, OnlyTheSearchOfferAnsweredYesAsksForTheSearch)
{
    struct Case
    {
        bool offer;
        int answer;
        INT_PTR result;
    };
    for (const Case& c :
         {Case{true, IDYES, kWaitSearchPorts}, Case{true, IDNO, kWaitFailed}, Case{false, IDYES, kWaitFailed}}) {
        SCOPED_TRACE(std::to_string(c.offer) + " " + std::to_string(c.answer));
        FakeDevice device;
        device.box = c.offer ? SearchOfferBox(L"探しますか？") : WaitBox{L"A"};
        UINT style = 0;
        SetMessageBoxHook([&](HWND, const std::wstring&, const std::wstring&, UINT shown) {
            style = shown;
            return c.answer;
        });
        EXPECT_EQ(c.result, RunDeviceWait(Instance(), nullptr, device));
        SetMessageBoxHook(nullptr);
        EXPECT_EQ(c.offer, (style & MB_YESNO) == MB_YESNO);
    }
}

// A device that answers at once leaves no window to show and take down; a wait that lasts shows
// its dialog, and so does a box however soon it comes (it always stands over the dialog).
TEST(DeviceWait, ShowsItsDialogOnlyOnceTheWaitLastsOrForABox)
{
    struct Timed : FakeDevice
    {
        UINT endAfterMs = 0;
        bool withBox = false;
        bool shownAtTheEnd = true;
        void Begin(CDeviceWait& wait) override
        {
            wait.SetTimer(1, endAfterMs);
            wait.Dress(L"待機", L"デバイスを待っています。");
        }
        void TimerFired(CDeviceWait& wait, UINT_PTR) override
        {
            shownAtTheEnd = IsWindowVisible(wait.Dialog()) != FALSE;
            if (withBox) {
                wait.EndWait(kWaitFailed, box);
            } else {
                wait.EndSilently(kWaitDone);
            }
        }
    };
    struct Case
    {
        UINT endAfterMs;
        bool withBox;
        bool shownAtTheEnd;
        bool shownUnderTheBox;
    };
    for (const Case& c : {Case{20, false, false, false}, Case{20, true, false, true},
                          Case{kDeviceWaitShowAfterMs + 300, false, true, false}}) {
        SCOPED_TRACE(std::to_string(c.endAfterMs) + (c.withBox ? " with a box" : ""));
        Timed device;
        device.endAfterMs = c.endAfterMs;
        device.withBox = c.withBox;
        bool shownUnderTheBox = false;
        SetMessageBoxHook([&](HWND owner, const std::wstring&, const std::wstring&, UINT) {
            shownUnderTheBox = IsWindowVisible(owner) != FALSE;
            return IDOK;
        });
        // The owner's control that had the keyboard has it again after a wait that showed nothing.
        HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                     nullptr, Instance(), nullptr);
        HWND field =
            CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, owner, nullptr, Instance(), nullptr);
        SetActiveWindow(owner);
        SetFocus(field);
        EXPECT_EQ(c.withBox ? kWaitFailed : kWaitDone, RunDeviceWait(Instance(), owner, device));
        SetMessageBoxHook(nullptr);
        EXPECT_EQ(c.shownAtTheEnd, device.shownAtTheEnd);
        EXPECT_EQ(c.shownUnderTheBox, shownUnderTheBox);
        if (!c.shownAtTheEnd && !c.withBox) {
            EXPECT_EQ(field, GetFocus());
        }
        DestroyWindow(owner);
    }
}
