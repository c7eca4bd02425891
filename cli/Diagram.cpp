#include "cli/Diagram.h"

#include <algorithm>

#include "cli/Program.h"

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

Diagram BuildDiagram(const Simulator& sim, const FetchHistory& history) {
    Diagram diagram;
    diagram.lastStep = std::max(0LL, history.LastStep());
    const auto& fetches = history.Fetches();
    for (std::size_t step = 0; step < fetches.size(); ++step) {
        const Fetch& fetch = fetches[step];
        if (fetch.kind == InstructionKind::None) continue;
        DiagramRow row;
        row.address = fetch.address;
        row.text = InstructionText(sim, fetch.address);
        row.fetchStep = static_cast<long long>(step);
        row.squashed = fetch.squashed;
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

}  // namespace cli
}  // namespace tandrel
