// Feeds arbitrary bytes through the modem dialogue: the input split at NUL bytes gives what the
// modem says after each command (an empty piece: nothing, and the wait passes), delivered in
// chunks whose size the first byte chooses. The second byte chooses whether BAUD is set and at
// which action "中断" comes, if at all.
#include "acquisition/modem_dialogue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

void CheckCell(const CellTower& cell)
{
    // LTE on the 5G core has a 24-bit tracking area.
    std::uint64_t cellMax = 0xFFFFFFF;
    std::uint32_t areaMax = 0xFFFFFF;
    if (cell.radio == "gsm") {
        cellMax = 0xFFFF;
        areaMax = 0xFFFF;
    } else if (cell.radio == "wcdma") {
        areaMax = 0xFFFF;
    } else if (cell.radio == "nr") {
        cellMax = 0xFFFFFFFFFull;
    } else if (cell.radio != "lte") {
        std::abort();
    }
    // Never a reserved or all-ones identity.
    if (cell.area == 0 || cell.area >= areaMax - 1 || cell.cell == 0 || cell.cell >= cellMax) {
        std::abort();
    }
}

// A format command the dialogue writes: "AT+CxREG=<n>" or "AT+COPS=3,<format>"; the key names
// what it sets, the value is the digit. False for any other command.
bool FormatCommand(const std::string& command, std::string& key, int& value)
{
    const bool operatorFormat = command.rfind("AT+COPS=3,", 0) == 0;
    const std::size_t digit = operatorFormat ? 10 : command.find('=') + 1;
    if (digit == 0 || (!operatorFormat && command.rfind("AT+COPS", 0) == 0)) {
        return false;
    }
    if (command.size() != digit + 2 || command.back() != '\r' || command[digit] < '0' || command[digit] > '9') {
        std::abort(); // a format is one digit
    }
    key = command.substr(0, operatorFormat ? 7 : digit - 1);
    value = command[digit] - '0';
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const std::size_t chunk = 1 + data[0] % 16;
    const bool baud = (data[1] & 1) != 0;
    const int stopAt = data[1] >> 1; // past every dialogue's length: never
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);

    CModemDialogue dialogue(L"COM1:", baud ? std::optional<unsigned>(9600) : std::nullopt);
    ModemAction action = dialogue.Start();
    std::map<std::string, int> set; // what the dialogue set, and what it put back
    int actions = 0;
    int afterStop = -1;
    while (!dialogue.Ended()) {
        // Every dialogue ends, and "中断" ends it after the formats are put back, within bounds.
        if (++actions > 64 || (afterStop >= 0 && ++afterStop > 12)) {
            std::abort();
        }
        const std::string& command = action.command;
        if (!command.empty() && (command.back() != '\r' || command.rfind("AT", 0) != 0)) {
            std::abort();
        }
        std::string key;
        int value = 0;
        if (FormatCommand(command, key, value)) {
            // Only what it set itself is ever put back.
            if (value != 2 && set.count(key) == 0) {
                std::abort();
            }
            set[key] = value;
        }
        if (actions == stopAt) {
            action = dialogue.Stop();
            afterStop = 0;
            if (dialogue.Ended()) {
                break;
            }
        }
        std::size_t end = rest.find('\0');
        std::string_view answer = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        for (std::size_t at = 0; at < answer.size(); at += chunk) {
            dialogue.Feed(answer.substr(at, chunk));
        }
        action = dialogue.AnswerReady() ? dialogue.OnAnswer() : dialogue.OnWaitEnded();
    }
    const ModemOutcome& outcome = dialogue.Outcome();
    switch (outcome.step) {
    case ModemStep::Cell:
        CheckCell(outcome.cell);
        if (outcome.cell.mcc > 999 || (outcome.cell.mncDigits != 2 && outcome.cell.mncDigits != 3) ||
            outcome.cell.mnc >= (outcome.cell.mncDigits == 2 ? 100u : 1000u)) {
            std::abort();
        }
        break;
    case ModemStep::NotRegistered:
        if (IsRegisteredStatus(outcome.status) || outcome.message.empty()) {
            std::abort();
        }
        break;
    case ModemStep::Failed:
        if (outcome.message.empty()) {
            std::abort();
        }
        break;
    case ModemStep::Stopped:
        if (afterStop < 0) {
            std::abort();
        }
        break;
    case ModemStep::Continue:
        std::abort();
    }
    return 0;
}
