#pragma once

#include <wx/scrolwin.h>

#include <cstddef>
#include <functional>

#include "render/DrawRules.h"
#include "sim/ExplainedRun.h"

namespace tandrel {

// The pipeline timeline: one row per fetched instruction, one column per
// clock cycle, each cell IF ID EX MEM WB with its name written in it and
// tinted in the colour the drawing gives that instruction, squashed cells
// grey and dashed, the current cycle's column outlined. The instruction
// column and the cycle numbers stay put while the cells scroll; only what is
// in view is drawn, so a long run repaints as fast as a short one.
class TimelinePane : public wxScrolled<wxWindow> {
  public:
    TimelinePane(wxWindow* parent, const ExplainedRun& run, const Simulator& simulator,
                 const ColourTable& colours);

    // Call when the run's explanation has moved: sizes the scroll area,
    // brings the current cycle into view and repaints.
    void ShowRun();

    // The cycle of the column under a point of the client area (cells and
    // cycle numbers), or 0; `row` gets the row there, or -1 over none.
    long long CycleAt(wxPoint point, long long& row) const;
    // A cell's rectangle in the client area, as it is scrolled now.
    wxRect CellRect(std::size_t row, long long cycle) const;
    // The cycle whose column is outlined; 0 before the first Step.
    long long CurrentColumn() const { return run.CurrentStep(); }
    // The rows drawn: those fetched in a cycle that ran.
    std::size_t RowCount() const;

    // Draws what is in view (the paint handler, and the benchmark).
    void DrawVisible(wxDC& dc);
    // The whole timeline as the SVG of `tandrel-cli diagram --format svg`,
    // in the window's stage colours; and as a PNG of the pane's drawing.
    // Both give false when nothing could be written.
    bool ExportSvg(const wxString& path) const;
    bool ExportPng(const wxString& path) const;

    // Paints so far (the benchmark checks that a repaint happened).
    long long Paints() const { return paints; }

    // Called with the cycle of a clicked column.
    std::function<void(long long cycle)> onChooseCycle;

  private:
    struct Metrics {
        int cell = 48, row = 22, header = 22, label = 220;
    };
    // Draws rows [firstRow, lastRow] and cycles [firstCycle, lastCycle] with
    // the cells shifted left by scrollX and up by scrollY, on a dc of the
    // given size.
    void Draw(wxDC& dc, wxSize size, int scrollX, int scrollY) const;
    wxPoint ScrollOffset() const;
    wxString RowLabel(std::size_t row) const;
    wxString Tooltip(std::size_t row, long long cycle) const;

    void OnPaint(wxPaintEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnScroll(wxScrollWinEvent& event);

    const ExplainedRun& run;
    const Simulator& simulator;
    const ColourTable& colours;
    Metrics metrics;
    wxString tooltip;
    long long paints = 0;
};

}  // namespace tandrel
