#pragma once

#include "acquisition/network_rules.h"
#include "acquisition/nmea_reader.h"
#include "network/gpsd_reader.h"

#include <cstddef>
#include <optional>

// What a receiver's bytes are read with, whatever carries them: NMEA sentences (a serial port,
// tcp://, udp://) or gpsd's reports (gpsd://). The wait asks it for the fix and for what was
// heard; the fix is the same either way, so the wait, the log and the templates take it alike.
class CReceiverReader
{
public:
    // Forgets everything and reads gpsd's reports from now on, or NMEA.
    void Reset(bool gpsd = false);
    // True when the fix came or moved on: the window is told then.
    bool Feed(const char* bytes, std::size_t count);
    // The first fix since the last Reset, as far as its epoch has told it (gpsd's whole).
    std::optional<NmeaFix> Fix() const;
    // Good NMEA sentences (for the serial port's speed search).
    unsigned GoodSentences() const { return m_nmea.GoodSentences(); }
    // What was heard, into the fields the reader knows of: the sentences, gpsd's greeting and
    // devices. The connection and its bytes are the transport's.
    void Heard(ReceiverHeard& heard) const;

private:
    FixProgress Progress() const;

    bool m_gpsd = false;
    CNmeaReader m_nmea;
    CGpsdReader m_reports;
};
