#include "acquisition/modem_dialogue.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const RegistrationKind kC5g = RegistrationKind::Nr5gs, kCe = RegistrationKind::Eps, kCg = RegistrationKind::Gprs,
                       kC = RegistrationKind::Cs;

// A modem that answers each command with the text of a table, or "ERROR"; each answer goes to
// the dialogue in chunks of `chunk` bytes. Returns the outcome and the commands sent.
struct Conversation
{
    ModemOutcome outcome;
    std::vector<std::string> sent;
};
Conversation Converse(const std::map<std::string, std::string>& answers, std::size_t chunk, bool echo = true)
{
    Conversation run;
    CModemDialogue dialogue(L"COM1:", 115200u);
    ModemAction action = dialogue.Start();
    for (int i = 0; i < 30 && !dialogue.Ended(); ++i) {
        const std::string command = action.command;
        run.sent.push_back(command);
        auto it = answers.find(command.substr(0, command.size() - 1));
        std::string reply = (echo ? command + "\r\n" : "") + (it != answers.end() ? it->second : "\r\nERROR\r\n");
        for (std::size_t at = 0; at < reply.size(); at += chunk) {
            dialogue.Feed(std::string_view(reply).substr(at, chunk));
        }
        action = dialogue.AnswerReady() ? dialogue.OnAnswer() : dialogue.OnWaitEnded();
    }
    run.outcome = dialogue.Outcome();
    return run;
}

} // namespace

// Read answers and unsolicited lines as modem makers' AT manuals show them.
TEST(ModemDialogue, ReadsTheRegistrationFormsModemsSend)
{
    struct Case
    {
        const char* maker;
        RegistrationKind kind;
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
        // By its shape this is a read answer (<n> 2, registered), whatever command is in flight.
        {"read answer of another kind", kC, "+CREG: 2,1", false, 1, "", 0, 0},
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
        // Every number with leading zeros, the mode and the status too.
        {"zeros: read", kCe, R"(+CEREG: 002,001,"1A2B","01A2B3C4",007)", false, 1, "lte", 0x1A2B, 0x1A2B3C4},
        {"zeros: read, four digits", kC, R"(+CREG: 0002,0005,"00A1","0000A1B2",0002)", false, 5, "wcdma", 0xA1, 0xA1B2},
        {"zeros: status only", kCg, "+CGREG: 00,02", false, 2, "", 0, 0},
        {"zeros: URC", kCe, R"(+CEREG: 001,"1A2B","01A2B3C4",007)", true, 1, "lte", 0x1A2B, 0x1A2B3C4},
        {"zeros: bare-hex URC", kCe, "+CEREG: 0001,0012,00000123,07", true, 1, "lte", 0x12, 0x123},
        {"zeros: bare-hex read", kC, "+CREG: 0002,0001,0D0A,0000A1B2,0000", false, 1, "gsm", 0xD0A, 0xA1B2},
        // A routing area between the area and the cell (Sercomm LC4RT), read and URC.
        {"routing area: read", kCe, R"(+CEREG: 2,1,"1A2B","1C","01A2B3C4",7)", false, 1, "lte", 0x1A2B, 0x1A2B3C4},
        {"routing area 00: URC", kCe, R"(+CEREG: 5,"1A2B","00","01A2B3C4",7)", true, 5, "lte", 0x1A2B, 0x1A2B3C4},
        {"routing area, no AcT", kCg, R"(+CGREG: 2,1,"1A2B","C","0123ABCD")", false, 1, "wcdma", 0x1A2B, 0x123ABCD},
        // A short cell is no routing area when no cell follows it.
        {"short GSM cell", kC, R"(+CREG: 2,1,"00A1","1C",0)", false, 1, "gsm", 0xA1, 0x1C},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.maker) + ": " + c.line);
        Registration r;
        ASSERT_TRUE(ParseRegistrationLine(c.line, r));
        EXPECT_EQ(c.kind, r.kind);
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
        EXPECT_FALSE(ParseRegistrationLine(line, r)) << line;
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
        {R"(+COPS: 000,002,"44010",007)", true, 440, 10, 2},
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
        {"searching and denied: the box names the more telling status",
         {{"AT+CEREG=2", ok},
          {"AT+CEREG?", "\r\n+CEREG: 2,2\r\n" + ok},
          {"AT+CREG=2", ok},
          {"AT+CREG?", "\r\n+CREG: 2,3\r\n" + ok}},
         ModemStep::NotRegistered,
         "",
         0,
         3},
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
    // The order of the questions, each ending in CR. A kind whose format already shows the
    // location is asked once, and an operator already in digits needs no format: nothing is
    // changed, so nothing is put back. The first kind with a usable cell ends the questions about
    // registration.
    Conversation run = Converse(cases[0].answers, 4096);
    EXPECT_EQ((std::vector<std::string>{"AT+C5GREG?\r", "AT+CEREG?\r", "AT+COPS?\r"}), run.sent);
    run = Converse(cases[1].answers, 4096);
    EXPECT_EQ((std::vector<std::string>{"AT+C5GREG?\r", "AT+CEREG?\r", "AT+CGREG?\r", "AT+CREG?\r", "AT+COPS?\r"}),
              run.sent);
    // A format the program set is put back: the operator's, then the registration's.
    run = Converse(cases[10].answers, 4096);
    EXPECT_EQ((std::vector<std::string>{"AT+C5GREG?\r", "AT+CEREG?\r", "AT+COPS?\r", "AT+COPS=3,2\r", "AT+COPS?\r",
                                        "AT+COPS=3,0\r"}),
              run.sent);
    // A format there is none of goes back as the factory one, never as written.
    std::map<std::string, std::string> odd = cases[10].answers;
    odd["AT+COPS?"] = "\r\n+COPS: 0,21,\"NTT DOCOMO\",7\r\n" + ok;
    run = Converse(odd, 4096);
    EXPECT_EQ("AT+COPS=3,0\r", run.sent.back());
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
        {"\r\n+CEREG: 0,1\r\nOK", ModemFinal::None, {"+CEREG: 0,1"}},           // the last line not yet ended
        {"\r\nAT+CEREG?\r\nAT+CEREG?\r\nOKAY\r\n", ModemFinal::None, {"OKAY"}}, // an echo twice is still an echo
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
    collector = CModemAnswerCollector();
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
        refused[std::string("AT+") + kind + "?"] = "\r\n+CME ERROR: 10\r\n";
    }
    Conversation run = Converse(refused, 3);
    EXPECT_EQ(ModemStep::Failed, run.outcome.step);
    EXPECT_NE(std::wstring::npos, run.outcome.message.find(L"+CME ERROR: 10"));
}

namespace {

// A modem as the makers' manuals show it: each kind keeps the format (<n>) it was set to, the
// operator's format likewise, and every command gets its answer in V1 form.
struct SimModem
{
    bool echo = true;
    bool zeros = false;               // numbers with leading zeros, the mode and status too
    const char* registration[4] = {}; // per kind: "<stat>[,<area>,<cell>,<AcT>]", null: the kind is lacking
    int mode[4] = {0, 0, 0, 0};
    int copsFormat = 0;
    const char* operatorName = "NTT DOCOMO";
    const char* operatorDigits = "44010";

    std::string Number(int n) const { return zeros ? (n < 10 ? "00" : "0") + std::to_string(n) : std::to_string(n); }

    std::string RegistrationLine(int kind) const
    {
        std::string fields = registration[kind];
        const std::size_t comma = fields.find(',');
        std::string stat = fields.substr(0, comma);
        std::string location = comma == std::string::npos ? "" : fields.substr(comma);
        if (zeros && !location.empty()) {
            const std::size_t last = location.rfind(',');
            location = location.substr(0, last + 1) + Number(std::stoi(location.substr(last + 1)));
        }
        static const char* const names[] = {"+C5GREG: ", "+CEREG: ", "+CGREG: ", "+CREG: "};
        return names[kind] + Number(mode[kind]) + "," + Number(std::stoi(stat)) + (mode[kind] >= 2 ? location : "");
    }

    // The bytes answering one command (ending in CR); the modem's state changes at once.
    std::string Answer(const std::string& command)
    {
        static const char* const kinds[] = {"C5GREG", "CEREG", "CGREG", "CREG"};
        const std::string c = command.substr(0, command.size() - 1);
        std::vector<std::string> lines;
        bool ok = c == "AT";
        for (int k = 0; k < 4; ++k) {
            const std::string name = std::string("AT+") + kinds[k];
            if (c == name + "?" && registration[k] != nullptr) {
                lines.push_back(RegistrationLine(k));
                ok = true;
            } else if (c.rfind(name + "=", 0) == 0 && registration[k] != nullptr) {
                mode[k] = std::stoi(c.substr(name.size() + 1));
                ok = true;
            }
        }
        if (c == "AT+COPS?") {
            const char* oper = copsFormat == 2 ? operatorDigits : operatorName;
            lines.push_back("+COPS: " + Number(0) + "," + Number(copsFormat) + ",\"" + oper + "\"," + Number(7));
            ok = true;
        } else if (c.rfind("AT+COPS=3,", 0) == 0) {
            copsFormat = std::stoi(c.substr(10));
            ok = true;
        }
        std::string reply = echo ? command : "";
        for (const std::string& line : lines) {
            reply += "\r\n" + line + "\r\n";
        }
        return reply + (ok ? "\r\nOK\r\n" : "\r\nERROR\r\n");
    }
};

// A box's text for a failure message: ASCII as it is, the rest as '?'.
std::string Utf8Of(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// What goes wrong on the line in a run.
struct Faults
{
    int lateAt = -1;       // the answer to this command (counted from 0) comes after its wait
    int stopAt = -1;       // "中断" while this command's answer is awaited
    int staleKind = -1;    // before every read's answer, a stale unsolicited line of this kind
    std::size_t chunk = 0; // bytes at a time; 0: each answer whole
    int lostAt = -1;       // this command never reaches the modem
    bool busy = false;     // with lateAt: the modem, busy with the late one, drops what comes meanwhile
};

// Old cells of every kind: none of them is where the modem is now.
const char* const kStale[] = {R"(+C5GREG: 1,"00A1B2","0000ABC123",11)", R"(+CEREG: 5,"2B3C","0A1B2C3D",7)",
                              R"(+CGREG: 1,"00A1","0012ABC",2)", R"(+CREG: 1,"00A1","1B2C",0)"};

struct ModemRun
{
    ModemOutcome outcome;
    std::vector<std::string> sent;
    bool stopped = false; // "中断" came before the formats were being put back
};

// The window's part: writes what the dialogue says, hands it the modem's bytes, tells it when
// a wait has passed.
ModemRun Drive(SimModem& modem, const Faults& faults)
{
    ModemRun run;
    CModemDialogue dialogue(L"COM3:", std::nullopt); // the speed search first: the modem takes any
    ModemAction action = dialogue.Start();
    std::string late;    // the answer whose wait passed
    std::string carried; // the answer to the command sent again, which comes after the next command
    const auto feed = [&](const std::string& bytes) {
        const std::size_t chunk = faults.chunk != 0 ? faults.chunk : bytes.size() + 1;
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            dialogue.Feed(std::string_view(bytes).substr(at, chunk));
        }
    };
    for (int step = 0; step < 60 && !dialogue.Ended(); ++step) {
        if (action.command.empty()) {
            // A wait with nothing written: the late answer comes in it, or it passes.
            feed(late);
            late.clear();
            action = dialogue.AnswerReady() ? dialogue.OnAnswer() : dialogue.OnWaitEnded();
            continue;
        }
        const int index = static_cast<int>(run.sent.size());
        run.sent.push_back(action.command);
        std::string reply = faults.busy && !late.empty() ? std::string() : modem.Answer(action.command);
        if (faults.staleKind >= 0 && action.command.find("REG?") != std::string::npos) {
            reply = "\r\n" + std::string(kStale[faults.staleKind]) + "\r\n" + reply;
        }
        if (index == faults.stopAt) {
            run.stopped = !dialogue.PuttingBack();
            action = dialogue.Stop();
            feed(reply);
            if (dialogue.AnswerReady()) {
                action = dialogue.OnAnswer();
            }
            continue;
        }
        if (index == faults.lateAt || index == faults.lostAt) {
            late = index == faults.lateAt ? reply : std::string();
            action = dialogue.OnWaitEnded(); // it goes out again, or the wait goes on
            continue;
        }
        if (!late.empty()) {
            // The late answer comes now; the second one only once the dialogue has gone on.
            feed(late);
            late.clear();
            if (dialogue.AnswerReady()) {
                carried = reply;
                action = dialogue.OnAnswer();
                continue;
            }
        }
        feed(carried + reply);
        carried.clear();
        action = dialogue.AnswerReady() ? dialogue.OnAnswer() : dialogue.OnWaitEnded();
    }
    EXPECT_TRUE(dialogue.Ended());
    run.outcome = dialogue.Outcome();
    return run;
}

struct ModemRow
{
    const char* name;
    SimModem modem;
    ModemStep step;
    const char* radio; // for Cell
    std::uint32_t area;
    std::uint64_t cell;
    unsigned mcc, mnc;
    int status; // for NotRegistered
};

SimModem Modem(std::initializer_list<const char*> registration, int mode = 0, int copsFormat = 0)
{
    SimModem m;
    int k = 0;
    for (const char* r : registration) {
        m.registration[k] = r;
        m.mode[k++] = mode;
    }
    m.copsFormat = copsFormat;
    return m;
}

} // namespace

// Whatever the line does to the answers, the run ends with the cell the modem's state gives, or
// with the box that state calls for, and every format the modem had is put back.
TEST(ModemDialogue, EndsWithTheModemsCellAndPutsItsFormatsBackWhateverTheLineDoes)
{
    const char* lte = R"(1,"1A2B","01A2B3C4",7)";
    SimModem routingArea = Modem({nullptr, R"(1,"1A2B","1C","01A2B3C4",7)", "0", "0"});
    SimModem zeros = Modem({nullptr, lte, lte, lte});
    zeros.zeros = true;
    SimModem roaming = Modem({nullptr, R"(5,"2B3C","0A1B2C3D",7)", "0", "0"}, 1, 2);
    roaming.operatorDigits = "310260";
    const ModemRow rows[] = {
        {"LTE at home, no 5GS, formats 0", Modem({nullptr, lte, lte, lte}), ModemStep::Cell, "lte", 0x1A2B, 0x1A2B3C4,
         440, 10, -1},
        {"5G standalone", Modem({R"(1,"01A2B3","00B1C2D3E",11)", "0", "0", "0"}), ModemStep::Cell, "nr", 0x1A2B3,
         0xB1C2D3E, 440, 10, -1},
        {"UMTS, found through GPRS", Modem({nullptr, nullptr, R"(1,"1A2B","0123ABCD",2)", R"(1,"1A2B","0123ABCD",2)"}),
         ModemStep::Cell, "wcdma", 0x1A2B, 0x123ABCD, 440, 10, -1},
        {"GSM through CS only, URCs on (format 1)", Modem({nullptr, nullptr, nullptr, R"(1,"00A1","1B2C",0)"}, 1),
         ModemStep::Cell, "gsm", 0xA1, 0x1B2C, 440, 10, -1},
        {"roaming, formats 1 and operator already in digits", roaming, ModemStep::Cell, "lte", 0x2B3C, 0xA1B2C3D, 310,
         260, -1},
        {"LTE with a routing area before the cell", routingArea, ModemStep::Cell, "lte", 0x1A2B, 0x1A2B3C4, 440, 10,
         -1},
        {"every number with leading zeros", zeros, ModemStep::Cell, "lte", 0x1A2B, 0x1A2B3C4, 440, 10, -1},
        {"LTE already showing its location (format 2)", Modem({nullptr, lte, lte, lte}, 2), ModemStep::Cell, "lte",
         0x1A2B, 0x1A2B3C4, 440, 10, -1},
        {"5GS not searching, the others denied", Modem({"0", "3", "3", "3"}), ModemStep::NotRegistered, "", 0, 0, 0, 0,
         3},
        {"searching", Modem({nullptr, "2", "2", "2"}), ModemStep::NotRegistered, "", 0, 0, 0, 0, 2},
        {"emergency calls only over not searching", Modem({"0", "8", "0", "0"}), ModemStep::NotRegistered, "", 0, 0, 0,
         0, 8},
        {"registered without a usable cell", Modem({nullptr, R"(1,"FFFE","01A2B3C4",7)", "0", "0"}), ModemStep::Failed,
         "", 0, 0, 0, 0, -1},
    };
    for (const ModemRow& row : rows) {
        // The clean run gives the number of commands: every one of them is late once, and
        // interrupted once.
        SimModem clean = row.modem;
        const std::size_t commands = Drive(clean, Faults{}).sent.size();
        std::vector<Faults> runs;
        for (std::size_t chunk : {std::size_t(0), std::size_t(1), std::size_t(7)}) {
            runs.push_back(Faults{-1, -1, -1, chunk});
            for (int kind = 0; kind < 4; ++kind) {
                runs.push_back(Faults{-1, -1, kind, chunk});
            }
            for (int at = 0; at < static_cast<int>(commands); ++at) {
                runs.push_back(Faults{at, -1, -1, chunk});
                runs.push_back(Faults{-1, at, -1, chunk});
                runs.push_back(Faults{-1, -1, -1, chunk, at});
                runs.push_back(Faults{at, -1, -1, chunk, -1, true});
            }
        }
        for (bool echo : {true, false}) {
            for (const Faults& faults : runs) {
                if (faults.lostAt >= 0 && !echo) {
                    continue; // only the echo tells a lost command from a slow one
                }
                SCOPED_TRACE(std::string(row.name) + (echo ? ", echo" : ", no echo") + ", late at " +
                             std::to_string(faults.lateAt) + ", stopped at " + std::to_string(faults.stopAt) +
                             ", stale kind " + std::to_string(faults.staleKind) + ", chunk " +
                             std::to_string(faults.chunk) + ", lost at " + std::to_string(faults.lostAt) +
                             (faults.busy ? ", busy" : ""));
                SimModem modem = row.modem;
                modem.echo = echo;
                const ModemRun run = Drive(modem, faults);
                for (int k = 0; k < 4; ++k) {
                    EXPECT_EQ(row.modem.mode[k], modem.mode[k]) << "kind " << k;
                }
                EXPECT_EQ(row.modem.copsFormat, modem.copsFormat);
                // Back in step at once: one command sent again at most (with echo), never one
                // more for every later command.
                if (faults.stopAt < 0) {
                    EXPECT_LE(run.sent.size(), commands + (faults.lateAt >= 0 || faults.lostAt >= 0 ? 1 : 0));
                }
                const ModemOutcome& outcome = run.outcome;
                if (run.stopped) {
                    EXPECT_EQ(ModemStep::Stopped, outcome.step);
                    continue;
                }
                ASSERT_EQ(row.step, outcome.step) << Utf8Of(outcome.message);
                if (row.step == ModemStep::Cell) {
                    EXPECT_EQ(row.radio, outcome.cell.radio);
                    EXPECT_EQ(row.area, outcome.cell.area);
                    EXPECT_EQ(row.cell, outcome.cell.cell);
                    EXPECT_EQ(row.mcc, outcome.cell.mcc);
                    EXPECT_EQ(row.mnc, outcome.cell.mnc);
                } else {
                    EXPECT_EQ(row.status, outcome.status);
                    EXPECT_FALSE(outcome.message.empty());
                }
            }
        }
    }
}

// Without BAUD the speeds are tried with "AT", 115200 first (a module on a UART mostly starts
// there, a USB modem takes any); at a wrong speed the modem's answer is framing garbage.
TEST(ModemDialogue, FindsTheModemsSpeed)
{
    const char* lte = R"(1,"1A2B","01A2B3C4",7)";
    struct Case
    {
        const char* name;
        unsigned modemSpeed; // 0: any speed (USB); 1: nothing answers
        std::optional<unsigned> baud;
        std::vector<unsigned> tried;
        ModemStep step;
    } cases[] = {
        {"USB modem", 0, std::nullopt, {115200}, ModemStep::Cell},
        {"UART module at 115200", 115200, std::nullopt, {115200}, ModemStep::Cell},
        {"UART module at 9600", 9600, std::nullopt, {115200, 9600}, ModemStep::Cell},
        {"UART module at 19200", 19200, std::nullopt, {115200, 9600, 57600, 38400, 19200}, ModemStep::Cell},
        {"UART module at 4800: not among the speeds tried",
         4800,
         std::nullopt,
         {115200, 9600, 57600, 38400, 19200},
         ModemStep::Failed},
        {"BAUD names the speed: no search", 38400, 38400u, {38400}, ModemStep::Cell},
        {"nothing answers", 1, std::nullopt, {115200, 9600, 57600, 38400, 19200}, ModemStep::Failed},
        {"nothing answers at BAUD's speed", 1, 9600u, {9600}, ModemStep::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimModem modem = Modem({nullptr, lte, lte, lte});
        CModemDialogue dialogue(L"COM3:", c.baud);
        unsigned line = dialogue.FirstSpeed();
        std::vector<unsigned> tried{line};
        std::vector<std::string> sent;
        ModemAction action = dialogue.Start();
        for (int step = 0; step < 40 && !dialogue.Ended(); ++step) {
            if (action.speed != 0) {
                line = action.speed;
                tried.push_back(line);
            }
            std::string reply;
            if (!action.command.empty()) {
                sent.push_back(action.command);
                if (c.modemSpeed != 1) {
                    reply = modem.Answer(action.command);
                }
                if (c.modemSpeed > 1 && c.modemSpeed != line) {
                    reply = std::string(reply.size() / 2 + 1, '\xF0'); // framing garbage: no CR, no LF
                }
            }
            dialogue.Feed(reply);
            action = dialogue.AnswerReady() ? dialogue.OnAnswer() : dialogue.OnWaitEnded();
        }
        ASSERT_TRUE(dialogue.Ended());
        EXPECT_EQ(c.tried, tried);
        EXPECT_EQ(c.step, dialogue.Outcome().step);
        // Only silence offers the port search.
        EXPECT_EQ(c.step == ModemStep::Failed, dialogue.Outcome().silent);
        if (c.step == ModemStep::Failed) {
            EXPECT_EQ(ModemSilentText(L"COM3:"), dialogue.Outcome().message);
            // Only "AT", or the first question: nothing was set, so nothing is put back.
            for (const std::string& command : sent) {
                EXPECT_TRUE(command == "AT\r" || command == "AT+C5GREG?\r") << command;
            }
        } else {
            EXPECT_EQ(0x1A2B3C4u, dialogue.Outcome().cell.cell);
            EXPECT_EQ(line, dialogue.Speed());
        }
    }
}
