#include "sim/sample_machine.h"

namespace velorin::sim {

// A business notebook as it leaves the factory: no supervisor password yet, so its settings
// can be read but not changed until one is set.
std::string_view SampleMachineText() {
    return R"machine(# Velorin ProBook 14 G3, factory state
revision 6
manufacturer "Velorin Corporation"
product "Velorin ProBook 14 G3"
version "SBKPF"
serial "5CG3214XQ7"
sku "7Q8L2EA#ABD"
family "Velorin ProBook"
uuid 4A7B3C2E91D04F6B8E2A1C5D7F3B9E04
wake-up-type 6
smbios-version 3.4

# Boot
item 0x0100 "Boot Mode" current 1
  option "UEFI"
  option "Legacy" readonly
item 0x0101 "Secure Boot" current 1
  option "Enabled"
  option "Disabled"
item 0x0102 "Fast Boot" current 2
  option "Enabled"
  option "Disabled"
item 0x0103 "First Boot Device" current 1
  option "Windows Boot Manager"
  option "Internal NVMe SSD"
  option "Internal SATA HDD"
  option "USB Hard Drive"
  option "USB CD/DVD Drive"
  option "USB Floppy"
  option "SD Card"
  option "Network IPv4 (PXE)"
  option "Network IPv6 (PXE)"
  option "HTTP Boot"
  option "Thunderbolt Dock NIC"
item 0x0104 "Network Boot" current 2
  option "Enabled"
  option "Disabled"
item 0x0105 "USB Boot" current 1
  option "Enabled"
  option "Disabled"
item 0x0106 "NumLock State at Boot" current 2
  option "On"
  option "Off"
item 0x0107 "POST Hotkey Delay" current 1
  option "0 seconds"
  option "5 seconds"
  option "10 seconds"
  option "15 seconds"

# Security
item 0x0200 "TPM Device" current 1
  option "Available"
  option "Hidden"
item 0x0201 "TPM State" current 1
  option "Enabled"
  option "Disabled"
item 0x0202 "Clear TPM" current 1
  option "No"
  option "On next boot"
item 0x0203 "Absolute Persistence Module" current 1
  option "Activated" readonly
  option "Inactive"
  option "Permanently Disabled" readonly
item 0x0204 "Power-On Authentication" current 2
  option "Enabled"
  option "Disabled"
item 0x0205 "Cover Removal Sensor" current 2
  option "Enabled"
  option "Disabled"
  option "On - Silent"
item 0x3000 "Supervisor Password" current 0
  value "Not Installed"
item 0x3001 "User Password" current 0
  value "Not Installed"

# Devices
item 0x0300 "Integrated Camera" current 1
  option "Enabled"
  option "Disabled"
item 0x0301 "Integrated Microphone" current 1
  option "Enabled"
  option "Disabled"
item 0x0302 "Wireless LAN" current 1
  option "Enabled"
  option "Disabled"
item 0x0303 "Bluetooth" current 1
  option "Enabled"
  option "Disabled"
item 0x0304 "Fingerprint Reader" current 1
  option "Enabled"
  option "Disabled"
item 0x0305 "Thunderbolt Security Level" current 2
  option "No Security"
  option "User Authorization"
  option "Secure Connect"
  option "DP and USB Only"
item 0x0306 "USB Ports" current 1
  option "Enabled"
  option "Disabled"
  option "Charging Only"
item 0x0307 "SD Card Reader" current 1
  option "Enabled"
  option "Disabled"

# Power
item 0x0400 "Wake On LAN" current 1
  option "Disabled"
  option "LAN Only"
  option "LAN with PXE Boot"
item 0x0401 "After Power Loss" current 1
  option "Power Off"
  option "Power On"
  option "Previous State"
item 0x0402 "Battery Charge Mode" current 4
  option "Standard"
  option "Express"
  option "Primarily AC Use"
  option "Adaptive"
  option "Custom"
item 0x0403 "USB Wake Support" current 2
  option "Enabled"
  option "Disabled"
item 0x0404 "Deep Sleep" current 2
  option "Disabled"
  option "Enabled in S4 and S5"
  option "Enabled in S5 Only"

# Virtualization
item 0x0500 "Virtualization Technology" current 1
  option "Enabled"
  option "Disabled"
item 0x0501 "VT for Directed I/O" current 1
  option "Enabled"
  option "Disabled"
item 0x0502 "Kernel DMA Protection" current 1
  option "Enabled"
  option "Disabled"
item 0x0503 "Hyper-Threading" current 1
  option "Enabled"
  option "Disabled"

# System
item 0x0600 "Asset Tag" current 0
  value "VLR-IT-004217"
item 0x0601 "Ownership Tag" current 0
  value "Velorin IT Services"
item 0x0602 "Setup Language" current 1
  option "English"
  option "Français"
  option "Deutsch"
  option "Español"
  option "Italiano"
  option "Português"
item 0x0603 "Keyboard Layout" current 1
  option "English (US)"
  option "English (UK)"
  option "Français (France)"
  option "Français (Canada)"
  option "Deutsch (DE)"
  option "Deutsch (CH)"
  option "Español"
  option "Italiano"
  option "Português (Brasil)"
  option "Nederlands"
  option "Svenska"
  option "Dansk"
item 0x0604 "Fan Always On while on AC Power" current 2
  option "Enabled"
  option "Disabled"
)machine";
}

}  // namespace velorin::sim
