// Plain geometry values of the UI framework: points, sizes and rectangles in window pixels.
//
// A Rect is half-open: it holds the points with left <= x < right and top <= y < bottom.
#pragma once

#include <algorithm>

namespace Ui {

/// Markup coordinates and sizes are clamped to this magnitude, so sums of a layout's
/// children and offsets into a control cannot overflow an int.
constexpr int kMaxCoordinate = 100000;

inline int ClampCoordinate(int v) {
    return std::clamp(v, -kMaxCoordinate, kMaxCoordinate);
}

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    Point Center() const { return {left + Width() / 2, top + Height() / 2}; }

    /// The common part of both rectangles; empty (all zero) when they do not meet.
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    /// The smallest rectangle holding both; an empty operand does not count.
    Rect Union(const Rect& o) const {
        if (o.IsEmpty())
            return *this;
        if (IsEmpty())
            return o;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace Ui
