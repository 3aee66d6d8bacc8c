#include "acquisition/nmea_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

double Dm(double degrees, double minutes)
{
    return degrees < 0 ? degrees - minutes / 60 : degrees + minutes / 60;
}

const double kNone = -1;

// Feeds `input` to three readers: at once, one byte at a time, and in chunks of seven.
void FeedThreeWays(std::vector<CNmeaReader>& readers, const std::string& input)
{
    readers[0].Feed(input.data(), input.size());
    for (char c : input) {
        readers[1].Feed(&c, 1);
    }
    for (std::size_t i = 0; i < input.size(); i += 7) {
        readers[2].Feed(input.data() + i, std::min<std::size_t>(7, input.size() - i));
    }
}

// What three new readers fed `input` those three ways took.
std::vector<CNmeaReader> FedThreeWays(const std::string& input)
{
    std::vector<CNmeaReader> readers(3);
    FeedThreeWays(readers, input);
    return readers;
}

struct FixRow
{
    const char* form;
    std::string input;
    const char* address;
    double latitude, longitude;
    double accuracyM;
    NmeaFix::Accuracy from;
    const wchar_t* time; // JapanTime of the fix, L"" without a time
};

// Each row in the form of a maker's manual; the values are our own.
const FixRow kFixes[] = {
    {"u-blox M8/M9, NMEA 4.10: GN talker, RMC first, mode A, nav status V (no integrity output)",
     "$GNRMC,083559.00,A,3541.19300,N,13944.82000,E,0.004,77.52,071226,,,A,V*32\r\n", "GNRMC", Dm(35, 41.193),
     Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"2026/12/07 17:35:59 JST"},
    {"u-blox, NMEA 2.1: GGA, HDOP of two decimals",
     "$GPGGA,092725.00,3541.19300,N,13944.82000,E,1,08,1.01,499.6,M,48.0,M,,*58\r\n", "GPGGA", Dm(35, 41.193),
     Dm(139, 44.82), 5.05, NmeaFix::Accuracy::Hdop, L"18:27:25 JST"},
    {"u-blox F9 high precision: GST, then an RTK GGA of 7 decimals past 82 characters",
     "$GNGST,042153.00,0.012,0.011,0.008,12.5,0.010,0.009,0.021*7E\r\n"
     "$GNGGA,042153.00,3541.1930012,N,13944.8200034,E,4,31,0.52,38.512,M,39.407,M,1.0,0000*55\r\n",
     "GNGGA", Dm(35, 41.1930012), Dm(139, 44.8200034), std::hypot(0.010, 0.009), NmeaFix::Accuracy::Gst,
     L"13:21:53 JST"},
    {"u-blox M10, NMEA 4.11: GNS with six systems' modes and nav status",
     "$GNGNS,103012.00,3541.19300,N,13944.82000,E,AANNNN,14,0.94,35.2,39.4,,,V*28\r\n", "GNGNS", Dm(35, 41.193),
     Dm(139, 44.82), 4.7, NmeaFix::Accuracy::Hdop, L"19:30:12 JST"},
    {"u-blox, NMEA 2.3: GLL with mode", "$GNGLL,3541.19300,N,13944.82000,E,083559.00,A,A*7C\r\n", "GNGLL",
     Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"17:35:59 JST"},
    {"SiRF/Microchip, NMEA 2.2: GGA, milliseconds, south and west",
     "$GPGGA,002153.000,3342.6618,S,07038.2264,W,1,10,1.2,27.0,M,-34.2,M,,0000*48\r\n", "GPGGA", Dm(-33, 42.6618),
     Dm(-70, 38.2264), 6.0, NmeaFix::Accuracy::Hdop, L"09:21:53 JST"},
    {"SiRF/Microchip: RMC without mode, two empty variation fields",
     "$GPRMC,161229.487,A,3723.2475,N,12158.3416,W,0.13,309.62,120526,,*15\r\n", "GPRMC", Dm(37, 23.2475),
     Dm(-121, 58.3416), kNone, NmeaFix::Accuracy::None, L"2026/05/13 01:12:29 JST"},
    {"MediaTek/Quectel L76: GN RMC, three-decimal time, mode A",
     "$GNRMC,013732.000,A,3150.7238,N,11711.7278,E,0.00,0.00,220426,,,A*70\r\n", "GNRMC", Dm(31, 50.7238),
     Dm(117, 11.7278), kNone, NmeaFix::Accuracy::None, L"2026/04/22 10:37:32 JST"},
    {"MediaTek/Quectel L86: GGA, altitude with leading zeros",
     "$GPGGA,015540.000,3150.68378,N,11711.93139,E,1,17,0.66,0051.6,M,0.0,M,,*6E\r\n", "GPGGA", Dm(31, 50.68378),
     Dm(117, 11.93139), 3.3, NmeaFix::Accuracy::Hdop, L"10:55:40 JST"},
    {"Trimble: GST of one decimal of seconds, then an RTK GGA of 8 decimals",
     "$GPGST,172814.0,0.006,0.023,0.020,273.6,0.023,0.020,0.031*6A\r\n"
     "$GPGGA,172814.00,3723.46587704,N,12202.26957864,W,4,6,1.2,18.893,M,-25.669,M,2.0,0031*79\r\n",
     "GPGGA", Dm(37, 23.46587704), Dm(-122, 2.26957864), std::hypot(0.023, 0.020), NmeaFix::Accuracy::Gst,
     L"02:28:14 JST"},
    {"Garmin GPS 19x, NMEA 2.30: RMC of whole seconds, mode A",
     "$GPRMC,123519,A,3541.1930,N,13944.8200,E,000.0,000.0,311226,007.4,W,A*0B\r\n", "GPRMC", Dm(35, 41.193),
     Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"2026/12/31 21:35:19 JST"},
    {"Garmin: RMC after 15:00 UTC on the last day of the year",
     "$GPRMC,151030,A,3541.1930,N,13944.8200,E,000.0,000.0,311226,007.4,W,A*00\r\n", "GPRMC", Dm(35, 41.193),
     Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"2027/01/01 00:10:30 JST"},
    {"Septentrio mosaic: GP GST, then a GN GNS with RTK modes, no nav status",
     "$GPGST,071502.00,0.8,0.012,0.009,45.0,0.011,0.010,0.025*63\r\n"
     "$GNGNS,071502.00,3541.1930012,N,13944.8200034,E,RRRN,28,0.6,38.512,39.407,1.2,0123*5D\r\n",
     "GNGNS", Dm(35, 41.1930012), Dm(139, 44.8200034), std::hypot(0.011, 0.010), NmeaFix::Accuracy::Gst,
     L"16:15:02 JST"},
    {"NovAtel OEM7: differential GGA with age and station ID, west",
     "$GPGGA,134658.00,5106.9792,N,11402.3003,W,2,09,1.0,1048.47,M,-16.27,M,08,AAAA*60\r\n", "GPGGA", Dm(51, 6.9792),
     Dm(-114, 2.3003), 5.0, NmeaFix::Accuracy::Hdop, L"22:46:58 JST"},
    {"NovAtel OEM7: RMC of 7 decimals with magnetic variation",
     "$GPRMC,144326.00,A,5107.0017737,N,11402.3291611,W,0.080,323.3,210326,0.0,E,A*23\r\n", "GPRMC", Dm(51, 7.0017737),
     Dm(-114, 2.3291611), kNone, NmeaFix::Accuracy::None, L"2026/03/21 23:43:26 JST"},
    {"Hemisphere GNSS: GLL of 8 decimals, mode D", "$GPGLL,1541.31258893,N,05130.51204125,W,195959.00,A,D*7B\r\n",
     "GPGLL", Dm(15, 41.31258893), Dm(-51, 30.51204125), kNone, NmeaFix::Accuracy::None, L"04:59:59 JST"},
    {"Furuno GN-87, NMEA 4.10: GNS with nav status S",
     "$GNGNS,003015.000,3541.1930,N,13944.8200,E,AAA,12,0.80,40.1,39.4,,,S*58\r\n", "GNGNS", Dm(35, 41.193),
     Dm(139, 44.82), 4.0, NmeaFix::Accuracy::Hdop, L"09:30:15 JST"},
    {"Unicore UM980, NMEA 4.11: RMC of 8 decimals and nav status, past 82 characters",
     "$GNRMC,094403.00,A,4004.73794422,N,11614.18999462,E,0.037,5.5,260826,6.5,W,A,V*4F\r\n", "GNRMC",
     Dm(40, 4.73794422), Dm(116, 14.18999462), kNone, NmeaFix::Accuracy::None, L"2026/08/26 18:44:03 JST"},
    {"Telit SL869: GGA with an empty HDOP", "$GNGGA,061500.000,3541.1930,N,13944.8200,E,1,05,,55.3,M,39.4,M,,*5F\r\n",
     "GNGGA", Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"15:15:00 JST"},
    {"dead reckoning (quality 6) GGA with an empty time field",
     "$GPGGA,,3541.1930,N,13944.8200,E,6,00,2.0,55.3,M,39.4,M,,*73\r\n", "GPGGA", Dm(35, 41.193), Dm(139, 44.82), 10.0,
     NmeaFix::Accuracy::Hdop, L""},
    // One system only: its own talker.
    {"GLONASS only", "$GLGGA,050000.00,3541.19300,N,13944.82000,E,1,07,1.5,40.0,M,39.4,M,,*45\r\n", "GLGGA",
     Dm(35, 41.193), Dm(139, 44.82), 7.5, NmeaFix::Accuracy::Hdop, L"14:00:00 JST"},
    {"Galileo only", "$GAGLL,3541.19300,N,13944.82000,E,050000.00,A,A*74\r\n", "GAGLL", Dm(35, 41.193), Dm(139, 44.82),
     kNone, NmeaFix::Accuracy::None, L"14:00:00 JST"},
    {"BeiDou, 4.11 talker", "$GBGNS,050000.00,3541.19300,N,13944.82000,E,NNNA,07,1.5,40.0,39.4,,,V*14\r\n", "GBGNS",
     Dm(35, 41.193), Dm(139, 44.82), 7.5, NmeaFix::Accuracy::Hdop, L"14:00:00 JST"},
    {"BeiDou, older talker", "$BDRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A*69\r\n", "BDRMC",
     Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"2026/01/01 14:00:00 JST"},
    {"QZSS", "$GQGGA,050000.00,3541.19300,N,13944.82000,E,2,04,3.0,40.0,M,39.4,M,,*5F\r\n", "GQGGA", Dm(35, 41.193),
     Dm(139, 44.82), 15.0, NmeaFix::Accuracy::Hdop, L"14:00:00 JST"},
    {"QZSS, Japanese receivers' talker", "$QZGLL,3541.19300,N,13944.82000,E,050000.00,A,D*7C\r\n", "QZGLL",
     Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"14:00:00 JST"},
    {"NavIC", "$GIGGA,050000.00,3541.19300,N,13944.82000,E,1,05,1.0,40.0,M,39.4,M,,*47\r\n", "GIGGA", Dm(35, 41.193),
     Dm(139, 44.82), 5.0, NmeaFix::Accuracy::Hdop, L"14:00:00 JST"},
    // Limits of the fields.
    {"the south pole and the antimeridian, degrees without decimals", "$GPGLL,9000,S,18000,W,000000,A,A*48\r\n",
     "GPGLL", -90.0, -180.0, kNone, NmeaFix::Accuracy::None, L"09:00:00 JST"},
    {"latitude with a leading zero", "$GPGLL,00030.5,N,00000.0,E,235960.00,A,A*54\r\n", "GPGLL", Dm(0, 30.5), 0.0,
     kNone, NmeaFix::Accuracy::None, L"08:59:60 JST"},
    // Accuracy and date from what came before, of the same time only.
    {"GST of another second: HDOP instead",
     "$GPGST,050000.00,0.8,0.012,0.009,45.0,0.011,0.010,0.025*67\r\n"
     "$GPGGA,050001.00,3541.19300,N,13944.82000,E,1,07,1.5,40.0,M,39.4,M,,*58\r\n",
     "GPGGA", Dm(35, 41.193), Dm(139, 44.82), 7.5, NmeaFix::Accuracy::Hdop, L"14:00:01 JST"},
    {"GST after the fix, in its epoch: the GST's error",
     "$GPGGA,050000.00,3541.19300,N,13944.82000,E,1,07,1.5,40.0,M,39.4,M,,*59\r\n"
     "$GPGST,050000.00,0.8,0.012,0.009,45.0,0.011,0.010,0.025*67\r\n",
     "GPGGA", Dm(35, 41.193), Dm(139, 44.82), std::hypot(0.011, 0.010), NmeaFix::Accuracy::Gst, L"14:00:00 JST"},
    {"GST of the next epoch changes nothing",
     "$GPGGA,050000.00,3541.19300,N,13944.82000,E,1,07,1.5,40.0,M,39.4,M,,*59\r\n"
     "$GPGST,050001.00,0.8,0.012,0.009,45.0,0.011,0.010,0.025*66\r\n",
     "GPGGA", Dm(35, 41.193), Dm(139, 44.82), 7.5, NmeaFix::Accuracy::Hdop, L"14:00:00 JST"},
    {"HDOP of an unreadable GGA of the same time, then RMC",
     "$GPGGA,050000.00,35A1.19300,N,13944.82000,E,1,07,1.4,40.0,M,39.4,M,,*2D\r\n"
     "$GPRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A*78\r\n",
     "GPRMC", Dm(35, 41.193), Dm(139, 44.82), 7.0, NmeaFix::Accuracy::Hdop, L"2026/01/01 14:00:00 JST"},
    {"HDOP of a GGA of another time: none",
     "$GPGGA,045959.00,35A1.19300,N,13944.82000,E,1,07,1.4,40.0,M,39.4,M,,*2C\r\n"
     "$GPGLL,3541.19300,N,13944.82000,E,050000.00,A,A*65\r\n",
     "GPGLL", Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"14:00:00 JST"},
    {"HDOP 0 and a GST without sigmas: none",
     "$GPGST,050000.00,,,,,,,*7C\r\n"
     "$GPGGA,050000.00,3541.19300,N,13944.82000,E,1,07,0.0,40.0,M,39.4,M,,*5D\r\n",
     "GPGGA", Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"14:00:00 JST"},
    {"date of a no-fix RMC of the same time (SiRF order: GGA before RMC)",
     "$GPRMC,050000.000,V,,,,,,,290228,,,N*4B\r\n"
     "$GPGGA,050000.000,3541.1930,N,13944.8200,E,1,07,1.5,40.0,M,39.4,M,,0000*69\r\n",
     "GPGGA", Dm(35, 41.193), Dm(139, 44.82), 7.5, NmeaFix::Accuracy::Hdop, L"2028/02/29 14:00:00 JST"},
    {"no date from an RMC of another time",
     "$GPRMC,045959.000,V,,,,,,,290228,,,N*4A\r\n"
     "$GPGGA,050000.000,3541.1930,N,13944.8200,E,1,07,1.5,40.0,M,39.4,M,,0000*69\r\n",
     "GPGGA", Dm(35, 41.193), Dm(139, 44.82), 7.5, NmeaFix::Accuracy::Hdop, L"14:00:00 JST"},
    {"the first fix stays: a later one of another place is not taken",
     "$GPGLL,3541.19300,N,13944.82000,E,050000.00,A,A*65\r\n"
     "$GPGGA,050001.00,4541.19300,N,14944.82000,E,1,07,1.5,40.0,M,39.4,M,,*58\r\n",
     "GPGLL", Dm(35, 41.193), Dm(139, 44.82), kNone, NmeaFix::Accuracy::None, L"14:00:00 JST"},
};

TEST(NmeaReader, FixesInTheFormsOfMakersReceivers)
{
    for (const FixRow& row : kFixes) {
        for (const CNmeaReader& reader : FedThreeWays(row.input)) {
            const std::optional<NmeaFix>& fix = reader.Fix();
            ASSERT_TRUE(fix.has_value()) << row.form;
            EXPECT_EQ(row.address, fix->sentence) << row.form;
            EXPECT_NEAR(row.latitude, fix->latitude, 1e-9) << row.form;
            EXPECT_NEAR(row.longitude, fix->longitude, 1e-9) << row.form;
            EXPECT_EQ(row.from, fix->accuracyFrom) << row.form;
            EXPECT_NEAR(row.accuracyM, fix->accuracyM.value_or(kNone), 1e-9) << row.form;
            EXPECT_EQ(row.time, fix->time ? JapanTime(*fix->time, fix->date) : L"") << row.form;
        }
    }
}

TEST(NmeaReader, NoPositionFromSentencesThatSayThereIsNoFixOrCannotBeRead)
{
    const char* const kNoFix[] = {
        "$GPGGA,,,,,,0,00,99.99,,,,,,*48",                                          // u-blox before a fix
        "$GPGGA,235947.000,0000.0000,N,00000.0000,E,0,00,0.0,0.0,M,0.0,M,,0000*63", // SiRF before a fix
        "$GPGGA,083559.00,3541.1930,N,13944.8200,E,,05,1.2,40.0,M,39.4,M,,*6A",     // empty quality
        "$GPRMC,,V,,,,,,,,,,N*53",
        "$GNRMC,083559.00,V,3541.19300,N,13944.82000,E,,,071226,,,N,V*29", // last position kept, V
        "$GNRMC,083559.00,A,3541.19300,N,13944.82000,E,,,071226,,,N*44",   // A but mode N
        "$GPGLL,,,,,,V,N*64",
        "$GPGLL,3541.1930,N,13944.8200,E,083559.00,V,A*75",
        "$GPGLL,3541.1930,N,13944.8200,E,083559.00,A,N*6D",
        "$GPGLL,3541.1930,N,13944.8200,E*62", // the oldest GLL, without status
        "$GNGNS,,,,,,NN,00,99.99,,,,,V*07",
        "$GNGNS,083559.00,3541.1930,N,13944.8200,E,,05,1.2,,,,*65",
        // a fix whose position cannot be read
        "$GPGLL,3560.0000,N,13944.8200,E,083559.00,A,A*6A",
        "$GPGLL,9000.0001,N,13944.8200,E,083559.00,A,A*62",
        "$GPGLL,3541.1930,N,18000.5,E,083559.00,A,A*5F",
        "$GPGLL,3541.1930,X,13944.8200,E,083559.00,A,A*74",
        "$GPGLL,3541.1930,,13944.8200,E,083559.00,A,A*2C",
        "$GPGLL,3541.1930,N,13944.8200,e,083559.00,A,A*42",
        "$GPGLL,,N,13944.8200,E,083559.00,A,A*44",
        "$GPGLL,41.1930,N,13944.8200,E,083559.00,A,A*64",
        "$GPGLL,-3541.1930,N,13944.8200,E,083559.00,A,A*4F",
        "$GPGLL,3541.19.30,N,13944.8200,E,083559.00,A,A*4C",
        "$GPGLL,3541.1930,N,1394482.00,E,083559.00,A,A*62",
        "$GPGLL,3541.1930,N,13944.8200 ,E,083559.00,A,A*42",
        // not a talker's fix sentence
        "$PXGGA,083559.00,3541.1930,N,13944.8200,E,1,05,1.2,40.0,M,39.4,M,,*44",
        "$PUBX,00,083559.00,3541.19300,N,13944.82000,E,40.0,G3,2.1,2.0,0.0,0.0,0.0,,1.0,1.2,0.9,9,0,0*5C",
        "$GPGGAX,083559.00,3541.1930,N,13944.8200,E,1,05,1.2,40.0,M,39.4,M,,*03",
        "!GPGLL,3541.1930,N,13944.8200,E,083559.00,A,A*62",
    };
    for (const char* sentence : kNoFix) {
        CNmeaReader reader;
        const std::string line = sentence + "\r\n"s;
        reader.Feed(line.data(), line.size());
        EXPECT_EQ(1u, reader.GoodSentences()) << sentence;
        EXPECT_FALSE(reader.Fix().has_value()) << sentence;
    }
}

// For sentences built at run time.
std::string WithChecksum(const std::string& body)
{
    unsigned sum = 0;
    for (char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    const char* hex = "0123456789ABCDEF";
    return "$" + body + "*" + hex[sum >> 4] + hex[sum & 15];
}

const std::string kGood = "$GPGLL,3541.19300,N,13944.82000,E,050000.00,A,A*65\r\n";
const std::string kTxt128 = WithChecksum("GPTXT,01,01,02," + std::string(109, 'x'));

TEST(NmeaReader, DamagedLinesAndNoiseNeverCostTheNextGoodSentence)
{
    struct
    {
        const char* what;
        std::string input;
        unsigned good; // sentences whose checksum held
    } const rows[] = {
        {"wrong checksum carrying another position", "$GPGLL,1000.00000,S,01000.00000,W,050000.00,A,A*00\r\n", 0},
        {"no checksum", "$GPGLL,1000.00000,S,01000.00000,W,050000.00,A,A\r\n", 0},
        {"checksum of one digit", "$GPGLL,1000.00000,S,01000.00000,W,050000.00,A,A*5\r\n", 0},
        {"cut short", "$GPGGA,050000.00,1000.000\r\n", 0},
        {"run together: a new start mid-line", "$GPGGA,050000.00,1000.000", 0},
        {"a u-blox binary frame with NULs, '$', CR LF and a sentence-like run inside",
         "\xB5\x62\x01\x07\x5C\x00\x00$\r\n\x00\x24GPGLL,1000,S,01000,W,1,A,A*3F\r\n\xFF\x80"s, 0},
        {"a NUL inside a sentence", "$GPGLL,1000.00000,S,0100\x00"s + "0.00000,W,050000.00,A,A*00\r\n", 0},
        {"a line longer than any sentence, with a checksum that holds",
         WithChecksum("GPTXT,01,01,02," + std::string(300, 'x')) + "\r\n", 0},
        {"one character more than the longest kept", WithChecksum("GPTXT,01,01,02," + std::string(110, 'x')) + "\r\n",
         0},
        {"the longest kept, a maker's text and an AIS sentence",
         kTxt128 + "\r\n$PUBX,41,1,0007,0003,19200,0*25\r\n!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\r\n", 3},
        {"LF alone, CR alone and a lower-case checksum", "$GPTXT,01,01,02,ANTSTATUS=OK*3b\n$GPTXT,01*62\r", 2},
        {"a sentence without its '$'", "GPGLL,1000.00000,S,01000.00000,W,050000.00,A,A*63\r\n", 0},
    };
    for (const auto& row : rows) {
        for (const CNmeaReader& reader : FedThreeWays(row.input + kGood)) {
            EXPECT_EQ(row.good + 1, reader.GoodSentences()) << row.what;
            ASSERT_TRUE(reader.Fix().has_value()) << row.what;
            EXPECT_NEAR(Dm(35, 41.193), reader.Fix()->latitude, 1e-9) << row.what;
            EXPECT_LE(reader.Held(), kMaxSentence);
        }
    }

    CNmeaReader reader;
    const std::string endless(100000, 'x');
    reader.Feed("$", 1);
    reader.Feed(endless.data(), kMaxSentence - 1);
    EXPECT_EQ(kMaxSentence, reader.Held());
    reader.Feed(endless.data(), 1);
    EXPECT_EQ(0u, reader.Held());
    reader.Feed("$", 1);
    reader.Feed(endless.data(), endless.size());
    EXPECT_EQ(0u, reader.Held());
    reader.Feed(kGood.data(), kGood.size());
    reader.Reset();
    EXPECT_EQ(0u, reader.GoodSentences());
    EXPECT_FALSE(reader.Fix().has_value());
}

// The program's own receiver logs (tools/nmea), a line at a time, each line fed whole, byte by
// byte and in chunks of seven: the fix's accuracy comes from its own epoch, and the fix is
// ready at the sentence that ends what that epoch can tell.
TEST(NmeaReader, TheProgramsOwnLogsGiveTheAccuracyOfTheFixsEpoch)
{
    const struct
    {
        const char* log;
        double latitude, longitude;
        double accuracyM;
        NmeaFix::Accuracy from;
        const wchar_t* time;
        const char* readyAt; // the start of the line after which Progress() is Ready
    } rows[] = {
        // RMC first, GST last: the whole epochs before had a GST, so the fix waits for it.
        {"cold_start.nmea", Dm(35, 40.87412), Dm(139, 46.02751), std::hypot(3.5, 3.9), NmeaFix::Accuracy::Gst,
         L"2024/04/01 12:04:09 JST", "$GNGST,030409.00"},
        // RMC first, then GGA; no GST in the epochs before: GGA's HDOP of 1.26.
        {"mtk.nmea", Dm(35, 10.2549), Dm(136, 52.8922), 1.26 * kHdopErrorM, NmeaFix::Accuracy::Hdop,
         L"2024/04/01 12:04:07 JST", "$GNGGA,030407.000"},
        // GGA first (HDOP 1.8), RMC after it with the date.
        {"sirf_gp.nmea", Dm(35, 26.622), Dm(139, 38.28), 1.8 * kHdopErrorM, NmeaFix::Accuracy::Hdop,
         L"2024/04/01 12:04:07 JST", "$GPRMC,030407.000"},
        // The fix in the first epoch heard: what follows is unknown, so its epoch runs to its end.
        {"west.nmea", Dm(37, 46.494), Dm(-122, 25.164), 0.7 * kHdopErrorM, NmeaFix::Accuracy::Hdop,
         L"2024/04/02 05:15:00 JST", "$GNRMC,201501.00"},
        {"south_west.nmea", Dm(-34, 36.222), Dm(-58, 22.896), 0.85 * kHdopErrorM, NmeaFix::Accuracy::Hdop,
         L"2024/03/16 00:10:21 JST", "$GPRMC,151022.00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.log);
        std::ifstream file(std::string(TAVRIN_SOURCE_DIR) + "/tools/nmea/" + row.log, std::ios::binary);
        ASSERT_TRUE(file.is_open());
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line[0] == '$') {
                lines.push_back(line + "\r\n");
            }
        }
        std::vector<CNmeaReader> readers(3);
        std::vector<std::string> readyAt(3);
        for (const std::string& line : lines) {
            FeedThreeWays(readers, line);
            for (std::size_t k = 0; k < readers.size(); ++k) {
                if (readyAt[k].empty() && readers[k].Progress() == FixProgress::Ready) {
                    readyAt[k] = line;
                }
            }
        }
        for (std::size_t k = 0; k < readers.size(); ++k) {
            const std::optional<NmeaFix>& fix = readers[k].Fix();
            ASSERT_TRUE(fix.has_value());
            EXPECT_NEAR(row.latitude, fix->latitude, 1e-9);
            EXPECT_NEAR(row.longitude, fix->longitude, 1e-9);
            EXPECT_EQ(row.from, fix->accuracyFrom);
            EXPECT_NEAR(row.accuracyM, fix->accuracyM.value_or(kNone), 1e-9);
            EXPECT_EQ(row.time, JapanTime(*fix->time, fix->date));
            EXPECT_EQ(FixKind::Measured, fix->kind);
            EXPECT_EQ(0u, readyAt[k].find(row.readyAt)) << readyAt[k];
        }
    }
}

// Epochs in the makers' orders, a sentence at a time: when the fix is ready (the index of the
// sentence after which Progress() is Ready, none when its epoch never ended) and what it says.
TEST(NmeaReader, TheFixIsReadyWhenItsEpochHasToldAllItWill)
{
    const std::size_t kNever = 99;
    const struct
    {
        const char* what;
        std::vector<std::string> bodies; // sentences without '$' and checksum
        std::size_t readyAfter;
        double accuracyM;
        FixKind kind;
    } rows[] = {
        {"a whole epoch of RMC and GGA before: ready at GGA, without waiting for a GST",
         {"GPRMC,050000.00,V,,,,,,,010126,,,N", "GPGGA,050000.00,,,,,0,00,99.99,,,,,,",
          "GPRMC,050001.00,V,,,,,,,010126,,,N", "GPGGA,050001.00,,,,,0,00,99.99,,,,,,",
          "GPRMC,050002.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A", "GPVTG,,T,,M,0.0,N,0.0,K,A",
          "GPGGA,050002.00,3541.19300,N,13944.82000,E,1,07,1.5,40.0,M,39.4,M,,"},
         6,
         7.5,
         FixKind::Measured},
        {"GST read before the fix's RMC in its epoch: ready at once",
         {"GNGST,050000.00,0.8,0.012,0.009,45.0,0.011,0.010,0.025",
          "GNRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A"},
         1,
         std::hypot(0.011, 0.010),
         FixKind::Measured},
        {"the receiver falls silent after the fix's RMC: never ready (the wait's bound ends it)",
         {"GNRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A", "GNVTG,,T,,M,0.0,N,0.0,K,A"},
         kNever,
         kNone,
         FixKind::Measured},
        {"the fix's own sentence again with the same time: a new epoch",
         {"GNRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A",
          "GNRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A",
          "GNGGA,050000.00,3541.19300,N,13944.82000,E,1,07,1.5,40.0,M,39.4,M,,"},
         1,
         kNone,
         FixKind::Measured},
        {"a GLL without a time: ready at once", {"GPGLL,3541.1930,N,13944.8200,E,,A"}, 0, kNone, FixKind::Measured},
        // Simulator, manual input, dead reckoning: still fixes, as gpsd reports them (a 2D or 3D
        // mode with the status that says which).
        {"u-blox in its simulator mode: RMC mode S, GGA quality 8",
         {"GNRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,S,V",
          "GNGGA,050000.00,3541.19300,N,13944.82000,E,8,12,0.8,40.0,M,39.4,M,,", "GNGGA,050001.00,,,,,0,00,,,,,,,"},
         2,
         4.0,
         FixKind::Simulated},
        {"a position given by hand: GGA quality 7",
         {"GPGGA,050000.000,3541.1930,N,13944.8200,E,7,00,,40.0,M,39.4,M,,0000", "GPRMC,050001.000,V,,,,,,,010126,,"},
         1,
         kNone,
         FixKind::Manual},
        {"manual in RMC, then simulator in the epoch's GGA: simulator",
         {"GPRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,M",
          "GPGGA,050000.00,3541.19300,N,13944.82000,E,8,00,1.0,40.0,M,39.4,M,,", "GPGLL,,,,,050001.00,V,N"},
         2,
         5.0,
         FixKind::Simulated},
        {"RMC mode E: dead reckoning alone",
         {"GPRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,E"},
         kNever,
         kNone,
         FixKind::DeadReckoning},
        {"dead reckoning in GGA, a simulated system in the epoch's GNS: simulated",
         {"GNGGA,050000.00,3541.19300,N,13944.82000,E,6,00,1.0,40.0,M,39.4,M,,",
          "GNGNS,050000.00,3541.19300,N,13944.82000,E,ES,08,1.0,40.0,39.4,,,V"},
         kNever,
         5.0,
         FixKind::Simulated},
        {"quality 8 in the next epoch does not make the fix a simulated one",
         {"GPRMC,050000.00,A,3541.19300,N,13944.82000,E,0.0,,010126,,,A",
          "GPGGA,050001.00,3541.19300,N,13944.82000,E,8,00,1.0,40.0,M,39.4,M,,"},
         1,
         kNone,
         FixKind::Measured},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<CNmeaReader> readers(3);
        std::vector<std::size_t> readyAfter(3, kNever);
        for (std::size_t i = 0; i < row.bodies.size(); ++i) {
            FeedThreeWays(readers, WithChecksum(row.bodies[i]) + "\r\n");
            for (std::size_t k = 0; k < readers.size(); ++k) {
                if (readyAfter[k] == kNever && readers[k].Progress() == FixProgress::Ready) {
                    readyAfter[k] = i;
                }
            }
        }
        for (std::size_t k = 0; k < readers.size(); ++k) {
            ASSERT_TRUE(readers[k].Fix().has_value());
            EXPECT_EQ(row.readyAfter, readyAfter[k]);
            EXPECT_NEAR(row.accuracyM, readers[k].Fix()->accuracyM.value_or(kNone), 1e-9);
            EXPECT_EQ(row.kind, readers[k].Fix()->kind);
        }
    }
}

TEST(NmeaTime, JapanTimeRollsOverDaysMonthsAndYears)
{
    const struct
    {
        NmeaTime time;
        std::optional<NmeaDate> date;
        const wchar_t* expected;
    } rows[] = {
        {{12, 3, 4, 0}, NmeaDate{2026, 12, 7}, L"2026/12/07 21:03:04 JST"},
        {{14, 59, 59, 999}, NmeaDate{2026, 12, 7}, L"2026/12/07 23:59:59 JST"},
        {{15, 0, 0, 0}, NmeaDate{2026, 4, 30}, L"2026/05/01 00:00:00 JST"},
        {{23, 59, 59, 0}, NmeaDate{2027, 2, 28}, L"2027/03/01 08:59:59 JST"},
        {{23, 59, 59, 0}, NmeaDate{2028, 2, 28}, L"2028/02/29 08:59:59 JST"},
        {{20, 0, 0, 0}, NmeaDate{2099, 12, 31}, L"2100/01/01 05:00:00 JST"},
        {{20, 0, 0, 0}, std::nullopt, L"05:00:00 JST"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, JapanTime(row.time, row.date));
    }
}

} // namespace
