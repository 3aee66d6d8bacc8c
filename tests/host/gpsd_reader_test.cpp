#include "network/gpsd_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// gpsd 3.22's own lines (Debian 12), as a client that sent the watch command reads them.
const std::string kVersion = R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})"
                             "\r\n";
const std::string kDevices =
    R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/pts/2","driver":"NMEA0183",)"
    R"("activated":"2026-12-08T04:55:13.063Z","flags":1,"native":0,"bps":4800,"parity":"N","stopbits":1,)"
    R"("cycle":1.00}]})"
    "\r\n";
const std::string kNoDevices = "{\"class\":\"DEVICES\",\"devices\":[]}\r\n";
const std::string kWatch = R"({"class":"WATCH","enable":true,"json":true,"nmea":false,"raw":0,"scaled":false,)"
                           R"("timing":false,"split24":false,"pps":false})"
                           "\r\n";
const std::string kNoFix = "{\"class\":\"TPV\",\"device\":\"/dev/pts/2\",\"mode\":1}\r\n";
const std::string kNoFixTimed =
    R"({"class":"TPV","device":"/dev/pts/2","mode":1,"time":"2024-04-01T03:04:06.000Z","ept":0.005})"
    "\r\n";
const std::string kSky =
    R"({"class":"SKY","device":"/dev/pts/2","xdop":0.60,"ydop":0.85,"vdop":1.26,"tdop":1.06,"hdop":0.90,)"
    R"("gdop":2.24,"pdop":1.44,"nSat":2,"uSat":2,"satellites":[{"PRN":5,"el":45.0,"az":120.0,"ss":38.0,)"
    R"("used":true,"gnssid":0,"svid":5},{"PRN":13,"el":60.0,"az":45.0,"ss":41.0,"used":true,"gnssid":0,"svid":13}]})"
    "\r\n";
const std::string kFix3D =
    R"({"class":"TPV","device":"/dev/pts/2","mode":3,"time":"2024-04-01T03:04:08.000Z","ept":0.005,)"
    R"("lat":35.681236000,"lon":139.767125000,"altHAE":79.4000,"altMSL":40.0000,"alt":40.0000,"epx":9.073,)"
    R"("epy":12.750,"epv":28.980,"magvar":-7.6,"speed":0.006,"climb":0.000,"eps":25.50,"epc":57.96,)"
    R"("geoidSep":39.400,"eph":17.100,"sep":27.360})"
    "\r\n";
// Older gpsd gives no eph; a 2D fix south and west, with a status.
const std::string kFix2D =
    R"({"class":"TPV","device":"/dev/ttyUSB0","status":2,"mode":2,"time":"2026-12-31T23:59:60.5Z",)"
    R"("lat":-33.868820,"lon":-151.209290,"epx":3.0,"epy":4.0})"
    "\n";

struct Session
{
    const char* name;
    std::string stream;
    bool answered;
    std::optional<std::size_t> devices;
    bool fix;
};

std::vector<Session> Sessions()
{
    return {
        {"greeting only", kVersion, true, std::nullopt, false},
        {"no device", kVersion + kNoDevices + kWatch, true, 0u, false},
        {"device without a fix", kVersion + kDevices + kWatch + kNoFix + kSky + kNoFixTimed, true, 1u, false},
        {"3D fix between other classes", kVersion + kDevices + kWatch + kNoFix + kSky + kFix3D + kSky, true, 1u, true},
        {"2D fix", kVersion + kDevices + kWatch + kFix2D, true, 1u, true},
        {"a device comes later",
         kVersion + kNoDevices + kWatch +
             R"({"class":"DEVICE","path":"/dev/ttyACM0","activated":"2026-12-08T05:00:00.000Z"})"
             "\r\n",
         true, 1u, false},
        {"not gpsd", "$GNGGA,030405.00,,,,,0,00,99.99,,,,,,*7A\r\nHTTP/1.0 400 Bad Request\r\n", false, std::nullopt,
         false},
    };
}

void Check(const Session& s, const CGpsdReader& reader, const char* feeding)
{
    EXPECT_EQ(s.answered, reader.Answered()) << s.name << feeding;
    EXPECT_EQ(s.devices, reader.Devices()) << s.name << feeding;
    EXPECT_EQ(s.fix, reader.Fix().has_value()) << s.name << feeding;
    EXPECT_EQ(0u, reader.Held()) << s.name << feeding;
}

TEST(GpsdReader, SessionsInAnyChunks)
{
    for (const Session& s : Sessions()) {
        CGpsdReader whole;
        whole.Feed(s.stream.data(), s.stream.size());
        Check(s, whole, " whole");
        CGpsdReader bytewise;
        for (char c : s.stream) {
            bytewise.Feed(&c, 1);
        }
        Check(s, bytewise, " byte by byte");
        CGpsdReader chunks;
        for (std::size_t at = 0; at < s.stream.size(); at += 7) {
            chunks.Feed(s.stream.data() + at, std::min<std::size_t>(7, s.stream.size() - at));
        }
        Check(s, chunks, " in 7-byte chunks");
        EXPECT_EQ(whole.Reports(), bytewise.Reports()) << s.name;
    }
}

TEST(GpsdReader, FixAsReported)
{
    CGpsdReader reader;
    const std::string stream = kVersion + kDevices + kFix3D + kFix2D;
    reader.Feed(stream.data(), stream.size());
    ASSERT_TRUE(reader.Fix());
    const GpsdFix& f = *reader.Fix();
    EXPECT_EQ(3, f.mode);
    EXPECT_DOUBLE_EQ(35.681236, f.fix.latitude);
    EXPECT_DOUBLE_EQ(139.767125, f.fix.longitude);
    EXPECT_DOUBLE_EQ(17.1, *f.fix.accuracyM); // eph, not the epx/epy beside it
    EXPECT_EQ(NmeaFix::Accuracy::Reported, f.fix.accuracyFrom);
    EXPECT_EQ(L"2024/04/01 12:04:08 JST", JapanTime(*f.fix.time, f.fix.date));
    EXPECT_EQ(FixKind::Measured, f.kind);
    EXPECT_EQ("TPV", f.fix.sentence);

    CGpsdReader older;
    older.Feed(kFix2D.data(), kFix2D.size());
    ASSERT_TRUE(older.Fix());
    EXPECT_EQ(2, older.Fix()->mode);
    EXPECT_DOUBLE_EQ(-33.86882, older.Fix()->fix.latitude);
    EXPECT_DOUBLE_EQ(-151.20929, older.Fix()->fix.longitude);
    EXPECT_DOUBLE_EQ(5.0, *older.Fix()->fix.accuracyM); // epx 3, epy 4
    EXPECT_EQ(500, older.Fix()->fix.time->millisecond);
    EXPECT_EQ(L"2027/01/01 08:59:60 JST", JapanTime(*older.Fix()->fix.time, older.Fix()->fix.date));
    EXPECT_EQ(2, older.Fix()->status);
}

TEST(GpsdReader, StatusSaysHowTheFixCame)
{
    const std::pair<const char*, FixKind> cases[] = {
        {"", FixKind::Measured},
        {R"("status":1,)", FixKind::Measured},
        {R"("status":2,)", FixKind::Measured}, // DGPS
        {R"("status":3,)", FixKind::Measured}, // RTK fixed
        {R"("status":5,)", FixKind::DeadReckoning},
        {R"("status":6,)", FixKind::Measured}, // satellites with sensor aid
        {R"("status":7,)", FixKind::Manual},
        {R"("status":8,)", FixKind::Simulated},
        {R"("status":"8",)", FixKind::Measured},
        {R"("status":18446744073709551615,)", FixKind::Measured},
    };
    for (const auto& [status, kind] : cases) {
        const std::string line =
            std::string(R"({"class":"TPV",)") + status + R"("mode":3,"lat":35.0,"lon":139.0,"eph":3.5})" + "\n";
        CGpsdReader reader;
        reader.Feed(line.data(), line.size());
        ASSERT_TRUE(reader.Fix()) << status;
        EXPECT_EQ(kind, reader.Fix()->kind) << status;
        // The fix as the wait and the log take it: its kind, and nothing more to wait for.
        EXPECT_EQ(kind, reader.Fix()->fix.kind) << status;
        EXPECT_TRUE(reader.Fix()->fix.epochDone) << status;
    }
    EXPECT_TRUE(FixKindText(FixKind::Measured).empty());
    EXPECT_FALSE(FixKindText(FixKind::Simulated).empty());
    EXPECT_NE(FixKindText(FixKind::DeadReckoning), FixKindText(FixKind::Manual));
}

TEST(GpsdReader, TpvThatIsNoFix)
{
    const char* const lines[] = {
        R"({"class":"TPV","mode":0,"lat":35.0,"lon":139.0})",   R"({"class":"TPV","mode":1,"lat":35.0,"lon":139.0})",
        R"({"class":"TPV","mode":4,"lat":35.0,"lon":139.0})",   R"({"class":"TPV","mode":"3","lat":35.0,"lon":139.0})",
        R"({"class":"TPV","mode":3.0,"lat":35.0,"lon":139.0})", R"({"class":"TPV","mode":3,"lon":139.0})",
        R"({"class":"TPV","mode":3,"lat":"35.0","lon":139.0})", R"({"class":"TPV","mode":3,"lat":90.5,"lon":139.0})",
        R"({"class":"TPV","mode":3,"lat":35.0,"lon":-180.1})",  R"({"class":"tpv","mode":3,"lat":35.0,"lon":139.0})",
    };
    for (const char* line : lines) {
        CGpsdReader reader;
        const std::string text = std::string(line) + "\r\n";
        reader.Feed(text.data(), text.size());
        EXPECT_FALSE(reader.Fix()) << line;
    }
    // Accuracy and time that cannot be read leave the fix without them.
    const std::string odd = R"({"class":"TPV","mode":2,"lat":1,"lon":2,"eph":-1,"epx":4,"time":"2024-02-30T00:00:00Z"})"
                            "\n";
    CGpsdReader reader;
    reader.Feed(odd.data(), odd.size());
    ASSERT_TRUE(reader.Fix());
    EXPECT_FALSE(reader.Fix()->fix.accuracyM);
    EXPECT_EQ(NmeaFix::Accuracy::None, reader.Fix()->fix.accuracyFrom);
    EXPECT_FALSE(reader.Fix()->fix.time);
}

TEST(GpsdReader, DamagedAndHostileLinesAreRefused)
{
    const std::string deep = "{\"class\":\"TPV\",\"x\":" + std::string(100000, '[') + "\n";
    const std::string nested = R"({"class":"TPV","mode":3,"lat":1,"lon":2,"x":)" + std::string(kGpsdDepthLimit, '[') +
                               std::string(kGpsdDepthLimit, ']') + "}\n";
    const std::string padded =
        R"({"class":"TPV","mode":3,"lat":1,"lon":2,"pad":")" + std::string(kGpsdLineLimit, ' ') + "\"}\n";
    const std::vector<std::string> lines = {
        deep,
        nested,
        padded,
        "{\"class\":\"TPV\",\"mode\":3,\"lat\":1,\"lon\":2\n", // cut short
        "{\"class\":\"TPV\",\"mode\":3,\"lat\":1e999,\"lon\":2}\n",
        std::string("{\"class\":\"TPV\",\"mode\":3,\"lat\":1,\"lon\":2,\"d\":\"") + '\0' + "\"}\n",
        "{\"class\":\"TPV\",\"mode\":3,\"lat\":1,\"lon\":2,\"d\":\"\xff\xfe\"}\n", // not UTF-8
        "[{\"class\":\"TPV\",\"mode\":3,\"lat\":1,\"lon\":2}]\n",
        "{\"mode\":3,\"lat\":1,\"lon\":2}\n",
        "{\"class\":3}\n",
        "{\"class\":\"DEVICES\",\"devices\":{}}\n",
        std::string("\x00\x01\xb5\x62\x01\x07\r\n", 8),
    };
    for (const std::string& line : lines) {
        CGpsdReader reader;
        reader.Feed(line.data(), line.size());
        EXPECT_FALSE(reader.Fix()) << line.substr(0, 60);
        EXPECT_FALSE(reader.Devices()) << line.substr(0, 60);
        EXPECT_EQ(1u, reader.Refused()) << line.substr(0, 60);
        EXPECT_EQ(0u, reader.Reports()) << line.substr(0, 60);
        // A good report after the damage is still read.
        reader.Feed(kFix3D.data(), kFix3D.size());
        EXPECT_TRUE(reader.Fix()) << line.substr(0, 60);
    }
}

TEST(GpsdReader, LineWithoutEndKeepsNoMoreThanTheLimit)
{
    CGpsdReader reader;
    const std::string flood(4096, '{');
    for (int i = 0; i < 100; ++i) {
        reader.Feed(flood.data(), flood.size());
        EXPECT_LE(reader.Held(), kGpsdLineLimit);
    }
    EXPECT_EQ(1u, reader.Refused());
    reader.Feed("}\r\n", 3);
    reader.Feed(kVersion.data(), kVersion.size());
    EXPECT_TRUE(reader.Answered());
    EXPECT_EQ(1u, reader.Refused());
}

} // namespace
