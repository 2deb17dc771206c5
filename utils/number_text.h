// Numbers read from the start of a text, as the configuration file and the command line
// give them.
//
// Both readers skip leading white space, accept an optional sign and ignore whatever
// follows the number. They are independent of the process locale (the decimal separator is
// always "."), because start-up switches the locale to the user's before the options are
// read and "0.7" must not turn into 0 under a locale that writes "0,7".
#pragma once

#include <cstdint>
#include <string_view>

namespace Utils {

/// A decimal integer at the start of `text`. False, and `*value` untouched, when the text
/// does not begin with a number or the number does not fit in 32 bits (text out of range is
/// treated like text that is not a number).
bool ParseLeadingInt32(std::wstring_view text, int32_t* value);

/// A floating-point number at the start of `text` (decimal or hexadecimal, "inf", "nan").
/// False, and `*value` untouched, when the text does not begin with a number or the number
/// overflows or underflows a double.
bool ParseLeadingDouble(std::wstring_view text, double* value);

}  // namespace Utils
