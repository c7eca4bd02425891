#include "format/DiagramSvg.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "sim/Simulator.h"

namespace tandrel {

namespace {

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A colour mixed with white, so that black text stays readable on it.
std::string Light(const Colour& colour, int percentWhite) {
    auto mix = [&](int c) { return (c * (100 - percentWhite) + 255 * percentWhite) / 100; };
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", mix(colour.r), mix(colour.g), mix(colour.b));
    return text;
}

}  // namespace

StageColours DefaultStageColours() {
    Config defaults("");
    StageColours colours;
    for (int slot = 0; slot < Simulator::kStages; ++slot)
        colours[slot] = defaults.GetColour(option::kStage1Colour + slot);
    return colours;
}

std::string ProgramLineText(const Simulator& sim, std::uint64_t address) {
    std::wstring line;
    bool error = false;
    sim.GetProgramLine(address, line, error);
    std::string text;
    text.reserve(line.size());
    for (wchar_t c : line) text.push_back(c >= 0 && c < 128 ? static_cast<char>(c) : '?');
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string DiagramSvg(const Timeline& timeline, Layout layout,
                       const std::vector<std::string>& texts, const StageColours& colours) {
    // Sizes in pixels; a monospace character is about 0.6 of the font size.
    constexpr int kCell = 48, kRow = 30, kFont = 15, kMargin = 16;
    const long long cycles = timeline.cycles;
    // The rows shown: those fetched in a cycle that ran.
    std::vector<std::size_t> run;
    for (std::size_t i = 0; i < timeline.rows.size() && i < texts.size(); ++i)
        if (timeline.rows[i].fetchCycle <= cycles) run.push_back(i);
    std::size_t textChars = 11;
    for (std::size_t i : run) textChars = std::max(textChars, texts[i].size() + 5);
    const int textWidth = static_cast<int>(textChars) * kFont * 6 / 10 + 60;
    const int left = kMargin + textWidth;
    const int top = kMargin + 2 * kRow;
    const long long width = left + cycles * kCell + kMargin;
    const long long height = top + static_cast<long long>(run.size()) * kRow + kMargin;

    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\" font-family=\""
        << "DejaVu Sans Mono, Menlo, Consolas, monospace\" font-size=\"" << kFont << "\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
        << "<text x=\"" << kMargin << "\" y=\"" << kMargin + kRow / 2 + 5
        << "\" font-weight=\"bold\">"
        << (layout == Layout::Forwarding ? "Data Forwarding" : "Pipelined")
        << " datapath, cycle by cycle</text>\n";
    const int header = kMargin + kRow + kRow / 2 + 5;
    out << "<text x=\"" << kMargin << "\" y=\"" << header << "\" fill=\"#555555\">addr</text>\n"
        << "<text x=\"" << kMargin + 60 << "\" y=\"" << header
        << "\" fill=\"#555555\">instruction</text>\n";
    for (long long cycle = 1; cycle <= cycles; ++cycle)
        out << "<text x=\"" << left + (cycle - 1) * kCell + kCell / 2 << "\" y=\"" << header
            << "\" text-anchor=\"middle\" fill=\"#555555\">" << cycle << "</text>\n";

    int y = top;
    for (std::size_t i : run) {
        const TimelineRow& row = timeline.rows[i];
        const int baseline = y + kRow / 2 + 5;
        const Colour colour = colours[(row.fetchCycle - 1) % Simulator::kStages];
        out << "<text x=\"" << kMargin + 44 << "\" y=\"" << baseline << "\" text-anchor=\"end\">"
            << row.address << "</text>\n"
            << "<text x=\"" << kMargin + 60 << "\" y=\"" << baseline << "\""
            << (row.squashed ? " fill=\"#777777\"" : "") << '>' << Xml(texts[i])
            << (row.squashed ? " (squashed)" : "") << "</text>\n";
        const long long last = std::min(row.fetchCycle + Simulator::kStages - 1, cycles);
        for (long long cycle = row.fetchCycle; cycle <= last; ++cycle) {
            const timeline::Cell cell = row.CellAt(cycle);
            if (cell == timeline::Cell::Empty) continue;
            const long long x = left + (cycle - 1) * kCell;
            const bool bubble = cell == timeline::Cell::Bubble;
            out << "<rect x=\"" << x + 1 << "\" y=\"" << y + 2 << "\" width=\"" << kCell - 2
                << "\" height=\"" << kRow - 4 << "\" rx=\"4\" "
                << (bubble
                        ? std::string("fill=\"#eeeeee\" stroke=\"#999999\" "
                                      "stroke-dasharray=\"4 3\"")
                        : "fill=\"" + Light(colour, 60) + "\" stroke=\"" + Light(colour, 0) + "\"")
                << " stroke-width=\"2\"/>\n"
                << "<text x=\"" << x + kCell / 2 << "\" y=\"" << baseline
                << "\" text-anchor=\"middle\"" << (bubble ? " fill=\"#666666\"" : "") << '>'
                << timeline::CellName(cell) << "</text>\n";
        }
        y += kRow;
    }
    out << "</svg>\n";
    return out.str();
}

}  // namespace tandrel
