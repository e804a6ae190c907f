#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pellavin::screen {

// A connection to the Wayland compositor that WAYLAND_DISPLAY names: what
// the game and the idle watcher both open, with the compositor's globals
// read once, and both end with once the compositor has gone.
class WaylandConnection {
public:
    struct Global {
        uint32_t name = 0;
        std::string interface;
        uint32_t version = 0;
    };

    // Connects and reads the globals; check connected() before anything else.
    WaylandConnection();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    bool connected() const { return display_ != nullptr; }
    // Why there is no connection, in words: `WAYLAND_DISPLAY is not set`,
    // `no Wayland compositor answers at WAYLAND_DISPLAY "wayland-1"`.
    const std::string& problem() const { return problem_; }
    // The display's name as WAYLAND_DISPLAY gave it.
    const std::string& name() const { return name_; }

    wl_display* display() const { return display_; }
    int fd() const { return wl_display_get_fd(display_); }

    const std::vector<Global>& globals() const { return globals_; }
    // The first global of `interface`, bound at `version` or at the
    // compositor's own when that is older; nullptr when it offers none,
    // or only one older than `least`.
    void* bind(const wl_interface& interface, uint32_t version, uint32_t least = 1) const;
    void* bind(const Global& global, const wl_interface& interface, uint32_t version) const;
    template <typename T> T* bind(const wl_interface& interface, uint32_t version, uint32_t least = 1) const
    {
        return static_cast<T*>(bind(interface, version, least));
    }

    // Globals that come and go once the first ones are read (an output
    // plugged in, say).
    std::function<void(const Global&)> on_global_added;
    std::function<void(uint32_t name)> on_global_removed;

    // Sends what is queued.
    void flush();
    // Reads what has come, without waiting, and handles it; false once the
    // compositor has gone or broken the connection off.
    bool dispatch();
    bool gone() const { return wl_display_get_error(display_) != 0; }
    // What happened to the connection, in words: `the Wayland compositor
    // has gone`, or the protocol error it ended the connection with.
    std::string why_gone() const;

    // Called by the registry's listener.
    void added(uint32_t name, const char* interface, uint32_t version);
    void removed(uint32_t name);

private:
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    std::vector<Global> globals_;
    bool read_ = false;
    std::string name_;
    std::string problem_;
};

// Lets go of a seat or one of its devices: with `release`, which tells the
// compositor, where it knows that request; else on this side only.
template <typename Proxy>
void release_proxy(Proxy*& proxy, uint32_t release_since, void (*release)(Proxy*), void (*destroy)(Proxy*))
{
    if (proxy == nullptr) return;
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(proxy)) >= release_since) {
        release(proxy);
    } else {
        destroy(proxy);
    }
    proxy = nullptr;
}

}  // namespace pellavin::screen
