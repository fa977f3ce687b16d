// The simulated Velorin machine: the BiosManager provider of ROOT\velorin with its firmware
// settings, the raw SMBIOS table of ROOT\WMI, and the fault rules that make platform calls
// fail. The model knows nothing of COM: whatever exposes it as WMI objects (the platform
// stand-in, or a COM adapter on Windows) translates calls into this interface.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::sim {

// Text as the provider carries it: UTF-16 units.
using Text = std::u16string;

// One in- or out-parameter of a provider method.
struct Value {
// GCC before 13 takes the scoped enumerator Kind::Text for a shadow of the alias Text.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#endif
    enum class Kind { Number, Text, Bytes };
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    Kind kind = Kind::Number;
    uint32_t number = 0;
    Text text;
    std::vector<uint8_t> bytes;  // a DataBuffer's Bytes

    static Value OfNumber(uint32_t n);
    static Value OfText(Text t);
    static Value OfBytes(std::vector<uint8_t> b);
};

// Parameter name (as the provider spells it: "inItemCode", "RetCode", ...) to value. A
// parameter that the provider does not return is absent.
using Params = std::map<std::string, Value>;

struct SmbiosTable {
    uint8_t majorVersion = 3;
    uint8_t minorVersion = 4;
    // The raw structure table; absent when the machine publishes none (SMBiosData is VT_NULL).
    std::optional<std::vector<uint8_t>> data;
};

class MachineState;

// One run's provider calls as a line of the call log: "calls TOTAL METHOD=N ..." with the
// methods in name order and a line feed at the end.
std::string CallLogLine(const std::map<std::string, uint64_t>& calls);

class Machine {
  public:
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // The machine this process sees: VELORIN_MACHINE's file, or the built-in sample machine.
    // Loaded on first use. A machine file that fails to load is reported on standard error
    // as "velorin machine: FILE:LINE: what is wrong" and gives a machine that is not installed.
    static Machine& Current();
    // Replaces the process's machine (tests); the next Current() returns it. A null machine
    // gives back the one the environment names.
    static void SetCurrent(std::unique_ptr<Machine> machine);

    // Parses a machine from text. `path` names it in messages and decides where `smbios-file`
    // is looked up and where the NVRAM file lies (path + ".nvram"); an empty nvramPath means
    // nothing persists. On error returns a machine that is not installed and sets `error`
    // (without the "velorin machine: " prefix).
    static std::unique_ptr<Machine> Parse(std::string_view text, const std::string& path,
                                          const std::string& nvramPath, std::string* error);
    static std::unique_ptr<Machine> Load(const std::string& path, std::string* error);
    static std::unique_ptr<Machine> Sample(const std::string& nvramPath);
    // Where the sample machine keeps its saved changes; empty when nothing persists.
    static std::string SampleNvramPath();

    // False when the machine file failed to load: ConnectServer fails with 0x8004100E.
    bool Installed() const;

    // Fault rules. `call` is a platform call name ("ConnectServer", "Get", ...), `target` the
    // namespace, class, method or "Owner.Name" the call is about (empty when the call has
    // none). Counts the call against every matching rule and returns the HRESULT of the first
    // rule that applies, or nothing. `hr=none` is returned as WBEM_S_FALSE (1).
    std::optional<uint32_t> Fault(std::string_view call, std::u16string_view target = {});

    // Runs a provider method of BiosManager ("GetRevision", "EnumSetting", "GetString", "Set",
    // "SetPassword", "Save", and "GetRevision" with an "inData" DataBuffer for the raw
    // request call). Returns the out-parameters; `answer` rules are applied here.
    Params Execute(std::string_view method, const Params& in);

    // Whether BiosManager has the method, and the names of its in-parameters (empty for a
    // method without in-parameters).
    bool HasMethod(std::string_view method) const;
    std::vector<std::string> InParameters(std::string_view method) const;

    SmbiosTable Smbios() const;

    // Counts one ExecMethod of a provider method (every attempt, a failing one too): what a
    // command asks the firmware. The machine that the environment names appends its run's
    // counts to the file VELORIN_CALL_LOG names when the process ends (see CallLogLine).
    void CountCall(std::string_view method);
    const std::map<std::string, uint64_t>& Calls() const;

  private:
    Machine();
    std::unique_ptr<MachineState> state_;
};

}  // namespace velorin::sim
