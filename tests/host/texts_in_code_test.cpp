// The program's texts live in the string table: the C++ sources hold none that a user reads.
// A literal the check finds is a text to move (resources/resource.h says how).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Literal
{
    int line;
    std::string text;     // as written between the quotes (UTF-8)
    std::string function; // the call it is an argument of, when it stands in one
};

// The string literals of C++ source, comments skipped. Enough of C++ for the program's own code:
// plain, wide and raw literals, character literals, line and block comments.
std::vector<Literal> Literals(const std::string& source)
{
    std::vector<Literal> found;
    std::vector<std::string> calls; // the name before each open parenthesis
    int line = 1;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '\n') {
            ++line;
        } else if (source.compare(i, 2, "//") == 0) {
            i = source.find('\n', i) - 1;
        } else if (source.compare(i, 2, "/*") == 0) {
            const std::size_t end = source.find("*/", i + 2);
            line += static_cast<int>(std::count(source.begin() + i, source.begin() + end, '\n'));
            i = end + 1;
        } else if (c == '(') {
            std::size_t start = i;
            while (start > 0 &&
                   (std::isalnum(static_cast<unsigned char>(source[start - 1])) || source[start - 1] == '_')) {
                --start;
            }
            calls.push_back(source.substr(start, i - start));
        } else if (c == ')' && !calls.empty()) {
            calls.pop_back();
        } else if (c == 'R' && i + 1 < source.size() && source[i + 1] == '"') {
            const std::size_t open = source.find('(', i);
            const std::string close = ")" + source.substr(i + 2, open - i - 2) + "\"";
            const std::size_t end = source.find(close, open);
            found.push_back({line, source.substr(open + 1, end - open - 1), calls.empty() ? "" : calls.back()});
            line += static_cast<int>(std::count(source.begin() + i, source.begin() + end, '\n'));
            i = end + close.size() - 1;
        } else if (c == '"' || c == '\'') {
            std::size_t end = i + 1;
            while (end < source.size() && source[end] != c) {
                end += source[end] == '\\' ? 2 : 1;
            }
            if (c == '"') {
                found.push_back({line, source.substr(i + 1, end - i - 1), calls.empty() ? "" : calls.back()});
            }
            i = end;
        }
    }
    return found;
}

// Calls whose text argument a user reads.
const char* const kShowingCalls[] = {
    "ShowMessageBox",  "ShowErrorBox",    "ShowWarningBox",  "ShowQuestionBox", "MessageBoxW",
    "SetProgressText", "SetWindowTextW",  "SetDlgItemTextW", "LogLine",         "AppendLogLine",
    "ShowError",       "ReportReadError", "SetLastMessage",  "Report",
};

// The English failure texts of the serial, HTTP and connection layers all read so.
const char* const kFailureWords[] = {"failed", "Failed", "problem", "successed"};

// What in one file's literals a user would read.
std::vector<std::string> TextsIn(const std::string& name, const std::string& source)
{
    std::vector<std::string> faults;
    for (const Literal& literal : Literals(source)) {
        const bool foreign = std::any_of(literal.text.begin(), literal.text.end(),
                                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        const bool shown =
            std::find(std::begin(kShowingCalls), std::end(kShowingCalls), literal.function) != std::end(kShowingCalls);
        const bool failure = std::any_of(std::begin(kFailureWords), std::end(kFailureWords), [&](const char* word) {
            return literal.text.find(word) != std::string::npos;
        });
        if ((foreign || shown || failure) && !literal.text.empty()) {
            faults.push_back(name + ":" + std::to_string(literal.line) + ": \"" + literal.text + "\"");
        }
    }
    return faults;
}

std::string Read(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

TEST(TextsInCode, TheSourcesHoldNoTextAUserReads)
{
    int files = 0;
    for (const char* folder : {"acquisition", "common", "network", "platform", "settings", "ui"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(TAVRIN_SOURCE_DIR) + "/" + folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") {
                continue;
            }
            ++files;
            const std::string name = std::string(folder) + "/" + entry.path().filename().string();
            for (const std::string& fault : TextsIn(name, Read(entry.path()))) {
                ADD_FAILURE() << fault;
            }
        }
    }
    EXPECT_GT(files, 50);
}

// The check itself, on the forms the program's code took before its texts moved.
TEST(TextsInCode, FindsTheFormsATextTookInCode)
{
    const struct
    {
        const char* source;
        bool found;
    } rows[] = {
        {"Warn(window, L\"CS-IDを取得してください。\");", true},
        {"const wchar_t kCaption[] = L\"確認\";", true},
        {"ShowMessageBox(dialog, text, L\"Error\", MB_OK | MB_ICONERROR);", true},
        {"SetWindowTextW(GetDlgItem(window, IDC_GET_LOCATION), L\"Get\");", true},
        {"error = Format(L\"CreateFile failed: %ls\", name.c_str());", true},
        {"ShowError(L\"Port Closeing isn't successed.\");", true},
        {"error = L\"Get configuration port has problem.\";", true},
        {"SetLastMessage(Format(L\"RasEnumConnections() == 0x%08x: Failed.\", answer));", true},
        {"filter = L\"設定ファイル (*.ini)\\0*.ini\\0\";", true},
        {"text = R\"(位置)\";", true},
        // Names and formats of data are no texts; comments may say anything.
        {"key.SetValue(L\"PORT\", port.c_str());", false},
        {"Format(L\"%ls %03u-%0*u\", radio.c_str(), mcc, digits, mnc);", false},
        {"// the box says \"接続に失敗しました。\"", false},
        {"/* \"確認\" */ int x = 0;", false},
        {"ShowErrorBox(window, Text(IDS_LOOKUP_FAILED));", false},
        {"const char c = '\"'; auto s = L\"COM1:\";", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(!TextsIn("x.cpp", row.source).empty(), row.found) << row.source;
    }
}
