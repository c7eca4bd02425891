#pragma once

#include <wx/listctrl.h>

#include <functional>
#include <set>
#include <vector>

namespace tandrel {

// One of the three address/value lists beside the drawing. The rows are
// virtual: the list keeps the texts and colours it was last given and the
// control asks for the rows it shows, so 512 rows cost nothing to refill.
class MyDatalist : public wxListCtrl {
  public:
    // The list ids, which are also the simulator's memory keys.
    enum ListId { kInstructions = 0, kRegisters = 1, kData = 2 };

    MyDatalist(unsigned step, unsigned count, const wxString& firstColumn, wxWindow* parent,
               wxWindowID id);

    unsigned Step() const { return step; }
    unsigned Count() const { return count; }
    // The byte address (step x row) of the last row the user clicked, or -1.
    long long SelectedAddress() const { return selectedAddress; }

    // Gives the list a third column, after the values, with this heading.
    void AddTextColumn(const wxString& heading) { textColumn = heading; }
    bool HasTextColumn() const { return !textColumn.empty(); }
    // The width in pixels of the widest value text.
    int WidestValue() const;

    // Re-creates the columns and every row with the given value texts (and
    // third-column texts).
    void Rebuild(std::vector<wxString> values, std::vector<wxString> texts = {});
    // Replaces the value texts.
    void SetValues(std::vector<wxString> values);
    void SetRowColours(unsigned row, const wxColour& background, const wxColour& text);
    // Marks one row (the instruction the drawing follows) with an arrow and
    // bold text, leaving its background colour visible; -1 marks none.
    void SetMarkedRow(long row);
    long MarkedRow() const { return markedRow; }

    // A last column, "Break", with a dot on the rows that have a breakpoint;
    // a click in it calls `onClick` with the row instead of selecting it.
    void AddBreakpointColumn(std::function<void(long row)> onClick);
    bool HasBreakpointColumn() const { return static_cast<bool>(onBreakpointClick); }
    int BreakpointColumn() const { return HasTextColumn() ? 3 : 2; }
    void SetBreakpointRows(std::set<long> rows);
    static constexpr int kBreakpointWidth = 48;

  private:
    wxString OnGetItemText(long item, long column) const override;
    wxItemAttr* OnGetItemAttr(long item) const override;
    void OnColumnBeginDrag(wxListEvent& event);
    void OnItemSelected(wxListEvent& event);
    void OnRowsLeftDown(wxMouseEvent& event);

    unsigned step;
    unsigned count;
    wxString firstColumn;
    wxString textColumn;  // empty: two columns only
    long long selectedAddress = -1;
    long markedRow = -1;
    std::vector<wxString> valueTexts;
    std::vector<wxString> columnTexts;
    mutable std::vector<wxItemAttr> rowAttributes;
    std::function<void(long row)> onBreakpointClick;
    std::set<long> breakpointRows;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace tandrel
