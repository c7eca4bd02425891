#include "cli/Diagram.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/Program.h"
#include "config/Config.h"

namespace tandrel {
namespace cli {

namespace {

constexpr const char* kStageNames[Simulator::kStages] = {"IF", "ID", "EX", "MEM", "WB"};
constexpr const char* kBubble = "--";
constexpr std::size_t kCellWidth = 4;

std::string Pad(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

bool InstructionDecodeFlushed(const Simulator& sim) {
    const Component* ifid = sim.Datapath().ifid;
    return ifid != nullptr && ifid->Port(IFIDReg::kPcOut).value == 0;
}

void FetchHistory::Record(const Simulator& sim) {
    // The instruction fetched one step ago is in ID now; if IF/ID was
    // flushed it never gets further.
    if (!fetches.empty() && InstructionDecodeFlushed(sim)) fetches.back().squashed = true;
    Fetch fetch;
    fetch.address = sim.fetchAddress[sim.fetchSlot];
    fetch.kind = sim.stageInstruction[0];
    fetches.push_back(fetch);
}

Diagram BuildDiagram(const Simulator& sim, const Timeline& timeline) {
    Diagram diagram;
    diagram.layout = sim.CurrentLayout();
    diagram.lastStep = timeline.cycles;
    diagram.timeline = timeline;
    for (const TimelineRow& fetched : timeline.rows) {
        DiagramRow row;
        row.address = fetched.address;
        row.text = InstructionText(sim, fetched.address);
        row.fetchStep = fetched.fetchCycle - 1;
        row.squashed = fetched.squashed;
        diagram.rows.push_back(row);
    }
    return diagram;
}

std::string FormatDiagram(const Diagram& diagram) {
    std::size_t textWidth = std::string("instruction").size();
    for (const DiagramRow& row : diagram.rows) textWidth = std::max(textWidth, row.text.size());

    std::string out = "addr  " + Pad("instruction", textWidth) + "   ";
    for (long long column = 0; column <= diagram.lastStep; ++column)
        out += Pad(std::to_string(column), kCellWidth);
    out = TrimRight(out) + '\n';

    for (const DiagramRow& row : diagram.rows) {
        std::string line = PadLeft(std::to_string(row.address), 4) + "  " +
                           Pad(row.text, textWidth) + ' ' + (row.squashed ? 'x' : ' ') + ' ';
        for (long long column = 0; column <= diagram.lastStep; ++column) {
            const long long stage = column - row.fetchStep;
            std::string cell;
            if (stage >= 0 && stage < Simulator::kStages)
                cell = (row.squashed && stage > 0) ? kBubble : kStageNames[stage];
            line += Pad(cell, kCellWidth);
        }
        out += TrimRight(line) + '\n';
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

namespace {

// The rows the cycle-based formats show: those fetched in a cycle that ran.
template <typename Visit>
void ForEachRunRow(const Diagram& diagram, Visit visit) {
    for (std::size_t i = 0; i < diagram.rows.size(); ++i)
        if (diagram.timeline.rows[i].fetchCycle <= diagram.timeline.cycles)
            visit(diagram.rows[i], diagram.timeline.rows[i]);
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + '"';
}

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

std::string FormatDiagramCsv(const Diagram& diagram) {
    std::string out = "address,instruction,squashed";
    for (long long cycle = 1; cycle <= diagram.timeline.cycles; ++cycle)
        out += "," + std::to_string(cycle);
    out += "\n";
    ForEachRunRow(diagram, [&](const DiagramRow& row, const TimelineRow& fetched) {
        out += std::to_string(row.address) + "," + CsvField(row.text) + "," +
               (row.squashed ? "yes" : "no");
        for (long long cycle = 1; cycle <= diagram.timeline.cycles; ++cycle)
            out += std::string(",") + timeline::CellName(fetched.CellAt(cycle));
        out += "\n";
    });
    return out;
}

std::string FormatDiagramJson(const Diagram& diagram) {
    std::ostringstream out;
    out << "{\"layout\":\"" << LayoutName(diagram.layout)
        << "\",\"cycles\":" << diagram.timeline.cycles << ",\"rows\":[";
    bool first = true;
    ForEachRunRow(diagram, [&](const DiagramRow& row, const TimelineRow& fetched) {
        out << (first ? "" : ",") << "{\"address\":" << row.address
            << ",\"instruction\":" << JsonString(row.text) << ",\"fetch\":" << fetched.fetchCycle
            << ",\"squashed\":" << (row.squashed ? "true" : "false") << ",\"cells\":[";
        const long long last =
            std::min(fetched.fetchCycle + Simulator::kStages - 1, diagram.timeline.cycles);
        for (long long cycle = fetched.fetchCycle; cycle <= last; ++cycle)
            out << (cycle == fetched.fetchCycle ? "" : ",") << '"'
                << timeline::CellName(fetched.CellAt(cycle)) << '"';
        out << "]}";
        first = false;
    });
    out << "]}\n";
    return out.str();
}

std::string FormatDiagramSvg(const Diagram& diagram) {
    // Sizes in pixels; a monospace character is about 0.6 of the font size.
    constexpr int kCell = 48, kRow = 30, kFont = 15, kMargin = 16;
    const long long cycles = diagram.timeline.cycles;
    std::size_t textChars = 11;
    ForEachRunRow(diagram, [&](const DiagramRow& row, const TimelineRow&) {
        textChars = std::max(textChars, row.text.size() + 5);
    });
    const int textWidth = static_cast<int>(textChars) * kFont * 6 / 10 + 60;
    const int left = kMargin + textWidth;
    int rows = 0;
    ForEachRunRow(diagram, [&](const DiagramRow&, const TimelineRow&) { ++rows; });
    const int top = kMargin + 2 * kRow;
    const long long width = left + cycles * kCell + kMargin;
    const long long height = top + rows * kRow + kMargin;

    Config defaults("");
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\" font-family=\""
        << "DejaVu Sans Mono, Menlo, Consolas, monospace\" font-size=\"" << kFont << "\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
        << "<text x=\"" << kMargin << "\" y=\"" << kMargin + kRow / 2 + 5
        << "\" font-weight=\"bold\">"
        << (diagram.layout == Layout::Forwarding ? "Data Forwarding" : "Pipelined")
        << " datapath, cycle by cycle</text>\n";
    const int header = kMargin + kRow + kRow / 2 + 5;
    out << "<text x=\"" << kMargin << "\" y=\"" << header << "\" fill=\"#555555\">addr</text>\n"
        << "<text x=\"" << kMargin + 60 << "\" y=\"" << header
        << "\" fill=\"#555555\">instruction</text>\n";
    for (long long cycle = 1; cycle <= cycles; ++cycle)
        out << "<text x=\"" << left + (cycle - 1) * kCell + kCell / 2 << "\" y=\"" << header
            << "\" text-anchor=\"middle\" fill=\"#555555\">" << cycle << "</text>\n";

    int y = top;
    ForEachRunRow(diagram, [&](const DiagramRow& row, const TimelineRow& fetched) {
        const int baseline = y + kRow / 2 + 5;
        const Colour colour =
            defaults.GetColour(option::kStage1Colour +
                               static_cast<int>((fetched.fetchCycle - 1) % Simulator::kStages));
        out << "<text x=\"" << kMargin + 44 << "\" y=\"" << baseline << "\" text-anchor=\"end\">"
            << row.address << "</text>\n"
            << "<text x=\"" << kMargin + 60 << "\" y=\"" << baseline << "\""
            << (row.squashed ? " fill=\"#777777\"" : "") << '>' << Xml(row.text)
            << (row.squashed ? " (squashed)" : "") << "</text>\n";
        for (long long cycle = 1; cycle <= cycles; ++cycle) {
            const timeline::Cell cell = fetched.CellAt(cycle);
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
    });
    out << "</svg>\n";
    return out.str();
}

std::string FormatDiagramAs(const Diagram& diagram, DiagramFormat format) {
    switch (format) {
        case DiagramFormat::Csv:
            return FormatDiagramCsv(diagram);
        case DiagramFormat::Json:
            return FormatDiagramJson(diagram);
        case DiagramFormat::Svg:
            return FormatDiagramSvg(diagram);
        case DiagramFormat::Text:
            break;
    }
    return FormatDiagram(diagram);
}

}  // namespace cli
}  // namespace tandrel
