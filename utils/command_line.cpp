#include "utils/command_line.h"

#include "utils/number_text.h"

namespace Utils {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> args;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && IsBlank(line[i]))
        ++i;
    if (i == n)
        return args;

    // The program path: no escapes, only an optional pair of quotes around it.
    std::wstring first;
    if (line[i] == L'"') {
        ++i;
        while (i < n && line[i] != L'"')
            first.push_back(line[i++]);
        if (i < n)
            ++i;  // the closing quote
    } else {
        while (i < n && !IsBlank(line[i]))
            first.push_back(line[i++]);
    }
    args.push_back(std::move(first));

    for (;;) {
        while (i < n && IsBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        std::wstring arg;
        bool quoted = false;
        while (i < n) {
            wchar_t c = line[i];
            if (IsBlank(c) && !quoted)
                break;
            if (c == L'\\') {
                size_t run = 0;
                while (i < n && line[i] == L'\\') {
                    ++run;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    arg.append(run / 2, L'\\');
                    if (run % 2 == 1) {
                        arg.push_back(L'"');
                        ++i;
                    }
                    // An even run leaves the quote to the branch below.
                } else {
                    arg.append(run, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                ++i;
                if (quoted && i < n && line[i] == L'"') {
                    // Two quotes inside a quoted part: one literal quote, quoting ends.
                    arg.push_back(L'"');
                    ++i;
                    quoted = false;
                } else {
                    quoted = !quoted;
                }
                continue;
            }
            arg.push_back(c);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::wstring QuoteArgument(std::wstring_view argument) {
    bool needs = argument.empty();
    for (wchar_t c : argument) {
        if (IsBlank(c) || c == L'"')
            needs = true;
    }
    if (!needs)
        return std::wstring(argument);
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Each backslash before a literal quote is doubled, plus one for the quote.
            out.append(backslashes * 2 + 1, L'\\');
            out.push_back(L'"');
        } else {
            out.append(backslashes, L'\\');
            out.push_back(c);
        }
        backslashes = 0;
    }
    out.append(backslashes * 2, L'\\');  // the closing quote must stay a quote
    out.push_back(L'"');
    return out;
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments) {
    std::wstring out;
    for (size_t k = 0; k < arguments.size(); ++k) {
        if (k > 0)
            out.push_back(L' ');
        const std::wstring& a = arguments[k];
        if (k == 0) {
            bool blank = a.empty();
            for (wchar_t c : a)
                blank = blank || IsBlank(c);
            out += blank ? L"\"" + a + L"\"" : a;
        } else {
            out += QuoteArgument(a);
        }
    }
    return out;
}

CommandLine::CommandLine(std::wstring_view commandLine) {
    for (const std::wstring& a : SplitCommandLine(commandLine))
        Add(a);
}

CommandLine::CommandLine(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& a : arguments)
        Add(a);
}

void CommandLine::Add(const std::wstring& argument) {
    std::wstring key = argument;
    std::wstring value;
    if (!argument.empty() && argument[0] == L'-') {
        size_t eq = argument.find(L'=');
        if (eq != std::wstring::npos) {
            key = argument.substr(0, eq);
            value = argument.substr(eq + 1);
        }
    }
    entries_.emplace(std::move(key), std::move(value));  // keeps the first occurrence
}

bool CommandLine::Has(const std::wstring& key) const {
    return entries_.count(key) != 0;
}

std::wstring CommandLine::GetString(const std::wstring& key) const {
    auto it = entries_.find(key);
    return it == entries_.end() ? std::wstring() : it->second;
}

int32_t CommandLine::GetInt(const std::wstring& key) const {
    int32_t v = 0;
    auto it = entries_.find(key);
    if (it == entries_.end() || !ParseLeadingInt32(it->second, &v))
        return 0;
    return v;
}

double CommandLine::GetDouble(const std::wstring& key, double fallback) const {
    double v = fallback;
    auto it = entries_.find(key);
    if (it == entries_.end() || !ParseLeadingDouble(it->second, &v))
        return fallback;
    return v;
}

bool CommandLine::GetBool(const std::wstring& key) const {
    auto it = entries_.find(key);
    return it != entries_.end() && it->second == L"true";
}

}  // namespace Utils
