#include "ui/device_wait.h"

#include "acquisition/network_rules.h"
#include "acquisition/port_listener.h"
#include "common/message_box.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"

void CDeviceWait::SetTimer(UINT_PTR id, UINT ms)
{
    if (!m_ended && m_dialog != nullptr && id >= 1 && id <= kMaxTimers) {
        ::SetTimer(m_dialog, id, ms, nullptr);
    }
}

void CDeviceWait::KillTimer(UINT_PTR id)
{
    if (m_dialog != nullptr) {
        ::KillTimer(m_dialog, id);
    }
}

namespace {
// The dialog's own timer, beside the device's (1 to kMaxTimers).
constexpr UINT_PTR kShowTimer = 100;
} // namespace

void CDeviceWait::Show()
{
    if (m_shown || m_dialog == nullptr) {
        return;
    }
    m_shown = true;
    // Its frame (size, empty soft-key bar) and texts are put on when it shows: a hidden dialog
    // has nothing to lay out.
    SetUpFullScreenDialog(m_dialog);
    if (m_dressed) {
        SetProgressText(m_dialog, m_caption, m_text);
    }
    ShowWindow(m_dialog, SW_SHOWNORMAL);
    SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_dialog, IDCANCEL)), TRUE);
}

void CDeviceWait::StopAll()
{
    for (UINT_PTR id = 1; id <= kMaxTimers; ++id) {
        KillTimer(id);
    }
    m_opening.GiveUp();
}

bool CDeviceWait::OpenPort(const DCB& settings, const std::wstring& name, DWORD attempts, DWORD interval,
                           const char* command, FlowControl flow)
{
    return !m_ended &&
           m_opening.Start(m_dialog, WM_TAVRIN_TASK_DONE, settings, name, attempts, interval, command, flow);
}

bool CDeviceWait::OpenNetwork(const ReceiverAddress& address, IPortReader* reader)
{
    return !m_ended && m_opening.Start(m_dialog, WM_TAVRIN_TASK_DONE, [address, reader] {
        return g_devicePort.OpenNetwork(address, reader)
                   ? std::wstring()
                   : NetworkFailureText(NetworkFailure::Other, address, static_cast<int>(GetLastError()));
    });
}

void CDeviceWait::Notice(const std::wstring& text, const std::wstring& caption, UINT style)
{
    if (!m_ended) {
        Show(); // the box comes over the wait, as every box of a wait does
        ShowMessageBox(m_dialog, text, caption, style);
    }
}

void CDeviceWait::Dress(const std::wstring& caption, const std::wstring& text)
{
    if (m_dressed) {
        return;
    }
    m_caption = caption;
    m_text = text;
    m_dressed = true;
}

void CDeviceWait::EndWait(INT_PTR result, const WaitBox& box)
{
    if (!m_ended) {
        m_box = box;
        EndSilently(result);
    }
}

void CDeviceWait::EndSilently(INT_PTR result)
{
    if (m_ended) {
        return;
    }
    // From here on nothing reaches the device: no answer, fix, timer or failure ends it again.
    m_ended = true;
    StopAll();
    m_result = result;
    std::function<void()> release = m_device.Release(result, false);
    if (release && m_box.text.empty()) {
        // No box to wait for: the dialog ends now, and the release goes on beside what follows
        // (the lookup, the browser); the next opening and the exit wait for it.
        StartPortRelease(nullptr, 0, std::move(release));
    } else if (release) {
        m_release = StartPortRelease(m_dialog, WM_TAVRIN_TASK_DONE, std::move(release));
        if (m_release) {
            return; // the box once the device is free
        }
    }
    if (!m_dressed) {
        m_finishLater = true; // ended while starting: the box comes on a dressed dialog
        return;
    }
    Conclude();
}

void CDeviceWait::Conclude()
{
    m_release.reset();
    if (!m_box.text.empty()) {
        Show();
        const int answer = ShowMessageBox(m_dialog, m_box.text, m_box.caption, m_box.style);
        if (m_box.offersSearch && answer == IDYES) {
            m_result = kWaitSearchPorts;
        }
    }
    m_concluded = true;
    m_done = true;
    // Wakes the loop, as EndDialog does: what concluded may have come as a sent message.
    PostMessageW(m_dialog, WM_NULL, 0, 0);
}

INT_PTR CDeviceWait::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        m_device.Begin(*this);
        Dress(std::wstring(), std::wstring()); // a device that did not dress it
        if (m_finishLater) {
            Conclude();
        }
        return FALSE; // the focus goes to "中断" when the dialog shows: a hidden one takes none
    case WM_COMMAND:
        // The done button of the full-screen frame does not end the wait; only "中断" does.
        if (LOWORD(wParam) != IDCANCEL) {
            return FALSE;
        }
        [[fallthrough]];
    case WM_CLOSE:
        // A close from the window frame counts as "中断".
        if (!m_ended) {
            m_device.Cancelled(*this);
        }
        return TRUE;
    case WM_TAVRIN_TASK_DONE:
        if (m_release && m_release->Is(lParam)) {
            Conclude();
        } else if (!m_ended && m_opening.Is(lParam)) {
            DCB configured{};
            std::wstring error;
            HANDLE device = m_opening.Take(configured, error);
            m_device.Opened(*this, device, configured, error);
        }
        return TRUE;
    case WM_TAVRIN_ANSWER:
        if (!m_ended) {
            m_device.Heard(*this);
        }
        return TRUE;
    case WM_TAVRIN_SERIAL_ERROR:
        if (!m_ended) {
            m_device.ReadFailed(*this);
        }
        return TRUE;
    case WM_TAVRIN_WRITE_FAILED:
        if (!m_ended) {
            m_device.WriteFailed(*this);
        }
        return TRUE;
    case WM_TIMER:
        if (wParam == kShowTimer) {
            ::KillTimer(m_dialog, kShowTimer);
            if (!m_ended) {
                Show();
            }
        } else if (!m_ended && wParam >= 1 && wParam <= kMaxTimers) {
            m_device.TimerFired(*this, wParam);
        }
        return TRUE;
    case WM_DESTROY:
        // Also when taken down with its owner: nothing may reach a window that is gone, and the
        // device is released by itself.
        m_done = true;
        if (!m_ended) {
            m_ended = true;
            StopAll();
            std::function<void()> release = m_device.Release(kWaitFailed, true);
            if (release) {
                StartPortRelease(nullptr, 0, std::move(release));
            }
        } else if (m_release) {
            m_release->Abandon();
            m_release.reset();
        }
        return FALSE;
    case WM_SIZE:
        RelayoutFromTemplate(m_instance, m_dialog, IDD_PROGRESS);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK CDeviceWait::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        reinterpret_cast<CDeviceWait*>(lParam)->m_dialog = dialog;
    }
    auto* wait = reinterpret_cast<CDeviceWait*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    return wait != nullptr ? wait->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR CDeviceWait::Run(HINSTANCE instance, HWND parent)
{
    m_instance = instance;
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(FindDialogTemplate(instance, IDD_PROGRESS, nullptr));
    if (dialogTemplate == nullptr) {
        return kWaitFailed;
    }
    COwnerDisabled owner(parent);
    // The template is not visible: the dialog stays hidden until it is shown.
    HWND dialog = CreateDialogIndirectParamW(instance, dialogTemplate, parent, Proc, reinterpret_cast<LPARAM>(this));
    if (dialog != nullptr && !m_done) {
        ::SetTimer(dialog, kShowTimer, kDeviceWaitShowAfterMs, nullptr);
    }
    // The owner's own loop is not running while this waits: this one dispatches for it.
    MSG msg;
    while (dialog != nullptr && !m_done) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // the outer loop must see it too
            }
            break;
        }
        if (!IsWindow(dialog) || !IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    owner.Restore(m_shown);
    if (dialog != nullptr && IsWindow(dialog)) {
        DestroyWindow(dialog); // a wait still running (the program quits) is released as gone
    }
    // A frame's own ending is a failure like any other.
    return m_concluded && (m_result == kWaitDone || m_result == kWaitSearchPorts) ? m_result : kWaitFailed;
}

INT_PTR RunDeviceWait(HINSTANCE instance, HWND parent, IWaitingDevice& device)
{
    CDeviceWait wait(device);
    return wait.Run(instance, parent);
}

WaitBox SearchOfferBox(const std::wstring& text)
{
    return WaitBox{text, Text(IDS_CAPTION_CONFIRM), MB_YESNO | MB_ICONQUESTION, true};
}

std::wstring FirstText(const std::vector<std::wstring>& texts, const std::wstring& otherwise)
{
    for (const std::wstring& text : texts) {
        return text;
    }
    return otherwise;
}

void BeginOnDevicePort(CDeviceWait& wait, unsigned baud, const std::wstring& port, const std::wstring& caption,
                       const std::wstring& text, const std::wstring& absent)
{
    constexpr DWORD kOpenAttempts = 30;
    constexpr DWORD kOpenIntervalMs = 100;
    g_devicePort.SetNotify(wait.Dialog(), WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR, WM_TAVRIN_WRITE_FAILED);
    const bool opening =
        wait.OpenPort(LineSettings8N1(baud), port, kOpenAttempts, kOpenIntervalMs, nullptr, FlowControl::None);
    wait.Dress(caption, text);
    if (!opening) {
        wait.EndWait(kWaitFailed, WaitBox{absent});
    }
}

void BeginOnNetwork(CDeviceWait& wait, const ReceiverAddress& address, IPortReader* reader, const std::wstring& caption,
                    const std::wstring& text)
{
    g_devicePort.SetNotify(wait.Dialog(), WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR, WM_TAVRIN_WRITE_FAILED);
    const bool opening = wait.OpenNetwork(address, reader);
    const int error = opening ? 0 : static_cast<int>(GetLastError()); // no worker: as the platform said
    wait.Dress(caption, text);
    if (!opening) {
        wait.EndWait(kWaitFailed, WaitBox{NetworkFailureText(NetworkFailure::Other, address, error)});
    }
}

bool AdoptDevicePort(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error,
                     const std::wstring& port, IPortReader* reader, const std::wstring& absent)
{
    if (device == INVALID_HANDLE_VALUE) {
        wait.EndWait(kWaitFailed, WaitBox{error});
        return false;
    }
    if (!g_devicePort.Adopt(device, configured, port, reader)) {
        wait.EndWait(kWaitFailed, WaitBox{absent});
        return false;
    }
    return true;
}
