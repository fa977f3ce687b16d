// The simulated WMI objects over small machines: connecting, the provider's methods through
// in- and out-parameter objects, the raw SMBIOS instance, and fault rules per call kind, the
// stand-in's COM calls among them.
#include <windows.h>
#include <wbemidl.h>

#include "com/com_handles.h"
#include "sim_test_support.h"
#include "simcom/sim_wmi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

using velorin::ComPtr;
using velorin::UniqueBstr;
using velorin::UniqueVariant;

namespace {

constexpr HRESULT kNotFound = (HRESULT)WBEM_E_NOT_FOUND;
constexpr HRESULT kFailed = (HRESULT)WBEM_E_FAILED;
constexpr HRESULT kDenied = (HRESULT)WBEM_E_ACCESS_DENIED;
constexpr const wchar_t* kPath =
    L"\\\\VELORIN-SIM\\ROOT\\velorin:BiosManager.InstanceName=\"ACPI\\PNP0C14\\0_0\"";

using velorin::sim::testing::UseMachine;

UniqueBstr Bstr(const wchar_t* text) { return UniqueBstr(SysAllocString(text)); }

HRESULT Connect(const wchar_t* space, ComPtr<IWbemServices>& services) {
    ComPtr<IWbemLocator> locator;
    EXPECT_EQ(CreateSimulatedLocator(locator.put()), S_OK);
    return locator->ConnectServer(Bstr(space).get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                  services.put());
}

// An in-parameter: a number (VT_I4) when `text` is null, else a text.
struct Arg {
    const wchar_t* name;
    LONG number;
    const wchar_t* text;
};

// A connection to both namespaces of a machine, with the call sequences the tool makes.
struct WmiSession {
    void Start(const std::string& machine) {
        UseMachine(machine);
        ASSERT_EQ(Connect(L"ROOT\\velorin", velorin), S_OK);
        ASSERT_EQ(Connect(L"ROOT\\WMI", wmi), S_OK);
    }

    HRESULT GetClass(const wchar_t* name, ComPtr<IWbemClassObject>& object) {
        return velorin->GetObject(Bstr(name).get(), 0, nullptr, object.put(), nullptr);
    }

    HRESULT FirstInstance(IWbemServices* services, const wchar_t* className,
                          ComPtr<IWbemClassObject>& instance) {
        ComPtr<IEnumWbemClassObject> instances;
        HRESULT hr =
            services->CreateInstanceEnum(Bstr(className).get(), 0, nullptr, instances.put());
        ULONG returned = 0;
        return FAILED(hr) ? hr : instances->Next(WBEM_INFINITE, 1, instance.put(), &returned);
    }

    HRESULT InParameters(const wchar_t* method, ComPtr<IWbemClassObject>& in) {
        ComPtr<IWbemClassObject> biosManager, signature;
        HRESULT hr = GetClass(L"BiosManager", biosManager);
        if (SUCCEEDED(hr)) hr = biosManager->GetMethod(method, 0, signature.put(), nullptr);
        if (SUCCEEDED(hr)) hr = signature->SpawnInstance(0, in.put());
        return hr;
    }

    HRESULT Exec(const wchar_t* method, IWbemClassObject* in, ComPtr<IWbemClassObject>& out) {
        return velorin->ExecMethod(Bstr(kPath).get(), Bstr(method).get(), 0, nullptr, in, out.put(),
                                   nullptr);
    }

    ComPtr<IWbemClassObject> Call(const wchar_t* method, std::initializer_list<Arg> args) {
        ComPtr<IWbemClassObject> in, out;
        EXPECT_EQ(InParameters(method, in), S_OK);
        for (const Arg& arg : args) {
            UniqueVariant value;
            value.get().vt = arg.text ? VT_BSTR : VT_I4;
            if (arg.text) value.get().bstrVal = SysAllocString(arg.text);
            if (!arg.text) value.get().lVal = arg.number;
            EXPECT_EQ(in->Put(arg.name, 0, &value.get(), arg.text ? CIM_STRING : CIM_UINT16), S_OK);
        }
        EXPECT_EQ(Exec(method, in.get(), out), S_OK);
        return out;
    }

    // The same calls leaving their object in `scratch`, for callers that only want the status.
    HRESULT GetClass(const wchar_t* name) { return GetClass(name, scratch); }
    HRESULT FirstInstance(IWbemServices* services, const wchar_t* className) {
        return FirstInstance(services, className, scratch);
    }
    HRESULT InParameters(const wchar_t* method) { return InParameters(method, scratch); }

    ComPtr<IWbemServices> velorin;
    ComPtr<IWbemServices> wmi;
    ComPtr<IWbemClassObject> scratch;
};

// The value of an out-parameter or property, checked to be of type `vt`, held in `value`.
const VARIANT& Read(IWbemClassObject* object, const wchar_t* name, VARTYPE vt,
                    UniqueVariant& value) {
    EXPECT_EQ(object->Get(name, 0, value.put(), nullptr, nullptr), S_OK) << name;
    EXPECT_EQ(value.get().vt, vt) << name;
    return value.get();
}

std::wstring Text(IWbemClassObject* object, const wchar_t* name) {
    UniqueVariant value;
    return Read(object, name, VT_BSTR, value).vt == VT_BSTR ? value.get().bstrVal : L"";
}

LONG Number(IWbemClassObject* object, const wchar_t* name) {
    UniqueVariant value;
    return Read(object, name, VT_I4, value).vt == VT_I4 ? value.get().lVal : -1;
}

std::vector<uint8_t> BytesOf(const VARIANT& value) {
    const auto* first = static_cast<const uint8_t*>(value.parray->pvData);
    return std::vector<uint8_t>(first, first + value.parray->rgsabound[0].cElements);
}

class StubWmi : public ::testing::Test, public WmiSession {};

TEST(StubWmiConnect, NamespacesMachinesAndFaults) {
    const std::string blocked = "fault ConnectServer \"root\\velorin\" hr=0x80041003\n";
    const std::string broken = "no-such-statement\n";
    constexpr HRESULT kNoNamespace = (HRESULT)WBEM_E_INVALID_NAMESPACE;
    struct Case {
        std::string machine;
        const wchar_t* space;
        HRESULT expected;
    };
    const Case cases[] = {
        {"", L"ROOT\\velorin", S_OK},
        {"", L"root\\wmi", S_OK},
        {"", L"ROOT\\cimv2", kNoNamespace},
        {"", nullptr, kNoNamespace},
        {blocked, L"ROOT\\VELORIN", kDenied},
        {blocked, L"ROOT\\WMI", S_OK},
        {broken, L"ROOT\\velorin", kNoNamespace},
        {broken, L"ROOT\\WMI", kNoNamespace},
    };
    for (const Case& c : cases) {
        UseMachine(c.machine, c.machine != broken);
        ComPtr<IWbemServices> services;
        EXPECT_EQ(Connect(c.space, services), c.expected) << c.machine;
        EXPECT_EQ(static_cast<bool>(services), c.expected == S_OK);
    }
}

TEST_F(StubWmi, QueryYieldsTheOneInstanceWithItsPath) {
    Start("");
    ComPtr<IWbemClassObject> instance, none;
    ComPtr<IEnumWbemClassObject> query;
    ASSERT_EQ(velorin->ExecQuery(Bstr(L"WQL").get(), Bstr(L"SELECT * FROM BiosManager").get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 query.put()),
              S_OK);
    ULONG returned = 0;
    ASSERT_EQ(query->Next(WBEM_INFINITE, 1, instance.put(), &returned), S_OK);
    EXPECT_EQ(Text(instance.get(), L"__PATH"), kPath);
    EXPECT_EQ(query->Next(WBEM_INFINITE, 1, none.put(), &returned), WBEM_S_FALSE);
    EXPECT_EQ(returned, 0u);
    EXPECT_FALSE(none);
}

TEST_F(StubWmi, ParametersRoundTripThroughTheProvider) {
    Start(
        "supervisor-password \"admin\"\n"
        "item 0x0100 \"Boot Mode\" current 1\n"
        "  option \"UEFI\"\n"
        "  option \"Legacy\"\n");
    EXPECT_EQ(Number(Call(L"SetPassword", {{L"Password", 0, L"admin"}}).get(), L"RetCode"), 0);
    auto set = Call(L"Set", {{L"inItemCode", 0x100, nullptr}, {L"inSetData", 0, L"2"}});
    EXPECT_EQ(Number(set.get(), L"RetCode"), 0);
    EXPECT_EQ(Text(set.get(), L"Data"), L"2");
    // The session now sees the option it set as the current one.
    auto item = Call(L"EnumSetting", {{L"inIndex", 0, nullptr}});
    EXPECT_EQ(Text(item.get(), L"ItemCode"), L"0100");
    EXPECT_EQ(Text(item.get(), L"Data"), L"2");
    auto name = Call(L"GetString", {{L"inItemCode", 0x100, nullptr}, {L"inIndex", 0, L"0"}});
    EXPECT_EQ(Text(name.get(), L"Data"), L"Boot Mode");
    ComPtr<IWbemClassObject> revision;
    ASSERT_EQ(Exec(L"GetRevision", nullptr, revision), S_OK);
    EXPECT_EQ(Number(revision.get(), L"Revision"), 6);
}

TEST_F(StubWmi, RawSmbiosInstanceCarriesTheMachinesTable) {
    for (const char* machine : {"smbios-version 2.8\n", "smbios-version 3.1\nsmbios none\n"}) {
        Start(machine);
        velorin::sim::SmbiosTable table = velorin::sim::Machine::Current().Smbios();
        ComPtr<IWbemClassObject> instance;
        ASSERT_EQ(FirstInstance(wmi.get(), L"MSSMBios_RawSMBiosTables", instance), S_OK);
        UniqueVariant major, minor, data;
        EXPECT_EQ(Read(instance.get(), L"SmbiosMajorVersion", VT_UI1, major).bVal,
                  table.majorVersion);
        EXPECT_EQ(Read(instance.get(), L"SmbiosMinorVersion", VT_UI1, minor).bVal,
                  table.minorVersion);
        if (!table.data) {
            Read(instance.get(), L"SMBiosData", VT_NULL, data);
            continue;
        }
        EXPECT_EQ(BytesOf(Read(instance.get(), L"SMBiosData", VT_ARRAY | VT_UI1, data)),
                  *table.data);
    }
}

TEST_F(StubWmi, CallsOutsideTheProvidersShapeFail) {
    Start("");
    ComPtr<IWbemClassObject> biosManager, signature, in, out, missing;
    ASSERT_EQ(GetClass(L"BiosManager", biosManager), S_OK);
    EXPECT_EQ(Exec(L"NoSuchMethod", nullptr, out), (HRESULT)WBEM_E_INVALID_METHOD);
    EXPECT_EQ(Exec(L"Set", nullptr, out), (HRESULT)WBEM_E_INVALID_PARAMETER);
    EXPECT_FALSE(out);
    EXPECT_EQ(biosManager->GetMethod(L"NoSuchMethod", 0, signature.put(), nullptr), kNotFound);
    EXPECT_EQ(biosManager->GetMethod(L"Save", 0, signature.put(), nullptr), S_OK);
    EXPECT_FALSE(signature);
    EXPECT_EQ(GetClass(L"NoSuchClass", missing), kNotFound);
    EXPECT_EQ(biosManager->Get(L"NoSuchProperty", 0, nullptr, nullptr, nullptr), kNotFound);
    ASSERT_EQ(InParameters(L"Set", in), S_OK);
    UniqueVariant value;
    EXPECT_EQ(in->Put(L"NoSuchParameter", 0, &value.get(), CIM_STRING), kNotFound);
}

// One apartment entered and left again; a failed entry must not have entered it, or the next
// entry on the thread answers S_FALSE.
HRESULT EnterApartment(WmiSession&) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr;
}

// A locator created in an apartment of its own; E_UNEXPECTED when the object and the answer
// disagree (an object from a failed call, or none from a good one).
HRESULT CreateLocator(WmiSession&) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return E_UNEXPECTED;
    HRESULT hr;
    {
        ComPtr<IWbemLocator> locator;
        hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void**>(locator.put()));
        if (static_cast<bool>(locator) != SUCCEEDED(hr)) hr = E_UNEXPECTED;
    }
    CoUninitialize();
    return hr;
}

// Each case fails one kind of call through a rule and records three attempts of that call, on
// a thread of their own so that no apartment of an earlier test is met.
TEST(StubFaultRules, EachCallKindMeetsItsRules) {
    struct Case {
        const char* rule;
        HRESULT (*call)(WmiSession&);
        std::vector<HRESULT> expected;
    };
    const Case cases[] = {
        {"fault CoInitializeEx hr=0x80004005 times=1", &EnterApartment, {E_FAIL, S_OK, S_OK}},
        {"fault CoCreateInstance hr=0x80070005 after=1 times=1",
         &CreateLocator,
         {S_OK, (HRESULT)0x80070005, S_OK}},
        {"fault GetObject \"BiosManager\" hr=0x80041002 after=1 times=1",
         [](WmiSession& s) { return s.GetClass(L"BiosManager"); },
         {S_OK, kNotFound, S_OK}},
        {"fault CreateInstanceEnum \"MSSMBios_RawSMBiosTables\" hr=0x80041003 times=2",
         [](WmiSession& s) { return s.FirstInstance(s.wmi.get(), L"MSSMBios_RawSMBiosTables"); },
         {kDenied, kDenied, S_OK}},
        {"fault ExecQuery hr=0x80041001 after=2",
         [](WmiSession& s) {
             ComPtr<IEnumWbemClassObject> e;
             return s.velorin->ExecQuery(Bstr(L"WQL").get(), Bstr(L"SELECT * FROM X").get(), 0,
                                         nullptr, e.put());
         },
         {(HRESULT)WBEM_E_INVALID_CLASS, (HRESULT)WBEM_E_INVALID_CLASS, kFailed}},
        {"fault Next \"BiosManager\" hr=0x80041003 times=1",
         [](WmiSession& s) { return s.FirstInstance(s.velorin.get(), L"BiosManager"); },
         {kDenied, S_OK, S_OK}},
        {"fault Next \"BiosManager\" hr=none",
         [](WmiSession& s) {
             HRESULT hr = s.FirstInstance(s.velorin.get(), L"BiosManager");
             return s.scratch ? E_UNEXPECTED : hr;
         },
         {WBEM_S_FALSE, WBEM_S_FALSE, WBEM_S_FALSE}},
        {"fault GetMethod \"Set\" hr=0x80041002 times=1",
         [](WmiSession& s) { return s.InParameters(L"Set"); },
         {kNotFound, S_OK, S_OK}},
        {"fault GetMethod \"Set\" hr=0x80041002",
         [](WmiSession& s) { return s.InParameters(L"GetString"); },
         {S_OK, S_OK, S_OK}},
        {"fault SpawnInstance \"Set\" hr=0x80041001 after=1 times=1",
         [](WmiSession& s) { return s.InParameters(L"Set"); },
         {S_OK, kFailed, S_OK}},
        {"fault SpawnInstance \"DataBuffer\" hr=0x80041001",
         [](WmiSession& s) {
             ComPtr<IWbemClassObject> instance;
             s.GetClass(L"DataBuffer");
             return s.scratch->SpawnInstance(0, instance.put());
         },
         {kFailed, kFailed, kFailed}},
        {"fault Get \"BiosManager.__PATH\" hr=0x80041001 after=1",
         [](WmiSession& s) {
             s.FirstInstance(s.velorin.get(), L"BiosManager");
             return s.scratch->Get(L"__PATH", 0, nullptr, nullptr, nullptr);
         },
         {S_OK, kFailed, kFailed}},
        {"fault Put \"Set.inSetData\" hr=0x80041001 times=1",
         [](WmiSession& s) {
             s.InParameters(L"Set");
             UniqueVariant value;
             return s.scratch->Put(L"inSetData", 0, &value.get(), CIM_STRING);
         },
         {kFailed, S_OK, S_OK}},
        {"fault ExecMethod \"Save\" hr=0x80041001 times=2",
         [](WmiSession& s) { return s.Exec(L"Save", nullptr, s.scratch); },
         {kFailed, kFailed, S_OK}},
        // The rule names ROOT\WMI; the other namespace must not count against it.
        {"fault CoSetProxyBlanket \"ROOT\\WMI\" hr=0x80041003 times=1",
         [](WmiSession& s) {
             EXPECT_EQ(SimulatedProxyBlanket(s.velorin.get()), S_OK);
             return SimulatedProxyBlanket(s.wmi.get());
         },
         {kDenied, S_OK, S_OK}},
    };
    for (const Case& c : cases) {
        WmiSession session;
        session.Start(c.rule);
        std::vector<HRESULT> results;
        std::thread([&] {
            for (int attempt = 0; attempt < 3; ++attempt) results.push_back(c.call(session));
        }).join();
        EXPECT_EQ(results, c.expected) << c.rule;
    }
}

}  // namespace
