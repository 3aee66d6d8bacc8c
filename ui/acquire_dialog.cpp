#include "ui/acquire_dialog.h"

#include "acquisition/acquire_logic.h"
#include "acquisition/cs_id.h"
#include "resources/resource.h"
#include "ui/device_wait.h"

std::wstring g_strLocation;

namespace {

int g_nAcquireMode = ACQUIRE_CS_ID;
int g_nRetryLimit = kAcquireRetryLimit;
int g_nRetryCount = 0;
CAnswerWait g_answerWait;

// The W-SIM's part of the wait. Its port outlives a failed acquisition (the next one reuses it)
// and closes on success, "中断" and a failed write.
class CWSimWait : public IWaitingDevice
{
public:
    // The port is opened on a worker, so the dialog answers (and "中断" works) while the device
    // is tried; the worker also writes the first command, which goes out as soon as the port is
    // open. A port left open by an earlier acquisition is used at once.
    void Begin(CDeviceWait& wait) override
    {
        Start(wait);
        wait.Dress(L"取得中…", AcquireProgressText(g_nAcquireMode));
    }

    void Opened(CDeviceWait& wait, HANDLE device, const DCB& configured, const std::wstring& error) override
    {
        if (device == INVALID_HANDLE_VALUE) {
            wait.Notice(error, L"Error", MB_OK | MB_ICONERROR);
            FailWith(wait, AcquireSendFailure(g_nAcquireMode));
            return;
        }
        if (!g_csId.AdoptPort(device, configured)) {
            FailWith(wait, AcquireSendFailure(g_nAcquireMode));
            return;
        }
        g_answerWait.CommandSent();
    }

    void Heard(CDeviceWait& wait) override
    {
        std::wstring answer;
        const int kind = g_csId.TakeResponse(answer);
        std::wstring result;
        bool parsed = false;
        if (kind == RESP_K20) {
            parsed = CCsId::ParseCsId(answer, result);
        } else if (kind == RESP_LBCQ) {
            parsed = CCsId::ParseSimpleCoordinates(answer, result);
        }
        const AnswerDecision decision = g_answerWait.Decide(kind, parsed, g_nRetryCount, g_nRetryLimit);
        switch (decision.action) {
        case AnswerAction::Ignore:
            break; // no answer awaited: the dialog is closing or already deciding
        case AnswerAction::SendQuery:
            SendNext(wait, "AT@LBC?\r\n");
            break;
        case AnswerAction::RepeatFix:
            SendNext(wait, CCsId::FirstCommand(true));
            break;
        case AnswerAction::Succeed:
            g_strLocation = result;
            m_close = true;
            wait.EndSilently(kWaitDone);
            break;
        case AnswerAction::Fail:
            // An answer that failed leaves the port open: the next acquisition reuses it.
            m_close = false;
            wait.EndWait(kWaitFailed, WaitBox{decision.text, decision.caption, decision.style});
            break;
        }
    }

    void TimerFired(CDeviceWait&, UINT_PTR) override {}

    // The serial reader's failures, shown here on the dialog's thread; the reader has ended, and
    // the dialog waits for "中断" as it does for a module that does not answer.
    void ReadFailed(CDeviceWait& wait) override
    {
        for (const std::wstring& text : g_csId.TakeReadErrors()) {
            wait.Notice(text, L"Error", MB_OK | MB_ICONERROR);
        }
    }

    // A failed write closes the port; the port's box says so before the acquisition's.
    void WriteFailed(CDeviceWait& wait) override
    {
        wait.Notice(WriteFailureText(g_csId.DeviceName(), FirstText(g_csId.TakeWriteErrors(), std::wstring())),
                    L"Error", MB_OK | MB_ICONERROR);
        FailWith(wait, AcquireSendFailure(g_nAcquireMode));
    }

    void Cancelled(CDeviceWait& wait) override
    {
        m_close = true;
        wait.EndSilently(kWaitFailed);
    }

    // Taken down with the main window (the program is closing), it only forgets the window: the
    // port is closed by the program's exit.
    std::function<void()> Release(INT_PTR, bool gone) override
    {
        g_answerWait.Stop();
        if (!gone && m_close && g_csId.IsPortOpened()) {
            g_csId.ClosePort(); // its box, if any, is the dialog's
        }
        g_csId.SetNotify(nullptr, 0);
        return nullptr;
    }

private:
    void Start(CDeviceWait& wait)
    {
        g_answerWait.Stop();
        g_csId.SetNotify(wait.Dialog(), WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR, WM_TAVRIN_WRITE_FAILED);
        const bool simple = g_nAcquireMode == ACQUIRE_SIMPLE_COORDINATES;
        if (g_csId.Port().IsOpen()) {
            SendNext(wait, CCsId::FirstCommand(simple));
            return;
        }
        if (!wait.OpenPort(CCsId::LineSettings(), g_csId.DeviceName(), g_csId.Port().OpenAttempts(),
                           g_csId.Port().AttemptInterval(), CCsId::FirstCommand(simple), FlowControl::Cts)) {
            // No worker: the port opens here, showing its own box when it cannot.
            if (g_csId.SendCommand(CCsId::FirstCommand(simple))) {
                g_answerWait.CommandSent();
            } else {
                FailWith(wait, AcquireSendFailure(g_nAcquireMode));
            }
        }
    }

    // A command that cannot be sent fails as the mode's first one does: the query and the fix
    // again are the simple coordinates' own.
    void SendNext(CDeviceWait& wait, const char* command)
    {
        if (g_csId.QueueCommand(command)) {
            g_answerWait.CommandSent();
        } else {
            FailWith(wait, AcquireSendFailure(g_nAcquireMode));
        }
    }

    void FailWith(CDeviceWait& wait, const AnswerDecision& failure)
    {
        m_close = true;
        wait.EndWait(kWaitFailed, WaitBox{failure.text, failure.caption, failure.style});
    }

    bool m_close = true;
};

INT_PTR RunAcquireDialog(HINSTANCE instance, HWND parent)
{
    CWSimWait wsim;
    return RunDeviceWait(instance, parent, wsim);
}

} // namespace

INT_PTR ShowCsIdDialog(HINSTANCE instance, HWND parent)
{
    g_nAcquireMode = ACQUIRE_CS_ID;
    return RunAcquireDialog(instance, parent);
}

INT_PTR ShowSimpleCoordinatesDialog(HINSTANCE instance, HWND parent)
{
    g_nRetryCount = 0;
    g_nAcquireMode = ACQUIRE_SIMPLE_COORDINATES;
    return RunAcquireDialog(instance, parent);
}
