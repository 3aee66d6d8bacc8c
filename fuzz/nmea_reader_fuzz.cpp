// Feeds arbitrary bytes to the NMEA reader in chunkings taken from the input itself, and
// checks what must hold whatever the line carries.
#include "acquisition/nmea_reader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool SameFix(const std::optional<NmeaFix>& a, const std::optional<NmeaFix>& b)
{
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a ||
           (a->latitude == b->latitude && a->longitude == b->longitude && a->accuracyM == b->accuracyM &&
            a->accuracyFrom == b->accuracyFrom && a->time == b->time && a->date.has_value() == b->date.has_value() &&
            a->sentence == b->sentence && a->kind == b->kind && a->epochDone == b->epochDone);
}

void Check(const CNmeaReader& reader)
{
    if (reader.Held() > kMaxSentence) {
        std::abort();
    }
    const std::optional<NmeaFix>& fix = reader.Fix();
    if (!fix) {
        return;
    }
    if (!std::isfinite(fix->latitude) || !std::isfinite(fix->longitude) || std::fabs(fix->latitude) > 90 ||
        std::fabs(fix->longitude) > 180 || fix->sentence.size() != 5) {
        std::abort();
    }
    if (fix->accuracyM.has_value() != (fix->accuracyFrom != NmeaFix::Accuracy::None) ||
        (fix->accuracyM && !(std::isfinite(*fix->accuracyM) && *fix->accuracyM > 0))) {
        std::abort();
    }
    if (fix->time) {
        const NmeaTime& t = *fix->time;
        if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60 ||
            t.millisecond < 0 || t.millisecond > 999 || JapanTime(t, fix->date).empty()) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    CNmeaReader whole, single, chunked;
    whole.Feed(bytes, size);
    Check(whole);
    std::optional<NmeaFix> ready; // a fix whose epoch is done changes no more
    for (size_t i = 0; i < size; ++i) {
        single.Feed(bytes + i, 1);
        Check(single);
        if (ready && !SameFix(ready, single.Fix())) {
            std::abort();
        }
        if (!ready && single.Progress() == FixProgress::Ready) {
            ready = single.Fix();
        }
    }
    // Chunk lengths from the data itself, so that the fuzzer explores cuts anywhere.
    for (size_t i = 0, k = 0; i < size; ++k) {
        const size_t n = std::min<size_t>(size - i, 1 + data[k % size] % 97);
        chunked.Feed(bytes + i, n);
        Check(chunked);
        i += n;
    }
    if (!SameFix(whole.Fix(), single.Fix()) || !SameFix(whole.Fix(), chunked.Fix()) ||
        whole.GoodSentences() != single.GoodSentences() || whole.GoodSentences() != chunked.GoodSentences()) {
        std::abort();
    }
    // The same bytes after a reset read the same again.
    whole.Reset();
    whole.Feed(bytes, size);
    if (!SameFix(whole.Fix(), single.Fix()) || whole.GoodSentences() != single.GoodSentences()) {
        std::abort();
    }
    return 0;
}
