#include "ui/list_model.h"

#include <gtest/gtest.h>

namespace {

CListEntry Entry(const std::wstring& a, const std::wstring& b, const std::wstring& c)
{
    CListEntry e;
    e.Add(L"名前", a);
    e.Add(L"URL", b);
    e.Add(L"書式", c);
    return e;
}

CListEditorModel Loaded(int count)
{
    std::vector<CListEntry> entries;
    for (int i = 0; i < count; ++i) {
        std::wstring n = std::to_wstring(i);
        entries.push_back(Entry(L"t" + n, L"u" + n, L"f" + n));
    }
    CListEditorModel model;
    model.Load(entries);
    return model;
}

std::wstring Titles(const CListEditorModel& model)
{
    std::wstring titles;
    for (const ListRow& row : model.Rows()) {
        titles += row[0];
    }
    return titles;
}

} // namespace

TEST(ListModel, ButtonStatesFollowCountAndSelection)
{
    struct Case
    {
        int count, selection;
        bool remove, up, down;
    } cases[] = {
        {0, -1, false, false, false}, {3, -1, false, false, false}, {1, 0, true, false, false},
        {3, 0, true, false, true},    {3, 1, true, true, true},     {3, 2, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << "/" << c.selection);
        ListButtonStates s = ListButtons(c.count, c.selection);
        EXPECT_EQ(c.remove, s.remove);
        EXPECT_EQ(c.remove, s.replace);
        EXPECT_EQ(c.up, s.up);
        EXPECT_EQ(c.down, s.down);
    }
}

TEST(ListModel, EditsMoveRowsAndSelection)
{
    struct Case
    {
        const char* name;
        int count, selection;
        bool (*op)(CListEditorModel&);
        bool changed;
        std::wstring titles;
        int selectionAfter;
    } cases[] = {
        {"add", 2, 0,
         [](CListEditorModel& m) {
             return m.Add({L"x", L"", L""});
         },
         true, L"t0t1x", 2},
        {"add to empty", 0, -1,
         [](CListEditorModel& m) {
             return m.Add({L"x", L"", L""});
         },
         true, L"x", 0},
        {"delete middle", 3, 1, [](CListEditorModel& m) { return m.Remove(); }, true, L"t0t2", 1},
        {"delete last", 3, 2, [](CListEditorModel& m) { return m.Remove(); }, true, L"t0t1", 1},
        {"delete only", 1, 0, [](CListEditorModel& m) { return m.Remove(); }, true, L"", -1},
        {"delete none", 2, -1, [](CListEditorModel& m) { return m.Remove(); }, false, L"t0t1", -1},
        {"replace last", 3, 2,
         [](CListEditorModel& m) {
             return m.Replace({L"x", L"", L""});
         },
         true, L"t0t1x", 2},
        {"replace none", 2, -1,
         [](CListEditorModel& m) {
             return m.Replace({L"x", L"", L""});
         },
         false, L"t0t1", -1},
        {"up", 3, 2, [](CListEditorModel& m) { return m.MoveUp(); }, true, L"t0t2t1", 1},
        {"up first", 3, 0, [](CListEditorModel& m) { return m.MoveUp(); }, false, L"t0t1t2", 0},
        {"down", 3, 0, [](CListEditorModel& m) { return m.MoveDown(); }, true, L"t1t0t2", 1},
        {"down last", 3, 2, [](CListEditorModel& m) { return m.MoveDown(); }, false, L"t0t1t2", 2},
        {"down none", 3, -1, [](CListEditorModel& m) { return m.MoveDown(); }, false, L"t0t1t2", -1},
        {"down single", 1, 0, [](CListEditorModel& m) { return m.MoveDown(); }, false, L"t0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CListEditorModel model = Loaded(c.count);
        model.SetSelection(c.selection);
        EXPECT_EQ(c.changed, c.op(model));
        EXPECT_EQ(c.titles, Titles(model));
        EXPECT_EQ(c.selectionAfter, model.Selection());
    }
}

TEST(ListModel, EditsRefillOnlyWhenTheShownSelectionChanges)
{
    CListEditorModel model = Loaded(2);
    EXPECT_FALSE(model.NoteSelection(-1));
    EXPECT_TRUE(model.NoteSelection(0));
    EXPECT_FALSE(model.NoteSelection(0)); // a replace keeps the typed texts
    model.ForgetShownSelection();
    EXPECT_TRUE(model.NoteSelection(0));
    model.InvalidateShownSelection(); // after a delete even "none" refills the edits
    EXPECT_TRUE(model.NoteSelection(-1));
}

TEST(ListModel, EntriesRebuiltWithTheNamesOfTheirKind)
{
    std::vector<CListEntry> in{Entry(L"a", L"b", L"c")};
    CListEntry shortEntry;
    shortEntry.Add(L"x", L"only");
    in.push_back(shortEntry);
    CListEditorModel model;
    model.Load(in);

    std::vector<CListEntry> urls = model.BuildEntries(LIST_KIND_URL);
    ASSERT_EQ(2u, urls.size());
    EXPECT_EQ(in[0], urls[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"only", L"", L""}), urls[1].m_values);

    std::vector<CListEntry> browsers = model.BuildEntries(LIST_KIND_BROWSER);
    EXPECT_EQ((std::vector<std::wstring>{L"名前", L"URL"}), browsers[0].m_names);
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), browsers[0].m_values);
    EXPECT_EQ(150, ListColumnWidth(0));
    EXPECT_EQ(150, ListColumnWidth(1));
    EXPECT_EQ(100, ListColumnWidth(2));
}
