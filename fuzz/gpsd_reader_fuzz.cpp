// Feeds arbitrary bytes to the gpsd reader as one stream, byte by byte and in chunks cut by
// the data, and checks what must hold whatever a peer sends.
#include "network/gpsd_reader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool SameFix(const std::optional<GpsdFix>& a, const std::optional<GpsdFix>& b)
{
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a || (a->fix.latitude == b->fix.latitude && a->fix.longitude == b->fix.longitude &&
                  a->fix.accuracyM == b->fix.accuracyM && a->fix.time == b->fix.time && a->kind == b->kind &&
                  a->mode == b->mode && a->status == b->status);
}

bool Same(const CGpsdReader& a, const CGpsdReader& b)
{
    return a.Answered() == b.Answered() && a.Devices() == b.Devices() && a.Reports() == b.Reports() &&
           a.Refused() == b.Refused() && a.Held() == b.Held() && SameFix(a.Fix(), b.Fix());
}

void Check(const CGpsdReader& reader)
{
    if (reader.Held() > kGpsdLineLimit) {
        std::abort();
    }
    const std::optional<GpsdFix>& fix = reader.Fix();
    if (!fix) {
        return;
    }
    const NmeaFix& f = fix->fix;
    if (!std::isfinite(f.latitude) || !std::isfinite(f.longitude) || std::fabs(f.latitude) > 90 ||
        std::fabs(f.longitude) > 180 || (fix->mode != kGpsdMode2D && fix->mode != kGpsdMode3D)) {
        std::abort();
    }
    if (f.accuracyM.has_value() != (f.accuracyFrom == NmeaFix::Accuracy::Reported) ||
        (f.accuracyM && !(std::isfinite(*f.accuracyM) && *f.accuracyM >= 0))) {
        std::abort();
    }
    if (f.time.has_value() != f.date.has_value()) {
        std::abort();
    }
    if (f.time) {
        const NmeaTime& t = *f.time;
        if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60 ||
            t.millisecond < 0 || t.millisecond > 999 || JapanTime(t, f.date).empty()) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    CGpsdReader whole;
    whole.Feed(bytes, size);
    Check(whole);

    CGpsdReader bytewise;
    for (size_t i = 0; i < size; ++i) {
        bytewise.Feed(bytes + i, 1);
    }
    Check(bytewise);

    // Chunks of 1-64 bytes, their sizes taken from the data itself.
    CGpsdReader chunks;
    for (size_t at = 0; at < size;) {
        const size_t n = std::min<size_t>(size - at, 1 + data[at] % 64);
        chunks.Feed(bytes + at, n);
        at += n;
    }
    Check(chunks);
    if (!Same(whole, bytewise) || !Same(whole, chunks)) {
        std::abort();
    }

    whole.Reset();
    if (whole.Held() != 0 || whole.Fix() || whole.Answered() || whole.Devices() || whole.Reports() != 0) {
        std::abort();
    }
    whole.Feed(bytes, size);
    if (!Same(whole, bytewise)) {
        std::abort();
    }
    return 0;
}
