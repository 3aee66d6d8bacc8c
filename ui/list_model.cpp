#include "ui/list_model.h"

#include "common/texts.h"
#include "resources/resource.h"

#include <algorithm>
#include <utility>

ListButtonStates ListButtons(int count, int selection)
{
    ListButtonStates states{};
    states.remove = states.replace = count >= 1 && selection >= 0;
    if (selection >= 0) {
        states.down = selection < count - 1;
        states.up = selection > 0;
    }
    return states;
}

bool ContainsListDelimiter(const ListRow& texts)
{
    return std::any_of(texts.begin(), texts.end(),
                       [](const std::wstring& text) { return text.find(L';') != std::wstring::npos; });
}

std::wstring ListDelimiterWarning()
{
    return Text(IDS_LIST_DELIMITER, {L";"});
}

std::vector<std::wstring> ListColumnNames(int kind)
{
    if (kind == LIST_KIND_URL) {
        return {Text(IDS_LIST_NAME), Text(IDS_LIST_URL), Text(IDS_LIST_FORMAT)};
    }
    return {Text(IDS_LIST_NAME), Text(IDS_LIST_URL)};
}

int ListColumnWidth(int column)
{
    return column < 2 ? 150 : 100;
}

void CListEditorModel::Load(const std::vector<CListEntry>& entries)
{
    m_rows.clear();
    for (const CListEntry& entry : entries) {
        m_rows.push_back(ListRow{entry.Value(0), entry.Value(1), entry.Value(2)});
    }
    m_nSelection = -1;
}

void CListEditorModel::SetSelection(int selection)
{
    m_nSelection = Valid(selection) ? selection : -1;
}

bool CListEditorModel::Add(const ListRow& texts)
{
    m_rows.push_back(texts);
    m_nSelection = Count() - 1;
    return true;
}

bool CListEditorModel::Remove()
{
    if (!Valid(m_nSelection)) {
        return false;
    }
    m_rows.erase(m_rows.begin() + m_nSelection);
    m_nSelection = std::min(m_nSelection, Count() - 1);
    return true;
}

bool CListEditorModel::Replace(const ListRow& texts)
{
    if (!Valid(m_nSelection)) {
        return false;
    }
    m_rows[m_nSelection] = texts;
    return true;
}

bool CListEditorModel::MoveUp()
{
    if (!Valid(m_nSelection) || m_nSelection == 0) {
        return false;
    }
    std::swap(m_rows[m_nSelection], m_rows[m_nSelection - 1]);
    --m_nSelection;
    return true;
}

bool CListEditorModel::MoveDown()
{
    if (!Valid(m_nSelection) || m_nSelection == Count() - 1) {
        return false;
    }
    std::swap(m_rows[m_nSelection], m_rows[m_nSelection + 1]);
    ++m_nSelection;
    return true;
}

bool CListEditorModel::NoteSelection(int selection)
{
    bool changed = selection != m_nShownSelection;
    m_nShownSelection = selection;
    return changed;
}

ListRow CListEditorModel::TextsFor(int selection) const
{
    return Valid(selection) ? m_rows[selection] : ListRow{};
}

std::vector<CListEntry> CListEditorModel::BuildEntries(int kind) const
{
    std::vector<std::wstring> names = ListColumnNames(kind);
    std::vector<CListEntry> entries;
    for (const ListRow& row : m_rows) {
        CListEntry entry;
        for (size_t i = 0; i < names.size(); ++i) {
            entry.Add(names[i], row[i]);
        }
        entries.push_back(entry);
    }
    return entries;
}
