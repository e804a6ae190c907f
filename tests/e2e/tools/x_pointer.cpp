/* Whether the X server shows a pointer where the pointer is now: prints
 * "hidden" when every pixel of the current cursor image is transparent,
 * "shown" otherwise. */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main(void)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        fprintf(stderr, "x_pointer: no X display\n");
        return 1;
    }
    int event_base = 0, error_base = 0;
    if (!XFixesQueryExtension(display, &event_base, &error_base)) {
        fprintf(stderr, "x_pointer: the X server has no XFIXES\n");
        return 1;
    }
    XFixesCursorImage* cursor = XFixesGetCursorImage(display);
    if (cursor == nullptr) {
        fprintf(stderr, "x_pointer: no cursor image\n");
        return 1;
    }
    int visible = 0;
    for (int i = 0; i < cursor->width * cursor->height; ++i) {
        if ((cursor->pixels[i] >> 24) != 0) visible = 1;  /* ARGB: alpha on top */
    }
    puts(visible ? "shown" : "hidden");
    XFree(cursor);
    XCloseDisplay(display);
    return 0;
}
