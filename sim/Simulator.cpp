#include "sim/Simulator.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "model/Combinational.h"
#include "sim/HitBox.h"

namespace tandrel {

namespace {

constexpr std::uint64_t kWordBytes = 4;
// The branch gate's output port: 1 in a pass where a taken branch squashes
// the instruction just fetched.
constexpr int kBranchTaken = AndGate::kOutput;

std::string Narrow(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(c >= 0 && c < 128 ? static_cast<char>(c) : '?');
    return out;
}

bool StartsWithDataKeyword(const std::wstring& line) {
    Lexer lexer;
    lexer.SetText(line);
    lexer.Advance();
    std::int32_t value = 0;
    return lexer.NextToken(value) == TokenKind::Data;
}

// A name this locale cannot spell, or one with a NUL inside (which the
// system would cut short, to another file), names no file: the empty path,
// which loading and saving refuse like any file they cannot open.
std::filesystem::path PathOf(const std::wstring& fileName) {
    if (fileName.find(L'\0') != std::wstring::npos) return {};
    try {
        return std::filesystem::path(fileName);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

Simulator::Simulator()
    : lexer(std::make_unique<Lexer>()), parser(std::make_unique<Parser>(*lexer)) {}

void Simulator::SelectLayout(Layout newLayout) {
    datapath = BuiltLayout{};  // the old elements go first
    layout = newLayout;
    colourRotation = 0;
    steps = 0;
    instructions = 0;
    stageSquashed.fill(false);
    history.Clear();
    datapath = BuildLayout(layout);
    if (programValid) LoadInstructionMemory();
    facts = StepFacts{};
    forwardingUnit = muxA = muxB = nullptr;
    for (const auto& element : datapath.elements) {
        if (element->kind != ElementKind::Forwarding) continue;
        forwardingUnit = element.get();
        auto driven = [&](int port) -> const Component* {
            const auto& targets = element->Out(port).targets;
            return targets.empty() ? nullptr : targets.front()->owner;
        };
        muxA = driven(Forwarding::kForwardA);
        muxB = driven(Forwarding::kForwardB);
    }

    stageInstruction.fill(InstructionKind::None);
    fetchAddress.fill(kNoFetch);
    const std::uint64_t address = PcValue();
    stageInstruction[0] = parser->GetInstructionKind(address);
    fetchAddress[0] = address;
    fetchSlot = 0;
    follow = FollowState{};
    follow.automatic = Journey{address, 0};

    if (layout != Layout::Simple) {
        for (auto& element : datapath.elements) {
            element->SetActive(true);
            element->LatchActive();
        }
    }
}

void Simulator::RunPass() {
    if (layout == Layout::Simple) {
        // The PC's next address has arrived: clear the drawing so the next
        // pass starts the next instruction from the PC.
        if (datapath.plan.RunSingleCycle()) datapath.plan.StartNextInstruction();
        return;
    }
    datapath.plan.RunPipelined();
    if (datapath.branchGate->Port(kBranchTaken).value == 1) datapath.ifid->Clock();
}

InstructionKind Simulator::StartStep() {
    if (keepHistory && history.Empty()) history.Keep(steps, Capture(), steps);
    // On Simple the PC moves on only in the cycle's last pass, so it still
    // names the instruction the cycle runs.
    return layout == Layout::Simple ? parser->GetInstructionKind(PcValue())
                                    : InstructionKind::None;
}

void Simulator::FinishStep(InstructionKind running) {
    ++steps;
    CountCompleted(running);

    const std::uint64_t address = PcValue();
    for (int stage = kStages - 1; stage > 0; --stage) {
        stageInstruction[stage] = stageInstruction[stage - 1];
        stageSquashed[stage] = stageSquashed[stage - 1];
    }
    stageInstruction[0] = parser->GetInstructionKind(address);
    stageSquashed[0] = false;
    // A taken branch flushed IF/ID: its PC output, never 0 for a fetched
    // instruction, is cleared, and what was fetched goes on as a bubble.
    if (layout != Layout::Simple && datapath.ifid->Out(IFIDReg::kPcOut).value == 0 &&
        stageInstruction[1] != InstructionKind::None)
        stageSquashed[1] = true;
    fetchSlot = (fetchSlot + 1) % kStages;
    fetchAddress[fetchSlot] = address;
    if (layout != Layout::Simple) {
        AdvanceColours();
        AdvanceFollow(address);
    }
    if (keepHistory && history.Wants(steps))
        history.Keep(steps, Capture(history.LatestAtOrBefore(steps)), steps);
}

void Simulator::CountCompleted(InstructionKind simpleInstruction) {
    if (layout == Layout::Simple) {
        if (steps % kSimpleLevels == 0 && simpleInstruction != InstructionKind::None)
            ++instructions;
        return;
    }
    // What was in WB has been written back in this cycle.
    const int wb = kStages - 1;
    if (stageInstruction[wb] != InstructionKind::None && !stageSquashed[wb]) ++instructions;
}

void Simulator::RecordFacts() {
    facts = StepFacts{};
    if (datapath.branchGate != nullptr)
        facts.branchTaken = datapath.branchGate->Port(kBranchTaken).value == 1;
    if (datapath.registers != nullptr)
        facts.writeData = datapath.registers->In(Registers::kWriteData).value;
    if (forwardingUnit != nullptr) {
        facts.forwardA = forwardingUnit->Port(Forwarding::kForwardA).value;
        facts.forwardB = forwardingUnit->Port(Forwarding::kForwardB).value;
    }
    if (muxA != nullptr) facts.operandA = muxA->Port(Mux3::kOutput).value;
    if (muxB != nullptr) facts.operandB = muxB->Port(Mux3::kOutput).value;
}

void Simulator::AdvanceColours() {
    colourRotation = (colourRotation + 4) % kStages;
}

void Simulator::AdvanceFollow(std::uint64_t fetched) {
    if (follow.chosen.stage != kNoHighlight && ++follow.chosen.stage == kStages)
        follow.chosen = Journey{};
    if (++follow.automatic.stage < kStages) return;
    // Next, the instruction fetched in this cycle; past the end of the
    // program, where nothing is fetched, the youngest one still in flight,
    // so the drawing does not go dark while the last ones finish.
    follow.automatic = Journey{fetched, 0};
    for (int stage = 0; stage < kStages; ++stage) {
        if (stageInstruction[stage] != InstructionKind::None) {
            follow.automatic =
                Journey{fetchAddress[(fetchSlot - stage + kStages) % kStages], stage};
            return;
        }
    }
}

bool Simulator::LoadFile(const std::wstring& fileName) {
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(PathOf(fileName), error);
    auto newLexer = std::make_unique<Lexer>(fileName);
    if (!regular || !std::ifstream(PathOf(fileName)).is_open()) return false;

    parser.reset();
    lexer = std::move(newLexer);
    parser = std::make_unique<Parser>(*lexer);
    history.Clear();
    programValid = parser->LoadText();
    LoadInstructionMemory();
    return true;
}

bool Simulator::ParseProgram(const std::wstring& editorText) {
    history.Clear();  // the instruction kinds a replay reads change
    if (editorText.empty()) {
        programValid = parser->Parse(editorText);
        return programValid;
    }
    // The editor holds only the instructions; the data come from data memory,
    // which the editor keeps equal to its grid.
    std::vector<std::uint64_t> data(kDataWords);
    for (std::uint64_t index = 0; index < kDataWords; ++index)
        data[index] = datapath.dataMemory != nullptr ? datapath.dataMemory->Read(index) : 0;
    programValid = parser->ParseInstructions(editorText, data);
    return programValid;
}

std::wstring Simulator::InstructionText(std::uint64_t address) const {
    std::wstring text;
    bool faulty = false;
    parser->GetProgramLine(address, text, faulty);
    if (faulty) return std::wstring();
    if (!text.empty() && text.back() == L'\n') text.pop_back();
    return text;
}

bool Simulator::SaveProgram(const std::wstring& fileName, std::error_code* why) const {
    namespace fs = std::filesystem;
    std::error_code error;
    auto fail = [&](std::errc reason) {
        if (why != nullptr) *why = error ? error : std::make_error_code(reason);
        return false;
    };
    if (PathOf(fileName).empty()) return fail(std::errc::invalid_argument);
    // Save through a link into the file it names, so the link stays a link.
    fs::path target = fs::weakly_canonical(PathOf(fileName), error);
    if (error) return fail(std::errc::no_such_file_or_directory);
    std::error_code missing;  // a file not there yet is fine
    const fs::file_status existing = fs::status(target, missing);
    // Only a regular file may be replaced: renaming over a device, a pipe or
    // a folder would destroy it.
    const bool replacing = fs::exists(existing);
    if (replacing && fs::is_directory(existing)) return fail(std::errc::is_a_directory);
    if (replacing && !fs::is_regular_file(existing))
        return fail(std::errc::operation_not_permitted);

    // The new contents go to a file of our own beside the target first, so a
    // failed write never leaves a half-written program where a good one stood.
    fs::path temporary;
    for (int attempt = 0; attempt < 100 && temporary.empty(); ++attempt) {
        fs::path candidate = target;
        candidate += ".saving" + std::to_string(attempt);
        if (!fs::exists(fs::symlink_status(candidate, missing))) temporary = candidate;
    }
    if (temporary.empty()) return fail(std::errc::file_exists);

    // The program as the editor shows it after the parse: comments, labels
    // and blank lines stay, faulty lines are kept as typed.
    std::string contents;
    std::wstring text;
    for (const ProgramLine& line : parser->ShownLines()) {
        // A line of the editor that starts with the data keyword is faulty
        // there; in the file it would end the program early, so it is kept
        // as a comment, in the form the editor shows a comment (no blanks at
        // its end), so that loading and saving again writes the same file.
        if (line.error && StartsWithDataKeyword(line.text)) {
            std::wstring kept = line.text;
            while (!kept.empty() &&
                   std::wstring_view(L" \t\r\f\v\n").find(kept.back()) != std::wstring_view::npos)
                kept.pop_back();
            contents += "# " + Narrow(kept) + "\n";
            continue;
        }
        contents += Narrow(line.text);
        // A faulty last line keeps the text as typed, without a line break;
        // without one here "Data:" would join it and the data read back as
        // program lines.
        if (!line.text.empty() && line.text.back() != L'\n') contents += '\n';
    }
    contents += "Data:\n";
    for (std::uint64_t index = 0; index < kDataWords; ++index) {
        parser->FormatData(index, text);
        contents += Narrow(text);
        if (index % 16 == 15) contents += "\n";
    }

    bool written = false;
    {
        errno = 0;
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
            out.flush();
            written = static_cast<bool>(out);
        }
        if (!written) error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    }
    if (written && replacing) fs::permissions(temporary, existing.permissions(), error);
    if (written && !error) fs::rename(temporary, target, error);
    if (!written || error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return fail(std::errc::io_error);
    }
    return true;
}

void Simulator::LoadInstructionMemory() {
    if (datapath.instructionMemory == nullptr) return;
    history.Clear();
    for (std::uint64_t address = 0; address < kInstructionCount * kWordBytes; address += kWordBytes)
        datapath.instructionMemory->storage[address] = parser->GetInstruction(address);
}

void Simulator::LoadInitialData() {
    if (datapath.dataMemory == nullptr) return;
    history.Clear();
    for (std::uint64_t index = 0; index < kDataWords; ++index)
        datapath.dataMemory->storage[index] = parser->GetData(index);
}

std::uint64_t Simulator::PcValue() const {
    return datapath.pc != nullptr ? datapath.pc->Out(PC::kOutput).value : 0;
}

Component* Simulator::ElementAt(double px, double py) const {
    for (const auto& element : datapath.elements) {
        const int left = static_cast<int>(element->x);
        const int bottom = static_cast<int>(element->y);
        if (left < px && px < left + element->Width() && bottom < py &&
            py < bottom + element->Height())
            return element.get();
    }
    return nullptr;
}

Link* Simulator::PortAt(double px, double py) const {
    // Ports two units apart have overlapping boxes: the nearest port wins, so
    // each half of an arrowhead opens its own port's pop-up.
    Link* nearest = nullptr;
    double nearestDistance = 0.0;
    for (const auto& element : datapath.elements) {
        if (element->IsNode()) continue;
        for (const auto& link : element->ports) {
            if (link->isOutput && !link->IsConnected()) continue;
            if (!PortHitBox(*link).Contains(px, py)) continue;
            const double dx = px - link->PortX();
            const double dy = py - link->PortY();
            const double distance = dx * dx + dy * dy;
            if (nearest == nullptr || distance < nearestDistance) {
                nearest = link.get();
                nearestDistance = distance;
            }
        }
    }
    return nearest;
}

int Simulator::StageColourIndex(int stage) const {
    return (10 - colourRotation - stage) % kStages;
}

int Simulator::InstructionRowColour(std::uint64_t address) const {
    if (layout == Layout::Simple) return address == PcValue() ? 0 : kWhiteRow;
    for (int slot = 0; slot < kStages; ++slot)
        if (fetchAddress[slot] == address) return slot;
    return kWhiteRow;
}

bool Simulator::ChooseInstruction(std::uint64_t address) {
    if (layout == Layout::Simple) return false;
    if (FollowingChosen() && follow.chosen.address == address) {
        follow.chosen = Journey{};
        return true;
    }
    // A fetch's age in cycles is its stage; an address fetched twice in five
    // cycles (a loop) is followed from its newer fetch.
    for (int stage = 0; stage < kStages; ++stage) {
        if (fetchAddress[(fetchSlot - stage + kStages) % kStages] == address) {
            follow.chosen = Journey{address, stage};
            return true;
        }
    }
    return false;
}

int Simulator::FollowedStage() const {
    return FollowingChosen() ? follow.chosen.stage : follow.automatic.stage;
}

std::uint64_t Simulator::FollowedAddress() const {
    if (layout == Layout::Simple) return PcValue();
    return FollowingChosen() ? follow.chosen.address : follow.automatic.address;
}

std::wstring Simulator::InstructionFields(std::uint64_t address, NumberFormat format) {
    const std::uint64_t word =
        datapath.instructionMemory != nullptr ? datapath.instructionMemory->Read(address) : 0;
    const InstructionKind kind = parser->GetInstructionKind(address);
    auto field = [&](int low, int bits, bool is16Bit) {
        return FormatNumber((word >> low) & ((std::uint64_t{1} << bits) - 1), false, is16Bit,
                            format) +
               L", ";
    };
    std::wstring text = field(26, 6, false);  // opcode
    const int k = static_cast<int>(kind);
    if (k >= static_cast<int>(InstructionKind::LW) && k <= static_cast<int>(InstructionKind::BEQ)) {
        text += field(21, 5, false) + field(16, 5, false) + field(0, 16, true);
    } else if (k >= static_cast<int>(InstructionKind::ADD) &&
               k <= static_cast<int>(InstructionKind::OR)) {
        text +=
            field(21, 5, false) + field(16, 5, false) + field(11, 5, false) + field(0, 11, false);
    }
    text.erase(text.size() - 2);
    return text;
}

}  // namespace tandrel
