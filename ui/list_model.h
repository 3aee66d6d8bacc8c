#pragma once

#include "settings/list_entry.h"

#include <array>
#include <string>
#include <vector>

// The rows of the list editor and the rules of its buttons, apart from the list view
// that shows them. A row holds the three field texts (title, URL or path, format).
using ListRow = std::array<std::wstring, 3>;

enum
{
    LIST_KIND_URL = 0,
    LIST_KIND_BROWSER = 1,
};

struct ListButtonStates
{
    bool remove;
    bool replace;
    bool up;
    bool down;
};

// Which of delete, replace, up and down are usable with `count` rows and selection `selection`.
ListButtonStates ListButtons(int count, int selection);

// Whether any text holds the field delimiter of the settings file.
bool ContainsListDelimiter(const ListRow& texts);
// The warning shown when it does.
std::wstring ListDelimiterWarning();

// Names of the columns of a list kind, as given to entries rebuilt at OK.
std::vector<std::wstring> ListColumnNames(int kind);
// Header width of list column `column`, in pixels of a 96-dpi screen.
int ListColumnWidth(int column);

class CListEditorModel
{
public:
    // Takes the entries' values as rows (missing fields empty); no row selected.
    void Load(const std::vector<CListEntry>& entries);

    const std::vector<ListRow>& Rows() const { return m_rows; }
    int Count() const { return static_cast<int>(m_rows.size()); }

    // The selected row, -1 for none. Set from the list view; an index outside the rows
    // means none.
    int Selection() const { return m_nSelection; }
    void SetSelection(int selection);

    // Each returns whether the rows changed; the selection follows the moved or new row.
    bool Add(const ListRow& texts);
    bool Remove();
    bool Replace(const ListRow& texts);
    bool MoveUp();
    bool MoveDown();

    // The selection as the edit boxes last showed it. NoteSelection records a new one and
    // tells whether it differs, i.e. whether the edits must be refilled.
    bool NoteSelection(int selection);
    void ForgetShownSelection() { m_nShownSelection = -1; }
    // Makes the next NoteSelection report a change whatever the selection.
    void InvalidateShownSelection() { m_nShownSelection = kNothingShown; }
    // The texts the edits show for a selection (empty for none).
    ListRow TextsFor(int selection) const;

    // The rows as list entries of `kind` (names 名前, URL and, for URLs, 書式).
    std::vector<CListEntry> BuildEntries(int kind) const;

private:
    static constexpr int kNothingShown = -2;

    bool Valid(int index) const { return index >= 0 && index < Count(); }

    std::vector<ListRow> m_rows;
    int m_nSelection = -1;
    int m_nShownSelection = -1;
};
