#pragma once

#include "runtime/screen/geometry.h"

#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace pellavin::screen {

// A picture in shared memory that the compositor shows: device pixels,
// 0xAARRGGBB premultiplied, transparent until drawn.
class ShmBuffer {
public:
    // Nothing when the memory cannot be had.
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* buffer() const { return buffer_; }
    uint32_t* pixels() const { return pixels_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Attaches it to `surface`, all of it new; the compositor holds it
    // from the commit until it lets go.
    void attach_to(wl_surface* surface);
    bool held() const { return held_; }

private:
    ShmBuffer(int width, int height);

    int width_;
    int height_;
    size_t bytes_;
    uint32_t* pixels_ = nullptr;
    wl_buffer* buffer_ = nullptr;
    bool held_ = false;
};

// Buffers taken off their surfaces, kept until the compositor lets go.
class RetiredBuffers {
public:
    void retire(std::unique_ptr<ShmBuffer> buffer);
    void drop_released();

private:
    std::vector<std::unique_ptr<ShmBuffer>> buffers_;
};

}  // namespace pellavin::screen
