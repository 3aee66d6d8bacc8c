// Feeds arbitrary bytes, read as one wide character each, to the answer parsers.
#include "acquisition/at_answer.h"
#include "acquisition/replace_all.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        text += static_cast<wchar_t>(data[i]);
    }
    // Most interesting inputs begin with a valid echo; give the fuzzer both.
    const std::wstring echoes[] = {L"", L"AT@K20\r\r\n", L"AT@LBC?\r\r\n"};
    for (const std::wstring& echo : echoes) {
        std::wstring answer = echo + text;
        (void)IsAnswerComplete(answer);
        int kind = ClassifyAnswer(answer);
        if (kind < RESP_OTHER || kind > RESP_LBC2) {
            std::abort();
        }
        std::wstring out = L"unchanged";
        if (ParseCsIdAnswer(answer, out)) {
            // Every comma of a data line became a slash; only the joins are commas.
            if (out.find(L"\r\n") != std::wstring::npos) {
                std::abort();
            }
        }
        out = L"unchanged";
        bool ok = ParseSimpleCoordinatesAnswer(answer, out);
        if (ok && (out.empty() || out[0] != L'N' || out.find(L'/') == std::wstring::npos)) {
            std::abort();
        }
        if (!ok && !out.empty() && out != L"unchanged") {
            std::abort();
        }
    }
    if (size >= 2) {
        std::wstring from(1, text[0]);
        std::wstring to = text.substr(1, 3);
        std::wstring replaced = ReplaceAll(text, from, to);
        if (to.find(from) == std::wstring::npos && replaced.find(from) != std::wstring::npos) {
            std::abort();
        }
    }
    return 0;
}
