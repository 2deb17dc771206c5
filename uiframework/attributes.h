// Value forms of the markup vocabulary, as pure functions.
//
//   integers     decimal, leading digits ("12px" = 12, "" = 0), optional sign
//   lists        "x,y" and "l,t,r,b" of integers; missing items are 0
//   colours      "#AARRGGBB" or "0xAARRGGBB" (alpha first); fewer digits give a smaller
//                number, so "#FF0000" is red with alpha 0 (as the mask form uses it)
//   booleans     exactly "true" is true
//   image string either a bare package name (drawn stretched over the control) or
//                key='value' pairs separated by blanks: file, dest (l,t,r,b inside the
//                control), source (l,t,r,b part of the image), corner (l,t,r,b edges kept
//                unscaled), mask (#RRGGBB drawn transparent), fade (0..255), hole (leave
//                the centre cell out), xtiled / ytiled (tile instead of stretching).
//                Unknown keys are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "uiframework/geometry.h"

namespace Ui {

int ParseInt(std::wstring_view text);
/// Up to four comma-separated integers; missing ones are 0; each clamped to
/// +-kMaxCoordinate (geometry.h).
Rect ParseRect(std::wstring_view text);
Size ParseSize(std::wstring_view text);
Point ParsePoint(std::wstring_view text);
/// "#", "0x" (or "0X") prefix skipped, then hexadecimal digits; anything else gives 0.
uint32_t ParseColor(std::wstring_view text);
bool ParseBool(std::wstring_view text);

struct ImageSpec {
    std::wstring file;
    Rect dest;          // empty: the whole control
    Rect source;        // empty: the whole image
    Rect corner;        // nine-slice edges in image pixels
    uint32_t mask = 0;  // 0: none; else 0x00RRGGBB (alpha ignored) made transparent
    bool hasMask = false;
    int fade = 255;
    bool hole = false;
    bool xTiled = false;
    bool yTiled = false;
};

/// Parses an image string; `file` empty when the string names no file.
ImageSpec ParseImageSpec(std::wstring_view text);

}  // namespace Ui
