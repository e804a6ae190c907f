#pragma once

#include <cstdint>
#include <vector>

namespace pellavin::screen {

// A rectangle of pixels: the columns x to x + width - 1 and the rows y to
// y + height - 1. Empty when either extent is not positive.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }  // one past the last column
    int bottom() const { return y + height; }  // one past the last row
    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(const Rect& other) const;
    bool intersects(const Rect& other) const;
    Rect intersected(const Rect& other) const;

    bool operator==(const Rect&) const = default;
};

// The pixels that some rectangles cover together. The rectangles may
// overlap; one that lies inside another is never kept.
class Region {
public:
    Region() = default;
    Region(const Rect& rect) { add(rect); }  // NOLINT: a rectangle is a region

    void add(const Rect& rect);
    void add(const Region& other);
    bool empty() const { return rects_.empty(); }
    bool intersects(const Rect& rect) const;
    void clear() { rects_.clear(); }

    const std::vector<Rect>& rects() const { return rects_; }
    auto begin() const { return rects_.begin(); }
    auto end() const { return rects_.end(); }

private:
    std::vector<Rect> rects_;
};

// A colour as the screen shows it, 8 bits a channel.
struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    bool operator==(const Rgb&) const = default;
};

}  // namespace pellavin::screen
