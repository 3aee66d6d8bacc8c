#pragma once

#include <string>

// The W-SIM module's answers as the program relies on them: the echo of the command line
// with one extra character (the echoed CR) before its CR LF, CR LF-terminated lines, and a
// final "OK\r\n".

// Answer kinds, by the echo an answer begins with.
enum
{
    RESP_OTHER = 0,
    RESP_K20 = 1,
    RESP_LBC1 = 2,
    RESP_LBCQ = 3,
    RESP_LBC2 = 4,
};

// Whether the text received so far is a complete answer: it ends in "OK\r\n".
bool IsAnswerComplete(const std::wstring& received);

// Whether the chunk of `added` characters just appended to `received` completes an answer,
// to be announced once. A chunk that added nothing (it began with a NUL) completes nothing,
// or the answer before it would be announced again.
bool ChunkCompletesAnswer(const std::wstring& received, size_t added);

// The kind of an answer by the echo it begins with; RESP_OTHER for anything else.
int ClassifyAnswer(const std::wstring& answer);

// The CS-ID text of an "AT@K20" answer: its data lines, empty ones skipped, each with ","
// replaced by "/", joined with ",". False, and `out` unchanged, when the echo line is not
// "AT@K20".
bool ParseCsIdAnswer(const std::wstring& text, std::wstring& out);

// The simple-coordinates text of an "AT@LBC?" answer: latitude, longitude, "/", then the
// other line if any. False and `out` unchanged when the echo line is not "AT@LBC?"; false
// and `out` empty when the latitude or longitude line is missing.
bool ParseSimpleCoordinatesAnswer(const std::wstring& text, std::wstring& out);
