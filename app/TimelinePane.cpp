#include "app/TimelinePane.h"

#include <wx/bitmap.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include <algorithm>
#include <fstream>

#include "format/DiagramSvg.h"
#include "sim/Simulator.h"

namespace tandrel {

namespace {

constexpr long long kStages = Simulator::kStages;
// A PNG larger than this many pixels a side is refused: the SVG scales.
constexpr long long kLargestPng = 16000;
enum { ID_EXPORT_SVG = wxID_HIGHEST + 1, ID_EXPORT_PNG };

wxColour ToWx(const ColourRecord& colour, int percentWhite = 0) {
    auto mix = [&](float c) {
        const int value = static_cast<int>(c * 255.0f + 0.5f);
        return static_cast<unsigned char>((value * (100 - percentWhite) + 255 * percentWhite) /
                                          100);
    };
    return wxColour(mix(colour.r), mix(colour.g), mix(colour.b));
}

}  // namespace

TimelinePane::TimelinePane(wxWindow* parent, const ExplainedRun& run_, const Simulator& simulator_,
                           const ColourTable& colours_)
    : run(run_), simulator(simulator_), colours(colours_) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
           wxHSCROLL | wxVSCROLL | wxFULL_REPAINT_ON_RESIZE, wxT("Timeline"));
    // The instruction column and the cycle numbers stay where they are, so
    // moving the pixels is not enough: every scroll repaints the whole pane.
    EnableScrolling(false, false);
    SetFont(wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)));
    const wxSize mem = GetTextExtent(wxT("MEM"));
    const wxSize character = GetTextExtent(wxT("0"));
    metrics.cell = std::max(mem.x + 14, 40);
    metrics.row = mem.y + 8;
    metrics.header = metrics.row;
    // An address and an instruction with a label fit; longer lines are cut.
    metrics.label = character.x * 34 + 12;
    SetScrollRate(metrics.cell / 4, metrics.row);
    SetMinSize(wxSize(200, 3 * metrics.row));

    Bind(wxEVT_PAINT, &TimelinePane::OnPaint, this);
    Bind(wxEVT_LEFT_UP, &TimelinePane::OnLeftUp, this);
    Bind(wxEVT_MOTION, &TimelinePane::OnMotion, this);
    Bind(wxEVT_CONTEXT_MENU, &TimelinePane::OnContextMenu, this);
    Bind(wxEVT_SCROLLWIN_TOP, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_BOTTOM, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_LINEUP, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_LINEDOWN, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_PAGEUP, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_PAGEDOWN, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_THUMBTRACK, &TimelinePane::OnScroll, this);
    Bind(wxEVT_SCROLLWIN_THUMBRELEASE, &TimelinePane::OnScroll, this);
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& event) {
        event.Skip();
        Refresh(false);
    });
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& event) {
            const bool svg = event.GetId() == ID_EXPORT_SVG;
            wxFileDialog dialog(this, svg ? wxT("Export the timeline as SVG")
                                          : wxT("Export the timeline as PNG"),
                                wxEmptyString, svg ? wxT("timeline.svg") : wxT("timeline.png"),
                                svg ? wxT("SVG pictures (*.svg)|*.svg")
                                    : wxT("PNG pictures (*.png)|*.png"),
                                wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
            if (dialog.ShowModal() != wxID_OK) return;
            const bool written =
                svg ? ExportSvg(dialog.GetPath()) : ExportPng(dialog.GetPath());
            if (!written)
                wxMessageBox(wxT("The timeline could not be written to ") + dialog.GetPath() +
                                 (svg ? wxString() : wxT(" (a very long run: export SVG)")),
                             wxT("Error"), wxOK | wxICON_ERROR, this);
        },
        ID_EXPORT_SVG, ID_EXPORT_PNG);
}

std::size_t TimelinePane::RowCount() const {
    // Rows are in fetch order; only the one at the PC waits for its cycle.
    const Timeline& timeline = run.GetTimeline();
    std::size_t count = timeline.rows.size();
    while (count > 0 && timeline.rows[count - 1].fetchCycle > timeline.cycles) --count;
    return count;
}

wxPoint TimelinePane::ScrollOffset() const {
    int unitX = 0, unitY = 0, x = 0, y = 0;
    GetScrollPixelsPerUnit(&unitX, &unitY);
    GetViewStart(&x, &y);
    return wxPoint(x * unitX, y * unitY);
}

void TimelinePane::ShowRun() {
    const long long cycles = run.GetTimeline().cycles;
    const long long rows = static_cast<long long>(RowCount());
    const long long width = metrics.label + cycles * metrics.cell + 8;
    const long long height = metrics.header + rows * metrics.row + 4;
    SetVirtualSize(static_cast<int>(std::min<long long>(width, 1 << 30)),
                   static_cast<int>(std::min<long long>(height, 1 << 30)));
    // Keep the current column and the newest row in view.
    const wxSize client = GetClientSize();
    const wxPoint offset = ScrollOffset();
    int unitX = 1, unitY = 1;
    GetScrollPixelsPerUnit(&unitX, &unitY);
    int toX = -1, toY = -1;
    const long long columnLeft = metrics.label + (cycles - 1) * metrics.cell - offset.x;
    if (cycles > 0 && (columnLeft < metrics.label || columnLeft + metrics.cell > client.x))
        toX = static_cast<int>(std::max<long long>(
            0, ((cycles - 1) * metrics.cell - (client.x - metrics.label) / 2) / unitX));
    const long long rowTop = metrics.header + (rows - 1) * metrics.row - offset.y;
    if (rows > 0 && (rowTop < metrics.header || rowTop + metrics.row > client.y))
        toY = static_cast<int>(std::max<long long>(
            0, ((rows - 1) * metrics.row - (client.y - metrics.header) * 2 / 3) / unitY));
    // What fits is shown from the start.
    if (width <= client.x && offset.x > 0) toX = 0;
    if (height <= client.y && offset.y > 0) toY = 0;
    if (toX >= 0 || toY >= 0) Scroll(toX, toY);
    Refresh(false);
}

long long TimelinePane::CycleAt(wxPoint point, long long& row) const {
    row = -1;
    const wxPoint offset = ScrollOffset();
    if (RowCount() == 0 || point.x < metrics.label || point.y < 0) return 0;
    const long long cycle = (point.x - metrics.label + offset.x) / metrics.cell + 1;
    if (cycle > run.GetTimeline().cycles) return 0;
    if (point.y >= metrics.header) {
        const long long r = (point.y - metrics.header + offset.y) / metrics.row;
        if (r < static_cast<long long>(RowCount())) row = r;
    }
    return cycle;
}

wxRect TimelinePane::CellRect(std::size_t row, long long cycle) const {
    const wxPoint offset = ScrollOffset();
    return wxRect(static_cast<int>(metrics.label + (cycle - 1) * metrics.cell - offset.x),
                  static_cast<int>(metrics.header + static_cast<long long>(row) * metrics.row -
                                   offset.y),
                  metrics.cell, metrics.row);
}

wxString TimelinePane::RowLabel(std::size_t row) const {
    const TimelineRow& fetched = run.GetTimeline().rows[row];
    return wxString::Format(wxT("%4llu  "), static_cast<unsigned long long>(fetched.address)) +
           wxString::FromUTF8(ProgramLineText(simulator, fetched.address)) +
           (fetched.squashed ? wxT(" (squashed)") : wxT(""));
}

void TimelinePane::Draw(wxDC& dc, wxSize size, int scrollX, int scrollY) const {
    const Timeline& timeline = run.GetTimeline();
    const long long cycles = timeline.cycles;
    const long long rows = static_cast<long long>(RowCount());
    const long long current = run.CurrentStep();
    dc.SetFont(GetFont());
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    if (cycles == 0 || rows == 0) {
        dc.SetTextForeground(wxColour(90, 90, 90));
        dc.DrawText(simulator.CurrentLayout() == Layout::Simple
                        ? wxT("The timeline shows the pipelined layouts (Layout > Pipelined or "
                              "Data Forwarding).")
                        : wxT("Press Step: each clock cycle adds a column, each fetched "
                              "instruction a row."),
                    6, 4);
        return;
    }
    const int textY = (metrics.row - dc.GetCharHeight()) / 2;
    // The cells and cycle numbers in view.
    const long long firstCycle = std::max<long long>(1, scrollX / metrics.cell + 1);
    const long long lastCycle =
        std::min<long long>(cycles, (scrollX + size.x - metrics.label) / metrics.cell + 1);
    const long long firstRow = std::max<long long>(0, scrollY / metrics.row);
    const long long lastRow =
        std::min<long long>(rows - 1, (scrollY + size.y - metrics.header) / metrics.row);
    auto cellX = [&](long long cycle) {
        return static_cast<int>(metrics.label + (cycle - 1) * metrics.cell - scrollX);
    };
    auto rowY = [&](long long row) {
        return static_cast<int>(metrics.header + row * metrics.row - scrollY);
    };

    if (size.x <= metrics.label || size.y <= metrics.header) return;
    dc.SetClippingRegion(metrics.label, metrics.header, size.x - metrics.label,
                         size.y - metrics.header);
    const wxPen bubblePen(wxColour(153, 153, 153), 1, wxPENSTYLE_SHORT_DASH);
    for (long long r = firstRow; r <= lastRow; ++r) {
        const TimelineRow& row = timeline.rows[static_cast<std::size_t>(r)];
        const ColourRecord colour = colours.Stage(static_cast<int>((row.fetchCycle - 1) % kStages));
        const wxBrush fill(ToWx(colour, 60));
        const wxPen border(ToWx(colour), 2);
        const long long from = std::max(row.fetchCycle, firstCycle);
        const long long to = std::min(row.fetchCycle + kStages - 1, lastCycle);
        for (long long cycle = from; cycle <= to; ++cycle) {
            const timeline::Cell cell = row.CellAt(cycle);
            if (cell == timeline::Cell::Empty) continue;
            const bool bubble = cell == timeline::Cell::Bubble;
            const wxRect box(cellX(cycle) + 1, rowY(r) + 1, metrics.cell - 2, metrics.row - 2);
            dc.SetPen(bubble ? bubblePen : border);
            dc.SetBrush(bubble ? wxBrush(wxColour(238, 238, 238)) : fill);
            dc.DrawRoundedRectangle(box, 3);
            dc.SetTextForeground(bubble ? wxColour(102, 102, 102) : *wxBLACK);
            dc.DrawLabel(wxString::FromAscii(timeline::CellName(cell)), box, wxALIGN_CENTER);
        }
    }
    // The current cycle's column, outlined over the cells.
    if (current >= firstCycle && current <= lastCycle) {
        dc.SetPen(wxPen(wxColour(20, 20, 20), 2));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(cellX(current), metrics.header,
                         metrics.cell, std::min(size.y, rowY(rows)) - metrics.header);
    }
    dc.DestroyClippingRegion();

    // Cycle numbers along the top, the current one bold.
    dc.SetClippingRegion(metrics.label, 0, size.x - metrics.label, metrics.header);
    for (long long cycle = firstCycle; cycle <= lastCycle; ++cycle) {
        const wxRect box(cellX(cycle), 0, metrics.cell, metrics.header);
        dc.SetTextForeground(cycle == current ? *wxBLACK : wxColour(85, 85, 85));
        dc.SetFont(cycle == current ? GetFont().Bold() : GetFont());
        dc.DrawLabel(wxString::Format(wxT("%lld"), cycle), box, wxALIGN_CENTER);
    }
    dc.SetFont(GetFont());
    dc.DestroyClippingRegion();

    // The instruction column, which does not scroll sideways.
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(248, 248, 248)));
    dc.DrawRectangle(0, 0, metrics.label, size.y);
    dc.SetTextForeground(wxColour(85, 85, 85));
    dc.DrawText(wxT("addr  instruction"), 4, textY);
    dc.SetClippingRegion(0, metrics.header, metrics.label - 4, size.y - metrics.header);
    for (long long r = firstRow; r <= lastRow; ++r) {
        const bool squashed = timeline.rows[static_cast<std::size_t>(r)].squashed;
        dc.SetTextForeground(squashed ? wxColour(119, 119, 119) : *wxBLACK);
        dc.DrawText(RowLabel(static_cast<std::size_t>(r)), 4, rowY(r) + textY);
    }
    dc.DestroyClippingRegion();
    dc.SetPen(wxPen(wxColour(200, 200, 200)));
    dc.DrawLine(metrics.label - 1, 0, metrics.label - 1, size.y);
    dc.DrawLine(0, metrics.header - 1, size.x, metrics.header - 1);
}

void TimelinePane::DrawVisible(wxDC& dc) {
    const wxPoint offset = ScrollOffset();
    Draw(dc, GetClientSize(), offset.x, offset.y);
}

void TimelinePane::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    DrawVisible(dc);
    ++paints;
}

void TimelinePane::OnScroll(wxScrollWinEvent& event) {
    event.Skip();  // the toolkit moves the view start; the paint follows
    Refresh(false);
}

void TimelinePane::OnLeftUp(wxMouseEvent& event) {
    long long row = -1;
    const long long cycle = CycleAt(event.GetPosition(), row);
    if (cycle > 0 && onChooseCycle) onChooseCycle(cycle);
}

wxString TimelinePane::Tooltip(std::size_t row, long long cycle) const {
    const TimelineRow& fetched = run.GetTimeline().rows[row];
    const timeline::Cell cell = fetched.CellAt(cycle);
    wxString text = wxString::FromUTF8(InstructionLabel(simulator, fetched.address));
    if (cell == timeline::Cell::Empty)
        text += wxString::Format(wxT(", fetched in cycle %lld"), fetched.fetchCycle);
    else if (cell == timeline::Cell::Bubble)
        text += wxString::Format(wxT(": a bubble in cycle %lld"), cycle);
    else
        text += wxString::Format(wxT(": %s in cycle %lld"), timeline::CellName(cell), cycle);
    text += wxT(". Click to go to that cycle.");
    for (const PipelineEvent& event : run.EventsOfRow(row))
        text += wxString::Format(wxT("\nCycle %lld: "), event.cycle) +
                wxString::FromUTF8(DescribeEvent(simulator, run.CurrentLayout(), event));
    return text;
}

void TimelinePane::OnMotion(wxMouseEvent& event) {
    event.Skip();
    long long row = -1;
    const long long cycle = CycleAt(event.GetPosition(), row);
    const wxString text =
        cycle > 0 && row >= 0 ? Tooltip(static_cast<std::size_t>(row), cycle) : wxString();
    if (text == tooltip) return;
    tooltip = text;
    if (text.empty())
        UnsetToolTip();
    else
        SetToolTip(text);
}

void TimelinePane::OnContextMenu(wxContextMenuEvent&) {
    wxMenu menu;
    menu.Append(ID_EXPORT_SVG, wxT("Export as &SVG..."));
    menu.Append(ID_EXPORT_PNG, wxT("Export as &PNG..."));
    const bool any = RowCount() > 0;
    menu.Enable(ID_EXPORT_SVG, any);
    menu.Enable(ID_EXPORT_PNG, any);
    PopupMenu(&menu);
}

bool TimelinePane::ExportSvg(const wxString& path) const {
    const Timeline& timeline = run.GetTimeline();
    std::vector<std::string> texts;
    texts.reserve(timeline.rows.size());
    for (const TimelineRow& row : timeline.rows)
        texts.push_back(ProgramLineText(simulator, row.address));
    StageColours stageColours;
    for (int slot = 0; slot < static_cast<int>(kStages); ++slot) {
        const wxColour c = ToWx(colours.Stage(slot));
        stageColours[slot] = Colour::Rgba(c.Red(), c.Green(), c.Blue());
    }
    std::ofstream out(path.fn_str(), std::ios::binary | std::ios::trunc);
    out << DiagramSvg(timeline, run.CurrentLayout(), texts, stageColours);
    return static_cast<bool>(out.flush());
}

bool TimelinePane::ExportPng(const wxString& path) const {
    const long long width = metrics.label + run.GetTimeline().cycles * metrics.cell + 8;
    const long long height = metrics.header + static_cast<long long>(RowCount()) * metrics.row + 4;
    if (width > kLargestPng || height > kLargestPng) return false;
    wxBitmap bitmap(static_cast<int>(width), static_cast<int>(height), 24);
    {
        wxMemoryDC dc(bitmap);
        Draw(dc, wxSize(static_cast<int>(width), static_cast<int>(height)), 0, 0);
    }
    return bitmap.SaveFile(path, wxBITMAP_TYPE_PNG);
}

}  // namespace tandrel
