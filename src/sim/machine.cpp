#include "sim/machine.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "sim/machine_file_parser.h"
#include "sim/machine_state.h"
#include "sim/nvram.h"
#include "sim/provider.h"
#include "sim/sample_machine.h"
#include "sim/smbios_builder.h"
#include "sim/text_syntax.h"

namespace velorin::sim {
namespace {

constexpr uint32_t kRetSaveFailed = 12;
constexpr const char* kSampleName = "built-in sample machine";

struct MethodSignature {
    std::string_view name;
    std::vector<std::string> in;
};

// BiosManager's methods and their in-parameters. GetRevision lists inData so that the raw
// request through a DataBuffer can spawn its in-parameters; GetRevision itself takes none.
const std::array<MethodSignature, 8>& Signatures() {
    static const std::array<MethodSignature, 8> signatures = {{
        {"GetRevision", {"inData"}},
        {"Get", {"inItemCode"}},
        {"Set", {"inItemCode", "inSetData"}},
        {"Save", {}},
        {"SetPassword", {"Password"}},
        {"EnumSetting", {"inIndex"}},
        {"GetString", {"inItemCode", "inIndex"}},
        {"LoadDefault", {}},
    }};
    return signatures;
}

const MethodSignature* FindSignature(std::string_view method) {
    for (const MethodSignature& signature : Signatures()) {
        if (signature.name == method) return &signature;
    }
    return nullptr;
}

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::unique_ptr<Machine> LoadFromEnvironment() {
    std::string file = EnvironmentValue("VELORIN_MACHINE");
    std::string error;
    std::unique_ptr<Machine> machine =
        file.empty()
            ? Machine::Parse(SampleMachineText(), kSampleName, Machine::SampleNvramPath(), &error)
            : Machine::Load(file, &error);
    if (!machine->Installed()) std::fprintf(stderr, "velorin machine: %s\n", error.c_str());
    return machine;
}

bool SavePending(MachineState* state) {
    if (!state->pending.Empty() && !state->nvramPath.empty() &&
        !SaveToNvram(state->nvramPath, state->pending)) {
        return false;
    }
    state->pending = SavedChanges();
    return true;
}

void ApplyEffect(const Effect& effect, MachineState* state, Params* out) {
    MachineDescription& machine = state->machine;
    SavedChanges& pending = state->pending;
    bool supervisor = effect.code == kSupervisorPasswordCode;
    switch (effect.kind) {
        case Effect::Kind::SelectOption:
            machine.FindItem(effect.code)->current = effect.option;
            pending.settings[static_cast<uint16_t>(effect.code)] = effect.option;
            break;
        case Effect::Kind::SetPassword:
            (supervisor ? machine.supervisorPassword : machine.userPassword) = effect.text;
            (supervisor ? pending.supervisorPassword : pending.userPassword) = effect.text;
            break;
        case Effect::Kind::Authorise:
            state->authorised = true;
            break;
        case Effect::Kind::Save:
            // The tool takes RetCode 12 as a failed save; a lost write must not read as saved.
            if (!SavePending(state)) (*out)["RetCode"] = Value::OfNumber(kRetSaveFailed);
            break;
        case Effect::Kind::None:
            break;
    }
}

// A machine that a test put in place of the one the environment names.
std::unique_ptr<Machine>& Replacement() {
    static std::unique_ptr<Machine> replacement;
    return replacement;
}

}  // namespace

Value Value::OfNumber(uint32_t n) {
    Value v;
    v.kind = Kind::Number;
    v.number = n;
    return v;
}

Value Value::OfText(Text t) {
    Value v;
    v.kind = Kind::Text;
    v.text = std::move(t);
    return v;
}

Value Value::OfBytes(std::vector<uint8_t> b) {
    Value v;
    v.kind = Kind::Bytes;
    v.bytes = std::move(b);
    return v;
}

Machine::Machine() : state_(std::make_unique<MachineState>()) {}
// One write in append mode, so that runs at the same time each leave a whole line.
Machine::~Machine() {
    if (state_->callLogPath.empty()) return;
    const std::string line = CallLogLine(state_->calls);
    if (std::FILE* log = std::fopen(state_->callLogPath.c_str(), "ab")) {
        std::fwrite(line.data(), 1, line.size(), log);
        std::fclose(log);
    }
}

Machine& Machine::Current() {
    if (std::unique_ptr<Machine>& replacement = Replacement()) return *replacement;
    // Loaded once, by whichever thread comes first; the language makes that safe.
    static const std::unique_ptr<Machine> fromEnvironment = [] {
        std::unique_ptr<Machine> machine = LoadFromEnvironment();
        machine->state_->callLogPath = EnvironmentValue("VELORIN_CALL_LOG");
        return machine;
    }();
    return *fromEnvironment;
}

void Machine::SetCurrent(std::unique_ptr<Machine> machine) { Replacement() = std::move(machine); }

std::unique_ptr<Machine> Machine::Parse(std::string_view text, const std::string& path,
                                        const std::string& nvramPath, std::string* error) {
    std::unique_ptr<Machine> result(new Machine());
    MachineDescription machine;
    SavedChanges saved;
    std::string what;
    bool ok = ParseMachineFile(text, path, &machine, &what) &&
              (nvramPath.empty() || LoadNvram(nvramPath, &saved, &what));
    if (!ok) {
        if (error != nullptr) *error = what;
        return result;
    }
    machine.Apply(saved);
    MachineState& state = *result->state_;
    state.installed = true;
    state.nvramPath = nvramPath;
    state.machine = std::move(machine);
    return result;
}

std::unique_ptr<Machine> Machine::Load(const std::string& path, std::string* error) {
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        if (error != nullptr) *error = path + ":0: cannot read the machine file";
        return std::unique_ptr<Machine>(new Machine());
    }
    return Parse(text, path, path + ".nvram", error);
}

std::unique_ptr<Machine> Machine::Sample(const std::string& nvramPath) {
    return Parse(SampleMachineText(), kSampleName, nvramPath, nullptr);
}

std::string Machine::SampleNvramPath() {
    const char* kFile = "/velorin/sample-machine.nvram";
    std::string stateHome = EnvironmentValue("XDG_STATE_HOME");
    if (!stateHome.empty()) return stateHome + kFile;
    std::string home = EnvironmentValue("HOME");
    return home.empty() ? std::string() : home + "/.local/state" + kFile;
}

bool Machine::Installed() const { return state_->installed; }

std::optional<uint32_t> Machine::Fault(std::string_view call, std::u16string_view target) {
    const FaultRule* rule = PickFaultRule(state_->machine.faults, call, target);
    if (rule == nullptr) return std::nullopt;
    return rule->hr;
}

Params Machine::Execute(std::string_view method, const Params& in) {
    MachineState& state = *state_;
    Answer answer = NaturalAnswer({state.machine, state.authorised}, method, in);
    // The raw request goes to the firmware's mailbox, past the rules about GetRevision.
    bool raw = method == "GetRevision" && in.count("inData") != 0;
    const AnswerRule* rule = raw ? nullptr : PickAnswerRule(state.machine.answers, method, in);
    if (rule != nullptr) {
        rule->Override(answer.out);
        return answer.out;
    }
    ApplyEffect(answer.effect, &state, &answer.out);
    return answer.out;
}

void Machine::CountCall(std::string_view method) { ++state_->calls[std::string(method)]; }

const std::map<std::string, uint64_t>& Machine::Calls() const { return state_->calls; }

std::string CallLogLine(const std::map<std::string, uint64_t>& calls) {
    uint64_t total = 0;
    std::string methods;
    for (const auto& [method, count] : calls) {
        total += count;
        methods += ' ' + method + '=' + std::to_string(count);
    }
    return "calls " + std::to_string(total) + methods + '\n';
}

bool Machine::HasMethod(std::string_view method) const { return FindSignature(method) != nullptr; }

std::vector<std::string> Machine::InParameters(std::string_view method) const {
    const MethodSignature* signature = FindSignature(method);
    return signature == nullptr ? std::vector<std::string>() : signature->in;
}

SmbiosTable Machine::Smbios() const {
    const MachineDescription& machine = state_->machine;
    SmbiosTable table;
    table.majorVersion = machine.smbios.major;
    table.minorVersion = machine.smbios.minor;
    switch (machine.smbios.kind) {
        case SmbiosSource::Kind::Built:
            table.data = BuildSmbiosTable(machine.system);
            break;
        case SmbiosSource::Kind::File:
            table.data = machine.smbios.fileBytes;
            break;
        case SmbiosSource::Kind::None:
            break;
    }
    return table;
}

}  // namespace velorin::sim
