#include "runtime/screen/wayland/shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

constexpr int kBytesPerPixel = 4;

}  // namespace

ShmBuffer::ShmBuffer(int width, int height)
    : width_(width)
    , height_(height)
    , bytes_(static_cast<size_t>(width) * static_cast<size_t>(height) * kBytesPerPixel)
{
}

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height)
{
    if (width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<ShmBuffer> made(new ShmBuffer(width, height));
    const int fd = memfd_create("pellavin", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    void* mapped = ftruncate(fd, static_cast<off_t>(made->bytes_)) == 0
        ? mmap(nullptr, made->bytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
        : MAP_FAILED;
    if (mapped != MAP_FAILED) {
        made->pixels_ = static_cast<uint32_t*>(mapped);  // zero: transparent
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(made->bytes_));
        made->buffer_ = wl_shm_pool_create_buffer(
            pool, 0, width, height, width * kBytesPerPixel, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        static const wl_buffer_listener listener = {
            [](void* self, wl_buffer*) { static_cast<ShmBuffer*>(self)->held_ = false; },
        };
        wl_buffer_add_listener(made->buffer_, &listener, made.get());
    }
    close(fd);
    return made->buffer_ != nullptr ? std::move(made) : nullptr;
}

ShmBuffer::~ShmBuffer()
{
    if (buffer_ != nullptr) wl_buffer_destroy(buffer_);
    if (pixels_ != nullptr) munmap(pixels_, bytes_);
}

void ShmBuffer::attach_to(wl_surface* surface)
{
    wl_surface_attach(surface, buffer_, 0, 0);
    wl_surface_damage_buffer(surface, 0, 0, width_, height_);
    held_ = true;
}

void RetiredBuffers::retire(std::unique_ptr<ShmBuffer> buffer)
{
    if (buffer) buffers_.push_back(std::move(buffer));
}

void RetiredBuffers::drop_released()
{
    std::erase_if(buffers_, [](const std::unique_ptr<ShmBuffer>& buffer) { return !buffer->held(); });
}

}  // namespace pellavin::screen
