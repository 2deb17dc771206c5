// Command-line splitting with the Windows rules, and the parsed "-key=value" switches.
//
// SplitCommandLine is the one splitter of the project: the launch options read the
// installer's own switches with it, and the child-process runner turns a command-line
// string into an argument vector with it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Utils {

/// Splits `commandLine` into arguments by the CommandLineToArgvW rules:
/// - the first argument (the program path) ends at the first blank (space or tab), or, when
///   it opens with a double quote, at the next double quote; backslashes in it are literal;
/// - later arguments are separated by runs of blanks outside double quotes;
/// - 2n backslashes followed by a double quote give n backslashes, and the quote opens or
///   closes a quoted part; 2n+1 backslashes followed by a quote give n backslashes and a
///   literal quote; backslashes not followed by a quote are literal;
/// - inside a quoted part, two double quotes in a row give one literal quote and end the
///   quoted part.
/// An empty or all-blank text gives no arguments (the system would substitute the path of
/// the running program, which a pure function cannot know).
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

/// Quotes one argument (not the first) so that SplitCommandLine gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

/// Joins arguments into one command line that SplitCommandLine splits back into the same
/// arguments. The first one is the program path: it is quoted when it holds a blank and it
/// must not hold a double quote (the splitting rules give no way to write one there).
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

/// The parsed command line: for each argument, key = the text before the first "=" of an
/// argument that begins with "-", value = the text after it; any other argument is a key
/// with an empty value. Keys are compared exactly (case-sensitive); when a key repeats, its
/// first occurrence wins. The program path is an argument like any other.
class CommandLine {
public:
    explicit CommandLine(std::wstring_view commandLine);
    /// From arguments already split (for example main()'s argv after conversion).
    explicit CommandLine(const std::vector<std::wstring>& arguments);

    bool Has(const std::wstring& key) const;
    /// The value, or "" when the key is absent.
    std::wstring GetString(const std::wstring& key) const;
    /// The value read as a decimal integer from its start; 0 when the key is absent, the
    /// value does not begin with a number or the number does not fit in 32 bits.
    int32_t GetInt(const std::wstring& key) const;
    /// The value read as a floating-point number from its start; `fallback` when the key is
    /// absent, the value does not begin with a number or the number is out of range.
    double GetDouble(const std::wstring& key, double fallback) const;
    /// True exactly when the key is present and its value equals "true".
    bool GetBool(const std::wstring& key) const;

    const std::map<std::wstring, std::wstring>& Entries() const { return entries_; }

private:
    void Add(const std::wstring& argument);

    std::map<std::wstring, std::wstring> entries_;
};

}  // namespace Utils
