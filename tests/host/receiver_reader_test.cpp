#include "acquisition/receiver_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One epoch of a GN receiver (tools/nmea/sapporo.nmea): RMC with the fix first, the GST that
// gives its error last.
const std::string kNmeaEpoch = "$GNRMC,030000.00,A,4304.11966,N,14121.04530,E,0.012,,081226,,,A*6E\r\n"
                               "$GNVTG,,T,,M,0.012,N,0.022,K,A*3E\r\n"
                               "$GNGGA,030000.00,4304.11966,N,14121.04530,E,1,08,1.10,18.0,M,39.4,M,,*71\r\n"
                               "$GNGSA,A,3,05,13,15,18,20,24,29,30,,,,,1.76,1.10,1.54*1A\r\n"
                               "$GNGLL,4304.11966,N,14121.04530,E,030000.00,A,A*7B\r\n"
                               "$GNGST,030000.00,3.0,,,,2.5,3.0,5.0*66\r\n";

// gpsd 3.22 to a client that sent the watch command, a dead-reckoning fix among its reports.
const std::string kGpsdSession =
    R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})"
    "\r\n"
    R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/pts/2","driver":"NMEA0183","flags":1}]})"
    "\r\n"
    R"({"class":"WATCH","enable":true,"json":true,"nmea":false,"raw":0,"scaled":false})"
    "\r\n"
    "{\"class\":\"TPV\",\"device\":\"/dev/pts/2\",\"mode\":1}\r\n"
    R"({"class":"TPV","device":"/dev/pts/2","status":5,"mode":3,"time":"2026-12-08T03:00:00.000Z",)"
    R"("lat":43.068661,"lon":141.350755,"epx":9.073,"epy":12.750,"eph":17.100})"
    "\r\n"
    R"({"class":"SKY","device":"/dev/pts/2","hdop":1.10,"nSat":8,"uSat":8})"
    "\r\n";

struct Fed
{
    unsigned news = 0;         // Feed calls that said the window is to be told
    std::size_t newsAfter = 0; // bytes fed when it said so first
};

// Feeds `stream` in chunks of `chunk` bytes, counting the calls that bring news.
Fed FeedInChunks(CReceiverReader& reader, const std::string& stream, std::size_t chunk)
{
    Fed fed;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        const std::size_t count = std::min(chunk, stream.size() - at);
        if (reader.Feed(stream.data() + at, count) && fed.news++ == 0) {
            fed.newsAfter = at + count;
        }
    }
    return fed;
}

// The window is told when the fix comes and when its epoch is done, and of nothing else, in
// whatever chunks the transport delivers: NMEA tells twice (the fix, then its error), gpsd's
// TPV once and whole.
TEST(ReceiverReader, TellsOfTheFixAndItsEpochWhateverTheChunks)
{
    const struct
    {
        const char* name;
        bool gpsd;
        std::string stream;
        unsigned news;
        std::size_t firstNewsAfter; // the end of the fix's line
        bool epochDone;
        FixKind kind;
    } cases[] = {
        {"nmea", false, kNmeaEpoch, 2, kNmeaEpoch.find("\r\n") + 1, true, FixKind::Measured},
        {"nmea without its GST", false, kNmeaEpoch.substr(0, kNmeaEpoch.find("$GNGST")), 1, kNmeaEpoch.find("\r\n") + 1,
         false, FixKind::Measured},
        {"gpsd", true, kGpsdSession, 1, kGpsdSession.find("\r\n", kGpsdSession.find("\"status\"")) + 2, true,
         FixKind::DeadReckoning},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk : {std::size_t(1), std::size_t(7), c.stream.size()}) {
            SCOPED_TRACE(std::string(c.name) + ", chunks of " + std::to_string(chunk));
            CReceiverReader reader;
            reader.Reset(c.gpsd);
            const Fed fed = FeedInChunks(reader, c.stream, chunk);
            EXPECT_EQ(chunk == c.stream.size() ? 1u : c.news, fed.news);
            if (chunk == 1) {
                EXPECT_EQ(c.firstNewsAfter, fed.newsAfter);
            }
            const std::optional<NmeaFix> fix = reader.Fix();
            ASSERT_TRUE(fix);
            EXPECT_NEAR(43.068661, fix->latitude, 1e-6);
            EXPECT_NEAR(141.350755, fix->longitude, 1e-6);
            EXPECT_EQ(c.epochDone, fix->epochDone);
            EXPECT_EQ(c.kind, fix->kind);
            ASSERT_TRUE(fix->time);
            EXPECT_EQ(3, fix->time->hour);
        }
    }
}

// What the wait learns besides the fix: good sentences (the line speed is right), gpsd's greeting
// and devices; and a reader set to one language hears nothing in the other.
TEST(ReceiverReader, HeardSaysWhoIsSpeaking)
{
    const std::string noFixSession = kGpsdSession.substr(0, kGpsdSession.find("{\"class\":\"TPV\""));
    const struct
    {
        const char* name;
        bool gpsd;
        std::string stream;
        unsigned goodSentences;
        bool answered;
        std::optional<std::size_t> devices;
        bool fix;
    } cases[] = {
        {"nmea", false, kNmeaEpoch, 6, false, std::nullopt, true},
        {"gpsd before any fix", true, noFixSession, 0, true, 1u, false},
        {"gpsd without a device", true,
         kGpsdSession.substr(0, kGpsdSession.find("\r\n") + 2) + "{\"class\":\"DEVICES\",\"devices\":[]}\r\n", 0, true,
         0u, false},
        // A receiver's sentences at a gpsd address, and gpsd's reports at a tcp:// one.
        {"nmea read as gpsd", true, kNmeaEpoch, 0, false, std::nullopt, false},
        {"gpsd read as nmea", false, kGpsdSession, 0, false, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CReceiverReader reader;
        reader.Reset(c.gpsd);
        reader.Feed(c.stream.data(), c.stream.size());
        ReceiverHeard heard;
        reader.Heard(heard);
        EXPECT_EQ(c.goodSentences, heard.goodSentences);
        EXPECT_EQ(c.answered, heard.gpsdAnswered);
        EXPECT_EQ(c.devices, heard.gpsdDevices);
        EXPECT_EQ(c.fix, reader.Fix().has_value());
    }
}

// The reader outlives the wait: the next wait's Reset forgets the last fix, whatever it read.
TEST(ReceiverReader, ResetForgetsTheLastReceiver)
{
    CReceiverReader reader;
    reader.Reset(true);
    reader.Feed(kGpsdSession.data(), kGpsdSession.size());
    ASSERT_TRUE(reader.Fix());
    reader.Reset(false);
    EXPECT_FALSE(reader.Fix());
    ReceiverHeard heard;
    reader.Heard(heard);
    EXPECT_FALSE(heard.gpsdAnswered);
    EXPECT_FALSE(heard.gpsdDevices);
    EXPECT_TRUE(reader.Feed(kNmeaEpoch.data(), kNmeaEpoch.size()));
    EXPECT_TRUE(reader.Fix());
}

} // namespace
