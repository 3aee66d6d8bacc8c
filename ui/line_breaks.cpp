#include "ui/line_breaks.h"

namespace {

bool IsOneOf(wchar_t c, std::wstring_view set)
{
    return set.find(c) != std::wstring_view::npos;
}

// What may not start a line (、。，．）」』】〕〉》・ー？！, the small kana, …), and what may not
// end one (（「『【〔〈《).
constexpr std::wstring_view kClosing = L"\u3001\u3002\uFF0C\uFF0E\uFF09\u300D\u300F\u3011\u3015\u3009\u300B\u30FB\u30FC"
                                       L"\uFF1F\uFF01\u3041\u3043\u3045\u3047\u3049\u3063\u3083\u3085\u3087\u308E\u30A1"
                                       L"\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30EE\u2026)]}.,:;!?%";
constexpr std::wstring_view kOpening = L"\uFF08\u300C\u300E\u3010\u3014\u3008\u300A([{";

bool IsHiragana(wchar_t c)
{
    return c >= L'\u3041' && c <= L'\u3096';
}

bool IsAscii(wchar_t c)
{
    return c > L' ' && c < 0x7F;
}

} // namespace

bool MayBreakAt(std::wstring_view text, std::size_t at)
{
    const wchar_t before = text[at - 1];
    const wchar_t after = text[at];
    const bool space = after == L' ' || after == L'\u3000';
    if (before == L' ' || before == L'\u3000') {
        return !space;
    }
    if (before == L'/' && after != L'/' && IsAscii(after)) {
        return true; // a URL breaks after a path's "/", as a browser's address does
    }
    if (space || IsOneOf(after, kClosing) || IsOneOf(before, kOpening) || (IsAscii(before) && IsAscii(after))) {
        return false;
    }
    // After 、。）」』】〕〉》？！
    if (IsOneOf(before, L"\u3001\u3002\uFF09\u300D\u300F\u3011\u3015\u3009\u300B\uFF1F\uFF01")) {
        return true;
    }
    if (!IsHiragana(before) || IsHiragana(after)) {
        return false;
    }
    // A lone hiragana between other letters is a particle (のをにがでとはへもや) or a word's
    // ending ("問い合わせ").
    return (at >= 2 && IsHiragana(text[at - 2])) ||
           IsOneOf(before, L"\u306E\u3092\u306B\u304C\u3067\u3068\u306F\u3078\u3082\u3084");
}

std::size_t NextLineStart(std::wstring_view text, std::size_t from)
{
    std::size_t at = from == 0 ? 1 : from;
    while (at < text.size() && !MayBreakAt(text, at)) {
        ++at;
    }
    return at < text.size() ? at : text.size();
}

std::size_t PreviousLineStart(std::wstring_view text, std::size_t from)
{
    std::size_t at = from > text.size() ? text.size() : from;
    while (at > 1) {
        --at;
        if (MayBreakAt(text, at)) {
            return at;
        }
    }
    return 0;
}
