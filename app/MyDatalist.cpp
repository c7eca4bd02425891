#include "app/MyDatalist.h"

#include <algorithm>
#include <set>

namespace tandrel {

wxBEGIN_EVENT_TABLE(MyDatalist, wxListCtrl)
    EVT_LIST_COL_BEGIN_DRAG(MyDatalist::kInstructions, MyDatalist::OnColumnBeginDrag)
    EVT_LIST_COL_BEGIN_DRAG(MyDatalist::kRegisters, MyDatalist::OnColumnBeginDrag)
    EVT_LIST_COL_BEGIN_DRAG(MyDatalist::kData, MyDatalist::OnColumnBeginDrag)
    EVT_LIST_ITEM_SELECTED(MyDatalist::kInstructions, MyDatalist::OnItemSelected)
wxEND_EVENT_TABLE()

MyDatalist::MyDatalist(unsigned step_, unsigned count_, const wxString& firstColumn_,
                       wxWindow* parent, wxWindowID id)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_VIRTUAL),
      step(step_),
      count(count_),
      firstColumn(firstColumn_),
      valueTexts(count_),
      columnTexts(count_),
      rowAttributes(count_) {}

void MyDatalist::Rebuild(std::vector<wxString> values, std::vector<wxString> texts) {
    DeleteAllItems();
    while (GetColumnCount() > 0) DeleteColumn(0);
    InsertColumn(0, firstColumn, wxLIST_FORMAT_LEFT, wxLIST_AUTOSIZE);
    InsertColumn(1, wxT("Data"), wxLIST_FORMAT_LEFT, wxLIST_AUTOSIZE);
    if (!textColumn.empty()) InsertColumn(2, textColumn, wxLIST_FORMAT_LEFT, wxLIST_AUTOSIZE);
    if (HasBreakpointColumn())
        InsertColumn(BreakpointColumn(), wxT("Break"), wxLIST_FORMAT_CENTRE, kBreakpointWidth);
    texts.resize(count);
    columnTexts = std::move(texts);
    SetValues(std::move(values));
    SetItemCount(count);
}

void MyDatalist::SetValues(std::vector<wxString> values) {
    values.resize(count);
    // Only the rows whose text changed are drawn again: during a run most
    // of the data memory stays as it was.
    long first = -1, last = -1;
    for (unsigned row = 0; row < count; ++row) {
        if (values[row] == valueTexts[row]) continue;
        if (first < 0) first = static_cast<long>(row);
        last = static_cast<long>(row);
    }
    valueTexts = std::move(values);
    last = std::min<long>(last, GetItemCount() - 1);
    if (first >= 0 && first <= last) RefreshItems(first, last);
}

void MyDatalist::SetRowColours(unsigned row, const wxColour& background, const wxColour& text) {
    if (row >= count) return;
    wxItemAttr& attributes = rowAttributes[row];
    if (attributes.GetBackgroundColour() == background && attributes.GetTextColour() == text)
        return;
    attributes.SetBackgroundColour(background);
    attributes.SetTextColour(text);
    if (static_cast<long>(row) < GetItemCount()) RefreshItem(row);
}

void MyDatalist::SetMarkedRow(long row) {
    if (row == markedRow) return;
    const long previous = markedRow;
    markedRow = row;
    for (long changed : {previous, row}) {
        if (changed < 0 || static_cast<unsigned long>(changed) >= count) continue;
        wxFont font = GetFont();
        if (changed == row) font.MakeBold();
        rowAttributes[static_cast<size_t>(changed)].SetFont(font);
        if (changed < GetItemCount()) RefreshItem(changed);
    }
}

// Each distinct text is measured once: most rows hold the same few values
// (all of them at start), and measuring asks the toolkit to lay the text out.
int MyDatalist::WidestValue() const {
    int widest = 0;
    const std::set<wxString> distinct(valueTexts.begin(), valueTexts.end());
    for (const wxString& text : distinct) widest = std::max(widest, GetTextExtent(text).x);
    return widest;
}

wxString MyDatalist::OnGetItemText(long item, long column) const {
    if (item < 0 || static_cast<unsigned long>(item) >= count) return wxString();
    if (column == 0) {
        const wxString address = wxString::Format(wxT("%d"), static_cast<int>(item * step));
        return item == markedRow ? wxString(L"\u25B6 ") + address : address;
    }
    if (HasBreakpointColumn() && column == BreakpointColumn())
        return breakpointRows.count(item) != 0 ? wxString(L"\u25CF") : wxString();
    if (column == 2) return columnTexts[static_cast<size_t>(item)];
    return valueTexts[static_cast<size_t>(item)];
}

wxItemAttr* MyDatalist::OnGetItemAttr(long item) const {
    if (item < 0 || static_cast<unsigned long>(item) >= count) return nullptr;
    return &rowAttributes[static_cast<size_t>(item)];
}

// The columns keep the widths the window gives them.
void MyDatalist::OnColumnBeginDrag(wxListEvent& event) {
    event.Veto();
}

void MyDatalist::OnItemSelected(wxListEvent& event) {
    const long row = event.GetIndex();
    selectedAddress = static_cast<long long>(step) * row;
    // The toolkit's selection colour would hide the stage colour, and a row
    // left selected could not be clicked again; the marker shows the choice.
    CallAfter([this, row] { SetItemState(row, 0, wxLIST_STATE_SELECTED); });
    event.Skip();  // the main window follows the instruction
}

void MyDatalist::AddBreakpointColumn(std::function<void(long row)> onClick) {
    onBreakpointClick = std::move(onClick);
    // The rows are drawn by an inner window of the list, which gets the clicks.
    for (wxWindow* inner : GetChildren())
        inner->Bind(wxEVT_LEFT_DOWN, &MyDatalist::OnRowsLeftDown, this);
}

void MyDatalist::SetBreakpointRows(std::set<long> rows) {
    breakpointRows = std::move(rows);
    if (GetItemCount() > 0) RefreshItems(0, GetItemCount() - 1);
}

void MyDatalist::OnRowsLeftDown(wxMouseEvent& event) {
    // The headings' window sits above the rows' and takes no breakpoints.
    const auto* inner = static_cast<const wxWindow*>(event.GetEventObject());
    const int column = BreakpointColumn();
    int left = 0;
    for (int c = 0; c < column && c < GetColumnCount(); ++c) left += GetColumnWidth(c);
    const int x = CalcUnscrolledPosition(event.GetPosition()).x;
    int flags = 0;
    const long row = HitTest(event.GetPosition(), flags);
    if (GetColumnCount() <= column || inner->GetPosition().y <= 0 || x < left ||
        x >= left + GetColumnWidth(column) || row == wxNOT_FOUND) {
        event.Skip();  // an ordinary click: the row is selected
        return;
    }
    onBreakpointClick(row);
}

}  // namespace tandrel
