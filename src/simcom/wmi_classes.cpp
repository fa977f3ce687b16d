#include "simcom/wmi_classes.h"

#include "sim/machine.h"
#include "simcom/sim_support.h"

#include <string>

namespace velorin::simcom {

namespace {

constexpr std::u16string_view kServer = u"\\\\VELORIN-SIM\\";
constexpr CIMTYPE kByteArray = CIM_UINT8 | CIM_FLAG_ARRAY;

void FillBiosManager(WbemObject& instance) {
    FillBool(instance.Define(u"Active", CIM_BOOLEAN), true);
}

void FillRawSmbiosTables(WbemObject& instance) {
    sim::SmbiosTable table = sim::Machine::Current().Smbios();
    FillBool(instance.Define(u"Active", CIM_BOOLEAN), true);
    FillByte(instance.Define(u"SmbiosMajorVersion", CIM_UINT8), table.majorVersion);
    FillByte(instance.Define(u"SmbiosMinorVersion", CIM_UINT8), table.minorVersion);
    LONG size = table.data ? static_cast<LONG>(table.data->size()) : 0;
    FillNumber(instance.Define(u"Size", CIM_UINT32), size);
    VARIANT& data = instance.Define(u"SMBiosData", kByteArray);
    if (table.data) {
        FillBytes(data, *table.data);
    } else {
        FillNull(data);
    }
}

const std::vector<NamespaceSpec>& Namespaces() {
    static const std::vector<NamespaceSpec> namespaces = {
        {u"ROOT\\velorin",
         {
             {u"BiosManager",
              {{u"InstanceName", CIM_STRING}, {u"Active", CIM_BOOLEAN}},
              true,
              u"ACPI\\PNP0C14\\0_0",
              FillBiosManager},
             {u"DataBuffer", {{u"Bytes", kByteArray}}, false, u"", nullptr},
         }},
        {u"ROOT\\WMI",
         {
             {u"MSSMBios_RawSMBiosTables",
              {{u"InstanceName", CIM_STRING},
               {u"Active", CIM_BOOLEAN},
               {u"SmbiosMajorVersion", CIM_UINT8},
               {u"SmbiosMinorVersion", CIM_UINT8},
               {u"Size", CIM_UINT32},
               {u"SMBiosData", kByteArray}},
              false,
              u"SMBiosData",
              FillRawSmbiosTables},
         }},
    };
    return namespaces;
}

std::u16string RelativePath(const ClassSpec& classSpec) {
    std::u16string path(classSpec.name);
    path += u".InstanceName=\"";
    path += classSpec.instanceName;
    path += u'"';
    return path;
}

ComPtr<WbemObject> MakeInstance(const NamespaceSpec& space, const ClassSpec& classSpec) {
    ComPtr<WbemObject> instance = MakeClassObject(classSpec)->Copy(WbemObject::Kind::Instance);
    std::u16string relativePath = RelativePath(classSpec);
    std::u16string path =
        std::u16string(kServer) + std::u16string(space.name) + u':' + relativePath;
    FillText(instance->Define(u"__PATH", CIM_STRING), path);
    FillText(instance->Define(u"__RELPATH", CIM_STRING), relativePath);
    FillText(instance->Define(u"InstanceName", CIM_STRING), classSpec.instanceName);
    classSpec.fillInstance(*instance.get());
    return instance;
}

}  // namespace

const NamespaceSpec* FindNamespace(std::u16string_view name) {
    for (const NamespaceSpec& space : Namespaces()) {
        if (SameName(space.name, name)) return &space;
    }
    return nullptr;
}

const ClassSpec* FindClass(const NamespaceSpec& space, std::u16string_view name) {
    for (const ClassSpec& classSpec : space.classes) {
        if (SameName(classSpec.name, name)) return &classSpec;
    }
    return nullptr;
}

ComPtr<WbemObject> MakeClassObject(const ClassSpec& classSpec) {
    ComPtr<WbemObject> object =
        MakeObject<WbemObject>(std::u16string(classSpec.name), WbemObject::Kind::Class);
    FillText(object->Define(u"__CLASS", CIM_STRING), classSpec.name);
    for (const PropertySpec& property : classSpec.properties) {
        FillNull(object->Define(property.name, property.type));
    }
    if (classSpec.hasMethods) object->ProvideMethods();
    return object;
}

std::vector<ComPtr<IWbemClassObject>> MakeInstances(const NamespaceSpec& space,
                                                    const ClassSpec& classSpec) {
    std::vector<ComPtr<IWbemClassObject>> instances;
    if (classSpec.fillInstance != nullptr)
        instances.emplace_back(MakeInstance(space, classSpec).release());
    return instances;
}

ComPtr<WbemObject> MakeDataBuffer(const std::vector<uint8_t>& bytes) {
    const ClassSpec* classSpec = FindClass(*FindNamespace(u"ROOT\\velorin"), u"DataBuffer");
    ComPtr<WbemObject> buffer = MakeClassObject(*classSpec)->Copy(WbemObject::Kind::Instance);
    FillBytes(buffer->Define(u"Bytes", kByteArray), bytes);
    return buffer;
}

}  // namespace velorin::simcom
