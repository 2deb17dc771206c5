// Profile files ("INI" files): the private-profile reader and writer with the semantics
// the installer relies on.
//
// - Section and key names compare case-insensitively; blanks around names and values are
//   trimmed; a value enclosed in one pair of matching quotes (" or ') loses that pair.
// - The first section of a name, and the first key of a name inside it, count.
// - Lines that start with ";" are comments; a line without "=" inside a section is a key
//   with an empty value.
// - Reading copies at most `bufferChars - 1` characters, as a caller's buffer of that many
//   characters would hold.
// - Writing keeps every other line of the file as it was (including comments and line
//   ends), replaces the first line of the key or adds one at the end of the section, adds
//   the section at the end of the file when it is missing, and creates the file on the
//   first write (its folder must exist). The new file replaces the old one atomically.
// Files are UTF-8 text (a leading byte-order mark is skipped and kept); bytes that are not
// UTF-8 read as U+FFFD. Anything in a file (binary junk, very long lines, no final line
// end) reads without failing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

/// The size of the value buffers the installer reads with (260 wide characters).
constexpr size_t kProfileValueChars = 260;

/// GetPrivateProfileString: the value of `key` in `section` of the file at `path`, or
/// `defaultValue` (trailing blanks removed) when the file, section or key is missing. The
/// result is cut to `bufferChars - 1` characters (empty when bufferChars is 0).
std::wstring ReadProfileString(const std::string& path, std::wstring_view section,
                               std::wstring_view key, std::wstring_view defaultValue,
                               size_t bufferChars = kProfileValueChars);

/// GetPrivateProfileInt: `defaultValue` when the file, section or key is missing or the
/// value is empty; otherwise the decimal integer at the start of the value (blanks and a
/// sign allowed), 0 when the value does not begin with a number or is out of 32-bit range.
int32_t ReadProfileInt(const std::string& path, std::wstring_view section, std::wstring_view key,
                       int32_t defaultValue);

/// WritePrivateProfileString: stores "key=value" in `section`. False when the file cannot
/// be read or written (a trace line names the path and errno). Line breaks in `value` are
/// replaced by blanks, because a value is one line.
bool WriteProfileString(const std::string& path, std::wstring_view section, std::wstring_view key,
                        std::wstring_view value);

/// WritePrivateProfileString with a null value: removes every line of `key` from `section`.
/// True when the key is gone afterwards (also when it was never there).
bool DeleteProfileKey(const std::string& path, std::wstring_view section, std::wstring_view key);

/// The reader on text already in memory (the fuzz target and the tests use it).
std::wstring ReadProfileStringFromText(std::string_view fileText, std::wstring_view section,
                                       std::wstring_view key, std::wstring_view defaultValue,
                                       size_t bufferChars = kProfileValueChars);

/// The writer on text in memory: `fileText` with "key=value" stored as WriteProfileString
/// stores it, or with the key removed when `value` is null.
std::string UpdateProfileText(std::string_view fileText, std::wstring_view section,
                              std::wstring_view key, const std::wstring_view* value);

}  // namespace Utils
