/* A pointer for a headless Wayland session, which has none of its own: it
 * joins the compositor as a virtual pointer device (wlroots' virtual
 * pointer protocol) and moves or clicks it.
 *
 *   wl_pointer hold X Y W H   moves the pointer to (X, Y) of a W x H layout
 *                             and keeps it there until it is terminated
 *   wl_pointer click X Y W H  moves it there and clicks the left button
 */
#include <wayland-client.h>

#include <linux/input-event-codes.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

/* The protocol's two interfaces, as its wire format defines them. */
extern "C" const struct wl_interface virtual_pointer_interface;

static const struct wl_interface* create_types[] = {&wl_seat_interface, &virtual_pointer_interface};
static const struct wl_interface* no_types[] = {nullptr, nullptr, nullptr, nullptr, nullptr};

static const struct wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", create_types},
    {"destroy", "", no_types},
};
static const struct wl_interface manager_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, manager_requests, 0, nullptr,
};

static const struct wl_message pointer_requests[] = {
    {"motion", "uff", no_types},
    {"motion_absolute", "uuuuu", no_types},
    {"button", "uuu", no_types},
    {"axis", "uuf", no_types},
    {"frame", "", no_types},
    {"axis_source", "u", no_types},
    {"axis_stop", "uu", no_types},
    {"axis_discrete", "uufi", no_types},
    {"destroy", "", no_types},
};
extern "C" const struct wl_interface virtual_pointer_interface = {
    "zwlr_virtual_pointer_v1", 1, 9, pointer_requests, 0, nullptr,
};

enum { kMotionAbsolute = 1, kButton = 2, kFrame = 4, kPointerDestroy = 8 };
enum { kManagerDestroy = 1 };

static struct wl_proxy* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, manager_interface.name) == 0) {
        manager = static_cast<struct wl_proxy*>(wl_registry_bind(registry, name, &manager_interface, 1));
    }
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

int main(int argc, char** argv)
{
    if (argc != 6 || (strcmp(argv[1], "hold") != 0 && strcmp(argv[1], "click") != 0)) {
        fprintf(stderr, "usage: %s hold|click X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const uint32_t x = static_cast<uint32_t>(std::atoi(argv[2])), y = static_cast<uint32_t>(std::atoi(argv[3]));
    const uint32_t width = static_cast<uint32_t>(std::atoi(argv[4])), height = static_cast<uint32_t>(std::atoi(argv[5]));

    struct wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        fprintf(stderr, "wl_pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    wl_display_roundtrip(display);
    if (manager == nullptr) {
        fprintf(stderr, "wl_pointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    struct wl_proxy* pointer = wl_proxy_marshal_constructor(manager, 0, &virtual_pointer_interface, nullptr, nullptr);
    /* The compositor announces the new device before it takes motion. */
    wl_display_roundtrip(display);
    wl_proxy_marshal(pointer, kMotionAbsolute, 0, x, y, width, height);
    wl_proxy_marshal(pointer, kFrame);
    if (strcmp(argv[1], "click") == 0) {
        wl_display_roundtrip(display);
        /* The window under the pointer takes its entry before the press. */
        usleep(200 * 1000);
        wl_proxy_marshal(pointer, kButton, 1, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
        wl_proxy_marshal(pointer, kFrame);
        wl_display_roundtrip(display);
        usleep(50 * 1000);
        wl_proxy_marshal(pointer, kButton, 2, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
        wl_proxy_marshal(pointer, kFrame);
        wl_display_roundtrip(display);
    } else {
        wl_display_roundtrip(display);
        pause();
    }
    wl_proxy_marshal(pointer, kPointerDestroy);
    wl_proxy_destroy(pointer);
    wl_proxy_marshal(manager, kManagerDestroy);
    wl_proxy_destroy(manager);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
