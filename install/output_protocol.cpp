#include "install/output_protocol.h"

#include <locale.h>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <string>

namespace {

// Numbers are read the same way whatever the process's locale (a child writes "0.5").
locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

// A floating-point number from the start of the text (leading white space allowed,
// trailing characters ignored); 0 when there is none.
double ReadNumber(std::wstring_view value) {
    std::wstring text(value);
    wchar_t* end = nullptr;
    double number = wcstod_l(text.c_str(), &end, CLocale());
    return end == text.c_str() ? 0.0 : number;
}

// A decimal 32-bit integer read the same way; 0 when there is none or it is out of range.
int32_t ReadInteger(std::wstring_view value) {
    std::wstring text(value);
    wchar_t* end = nullptr;
    errno = 0;
    long long number = wcstoll(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE || number < INT32_MIN || number > INT32_MAX) {
        return 0;
    }
    return static_cast<int32_t>(number);
}

std::wstring ReadText(std::wstring_view value) {
    return std::wstring(value.substr(0, kMaxValueLength));
}

std::wstring ReadWord(std::wstring_view value) {
    std::wstring_view word = value.substr(0, kMaxValueLength);
    while (!word.empty() && std::iswspace(word.front()))
        word.remove_prefix(1);
    while (!word.empty() && std::iswspace(word.back()))
        word.remove_suffix(1);
    return std::wstring(word);
}

// The value after `key` when `line` starts with it exactly.
bool Match(std::wstring_view line, std::wstring_view key, std::wstring_view& value) {
    if (line.substr(0, key.size()) != key)
        return false;
    value = line.substr(key.size());
    return true;
}

// Calls `onLine` for every line of `text`: split at each line feed; the text after the
// last line feed counts as a line too.
template <typename F>
void ForEachLine(std::wstring_view text, F onLine) {
    for (;;) {
        size_t lf = text.find(L'\n');
        onLine(text.substr(0, lf));
        if (lf == std::wstring_view::npos)
            return;
        text.remove_prefix(lf + 1);
    }
}

void Raise(const InstallCallback& callback, int32_t code, double value,
           const std::wstring& text = std::wstring()) {
    if (callback)
        callback(code, value, text.c_str());
}

}  // namespace

const wchar_t* InstallEventName(int32_t code) {
    switch (code) {
        case IST_CODE_START:
            return L"IST_CODE_START";
        case IST_CODE_PROGRESS:
            return L"IST_CODE_PROGRESS";
        case IST_CODE_SUCCESS:
            return L"IST_CODE_SUCCESS";
        case IST_CODE_FAIL:
            return L"IST_CODE_FAIL";
        case IST_CODE_INSTPATH:
            return L"IST_CODE_INSTPATH";
        case IST_CODE_EXEPATH:
            return L"IST_CODE_EXEPATH";
        case IST_CODE_UNINSTEXE:
            return L"IST_CODE_UNINSTEXE";
        case IST_CODE_UNINSTEP:
            return L"IST_CODE_UNINSTEP";
        case IST_CODE_STARTURL:
            return L"IST_CODE_STARTURL";
        case IST_CODE_STARTUPSTYLE:
            return L"IST_CODE_STARTUPSTYLE";
        case IST_CODE_TOPSHOW:
            return L"IST_CODE_TOPSHOW";
        case IST_CODE_FINISHCLOSE:
            return L"IST_CODE_FINISHCLOSE";
        case IST_CODE_MESSAGE:
            return L"IST_CODE_MESSAGE";
        case UNIST_CODE_START:
            return L"UNIST_CODE_START";
        case UNIST_CODE_PROGRESS:
            return L"UNIST_CODE_PROGRESS";
        case UNIST_CODE_SUCCESS:
            return L"UNIST_CODE_SUCCESS";
        case UNIST_CODE_FAIL:
            return L"UNIST_CODE_FAIL";
        case UNIST_CODE_ERROR:
            return L"UNIST_CODE_ERROR";
        default:
            return L"";
    }
}

int ParseUninstallOutput(std::wstring_view text, const InstallCallback& callback,
                         int32_t& codePage) {
    int result = kNoFinalState;
    ForEachLine(text, [&](std::wstring_view line) {
        std::wstring_view value;
        if (Match(line, L"Progress=", value)) {
            Raise(callback, UNIST_CODE_PROGRESS, ReadNumber(value));
        } else if (Match(line, L"Error=", value)) {
            Raise(callback, UNIST_CODE_ERROR, 0.0, ReadText(value));
            result = kFinalFailure;
        } else if (Match(line, L"State=", value)) {
            std::wstring word = ReadWord(value);
            if (word == L"Success") {
                Raise(callback, UNIST_CODE_SUCCESS, 0.0);
                result = kFinalSuccess;
            } else if (word == L"Fail") {
                Raise(callback, UNIST_CODE_ERROR, 0.0, L"安装包卸载失败");
                result = kFinalFailure;
            }
        } else if (Match(line, L"Encode=", value)) {
            codePage = ReadWord(value) == L"UTF8" ? 65001 : 0;
        }
    });
    return result;
}

int ParsePackageOutput(std::wstring_view text, const InstallCallback& callback, int32_t& codePage) {
    int result = kNoFinalState;
    ForEachLine(text, [&](std::wstring_view line) {
        std::wstring_view value;
        if (Match(line, L"Progress=", value)) {
            Raise(callback, IST_CODE_PROGRESS, ReadNumber(value));
        } else if (Match(line, L"InstPath=", value)) {
            Raise(callback, IST_CODE_INSTPATH, 0.0, ReadText(value));
        } else if (Match(line, L"State=", value)) {
            std::wstring word = ReadWord(value);
            if (word == L"Success") {
                Raise(callback, IST_CODE_SUCCESS, 0.0);
                result = kFinalSuccess;
            } else if (word == L"Fail") {
                Raise(callback, IST_CODE_FAIL, 0.0, L"安装包安装失败");
                result = kFinalFailure;
            }
        } else if (Match(line, L"InstallVersion=", value)) {
            // Consumed without effect.
        } else if (Match(line, L"ExePath=", value) || Match(line, L"StartExe=", value)) {
            Raise(callback, IST_CODE_EXEPATH, 0.0, ReadText(value));
        } else if (Match(line, L"UninstExePath=", value) || Match(line, L"UninstExe=", value)) {
            Raise(callback, IST_CODE_UNINSTEXE, 0.0, ReadText(value));
        } else if (Match(line, L"UninstEp=", value)) {
            Raise(callback, IST_CODE_UNINSTEP, 0.0, ReadText(value));
        } else if (Match(line, L"Error=", value)) {
            Raise(callback, IST_CODE_FAIL, 1000.0, ReadText(value));
            result = kFinalFailure;
        } else if (Match(line, L"TopShowDetention=", value)) {
            Raise(callback, IST_CODE_TOPSHOW, static_cast<uint32_t>(ReadInteger(value)));
        } else if (Match(line, L"FinsihCloseDetention=", value)) {
            Raise(callback, IST_CODE_FINISHCLOSE, static_cast<uint32_t>(ReadInteger(value)));
        } else if (Match(line, L"StartUrl=", value)) {
            Raise(callback, IST_CODE_STARTURL, 0.0, ReadText(value));
        } else if (Match(line, L"StartupStyle=", value)) {
            std::wstring word = ReadWord(value);
            double style = word == L"AutoStartup" ? 1.0 : word == L"UserStartup" ? 2.0 : 0.0;
            Raise(callback, IST_CODE_STARTUPSTYLE, style);
        } else if (Match(line, L"Encode=", value)) {
            std::wstring word = ReadWord(value);
            codePage = word == L"UTF8" ? 65001 : word == L"ACP" ? 0 : ReadInteger(word);
        } else if (Match(line, L"Message=", value)) {
            Raise(callback, IST_CODE_MESSAGE, 0.0, ReadText(value));
        }
    });
    return result;
}
