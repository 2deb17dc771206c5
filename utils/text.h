// Text conversion between wide strings and narrow code pages, and URL encoding.
//
// Wide strings are std::wstring (UTF-32 on this OS). Code pages keep their Windows numbers:
// 0 = this system's codeset (the locale's; UTF-8 under the plain C/POSIX locale), 65001 =
// UTF-8, 936 = GBK, any other number N = iconv's "CPN".
#pragma once

#include <string>
#include <string_view>

namespace Utils {

constexpr unsigned kCodePageSystem = 0;
constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageGbk = 936;

/// Narrow text in `codePage` to wide. Bytes that do not form a character of the code page
/// become U+FFFD, as the system converter does without strict flags. Empty when the code
/// page is unknown (or the input is empty).
std::wstring ToWide(std::string_view text, unsigned codePage);

/// Wide text to `codePage`. Characters the code page cannot hold become '?'. Empty when the
/// code page is unknown (or the input is empty).
std::string ToNarrow(std::wstring_view text, unsigned codePage);

/// The text as UTF-8; bytes 33..126 kept, a space as "+", every other byte as "%XX" with
/// upper-case hexadecimal digits.
std::wstring UrlEncode(std::wstring_view text);

/// The iconv name of a code page (0 resolved to the locale's codeset).
std::string CodePageName(unsigned codePage);

}  // namespace Utils
