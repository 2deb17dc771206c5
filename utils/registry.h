// The per-user registry key of the product, stood in for by one small file per key.
//
// HKEY_CURRENT_USER\<key path> is the file $XDG_CONFIG_HOME/<key path without "Software\">
// + ".reg" (XDG_CONFIG_HOME defaults to ~/.config), for example
// ~/.config/OrvanSoft/Glyphora.reg for "Software\OrvanSoft\Glyphora". The file holds one
// value a line, "name<TAB>type<TAB>text", with "\\", "\t", "\n" and "\r" escaped by a
// backslash; it is replaced atomically (temporary file + rename) on every write. Value
// names compare case-insensitively, as the registry's do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

/// The product's key under the current user.
inline constexpr wchar_t kProductRegKey[] = L"Software\\OrvanSoft\\Glyphora";

/// REG_SZ, the only value type the installer writes.
constexpr uint32_t kRegSz = 1;

/// The file that stands in for `keyPath`; empty when no configuration folder is known (no
/// XDG_CONFIG_HOME and no HOME) or the key path is empty or climbs out of the folder.
std::string RegistryKeyFile(std::wstring_view keyPath = kProductRegKey);

/// Stores `text` as REG_SZ under `name`, creating the key (and its folders) when missing.
/// The value's registry size is 2 bytes per UTF-16 unit of the text, with no terminator.
/// False (with a trace line) when the key cannot be opened or the write fails.
bool WriteRegString(std::wstring_view name, std::wstring_view text,
                    std::wstring_view keyPath = kProductRegKey);

/// Reads the value `name`: its type and text. False when the key or the value is missing.
bool ReadRegString(std::wstring_view name, uint32_t* type, std::wstring* text,
                   std::wstring_view keyPath = kProductRegKey);

/// The byte size the registry reports for a REG_SZ value written by WriteRegString.
uint32_t RegStringByteSize(std::wstring_view text);

}  // namespace Utils
