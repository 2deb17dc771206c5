#include "utils/number_text.h"

#include <locale.h>
#include <wchar.h>

#include <cerrno>
#include <climits>
#include <string>

namespace Utils {
namespace {

// The "C" locale, made once: wcstod_l reads "." as the decimal separator whatever the
// process locale is.
locale_t CLocale() {
    static const locale_t loc = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

}  // namespace

bool ParseLeadingInt32(std::wstring_view text, int32_t* value) {
    std::wstring copy(text);  // the C readers need a terminated string
    const wchar_t* begin = copy.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    long long v = std::wcstoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseLeadingDouble(std::wstring_view text, double* value) {
    std::wstring copy(text);
    const wchar_t* begin = copy.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    double v = CLocale() != static_cast<locale_t>(0) ? ::wcstod_l(begin, &end, CLocale())
                                                     : std::wcstod(begin, &end);
    if (end == begin || errno == ERANGE)
        return false;
    *value = v;
    return true;
}

}  // namespace Utils
