#include "ui/job_rules.h"

#include "acquisition/fix_kind.h"
#include "common/text_format.h"
#include "network/geolocate.h"

#include <cmath>
#include <cstdlib>
#include <vector>

JobStep FirstJobStep(bool getFirst, const JobSettings& settings)
{
    if (getFirst) {
        return JobStep::Acquire;
    }
    return UsesCache(settings) ? JobStep::ConsultCache : JobStep::CheckInputs;
}

JobStep NextJobStep(JobStep done, StepOutcome outcome, const JobSettings& settings, const SendJob& job)
{
    if (outcome == StepOutcome::Failed || outcome == StepOutcome::Left) {
        return JobStep::Done;
    }
    const bool cached = job.Cached();
    switch (done) {
    case JobStep::Acquire:
        if (UsesCache(settings)) {
            return JobStep::ConsultCache;
        }
        return settings.waitMs != 0 ? JobStep::WaitBeforeSend : JobStep::CheckInputs;
    case JobStep::ConsultCache:
        // The wait comes before a connection and a lookup; a position from the cache needs neither.
        return settings.waitMs != 0 && !cached ? JobStep::WaitBeforeSend : JobStep::CheckInputs;
    case JobStep::WaitBeforeSend:
        return JobStep::CheckInputs;
    case JobStep::CheckInputs:
        if (cached) {
            return JobStep::Locate;
        }
        // Coordinates and fixes need the service only to connect for its network.
        return !settings.LocalPosition() || settings.autoConnect ? JobStep::ChooseService : JobStep::Locate;
    case JobStep::ChooseService:
        return settings.autoConnect ? JobStep::CheckNetwork : JobStep::Locate;
    case JobStep::CheckNetwork:
        return outcome == StepOutcome::Ok ? JobStep::Locate : JobStep::Connect;
    case JobStep::Connect:
        return JobStep::Locate;
    case JobStep::Locate:
        // A fix whose epoch is still read is logged after the browser, with what the epoch told.
        return job.fixEpochOpen && settings.startBrowser ? JobStep::StartBrowser : JobStep::Log;
    case JobStep::Log:
        return !job.fixEpochOpen && settings.startBrowser ? JobStep::StartBrowser : JobStep::Done;
    case JobStep::StartBrowser:
        return job.fixEpochOpen ? JobStep::Log : JobStep::Done;
    case JobStep::Done:
        break;
    }
    return JobStep::Done;
}

PositionSource ChoosePositionSource(const JobSettings& settings, const SendJob& job)
{
    if (settings.module == ModuleKind::Nmea) {
        return PositionSource::Receiver;
    }
    if (settings.module == ModuleKind::Modem) {
        return job.Cached() ? PositionSource::CachedCell : PositionSource::Geolocate;
    }
    if (settings.simpleCoordinates) {
        return PositionSource::Coordinates;
    }
    return job.Cached() ? PositionSource::Cache : PositionSource::Lookup;
}

std::wstring JobLogLine(const JobSettings& settings, const SendJob& job)
{
    if (job.Cached()) {
        return job.position + L"（キャッシュ）"; // the user sees that nothing was asked
    }
    if (settings.module == ModuleKind::Nmea) {
        return job.position + FixKindText(job.fixKind);
    }
    return job.position + GeolocateFallbackText(job.fallback);
}

bool KeepsLookedUpPosition(const JobSettings& settings, bool isPosition)
{
    return UsesCache(settings) && isPosition;
}

std::wstring CacheKey(const JobSettings& settings, const SendJob& job)
{
    if (settings.module == ModuleKind::Modem) {
        return job.cell ? CellCacheKey(*job.cell) : std::wstring();
    }
    return settings.LocalPosition() ? std::wstring() : job.csId;
}

std::wstring CellCacheKey(const CellTower& cell)
{
    std::wstring radio;
    for (char c : cell.radio) {
        radio += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return Format(L"%ls/%u/%0*u/%lu/%llu", radio.c_str(), cell.mcc, static_cast<int>(cell.mncDigits), cell.mnc,
                  static_cast<unsigned long>(cell.area), static_cast<unsigned long long>(cell.cell));
}

std::wstring CachedWgsText(const WgsPosition& position)
{
    std::wstring text = Format(L"W%.6f,%.6f", position.latitude, position.longitude);
    if (position.accuracyM && std::isfinite(*position.accuracyM) && *position.accuracyM >= 0) {
        text += Format(L",%.0f", *position.accuracyM);
    }
    return text;
}

namespace {

// One decimal number of the cached form: digits, a point and a leading minus only.
bool ReadNumber(const std::wstring& field, double& value)
{
    if (field.empty() || field.size() > 32) {
        return false;
    }
    std::string digits;
    for (wchar_t c : field) {
        if (!((c >= L'0' && c <= L'9') || c == L'.' || c == L'-')) {
            return false;
        }
        digits += static_cast<char>(c);
    }
    char* stop = nullptr;
    value = std::strtod(digits.c_str(), &stop);
    return stop == digits.c_str() + digits.size() && std::isfinite(value);
}

} // namespace

bool ReadCachedWgs(const std::wstring& text, WgsPosition& position)
{
    if (text.empty() || text[0] != L'W') {
        return false;
    }
    std::vector<std::wstring> fields(1);
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == L',') {
            fields.emplace_back();
        } else {
            fields.back() += text[i];
        }
    }
    WgsPosition read;
    if (fields.size() < 2 || fields.size() > 3 || !ReadNumber(fields[0], read.latitude) ||
        !ReadNumber(fields[1], read.longitude) || std::fabs(read.latitude) > 90 || std::fabs(read.longitude) > 180) {
        return false;
    }
    if (fields.size() == 3) {
        double accuracy = 0;
        if (!ReadNumber(fields[2], accuracy) || accuracy < 0) {
            return false;
        }
        read.accuracyM = accuracy;
    }
    position = read;
    return true;
}
