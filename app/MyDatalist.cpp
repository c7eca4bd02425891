#include "app/MyDatalist.h"

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
      rowAttributes(count_) {}

void MyDatalist::Rebuild(std::vector<wxString> values) {
    DeleteAllItems();
    while (GetColumnCount() > 0) DeleteColumn(0);
    InsertColumn(0, firstColumn, wxLIST_FORMAT_LEFT, wxLIST_AUTOSIZE);
    InsertColumn(1, wxT("Data"), wxLIST_FORMAT_LEFT, wxLIST_AUTOSIZE);
    SetValues(std::move(values));
    SetItemCount(count);
    const long long marked = selectedAddress < 0 ? 0 : selectedAddress;
    if (marked % step == 0 && marked / step < count) {
        // Marking the row is not the user choosing it: the event this raises
        // must not count as a selection.
        marking = true;
        SetItemState(static_cast<long>(marked / step), wxLIST_STATE_SELECTED,
                     wxLIST_STATE_SELECTED);
        marking = false;
    }
}

void MyDatalist::SetValues(std::vector<wxString> values) {
    values.resize(count);
    valueTexts = std::move(values);
    if (GetItemCount() > 0) RefreshItems(0, GetItemCount() - 1);
}

void MyDatalist::SetRowColour(unsigned row, const wxColour& colour) {
    if (row >= count || rowAttributes[row].GetBackgroundColour() == colour) return;
    rowAttributes[row].SetBackgroundColour(colour);
    if (static_cast<long>(row) < GetItemCount()) RefreshItem(row);
}

wxString MyDatalist::OnGetItemText(long item, long column) const {
    if (item < 0 || static_cast<unsigned long>(item) >= count) return wxString();
    if (column == 0) return wxString::Format(wxT("%d"), static_cast<int>(item * step));
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
    if (marking) return;
    selectedAddress = static_cast<long long>(step) * event.GetIndex();
    event.Skip();  // the main window highlights the instruction
}

}  // namespace tandrel
