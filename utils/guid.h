// Fresh GUIDs as text.
#pragma once

#include <cstdint>
#include <string>

namespace Utils {

/// The text of a GUID given as its 16 bytes in memory order (Data1 and Data2 and Data3
/// little-endian, then the 8 bytes of Data4): "%08X%04X%04x" + 8 x "%02X", 32 hexadecimal
/// characters without separators, upper case except the third group (lower case).
std::wstring GuidText(const uint8_t bytes[16]);

/// A new random GUID (16 bytes from the OS random source with the version 4 and variant
/// bits set) as GuidText. Empty when the random source fails.
std::wstring NewGuidText();

}  // namespace Utils
