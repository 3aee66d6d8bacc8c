#include "acquisition/modem_dialogue.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const RegistrationKind kC5g = RegistrationKind::Nr5gs, kCe = RegistrationKind::Eps, kCg = RegistrationKind::Gprs,
                       kC = RegistrationKind::Cs;

// A modem that answers each command with the text of a table, or "ERROR"; each answer goes to
// the collector in chunks of `chunk` bytes. Returns the outcome and the commands sent.
struct Conversation
{
    ModemOutcome outcome;
    std::vector<std::string> sent;
};
Conversation Converse(const std::map<std::string, std::string>& answers, std::size_t chunk, bool echo = true)
{
    Conversation run;
    CModemDialogue dialogue;
    CModemAnswerCollector collector;
    for (int i = 0; i < 20 && !dialogue.NextCommand().empty(); ++i) {
        std::string command = dialogue.NextCommand();
        run.sent.push_back(command);
        collector.Begin(command);
        auto it = answers.find(command.substr(0, command.size() - 1));
        std::string reply = (echo ? command + "\r\n" : "") + (it != answers.end() ? it->second : "\r\nERROR\r\n");
        for (std::size_t at = 0; at < reply.size() && !collector.Complete(); at += chunk) {
            collector.Feed(std::string_view(reply).substr(at, chunk));
        }
        run.outcome = dialogue.OnAnswer(collector.Answer());
        if (run.outcome.step != ModemStep::Continue) {
            break;
        }
    }
    return run;
}

} // namespace

// Read answers and unsolicited lines as modem makers' AT manuals show them.
TEST(ModemDialogue, ReadsTheRegistrationFormsModemsSend)
{
    struct Case
    {
        const char* maker;
        RegistrationKind reading;
        const char* line;
        bool unsolicited;
        int stat;
        const char* radio; // "" when the cell is not to be used
        std::uint32_t area;
        std::uint64_t cell;
    } cases[] = {
        {"Quectel EC25", kCe, R"(+CEREG: 2,1,"1A2B","01A2B3C4",7)", false, 1, "lte", 0x1A2B, 0x1A2B3C4},
        {"Quectel EG25, UTRAN", kCg, R"(+CGREG: 2,1,"D5D5","0FA7E2F",6,"01")", false, 1, "wcdma", 0xD5D5, 0xFA7E2F},
        {"Quectel RM500Q", kC5g, R"(+C5GREG: 2,1,"00A1B2","0000ABC123",11,0,"")", false, 1, "nr", 0xA1B2, 0xABC123},
        {"Quectel RM500Q, LTE on the 5G core", kC5g, R"(+C5GREG: 2,5,"01A2B3","01A2B3C4",10)", false, 5, "lte", 0x1A2B3,
         0x1A2B3C4},
        {"Sierra EM7455", kCg, R"(+CGREG: 2,5,"3A4F","012B3C4",4,"0A")", false, 5, "wcdma", 0x3A4F, 0x12B3C4},
        {"Sierra EM9191", kC5g, R"(+C5GREG: 2,1,"000C1D","123456789",11)", false, 1, "nr", 0xC1D, 0x123456789},
        {"Telit LE910, bare hex", kC, "+CREG: 2,1,0D0A,A1B2,0", false, 1, "gsm", 0xD0A, 0xA1B2},
        {"Telit FN980, lower case", kCe, R"(+CEREG: 2,5,"ab12","1c2d3e4",7)", false, 5, "lte", 0xAB12, 0x1C2D3E4},
        {"u-blox SARA-R410M", kCe, R"(+CEREG: 2,1,"0001","01A2D001",7)", false, 1, "lte", 1, 0x1A2D001},
        {"u-blox SARA-R5, PSM timers", kCe, R"(+CEREG: 4,1,"4A5B","00C1D2E3",7,,,"00000110","00100011")", false, 1,
         "lte", 0x4A5B, 0xC1D2E3},
        {"u-blox TOBY-L2, no AcT", kC, R"(+CREG: 2,1,"61EF","7D2F7")", false, 1, "wcdma", 0x61EF, 0x7D2F7},
        {"u-blox TOBY-L2, GSM no AcT", kC, R"(+CREG: 2,1,"61EF","44A5")", false, 1, "gsm", 0x61EF, 0x44A5},
        {"SIMCom SIM7600", kC, R"(+CREG: 2,1,"A1B2","0C7F2E01",7)", false, 1, "lte", 0xA1B2, 0xC7F2E01},
        {"SIMCom SIM8200", kC5g, R"(+C5GREG: 2,1,"3A4B5C","0A1B2C3D4",11,1,"01.000001")", false, 1, "nr", 0x3A4B5C,
         0xA1B2C3D4},
        {"Huawei ME909s, spaces", kC, "+CREG: 2,1, 24A3, 08A1C2D3, 7", false, 1, "lte", 0x24A3, 0x8A1C2D3},
        {"Huawei ME909s, EDGE", kCg, R"(+CGREG: 2, 1, "24A3", "1F2E", 3)", false, 1, "gsm", 0x24A3, 0x1F2E},
        {"Fibocom L850", kCe, R"(+CEREG: 2,1,"1A2B","01A2B3C4",7)", false, 1, "lte", 0x1A2B, 0x1A2B3C4},
        {"Fibocom FM150, NSA anchor", kCe, R"(+CEREG: 2,1,"2B3C","0A1B2C3",13)", false, 1, "lte", 0x2B3C, 0xA1B2C3},
        {"Nordic nRF9160", kCe, R"(+CEREG: 5,1,"0140","0A0B0C0D",7,,,"11100000","11100000")", false, 1, "lte", 0x140,
         0xA0B0C0D},
        {"Nordic nRF9160, NB-IoT URC", kCe, R"(+CEREG: 1,"0140","0A0B0C0D",9)", true, 1, "lte", 0x140, 0xA0B0C0D},
        {"Thales PLS8", kCe, R"(+CEREG: 2,1,"A1B2","1A2B3C4",7)", false, 1, "lte", 0xA1B2, 0x1A2B3C4},
        {"Thales EXS82, NB-IoT", kCe, R"(+CEREG: 2,5,"0001","01A2D001",9)", false, 5, "lte", 1, 0x1A2D001},
        // Unsolicited lines: no <n>, whatever is in flight.
        {"URC during its read", kCe, R"(+CEREG: 1,"1A2B","01A2B3C4",7)", true, 1, "lte", 0x1A2B, 0x1A2B3C4},
        {"URC, bare hex", kCe, "+CEREG: 5,0012,00000123,7", true, 5, "lte", 0x12, 0x123},
        {"URC of another kind", kCe, "+CREG: 2,1", true, 2, "", 0, 0},
        {"URC status only", kCe, "+CEREG: 2", true, 2, "", 0, 0},
        // Not registered, and identities never to be sent.
        {"searching", kCe, "+CEREG: 2,2", false, 2, "", 0, 0},
        {"denied with cause", kCe, "+CEREG: 3,3,,,,0,15", false, 3, "", 0, 0},
        {"registered, n=0", kCe, "+CEREG: 0,1", false, 1, "", 0, 0},
        {"reserved TAC FFFE", kCe, R"(+CEREG: 2,1,"FFFE","01A2B3C4",7)", false, 1, "", 0, 0},
        {"LAC 0000", kC, R"(+CREG: 2,1,"0000","44A5",0)", false, 1, "", 0, 0},
        {"all-F GSM cell", kC, R"(+CREG: 2,1,"FFFF","FFFF")", false, 1, "", 0, 0},
        {"all-F ECI (28 bits)", kCe, R"(+CEREG: 2,1,"1A2B","FFFFFFF",7)", false, 1, "", 0, 0},
        {"all-F 32-bit ECI", kCe, R"(+CEREG: 2,1,"1A2B","FFFFFFFF",7)", false, 1, "", 0, 0},
        {"all-F NCI", kC5g, R"(+C5GREG: 2,1,"00A1B2","FFFFFFFFF",11)", false, 1, "", 0, 0},
        {"cell 0", kCe, R"(+CEREG: 2,1,"1A2B","00000000",7)", false, 1, "", 0, 0},
        {"empty TAC", kCe, R"(+CEREG: 2,1,,"01A2B3C4",7)", false, 1, "", 0, 0},
        {"GSM AcT, 28-bit cell", kC, R"(+CREG: 2,1,"1A2B","01A2B3C4",0)", false, 1, "", 0, 0},
        {"unknown AcT", kC, R"(+CREG: 2,1,"1A2B","01A2B3C4",42)", false, 1, "", 0, 0},
        {"not hex", kCe, R"(+CEREG: 2,1,"1G2B","01A2B3C4",7)", false, 1, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.maker) + ": " + c.line);
        Registration r;
        ASSERT_TRUE(ParseRegistrationLine(c.line, &c.reading, r));
        EXPECT_EQ(c.unsolicited, r.unsolicited);
        EXPECT_EQ(c.stat, r.stat);
        CellTower cell;
        bool usable = CellFromRegistration(r, cell);
        EXPECT_EQ(*c.radio != 0, usable);
        if (usable) {
            EXPECT_EQ(c.radio, cell.radio);
            EXPECT_EQ(c.area, cell.area);
            EXPECT_EQ(c.cell, cell.cell);
        }
    }
    Registration r;
    for (const char* line : {"+COPS: 0,2,\"44010\",7", "+CEREG", "+CEREG: \"1\",1", "OK", "", "+CEREG: ,1",
                             "+CEREG: 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"}) {
        EXPECT_FALSE(ParseRegistrationLine(line, &kCe, r)) << line;
    }
}

TEST(ModemDialogue, ReadsTheNumericOperator)
{
    struct Case
    {
        const char* line;
        bool ok;
        unsigned mcc = 0, mnc = 0, digits = 0;
    } cases[] = {
        {R"(+COPS: 0,2,"44010",7)", true, 440, 10, 2},
        {R"(+COPS: 0,2,"310410",7)", true, 310, 410, 3},
        {R"(+COPS: 1, 2, "00101")", true, 1, 1, 2},
        {"+COPS: 0,2,23415,2", true, 234, 15, 2},
        {R"(+COPS: 0,0,"NTT DOCOMO",7)", false},
        {R"(+COPS: 0,2,"4401",7)", false},
        {R"(+COPS: 0,2,"4401000",7)", false},
        {R"(+COPS: 0,2,"44O10",7)", false},
        {"+COPS: 0", false},
        {R"(+CEREG: 0,2,"44010")", false},
    };
    for (const Case& c : cases) {
        CellTower cell;
        EXPECT_EQ(c.ok, ParseNumericOperator(c.line, cell)) << c.line;
        if (c.ok) {
            EXPECT_EQ(c.mcc, cell.mcc);
            EXPECT_EQ(c.mnc, cell.mnc);
            EXPECT_EQ(c.digits, cell.mncDigits);
        }
    }
}

TEST(ModemDialogue, WholeDialogues)
{
    const std::string ok = "\r\nOK\r\n";
    const std::string cops = "\r\n+COPS: 0,2,\"44010\",7\r\n" + ok;
    struct Case
    {
        const char* name;
        std::map<std::string, std::string> answers; // by command; missing ones answer ERROR
        ModemStep step;
        const char* radio;
        std::uint64_t cell;
        int status;
    } cases[] = {
        {"LTE at home; 5G and LTE asked, first usable wins",
         {{"AT+C5GREG=2", ok},
          {"AT+C5GREG?", "\r\n+C5GREG: 2,0\r\n" + ok},
          {"AT+CEREG=2", ok},
          {"AT+CEREG?", "\r\n+CEREG: 2,1,\"1A2B\",\"01A2B3C4\",7\r\n" + ok},
          {"AT+CGREG=2", ok},
          {"AT+CGREG?", "\r\n+CGREG: 2,1,\"1A2B\",\"0000A1B2\",0\r\n" + ok},
          {"AT+CREG=2", ok},
          {"AT+CREG?", "\r\n+CREG: 2,1,\"1A2B\",\"0000A1B2\",0\r\n" + ok},
          {"AT+COPS=3,2", ok},
          {"AT+COPS?", cops}},
         ModemStep::Cell,
         "lte",
         0x1A2B3C4,
         -1},
        {"2G modem: C5GREG and CEREG refused, CGREG with +CME ERROR, found through CREG",
         {{"AT+CGREG=2", "\r\n+CME ERROR: 4\r\n"},
          {"AT+CREG=2", ok},
          {"AT+CREG?", "\r\n+CREG: 2,5,\"0D0A\",\"A1B2\"\r\n" + ok},
          {"AT+COPS=3,2", ok},
          {"AT+COPS?", cops}},
         ModemStep::Cell,
         "gsm",
         0xA1B2,
         -1},
        {"unsolicited lines between command and answer; a URC is no read answer",
         {{"AT+CEREG=2", "\r\n+CEREG: 1,\"FFFE\",\"0FFFFFFF\",7\r\n" + ok},
          {"AT+CEREG?", "\r\n+CREG: 1\r\n+CEREG: 2\r\n\r\n+CEREG: 2,1,\"1A2B\",\"01A2B3C4\",7\r\n" + ok},
          {"AT+CREG=2", ok},
          {"AT+CREG?", "\r\n+CREG: 2,2\r\n" + ok},
          {"AT+COPS=3,2", "\r\n+CEREG: 1,\"1A2B\",\"01A2B3C5\",7\r\n" + ok},
          {"AT+COPS?", cops}},
         ModemStep::Cell,
         "lte",
         0x1A2B3C4,
         -1},
        {"only an unsolicited line tells the cell",
         {{"AT+CEREG=2", ok},
          {"AT+CEREG?", "\r\n+CEREG: 1,\"1A2B\",\"01A2B3C4\",7\r\n" + ok},
          {"AT+COPS=3,2", ok},
          {"AT+COPS?", cops}},
         ModemStep::Cell,
         "lte",
         0x1A2B3C4,
         -1},
        {"a kind with an all-F cell is passed over",
         {{"AT+CEREG=2", ok},
          {"AT+CEREG?", "\r\n+CEREG: 2,1,\"FFFF\",\"FFFFFFFF\",7\r\n" + ok},
          {"AT+CGREG=2", ok},
          {"AT+CGREG?", "\r\n+CGREG: 2,1,\"3A4F\",\"012B3C4\",6,\"0A\"\r\n" + ok},
          {"AT+COPS=3,2", "\r\nERROR\r\n"},
          {"AT+COPS?", cops}},
         ModemStep::Cell,
         "wcdma",
         0x12B3C4,
         -1},
        {"searching: the first kind that answered gives the status",
         {{"AT+CEREG=2", ok},
          {"AT+CEREG?", "\r\n+CEREG: 2,2\r\n" + ok},
          {"AT+CREG=2", ok},
          {"AT+CREG?", "\r\n+CREG: 2,3\r\n" + ok}},
         ModemStep::NotRegistered,
         "",
         0,
         2},
        {"denied", {{"AT+CREG=2", ok}, {"AT+CREG?", "\r\n+CREG: 2,3\r\n" + ok}}, ModemStep::NotRegistered, "", 0, 3},
        {"emergency only is no registration",
         {{"AT+CEREG=2", ok}, {"AT+CEREG?", "\r\n+CEREG: 2,8,\"1A2B\",\"01A2B3C4\",7\r\n" + ok}},
         ModemStep::NotRegistered,
         "",
         0,
         8},
        {"registered without a usable cell",
         {{"AT+CREG=2", ok}, {"AT+CREG?", "\r\n+CREG: 0,1\r\n" + ok}},
         ModemStep::Failed,
         "",
         0,
         -1},
        {"nothing but ERROR", {}, ModemStep::Failed, "", 0, -1},
        {"operator not in digits",
         {{"AT+CEREG=2", ok},
          {"AT+CEREG?", "\r\n+CEREG: 2,1,\"1A2B\",\"01A2B3C4\",7\r\n" + ok},
          {"AT+COPS=3,2", ok},
          {"AT+COPS?", "\r\n+COPS: 0,0,\"NTT DOCOMO\",7\r\n" + ok}},
         ModemStep::Failed,
         "",
         0,
         -1},
    };
    for (const Case& c : cases) {
        for (std::size_t chunk : {std::size_t(1), std::size_t(7), std::size_t(4096)}) {
            for (bool echo : {true, false}) {
                SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk) + (echo ? ", echo" : ""));
                Conversation run = Converse(c.answers, chunk, echo);
                ASSERT_EQ(c.step, run.outcome.step);
                EXPECT_EQ(c.status, run.outcome.status);
                if (c.step == ModemStep::Cell) {
                    EXPECT_EQ(c.radio, run.outcome.cell.radio);
                    EXPECT_EQ(c.cell, run.outcome.cell.cell);
                    EXPECT_EQ(440u, run.outcome.cell.mcc);
                    EXPECT_EQ(10u, run.outcome.cell.mnc);
                } else {
                    EXPECT_FALSE(run.outcome.message.empty());
                }
            }
        }
    }
    // The order of the questions, each ending in CR; none after the end.
    Conversation run = Converse(cases[0].answers, 4096);
    // (the first kind with a usable cell ends the questions about registration)
    EXPECT_EQ((std::vector<std::string>{"AT+C5GREG=2\r", "AT+C5GREG?\r", "AT+CEREG=2\r", "AT+CEREG?\r", "AT+COPS=3,2\r",
                                        "AT+COPS?\r"}),
              run.sent);
    run = Converse(cases[1].answers, 4096);
    EXPECT_EQ((std::vector<std::string>{"AT+C5GREG=2\r", "AT+CEREG=2\r", "AT+CGREG=2\r", "AT+CREG=2\r", "AT+CREG?\r",
                                        "AT+COPS=3,2\r", "AT+COPS?\r"}),
              run.sent);
}

TEST(ModemDialogue, CollectorEndsAnswersAndBoundsThem)
{
    struct Case
    {
        const char* bytes;
        ModemFinal final;
        std::vector<std::string> lines;
    } cases[] = {
        {"AT+CEREG?\r\r\n+CEREG: 0,1\r\n\r\nOK\r\n", ModemFinal::Ok, {"+CEREG: 0,1"}},
        {"at+cereg?\r+CEREG: 0,1\rOK\r", ModemFinal::Ok, {"+CEREG: 0,1"}}, // bare CR, echo in lower case
        {"\n+CEREG: 0,1\n\nOK\n", ModemFinal::Ok, {"+CEREG: 0,1"}},
        {"\r\nERROR\r\n", ModemFinal::Error, {}},
        {"\r\n+CME ERROR: 30\r\n", ModemFinal::CmeError, {}},
        {"\r\n+CME ERROR: no network service\r\n", ModemFinal::CmeError, {}},
        {"\r\n+CMS ERROR: 500\r\n", ModemFinal::CmsError, {}},
        {"\r\nNO CARRIER\r\n", ModemFinal::NoCarrier, {}},
        {"\r\n+CEREG: 0,1\r\nOK", ModemFinal::None, {"+CEREG: 0,1"}}, // the last line not yet ended
        {"\r\nAT+CEREG?\r\nAT+CEREG?\r\nOKAY\r\n", ModemFinal::None, {"AT+CEREG?", "OKAY"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        CModemAnswerCollector collector;
        collector.Begin("AT+CEREG?\r");
        collector.Feed(c.bytes);
        EXPECT_EQ(c.final, collector.Answer().final);
        EXPECT_EQ(c.lines, collector.Answer().lines);
    }

    // Lines after the final result wait for the next answer.
    CModemAnswerCollector collector;
    collector.Begin("AT+CEREG=2\r");
    EXPECT_TRUE(collector.Feed("\r\nOK\r\n\r\n+CEREG: 1,\"1A2B\",\"01A2B3C4\",7\r\n"));
    EXPECT_TRUE(collector.Answer().lines.empty());
    collector.Begin("AT+CEREG?\r");
    EXPECT_FALSE(collector.Complete());
    EXPECT_EQ(std::vector<std::string>{"+CEREG: 1,\"1A2B\",\"01A2B3C4\",7"}, collector.Answer().lines);

    // A babbling port: long lines and many of them are cut, and the answer still ends.
    collector.Begin("AT+CEREG?\r");
    collector.Feed(std::string(100000, 'A') + "\r\n");
    for (int i = 0; i < 10000; ++i) {
        collector.Feed("+CEREG: 2\r\n");
    }
    EXPECT_TRUE(collector.Feed("OK\r\n"));
    EXPECT_TRUE(collector.Answer().truncated);
    EXPECT_EQ(ModemAnswer::kMaxLines, collector.Answer().lines.size());
    EXPECT_EQ(ModemAnswer::kMaxLineBytes, collector.Answer().lines[0].size());
}

TEST(ModemDialogue, BoxesNameTheErrorInPrintableText)
{
    ModemAnswer answer;
    answer.final = ModemFinal::CmeError;
    answer.finalLine = "+CME ERROR: \x01\xff SIM busy";
    EXPECT_NE(std::wstring::npos, ModemErrorText(answer).find(L"?? SIM busy"));

    // Every kind refused with a +CME ERROR: the box gives the modem's error.
    std::map<std::string, std::string> refused;
    for (const char* kind : {"C5GREG", "CEREG", "CGREG", "CREG"}) {
        refused[std::string("AT+") + kind + "=2"] = "\r\n+CME ERROR: 10\r\n";
    }
    Conversation run = Converse(refused, 3);
    EXPECT_EQ(ModemStep::Failed, run.outcome.step);
    EXPECT_NE(std::wstring::npos, run.outcome.message.find(L"+CME ERROR: 10"));
}
