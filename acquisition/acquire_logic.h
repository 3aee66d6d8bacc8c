#pragma once

#include "acquisition/at_answer.h"

#include <optional>
#include <string>

// What the acquisition dialog does with each complete W-SIM answer. Kept free of the
// window system so that the command order, the retries and the failure texts can be
// checked without a serial line.

// Acquisition modes of the progress dialog.
enum
{
    ACQUIRE_CS_ID = 0,
    ACQUIRE_SIMPLE_COORDINATES = 1,
};

// Most repeats of the simple-coordinates fix per acquisition.
constexpr int kAcquireRetryLimit = 50;

enum class AnswerAction
{
    SendQuery, // fix acknowledged: ask for the coordinates
    RepeatFix, // no coordinates yet: send the fix again (retry count already raised)
    Succeed,   // the parsed text is the result
    Fail,      // show the failure box and end with 2
    Ignore,    // no answer awaited: the dialog is closing or already deciding
};

struct AnswerDecision
{
    AnswerAction action;
    // For Fail: the box to show. For SendQuery and RepeatFix: the box to show when the
    // command cannot be sent.
    std::wstring text;
    std::wstring caption;
    unsigned style;
};

// The text the progress dialog shows while it waits.
std::wstring AcquireProgressText(int mode);

// The failure box of a mode: its first command could not be sent.
AnswerDecision AcquireSendFailure(int mode);

// Decides on one answer of kind `kind`. `parsed` tells whether the answer's parser (CS-ID
// for RESP_K20, simple coordinates for RESP_LBCQ) accepted it; it is ignored for the
// other kinds. A repeat raises `retryCount`.
AnswerDecision DecideAnswer(int kind, bool parsed, int& retryCount, int retryLimit = kAcquireRetryLimit);

// Whether the progress dialog handles an answer that arrives. An answer is awaited from each
// command sent until a decision is taken on it; deciding stops the wait before any box is
// shown or command sent, so an answer that arrives while a box is open, or one queued behind
// the close request, is not handled again.
class CAnswerWait
{
public:
    // A command went out: its answer is awaited.
    void CommandSent() { m_bAwaiting = true; }
    // The dialog is closing: nothing more is handled.
    void Stop() { m_bAwaiting = false; }

    // Ignore when no answer is awaited; otherwise DecideAnswer, and nothing more is awaited
    // until the next command is sent.
    AnswerDecision Decide(int kind, bool parsed, int& retryCount, int retryLimit = kAcquireRetryLimit);

private:
    bool m_bAwaiting = false;
};

// The device the module is reached on: the settings file's PORT when it names one, else "COM1:".
std::wstring ModuleDeviceName(const std::optional<std::wstring>& port);
