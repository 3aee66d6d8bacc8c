#include "acquisition/at_answer.h"

#include "acquisition/replace_all.h"

namespace {

const wchar_t kCrLf[] = L"\r\n";

// The first line is read up to the first CR LF, less the echoed CR before it. Sets `pos`
// behind that CR LF.
bool EchoLineIs(const std::wstring& text, const wchar_t* echo, size_t& pos)
{
    size_t end = text.find(kCrLf);
    if (end == std::wstring::npos || end == 0) {
        return false;
    }
    if (text.compare(0, end - 1, echo) != 0) {
        return false;
    }
    pos = end + 2;
    return true;
}

// The next CR LF-terminated line from `pos`; false at the end of the text or at the final
// "OK" line. Empty lines are skipped.
bool NextDataLine(const std::wstring& text, size_t& pos, std::wstring& line)
{
    for (;;) {
        size_t end = text.find(kCrLf, pos);
        if (end == std::wstring::npos) {
            return false;
        }
        line.assign(text, pos, end - pos);
        pos = end + 2;
        if (line == L"OK") {
            return false;
        }
        if (!line.empty()) {
            return true;
        }
    }
}

std::wstring CoordinatePart(const std::wstring& line)
{
    return ReplaceAll(line, L":", L".") + L".000";
}

} // namespace

bool IsAnswerComplete(const std::wstring& received)
{
    static const std::wstring kOk = L"OK\r\n";
    return received.size() >= kOk.size() && received.compare(received.size() - kOk.size(), kOk.size(), kOk) == 0;
}

bool ChunkCompletesAnswer(const std::wstring& received, size_t added)
{
    return added != 0 && IsAnswerComplete(received);
}

int ClassifyAnswer(const std::wstring& answer)
{
    static const struct
    {
        const wchar_t* echo;
        int kind;
    } kKinds[] = {
        {L"AT@K20", RESP_K20},
        {L"AT@LBC1", RESP_LBC1},
        {L"AT@LBC?", RESP_LBCQ},
        {L"AT@LBC2", RESP_LBC2},
    };
    for (const auto& row : kKinds) {
        if (answer.rfind(row.echo, 0) == 0) {
            return row.kind;
        }
    }
    return RESP_OTHER;
}

bool ParseCsIdAnswer(const std::wstring& text, std::wstring& out)
{
    size_t pos = 0;
    if (!EchoLineIs(text, L"AT@K20", pos)) {
        return false;
    }
    out.clear();
    std::wstring line;
    while (NextDataLine(text, pos, line)) {
        if (!out.empty()) {
            out += L",";
        }
        out += ReplaceAll(line, L",", L"/");
    }
    return true;
}

bool ParseSimpleCoordinatesAnswer(const std::wstring& text, std::wstring& out)
{
    size_t pos = 0;
    if (!EchoLineIs(text, L"AT@LBC?", pos)) {
        return false;
    }
    out.clear();
    std::wstring latitude;
    std::wstring longitude;
    std::wstring other;
    std::wstring line;
    while (NextDataLine(text, pos, line)) {
        switch (line[0]) {
        case L'-':
            break;
        case L'N':
            latitude = CoordinatePart(line);
            break;
        case L'E':
            longitude = CoordinatePart(line);
            break;
        default:
            other = line;
            break;
        }
    }
    if (latitude.empty() || longitude.empty()) {
        return false;
    }
    out = latitude + longitude + L"/" + other;
    return true;
}
