// The operating system's name, as the download route and analytics report it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace Utils {

/// The short Windows version name for version numbers (only the low 16 bits of `build`
/// count): "XP-" below 5, "2K", "XP", "Server 2003" / "Server 2003 R2", "XP+", "Vista",
/// "7", "8", "8.1", "8.1+", "10", "10+", and "major.minor.build" for 7, 8, 9 and above 10.
/// Kept as a pure table so the names the distribution side knows stay testable here.
std::wstring WindowsVersionName(uint32_t major, uint32_t minor, uint32_t build, bool serverR2);

/// (family, version) of this machine: ("Linux", the kernel release from uname), or
/// ("Linux", "") when uname fails. Never names a Windows version, so a route chosen from it
/// is the one for current systems.
std::pair<std::wstring, std::wstring> GetOsName();

/// 64 when the machine (uname's machine field) is a 64-bit architecture, else 32.
int GetOsBitness();

}  // namespace Utils
