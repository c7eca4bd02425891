#include "cli/Diagram.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/Program.h"
#include "format/DiagramSvg.h"

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
    std::vector<std::string> texts;
    for (const DiagramRow& row : diagram.rows) texts.push_back(row.text);
    return DiagramSvg(diagram.timeline, diagram.layout, texts);
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
