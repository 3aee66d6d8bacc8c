#include "platform/device_profile.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace {

std::string Trim(const std::string& s)
{
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) {
        --end;
    }
    return s.substr(begin, end - begin);
}

std::vector<std::string> Split(const std::string& s, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(separator, start);
        parts.push_back(Trim(s.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

// Decimal or 0x-prefixed hexadecimal, fitting in 32 bits.
bool ParseNumber(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 12) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != 'x' && c != 'X') {
            return false;
        }
    }
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (end == nullptr || *end != '\0' || parsed > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseFlag(const std::string& text, bool& value)
{
    if (text == "1" || text == "yes" || text == "fail") {
        value = true;
        return true;
    }
    if (text == "0" || text == "no" || text == "ok") {
        value = false;
        return true;
    }
    return false;
}

// One of the names of a small table.
template <typename T, size_t N>
bool ParseName(const std::string& text, const std::pair<const char*, T> (&names)[N], T& value)
{
    for (const auto& name : names) {
        if (text == name.first) {
            value = name.second;
            return true;
        }
    }
    return false;
}

bool ParseAttempt(const std::string& text, DeviceProfile::Attempt& attempt)
{
    if (text == "fail") {
        attempt.refused = true;
        return true;
    }
    if (text.empty()) {
        return true; // accepted, never changes status
    }
    for (const std::string& item : Split(text, ',')) {
        size_t at = item.find('@');
        DeviceProfile::Step step{0, 0};
        if (!ParseNumber(Trim(item.substr(0, at)), step.status)) {
            return false;
        }
        if (at != std::string::npos && !ParseNumber(Trim(item.substr(at + 1)), step.delayMs)) {
            return false;
        }
        attempt.steps.push_back(step);
    }
    return true;
}

bool ParseDialup(const std::string& item, DeviceProfile::Dialup& dialup)
{
    if (item == "connected") {
        return true;
    }
    if (item == "listed") {
        dialup.state = 0; // opening its port: listed, not connected
        return true;
    }
    if (item == "nohandle") {
        dialup.hasHandle = false;
        return true;
    }
    return ParseNumber(item, dialup.state);
}

bool ParseLine(const std::string& key, const std::string& value, DeviceProfile& profile)
{
    if (key == "destinations") {
        uint32_t n = 0;
        if (!ParseNumber(value, n) || n > 1000) {
            return false;
        }
        profile.destinations = static_cast<int>(n);
        return true;
    }
    if (key == "map") {
        return ParseFlag(value, profile.mappingFails);
    }
    if (key == "dialup_follows") {
        return ParseFlag(value, profile.dialupFollowsConnection);
    }
    if (key == "cache_time") {
        return ParseNumber(value, profile.cacheTimeMs);
    }
    if (key == "hangup") {
        static const std::pair<const char*, DeviceProfile::HangUp> kNames[] = {
            {"ok", DeviceProfile::HangUp::Completes},
            {"fail", DeviceProfile::HangUp::Fails},
            {"never", DeviceProfile::HangUp::Never},
        };
        return ParseName(value, kNames, profile.hangUp);
    }
    if (key == "block") {
        static const std::pair<const char*, DeviceProfile::Call> kCalls[] = {
            {"establish", DeviceProfile::Call::Establish},
            {"release", DeviceProfile::Call::Release},
            {"test", DeviceProfile::Call::Test},
        };
        profile.blockMs = 0;
        if (value == "none") {
            profile.blockingCall = DeviceProfile::Call::None;
            return true;
        }
        size_t at = value.find('@');
        return at != std::string::npos && ParseName(Trim(value.substr(0, at)), kCalls, profile.blockingCall) &&
               ParseNumber(Trim(value.substr(at + 1)), profile.blockMs);
    }
    if (key == "storage_write") {
        return ParseNumber(value, profile.storageWriteMs);
    }
    if (key == "storage_read") {
        return ParseNumber(value, profile.storageReadMs);
    }
    if (key == "query") {
        return ParseFlag(value, profile.statusQueryFails);
    }
    if (key == "test") {
        if (value == "timeout") {
            profile.testAnswer = DeviceProfile::TestAnswer::Timeout;
            return true;
        }
        if (value == "fail") {
            profile.testAnswer = DeviceProfile::TestAnswer::Refused;
            return true;
        }
        profile.testAnswer = DeviceProfile::TestAnswer::Status;
        return ParseNumber(value, profile.testStatus);
    }
    if (key == "connect") {
        profile.attempts.clear();
        for (const std::string& part : Split(value, ';')) {
            DeviceProfile::Attempt attempt;
            if (!ParseAttempt(part, attempt)) {
                return false;
            }
            profile.attempts.push_back(attempt);
        }
        return true;
    }
    if (key == "dialup") {
        profile.dialups.clear();
        if (value.empty()) {
            return true;
        }
        for (const std::string& part : Split(value, ',')) {
            // "N*item" repeats an item, so long lists stay short to write.
            uint32_t repeat = 1;
            std::string item = part;
            size_t star = part.find('*');
            if (star != std::string::npos) {
                if (!ParseNumber(Trim(part.substr(0, star)), repeat) || repeat > 10000) {
                    return false;
                }
                item = Trim(part.substr(star + 1));
            }
            DeviceProfile::Dialup dialup;
            if (!ParseDialup(item, dialup)) {
                return false;
            }
            profile.dialups.insert(profile.dialups.end(), repeat, dialup);
        }
        return true;
    }
    return false;
}

} // namespace

bool ParseDeviceProfile(const std::string& text, DeviceProfile& profile, std::string& error)
{
    int lineNumber = 0;
    for (const std::string& raw : Split(text, '\n')) {
        ++lineNumber;
        std::string line = raw;
        size_t hash = line.find('#');
        if (hash != std::string::npos) {
            line.erase(hash);
        }
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || !ParseLine(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), profile)) {
            error = "line " + std::to_string(lineNumber) + ": " + line;
            return false;
        }
    }
    return true;
}
