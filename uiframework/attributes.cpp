#include "uiframework/attributes.h"

#include <cwchar>

namespace Ui {

namespace {

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t'))
        s.remove_suffix(1);
    return s;
}

// Reads up to `n` comma-separated integers.
void ParseInts(std::wstring_view text, int* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = 0;
    int i = 0;
    size_t start = 0;
    while (i < n && start <= text.size()) {
        size_t comma = text.find(L',', start);
        std::wstring_view item = text.substr(
            start, comma == std::wstring_view::npos ? std::wstring_view::npos : comma - start);
        out[i++] = ParseInt(item);
        if (comma == std::wstring_view::npos)
            break;
        start = comma + 1;
    }
}

}  // namespace

int ParseInt(std::wstring_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        if (value > 2147483647LL)
            value = 2147483647LL;  // saturate instead of wrapping
    }
    return static_cast<int>(negative ? -value : value);
}

Rect ParseRect(std::wstring_view text) {
    int v[4];
    ParseInts(text, v, 4);
    return {ClampCoordinate(v[0]), ClampCoordinate(v[1]), ClampCoordinate(v[2]),
            ClampCoordinate(v[3])};
}

Size ParseSize(std::wstring_view text) {
    int v[2];
    ParseInts(text, v, 2);
    return {ClampCoordinate(v[0]), ClampCoordinate(v[1])};
}

Point ParsePoint(std::wstring_view text) {
    int v[2];
    ParseInts(text, v, 2);
    return {ClampCoordinate(v[0]), ClampCoordinate(v[1])};
}

uint32_t ParseColor(std::wstring_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == L'#') {
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text.remove_prefix(2);
    }
    uint64_t value = 0;
    int digits = 0;
    for (wchar_t c : text) {
        int d;
        if (c >= L'0' && c <= L'9')
            d = c - L'0';
        else if (c >= L'a' && c <= L'f')
            d = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F')
            d = c - L'A' + 10;
        else
            break;
        if (++digits > 8)
            break;  // more than 32 bits: keep the first eight digits
        value = value * 16 + static_cast<uint64_t>(d);
    }
    return static_cast<uint32_t>(value);
}

bool ParseBool(std::wstring_view text) {
    return text == L"true";
}

ImageSpec ParseImageSpec(std::wstring_view text) {
    ImageSpec imageAttr;
    std::wstring_view rest = Trim(text);
    // A bare name has no key='value' pair at its start.
    size_t eq = rest.find(L'=');
    bool keyed = eq != std::wstring_view::npos && eq + 1 < rest.size() &&
                 (rest[eq + 1] == L'\'' || rest[eq + 1] == L'"') &&
                 rest.substr(0, eq).find_first_of(L" \t/\\") == std::wstring_view::npos;
    if (!keyed) {
        imageAttr.file = std::wstring(rest);
        return imageAttr;
    }
    while (!rest.empty()) {
        rest = Trim(rest);
        size_t e = rest.find(L'=');
        if (e == std::wstring_view::npos || e + 1 >= rest.size())
            break;
        std::wstring_view key = Trim(rest.substr(0, e));
        wchar_t quote = rest[e + 1];
        if (quote != L'\'' && quote != L'"')
            break;
        size_t close = rest.find(quote, e + 2);
        if (close == std::wstring_view::npos)
            break;  // unterminated: ignore the rest
        std::wstring_view value = rest.substr(e + 2, close - e - 2);
        rest.remove_prefix(close + 1);
        if (key == L"file" || key == L"res") {
            imageAttr.file = std::wstring(value);
        } else if (key == L"dest") {
            imageAttr.dest = ParseRect(value);
        } else if (key == L"source") {
            imageAttr.source = ParseRect(value);
        } else if (key == L"corner") {
            imageAttr.corner = ParseRect(value);
        } else if (key == L"mask") {
            imageAttr.mask = ParseColor(value) & 0x00FFFFFFu;
            imageAttr.hasMask = true;
        } else if (key == L"fade") {
            int f = ParseInt(value);
            imageAttr.fade = f < 0 ? 0 : (f > 255 ? 255 : f);
        } else if (key == L"hole") {
            imageAttr.hole = ParseBool(value);
        } else if (key == L"xtiled") {
            imageAttr.xTiled = ParseBool(value);
        } else if (key == L"ytiled") {
            imageAttr.yTiled = ParseBool(value);
        }
    }
    return imageAttr;
}

}  // namespace Ui
