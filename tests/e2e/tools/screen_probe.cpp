/* Screenshots, and what the scenarios ask of them, at the cost of one small
 * program: a look that starts an image suite costs a fifth of a second of
 * a core, and the scenarios look several times a second while they wait.
 *
 *   screen_probe shot PNG                  the X server's root window, to PNG
 *   screen_probe black PNG                 exits 0 when the image is black
 *                                          (mean below 1%), 1 otherwise
 *   screen_probe pixel PNG X Y             prints "R,G,B", 0 to 255
 *   screen_probe box PNG W H X Y [COLOUR]  prints the bounding box, WxH+X+Y,
 *                                          of what is not COLOUR (black,
 *                                          white or #rrggbb) in that part of
 *                                          the image, or "none"
 *
 * Exit status 2 for a file, display or argument that cannot be used. */
#include <png.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, rows top to bottom

    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

[[noreturn]] void give_up(const std::string& why)
{
    fprintf(stderr, "screen_probe: %s\n", why.c_str());
    exit(2);
}

Image read_png(const char* path)
{
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path)) give_up(std::string(path) + ": " + png.message);
    png.format = PNG_FORMAT_RGB;
    Image image;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    // Shots are opaque; an alpha channel, if any, is laid over black.
    const png_color black = {0, 0, 0};
    if (!png_image_finish_read(&png, &black, image.rgb.data(), 0, nullptr)) give_up(std::string(path) + ": " + png.message);
    return image;
}

void shoot(const char* path)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) give_up("no X display");
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    xcb_get_image_cookie_t cookie = xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0,
                                                  screen->width_in_pixels, screen->height_in_pixels, ~0u);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> reply(xcb_get_image_reply(connection, cookie, nullptr),
                                                                   &free);
    if (!reply) give_up("the X server gave no image of its root window");
    // 24-bit colour comes four bytes a pixel, blue first, on the servers the
    // scenarios run (little-endian, as the image's byte order says).
    const xcb_visualtype_t* visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem && !visual; xcb_depth_next(&depths))
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
            if (visuals.data->visual_id == reply->visual) visual = visuals.data;
    const int width = screen->width_in_pixels, height = screen->height_in_pixels, pixels = width * height;
    if (reply->depth != 24 || !visual || visual->red_mask != 0xff0000 || visual->blue_mask != 0xff ||
        setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || xcb_get_image_data_length(reply.get()) != pixels * 4)
        give_up("the root window is not 24-bit colour, four bytes a pixel");
    const uint8_t* data = xcb_get_image_data(reply.get());
    std::vector<uint8_t> rgb(static_cast<size_t>(pixels) * 3);
    for (int i = 0; i < pixels; ++i) {
        rgb[i * 3] = data[i * 4 + 2];
        rgb[i * 3 + 1] = data[i * 4 + 1];
        rgb[i * 3 + 2] = data[i * 4];
    }
    xcb_disconnect(connection);

    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGB;
    png.flags = PNG_IMAGE_FLAG_FAST;
    if (!png_image_write_to_file(&png, path, 0, rgb.data(), 0, nullptr)) give_up(std::string(path) + ": " + png.message);
}

bool is_black(const Image& image)
{
    uint64_t sum = 0;
    for (uint8_t value : image.rgb) sum += value;
    // The mean, as a fraction of full intensity, below 1%.
    return image.rgb.empty() || sum * 100 < static_cast<uint64_t>(image.rgb.size()) * 255;
}

int number(const char* text)
{
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < -100000 || value > 100000)
        give_up(std::string("not a number: ") + text);
    return static_cast<int>(value);
}

void colour(const char* name, uint8_t out[3])
{
    unsigned r = 0, g = 0, b = 0;
    if (strcmp(name, "black") == 0) {
    } else if (strcmp(name, "white") == 0) {
        r = g = b = 255;
    } else if (strlen(name) != 7 || sscanf(name, "#%2x%2x%2x", &r, &g, &b) != 3) {
        give_up(std::string("not a colour: ") + name);
    }
    out[0] = static_cast<uint8_t>(r), out[1] = static_cast<uint8_t>(g), out[2] = static_cast<uint8_t>(b);
}

// The part W x H at X, Y, cut to the image, as a crop would.
std::string box(const Image& image, int width, int height, int left, int top, const uint8_t background[3])
{
    const int x0 = left < 0 ? 0 : left, y0 = top < 0 ? 0 : top;
    const int x1 = left + width > image.width ? image.width : left + width;
    const int y1 = top + height > image.height ? image.height : top + height;
    int min_x = x1, min_y = y1, max_x = -1, max_y = -1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (memcmp(image.at(x, y), background, 3) != 0) {
                if (x < min_x) min_x = x;
                if (x > max_x) max_x = x;
                if (y < min_y) min_y = y;
                if (y > max_y) max_y = y;
            }
    if (max_x < 0) return "none";
    return std::to_string(max_x - min_x + 1) + "x" + std::to_string(max_y - min_y + 1) + "+" +
           std::to_string(min_x) + "+" + std::to_string(min_y);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "shot" && argc == 3) {
        shoot(argv[2]);
        return 0;
    }
    if (command == "black" && argc == 3) return is_black(read_png(argv[2])) ? 0 : 1;
    if (command == "pixel" && argc == 5) {
        const Image image = read_png(argv[2]);
        const int x = number(argv[3]), y = number(argv[4]);
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) give_up("the pixel is outside the image");
        const uint8_t* p = image.at(x, y);
        printf("%d,%d,%d\n", p[0], p[1], p[2]);
        return 0;
    }
    if (command == "box" && (argc == 7 || argc == 8)) {
        const Image image = read_png(argv[2]);
        uint8_t background[3];
        colour(argc == 8 ? argv[7] : "black", background);
        puts(box(image, number(argv[3]), number(argv[4]), number(argv[5]), number(argv[6]), background).c_str());
        return 0;
    }
    fprintf(stderr, "usage: screen_probe shot PNG | black PNG | pixel PNG X Y | box PNG W H X Y [COLOUR]\n");
    return 2;
}
