#include "runtime/screen/geometry.h"

#include <algorithm>

namespace pellavin::screen {

bool Rect::contains(const Rect& other) const
{
    return !empty() && !other.empty() && x <= other.x && y <= other.y && other.right() <= right()
        && other.bottom() <= bottom();
}

bool Rect::intersects(const Rect& other) const { return !intersected(other).empty(); }

Rect Rect::intersected(const Rect& other) const
{
    if (empty() || other.empty()) return {};
    const int left = std::max(x, other.x);
    const int top = std::max(y, other.y);
    const int r = std::min(right(), other.right());
    const int b = std::min(bottom(), other.bottom());
    if (r <= left || b <= top) return {};
    return {left, top, r - left, b - top};
}

void Region::add(const Rect& rect)
{
    if (rect.empty()) return;
    for (const Rect& kept : rects_) {
        if (kept.contains(rect)) return;
    }
    std::erase_if(rects_, [&](const Rect& kept) { return rect.contains(kept); });
    rects_.push_back(rect);
}

void Region::add(const Region& other)
{
    for (const Rect& rect : other) add(rect);
}

bool Region::intersects(const Rect& rect) const
{
    return std::any_of(rects_.begin(), rects_.end(), [&](const Rect& kept) { return kept.intersects(rect); });
}

}  // namespace pellavin::screen
