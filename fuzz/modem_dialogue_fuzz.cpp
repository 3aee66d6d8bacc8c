// Feeds arbitrary bytes through the modem dialogue: the input split at NUL bytes gives each
// command's answer, delivered in chunks whose size the first byte chooses.
#include "acquisition/modem_dialogue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t chunk = 1 + data[0] % 16;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);

    CModemDialogue dialogue;
    CModemAnswerCollector collector;
    ModemOutcome outcome;
    int commands = 0;
    while (!dialogue.NextCommand().empty()) {
        const std::string command = dialogue.NextCommand();
        if (command.back() != '\r' || ++commands > 10) {
            std::abort();
        }
        std::size_t end = rest.find('\0');
        std::string_view answer = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        collector.Begin(command);
        for (std::size_t at = 0; at < answer.size(); at += chunk) {
            collector.Feed(answer.substr(at, chunk));
        }
        // A modem that stops talking: the Win32 layer's deadline ends it with what came.
        const ModemAnswer& got = collector.Answer();
        if (got.lines.size() > ModemAnswer::kMaxLines) {
            std::abort();
        }
        for (const std::string& line : got.lines) {
            if (line.size() > ModemAnswer::kMaxLineBytes || line.empty()) {
                std::abort();
            }
            for (int k = 0; k < 4; ++k) {
                RegistrationKind kind = static_cast<RegistrationKind>(k);
                Registration r;
                CellTower cell;
                if (ParseRegistrationLine(line, &kind, r) && CellFromRegistration(r, cell)) {
                    CheckCell(cell);
                }
            }
        }
        outcome = dialogue.OnAnswer(got);
        if (outcome.step != ModemStep::Continue) {
            break;
        }
    }
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
    case ModemStep::Continue:
        break;
    }
    if (outcome.step != ModemStep::Continue && !dialogue.NextCommand().empty()) {
        std::abort();
    }
    return 0;
}
