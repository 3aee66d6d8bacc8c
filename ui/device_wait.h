#pragma once

#include "acquisition/receiver_address.h"
#include "acquisition/serial_port.h"
#include "common/texts.h"
#include "resources/resource.h"
#include "ui/port_opening.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The one dialog in which the user waits for a device (the W-SIM, a receiver, a modem): the
// progress dialog (template 130) with its caption, its text and "中断". Every device waits in
// the same order:
//   - the port opens on a worker (CPortOpening), the dialog is dressed and answers meanwhile;
//   - the device's portable dialogue takes what the port reads and the wait's timers; nothing
//     is written or read on the dialog's thread;
//   - the wait ends once (EndWait, EndSilently): from then on nothing reaches the device, and no
//     answer, fix, timer or failure can end it another way. The device is released on a worker
//     (its formats put back, its port closed); a box comes only after that, and the dialog ends
//     after the box. Without a box the dialog ends at once and the release goes on beside
//     what follows.
// The dialog is made hidden and shows once the wait has lasted kDeviceWaitShowAfterMs, or for a
// box: a module that answers at once leaves no window to show and take down (under Wine that
// costs 10-25 ms of the job). The owner is disabled from the start, as for any modal dialog.
constexpr INT_PTR kWaitDone = 1;
constexpr INT_PTR kWaitFailed = 2;
// Failed, and the box's question "ポートを探しますか？" was answered Yes.
constexpr INT_PTR kWaitSearchPorts = 3;
constexpr UINT kDeviceWaitShowAfterMs = 300;

class CDeviceWait;
class IPortReader;

// The box that says why a wait ended; none when its text is empty.
struct WaitBox
{
    std::wstring text;
    std::wstring caption = Text(IDS_CAPTION_ERROR);
    UINT style = MB_OK | MB_ICONERROR;
    // The text asks whether to search the ports (Yes or No): Yes ends the wait with kWaitSearchPorts.
    bool offersSearch = false;
};

// The box of a port on which nothing answered, asking whether to search the ports.
WaitBox SearchOfferBox(const std::wstring& text);

// A device's part of the wait. Every call comes on the dialog's thread, none after End.
class IWaitingDevice
{
public:
    virtual ~IWaitingDevice() = default;
    // The dialog is up: the device starts (OpenPort, or a port left open) and then dresses the
    // dialog (Dress), so that the port opens while the dialog is being dressed.
    virtual void Begin(CDeviceWait& wait) = 0;
    // The port's opening is done: `device` is the caller's now, or INVALID_HANDLE_VALUE with
    // `error` saying why. A receiver on the network gets INVALID_HANDLE_VALUE, with no error once
    // its connection is under way.
    virtual void Opened(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error) = 0;
    // The device's reader has news (WM_TAVRIN_ANSWER); it may be stale.
    virtual void Heard(CDeviceWait& wait) = 0;
    // A timer the device set.
    virtual void TimerFired(CDeviceWait& wait, UINT_PTR id) = 0;
    // The port's reader failed and has ended (WM_TAVRIN_SERIAL_ERROR).
    virtual void ReadFailed(CDeviceWait& wait) = 0;
    // A write failed on the port's writer (WM_TAVRIN_WRITE_FAILED).
    virtual void WriteFailed(CDeviceWait& wait) = 0;
    // "中断", or a close from the window frame.
    virtual void Cancelled(CDeviceWait& wait) = 0;
    // The wait has ended with `result` (`gone`: the dialog was taken down with its owner, and no
    // box follows). The device forgets the dialog and says what frees it: work run on a worker
    // before the box, or nothing (what there was to do is done, or the port stays open).
    virtual std::function<void()> Release(INT_PTR result, bool gone) = 0;
};

// What a device may ask of the wait.
class CDeviceWait
{
public:
    explicit CDeviceWait(IWaitingDevice& device) : m_device(device) {}
    CDeviceWait(const CDeviceWait&) = delete;
    CDeviceWait& operator=(const CDeviceWait&) = delete;

    HWND Dialog() const { return m_dialog; }
    bool Ended() const { return m_ended; }
    // A timer of the device's own (ids from 1 to kMaxTimers); SetTimer again restarts it.
    static constexpr UINT_PTR kMaxTimers = 4;
    void SetTimer(UINT_PTR id, UINT ms);
    void KillTimer(UINT_PTR id);
    // Opens the port on a worker (the device's Opened follows); false when no worker could start.
    bool OpenPort(const DCB& settings, const std::wstring& name, DWORD attempts, DWORD interval, const char* command,
                  FlowControl flow);
    // Starts a receiver's connection on g_devicePort, read into `reader`, on a worker once the
    // releases under way are done (the device's Opened follows); false when no worker could start.
    bool OpenNetwork(const ReceiverAddress& address, IPortReader* reader);
    // A box that does not end the wait (the W-SIM's port says why it failed before the failure).
    void Notice(const std::wstring& text, const std::wstring& caption, UINT style);
    // The dialog's caption and the text it shows while the device is waited for.
    void Dress(const std::wstring& caption, const std::wstring& text);
    // Ends the wait once; `box` (when it has a text) comes after the device's release.
    void EndWait(INT_PTR result, const WaitBox& box);
    void EndSilently(INT_PTR result);

    INT_PTR Run(HINSTANCE instance, HWND parent);

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Conclude();
    void StopAll();
    void Show();

    IWaitingDevice& m_device;
    HINSTANCE m_instance = nullptr;
    HWND m_dialog = nullptr;
    bool m_ended = false;
    bool m_dressed = false; // the dialog's caption and text are set: a box may show
    bool m_finishLater = false;
    bool m_shown = false;
    std::wstring m_caption, m_text; // shown with the dialog
    bool m_done = false;            // the dialog's loop ends
    bool m_concluded = false;       // with m_result (not taken down with its owner)
    INT_PTR m_result = kWaitFailed;
    WaitBox m_box;
    CPortOpening m_opening;
    std::shared_ptr<CWorkerTask> m_release;
};

// Runs the wait for `device` modally: kWaitDone or kWaitFailed (also when the template is
// missing).
INT_PTR RunDeviceWait(HINSTANCE instance, HWND parent, IWaitingDevice& device);

// A receiver's or a modem's wait on g_devicePort: the port told to the dialog and opened at
// `baud` without flow control (30 tries 100 ms apart, as the W-SIM's), then the dialog dressed
// with `caption` and `text`; when no worker can open it the wait ends with `absent` (the box of a
// port on which nothing answers).
void BeginOnDevicePort(CDeviceWait& wait, unsigned baud, const std::wstring& port, const std::wstring& caption,
                       const std::wstring& text, const std::wstring& absent);
// A receiver's wait on the network: the connection told to the dialog and started, then the
// dialog dressed with `caption` and `text`.
void BeginOnNetwork(CDeviceWait& wait, const ReceiverAddress& address, IPortReader* reader, const std::wstring& caption,
                    const std::wstring& text);

// The opening is done: the device read into `reader` from now on. False when the wait ended
// instead, with the opening's `error` or with `absent`.
bool AdoptDevicePort(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error,
                     const std::wstring& port, IPortReader* reader, const std::wstring& absent);

// The first of `texts` (a port's failures), or `otherwise` when there is none.
std::wstring FirstText(const std::vector<std::wstring>& texts, const std::wstring& otherwise);
