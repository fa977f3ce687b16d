// The namespaces and classes of the simulated WMI, as data: which classes each namespace
// holds, their properties, and how their instances are filled from the machine.
#pragma once

#include "simcom/wmi_object.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace velorin::simcom {

struct PropertySpec {
    std::u16string_view name;
    CIMTYPE type;
};

struct ClassSpec {
    std::u16string_view name;
    std::vector<PropertySpec> properties;
    bool hasMethods;
    // The key of the class's one instance; empty for a class without instances.
    std::u16string_view instanceName;
    // Fills the instance's values from the machine.
    void (*fillInstance)(WbemObject& instance);
};

struct NamespaceSpec {
    std::u16string_view name;
    std::vector<ClassSpec> classes;
};

const NamespaceSpec* FindNamespace(std::u16string_view name);
const ClassSpec* FindClass(const NamespaceSpec& space, std::u16string_view name);

ComPtr<WbemObject> MakeClassObject(const ClassSpec& classSpec);
// The class's instances as they stand on the machine now (none or one).
std::vector<ComPtr<IWbemClassObject>> MakeInstances(const NamespaceSpec& space,
                                                    const ClassSpec& classSpec);
// A DataBuffer instance holding `bytes`, as the provider embeds it in its answers.
ComPtr<WbemObject> MakeDataBuffer(const std::vector<uint8_t>& bytes);

}  // namespace velorin::simcom
