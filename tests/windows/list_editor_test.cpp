#include "ui/list_editor.h"

#include "resources/resource.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const wchar_t kCaption[] = L"リストの編集";
const std::wstring kDelimiterWarning = L"; は区切り文字として使用するので利用できません。";

HINSTANCE Instance()
{
    return GetModuleHandleW(nullptr);
}

CListEntry Entry(std::vector<std::wstring> names, std::vector<std::wstring> values)
{
    CListEntry entry;
    for (size_t i = 0; i < names.size(); ++i) {
        entry.Add(names[i], values[i]);
    }
    return entry;
}

CListEntry Url(const std::wstring& title, const std::wstring& url, const std::wstring& format)
{
    return Entry({L"Title", L"Base", L"Format"}, {title, url, format});
}

// What a user sees and does in the open editor; every call comes from the script thread.
class Editor
{
public:
    explicit Editor(HWND dialog) : m_dialog(dialog), m_list(GetDlgItem(dialog, IDC_LIST)) {}

    std::wstring Text(int id) const
    {
        wchar_t text[1100] = {};
        GetDlgItemTextW(m_dialog, id, text, 1100);
        return text;
    }
    void Type(const std::wstring& f0, const std::wstring& f1, const std::wstring& f2 = L"")
    {
        SetDlgItemTextW(m_dialog, IDC_LIST_FIELD0, f0.c_str());
        SetDlgItemTextW(m_dialog, IDC_LIST_FIELD1, f1.c_str());
        SetDlgItemTextW(m_dialog, IDC_LIST_FIELD2, f2.c_str());
    }
    // The three edits joined with "|".
    std::wstring Edits() const
    {
        return Text(IDC_LIST_FIELD0) + L"|" + Text(IDC_LIST_FIELD1) + L"|" + Text(IDC_LIST_FIELD2);
    }
    std::wstring Cell(int item, int column) const
    {
        wchar_t text[1100] = {};
        LVITEMW lv{};
        lv.iSubItem = column;
        lv.pszText = text;
        lv.cchTextMax = 1100;
        SendMessageW(m_list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
        return text;
    }
    // Rows as "a|b|c" separated by ",".
    std::wstring Rows() const
    {
        std::wstring rows;
        int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            rows += (i > 0 ? L"," : L"") + Cell(i, 0) + L"|" + Cell(i, 1) + L"|" + Cell(i, 2);
        }
        return rows;
    }
    int Selected() const
    {
        return static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    void Select(int item)
    {
        LVITEMW state{};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(m_list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    }
    void Press(int id) { PressButton(m_dialog, id); }
    // The screen turns: the dialog gets a new size.
    void Turn()
    {
        RECT rect{};
        GetClientRect(m_dialog, &rect);
        SendMessageW(m_dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.bottom, rect.right));
    }
    // Enabled states of delete, replace, up, down as "1100".
    std::string Buttons() const
    {
        std::string states;
        for (int id : {IDC_LIST_DELETE, IDC_LIST_REPLACE, IDC_LIST_UP, IDC_LIST_DOWN}) {
            states += IsWindowEnabled(GetDlgItem(m_dialog, id)) ? '1' : '0';
        }
        return states;
    }
    bool Visible(int id) const { return IsWindowVisible(GetDlgItem(m_dialog, id)) != FALSE; }
    // The caption's icon is the program's (shared, so the same handle), not the system's default.
    bool ShowsProgramIcon() const
    {
        const HANDLE program = LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_TAVRIN), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
        return program != nullptr &&
               reinterpret_cast<HANDLE>(SendMessageW(m_dialog, WM_GETICON, ICON_SMALL, 0)) == program;
    }
    int Width(int id) const
    {
        RECT rect{};
        GetWindowRect(GetDlgItem(m_dialog, id), &rect);
        return rect.right - rect.left;
    }
    std::vector<std::wstring> Headers() const
    {
        std::vector<std::wstring> headers;
        HWND header = reinterpret_cast<HWND>(SendMessageW(m_list, LVM_GETHEADER, 0, 0));
        int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT;
            column.pszText = text;
            column.cchTextMax = 64;
            SendMessageW(m_list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
            headers.push_back(text + std::wstring(L":") +
                              std::to_wstring(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, i, 0)));
        }
        return headers;
    }

private:
    HWND m_dialog;
    HWND m_list;
};

INT_PTR RunWith(const std::vector<CListEntry>& list, int kind, int index, std::function<void(Editor&)> script)
{
    ResetListEditor();
    DialogScript user(kCaption, [&](HWND dialog) {
        Editor editor(dialog);
        script(editor);
    });
    INT_PTR result = RunListEditor(Instance(), nullptr, list, kind, index);
    EXPECT_TRUE(user.Found());
    return result;
}

} // namespace

TEST(ListEditor, UrlListEditsMovesAndRefusesTheDelimiter)
{
    MessageBoxRecorder boxes;
    std::vector<CListEntry> list{Url(L"A", L"a", L"fa"), Url(L"B", L"b", L"fb"), Url(L"C", L"c", L"fc")};
    INT_PTR result = RunWith(list, 0, 1, [&](Editor& e) {
        EXPECT_EQ((std::vector<std::wstring>{L"Title:150", L"Base:150", L"Format:100"}), e.Headers());
        EXPECT_EQ(L"Title", e.Text(IDC_LIST_LABEL0));
        EXPECT_EQ(L"Base", e.Text(IDC_LIST_LABEL1));
        EXPECT_EQ(L"Format", e.Text(IDC_LIST_LABEL2));
        EXPECT_FALSE(e.Visible(IDC_LIST_BROWSE));
        EXPECT_TRUE(e.Visible(IDC_LIST_FIELD2));
        EXPECT_EQ(e.Width(IDC_LIST_FIELD2), e.Width(IDC_LIST_FIELD1));
        EXPECT_EQ(1, e.Selected());
        EXPECT_EQ(L"B|b|fb", e.Edits());
        EXPECT_EQ("1111", e.Buttons());

        // A re-layout from the template keeps what was prepared for the kind.
        e.Turn();
        EXPECT_EQ(L"Title", e.Text(IDC_LIST_LABEL0));
        EXPECT_EQ(L"Format", e.Text(IDC_LIST_LABEL2));
        EXPECT_EQ(e.Width(IDC_LIST_FIELD2), e.Width(IDC_LIST_FIELD1));
        EXPECT_FALSE(e.Visible(IDC_LIST_BROWSE));

        // The ends cannot move further out.
        e.Select(0);
        EXPECT_EQ("1101", e.Buttons());
        e.Press(IDC_LIST_UP);
        e.Select(2);
        EXPECT_EQ("1110", e.Buttons());
        e.Press(IDC_LIST_DOWN);
        EXPECT_EQ(L"A|a|fa,B|b|fb,C|c|fc", e.Rows());

        e.Press(IDC_LIST_UP);
        EXPECT_EQ(L"A|a|fa,C|c|fc,B|b|fb", e.Rows());
        EXPECT_EQ(1, e.Selected());
        EXPECT_EQ(L"C|c|fc", e.Edits());

        e.Type(L"D", L"d", L"fd");
        e.Press(IDC_LIST_ADD);
        EXPECT_EQ(3, e.Selected());
        EXPECT_EQ("1110", e.Buttons());

        for (auto fields : {std::vector<std::wstring>{L"X;", L"x", L""}, {L"X", L"x;", L""}, {L"X", L"x", L";"}}) {
            e.Type(fields[0], fields[1], fields[2]);
            e.Press(IDC_LIST_ADD);
            e.Press(IDC_LIST_REPLACE);
        }
        EXPECT_EQ(L"X|x|;", e.Edits()); // a refused text stays for correction
        EXPECT_EQ(L"A|a|fa,C|c|fc,B|b|fb,D|d|fd", e.Rows());

        e.Type(L"E", L"e", L"");
        e.Press(IDC_LIST_REPLACE);
        EXPECT_EQ(L"A|a|fa,C|c|fc,B|b|fb,E|e|", e.Rows());
        EXPECT_EQ(3, e.Selected());
        EXPECT_EQ(L"E|e|", e.Edits());

        // After a delete the edits show the entry that took its place.
        e.Select(1);
        e.Press(IDC_LIST_DELETE);
        EXPECT_EQ(L"A|a|fa,B|b|fb,E|e|", e.Rows());
        EXPECT_EQ(1, e.Selected());
        EXPECT_EQ(L"B|b|fb", e.Edits());
        e.Press(IDOK);
    });
    EXPECT_EQ(1, result);
    auto shown = boxes.Boxes();
    ASSERT_EQ(6u, shown.size());
    for (const auto& box : shown) {
        EXPECT_EQ(kDelimiterWarning, box.text);
        EXPECT_EQ(L"警告", box.caption);
        EXPECT_EQ(0x10u, box.style);
        EXPECT_NE(nullptr, box.owner);
    }
    std::vector<CListEntry> edited;
    ASSERT_TRUE(GetEditedList(edited));
    std::vector<std::wstring> urlNames{L"名前", L"URL", L"書式"};
    EXPECT_EQ((std::vector<CListEntry>{Entry(urlNames, {L"A", L"a", L"fa"}), Entry(urlNames, {L"B", L"b", L"fb"}),
                                       Entry(urlNames, {L"E", L"e", L""})}),
              edited);
    EXPECT_EQ(1, g_nEditorSelection);
}

TEST(ListEditor, BrowserListHasTwoColumnsAndKeepsItsNewNames)
{
    std::vector<CListEntry> list{Entry({L"Name", L"Path"}, {L"IE", L"\\Windows\\iexplore.exe"})};
    INT_PTR result = RunWith(list, 1, 0, [&](Editor& e) {
        EXPECT_EQ((std::vector<std::wstring>{L"Name:150", L"Path:150"}), e.Headers());
        EXPECT_TRUE(e.ShowsProgramIcon());
        EXPECT_TRUE(e.Visible(IDC_LIST_BROWSE));
        EXPECT_FALSE(e.Visible(IDC_LIST_LABEL2));
        EXPECT_FALSE(e.Visible(IDC_LIST_FIELD2));
        EXPECT_LT(e.Width(IDC_LIST_FIELD1), e.Width(IDC_LIST_FIELD0));
        EXPECT_EQ("1100", e.Buttons());
        e.Turn();
        EXPECT_TRUE(e.Visible(IDC_LIST_BROWSE));
        EXPECT_FALSE(e.Visible(IDC_LIST_FIELD2));
        e.Type(L"Opera", L"\\opera.exe");
        e.Press(IDC_LIST_ADD);
        e.Press(IDOK);
    });
    ASSERT_EQ(1, result);
    std::vector<CListEntry> edited;
    GetEditedList(edited);
    std::vector<std::wstring> names{L"名前", L"URL"};
    EXPECT_EQ((std::vector<CListEntry>{Entry(names, {L"IE", L"\\Windows\\iexplore.exe"}),
                                       Entry(names, {L"Opera", L"\\opera.exe"})}),
              edited);
    EXPECT_EQ(1, g_nEditorSelection);

    // The next opening shows the new names; cancel leaves the working copy as loaded.
    result = RunWith(edited, 1, 1, [&](Editor& e) {
        EXPECT_EQ((std::vector<std::wstring>{L"名前:150", L"URL:150"}), e.Headers());
        EXPECT_EQ(L"名前", e.Text(IDC_LIST_LABEL0));
        EXPECT_EQ(L"URL", e.Text(IDC_LIST_LABEL1));
        EXPECT_EQ(L"Opera|\\opera.exe|", e.Edits());
        e.Press(IDC_LIST_DELETE);
        e.Press(IDCANCEL);
    });
    EXPECT_EQ(2, result);
    EXPECT_EQ(2u, g_editorList.size());
}

TEST(ListEditor, OkOnAnEmptiedListKeepsTheEntries)
{
    std::vector<CListEntry> list{Url(L"A", L"a", L""), Url(L"B", L"b", L"")};
    INT_PTR result = RunWith(list, 0, 1, [&](Editor& e) {
        e.Press(IDC_LIST_DELETE);
        EXPECT_EQ(L"A|a|", e.Edits());
        e.Press(IDC_LIST_DELETE);
        EXPECT_EQ(L"", e.Rows());
        EXPECT_EQ(L"||", e.Edits());
        EXPECT_EQ("0000", e.Buttons());
        e.Press(IDC_LIST_DELETE); // nothing selected: nothing happens
        e.Press(IDC_LIST_REPLACE);
        e.Press(IDOK);
    });
    EXPECT_EQ(1, result);
    std::vector<CListEntry> edited;
    GetEditedList(edited);
    EXPECT_EQ(list, edited);
    EXPECT_EQ(-1, g_nEditorSelection);
}

TEST(ListEditor, InitialIndexAndEmptyList)
{
    std::vector<CListEntry> list{Url(L"A", L"a", L""), Url(L"B", L"b", L"")};
    // Beyond the end: nothing is selected and the index stays until OK.
    INT_PTR result = RunWith(list, 0, 7, [&](Editor& e) {
        EXPECT_EQ(-1, e.Selected());
        EXPECT_EQ(L"||", e.Edits());
        EXPECT_EQ("0000", e.Buttons());
        e.Press(IDCANCEL);
    });
    EXPECT_EQ(2, result);
    EXPECT_EQ(7, g_nEditorSelection);

    // A negative index selects the first entry.
    RunWith(list, 0, -3, [&](Editor& e) {
        EXPECT_EQ(0, e.Selected());
        EXPECT_EQ(L"A|a|", e.Edits());
        e.Press(IDCANCEL);
    });

    // An empty list gets the columns of its kind, so an added entry shows in full.
    result = RunWith({}, 0, 0, [&](Editor& e) {
        EXPECT_EQ(L"TITLE", e.Text(IDC_LIST_LABEL0));
        EXPECT_EQ(3u, e.Headers().size());
        e.Type(L"N", L"http://n/", L"$nl");
        e.Press(IDC_LIST_ADD);
        EXPECT_EQ(L"N|http://n/|$nl", e.Rows());
        e.Press(IDOK);
    });
    EXPECT_EQ(1, result);
    ASSERT_EQ(1u, g_editorList.size());
    EXPECT_EQ(Entry({L"名前", L"URL", L"書式"}, {L"N", L"http://n/", L"$nl"}), g_editorList[0]);
    EXPECT_EQ(0, g_nEditorSelection);

    ResetListEditor();
    EXPECT_EQ(0, g_nEditorSelection);
}

TEST(ListEditor, BrowseFillsThePathFromTheChooserAndKeepsTheEditedList)
{
    // A copy of the tests' chooser library of our own, so no other test reads its answer.
    std::wstring dir = ExeFolder() + L"\\list_editor_chooser";
    CreateDirectoryW(dir.c_str(), nullptr);
    if (!CopyFileW((ExeFolder() + L"\\chooser\\gsgetfile.dll").c_str(), (dir + L"\\gsgetfile.dll").c_str(), FALSE)) {
        GTEST_SKIP() << "the tests' chooser library is not built";
    }
    const std::wstring log = dir + L"\\gsgetfile.log";
    const std::wstring answer = dir + L"\\gsgetfile.answer";
    DeleteFileW(log.c_str());
    WriteUtf16(answer, L"C:\\Program Files\\Opera\\opera.exe");
    SetDllDirectoryW(dir.c_str());

    std::vector<CListEntry> list{Entry({L"名前", L"URL"}, {L"IE", L"\\Windows\\iexplore.exe"})};
    INT_PTR result = RunWith(list, 1, 0, [&](Editor& e) {
        e.Type(L"Opera", L"");
        e.Press(IDC_LIST_ADD);
        e.Select(0);
        e.Press(IDC_LIST_BROWSE);
        EXPECT_EQ(L"IE|C:\\Program Files\\Opera\\opera.exe|", e.Edits());
        // The list keeps the entry added before browsing; the chosen path is not yet in it.
        EXPECT_EQ(L"IE|\\Windows\\iexplore.exe|,Opera||", e.Rows());

        // Cancelled chooser, and a path too long to split: nothing changes.
        DeleteFileW(answer.c_str());
        std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L".exe";
        e.Type(L"IE", longPath);
        e.Press(IDC_LIST_BROWSE);
        EXPECT_EQ(longPath, e.Text(IDC_LIST_FIELD1));
        e.Press(IDC_LIST_REPLACE);
        e.Press(IDOK);
    });
    SetDllDirectoryW(nullptr);
    EXPECT_EQ(1, result);
    ASSERT_EQ(2u, g_editorList.size());
    EXPECT_EQ(L"C:\\" + std::wstring(300, L'x') + L".exe", g_editorList[0].Value(1));

    std::wstring requests = ReadUtf16(log);
    const std::wstring common = L"call=open\nsize=" + std::to_wstring(sizeof(OPENFILENAMEW)) +
                                L"\nowner=1\ntitle=ブラウザの選択\n"
                                L"filter=実行ファイル (*.exe)|*.exe;全てのファイル (*.*)|*.*\n"
                                L"index=1\nflags=0x1004\nmax=260\n";
    EXPECT_EQ(common + L"dir=\\Windows\nfile=iexplore.exe\n" + common + L"dir=\nfile=\n", requests);
}
