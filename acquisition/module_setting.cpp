#include "acquisition/module_setting.h"

#include "common/text_format.h"

#include <cstdint>

namespace {

bool SameIgnoringCase(const std::wstring& text, const wchar_t* ascii)
{
    size_t i = 0;
    for (; i < text.size() && ascii[i] != L'\0'; ++i) {
        wchar_t c = text[i];
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
        if (c != ascii[i]) {
            return false;
        }
    }
    return i == text.size() && ascii[i] == L'\0';
}

// A whole number of decimal digits; values beyond `cap` read as `cap` so that long runs of
// digits cannot overflow.
std::optional<std::uint64_t> Number(const std::optional<std::wstring>& value, std::uint64_t cap)
{
    if (!value) {
        return std::nullopt;
    }
    const std::wstring text = TrimBlanks(*value);
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<std::uint64_t>(c - L'0');
        if (number > cap) {
            number = cap;
        }
    }
    return number;
}

} // namespace

ModuleKind ModuleFromSetting(const std::optional<std::wstring>& value)
{
    return value ? ModuleNamedBy(*value).value_or(ModuleKind::WSim) : ModuleKind::WSim;
}

std::optional<ModuleKind> ModuleNamedBy(const std::wstring& value)
{
    const std::wstring text = TrimBlanks(value);
    for (ModuleKind kind : {ModuleKind::WSim, ModuleKind::Nmea, ModuleKind::Modem}) {
        if (SameIgnoringCase(text, ModuleSettingText(kind))) {
            return kind;
        }
    }
    return std::nullopt;
}

const wchar_t* ModuleSettingText(ModuleKind kind)
{
    switch (kind) {
    case ModuleKind::Nmea:
        return L"NMEA";
    case ModuleKind::Modem:
        return L"3GPP";
    case ModuleKind::WSim:
        break;
    }
    return L"W-SIM";
}

std::optional<unsigned> BaudFromSetting(const std::optional<std::wstring>& value)
{
    const std::optional<std::uint64_t> baud = Number(value, kMaxBaud + 1ULL);
    if (!baud || *baud < kMinBaud || *baud > kMaxBaud) {
        return std::nullopt;
    }
    return static_cast<unsigned>(*baud);
}

unsigned FixWaitSeconds(const std::optional<std::wstring>& value)
{
    const std::optional<std::uint64_t> seconds = Number(value, kMaxFixWaitSeconds);
    if (!seconds) {
        return kDefaultFixWaitSeconds;
    }
    return *seconds < kMinFixWaitSeconds ? kMinFixWaitSeconds : static_cast<unsigned>(*seconds);
}

bool IsFixWaitInRange(const std::wstring& value)
{
    const std::optional<std::uint64_t> seconds = Number(value, kMaxFixWaitSeconds + 1ULL);
    return seconds && *seconds >= kMinFixWaitSeconds && *seconds <= kMaxFixWaitSeconds;
}
