// Saves the X screen, or the window whose name is given, as a PNG.
//   screenshot OUTPUT.png [WINDOW-ID]
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2 || !gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png [WINDOW-ID] (needs a display)\n");
        return 2;
    }
    GdkWindow* window = gdk_get_default_root_window();
    if (argc > 2) {
        Window id = Window(std::strtoul(argv[2], nullptr, 0));
        window = gdk_x11_window_foreign_new_for_display(gdk_display_get_default(), id);
    }
    if (!window) {
        std::fprintf(stderr, "screenshot: no such window\n");
        return 1;
    }
    int width = gdk_window_get_width(window);
    int height = gdk_window_get_height(window);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, 0, 0, width, height);
    if (!shot || !gdk_pixbuf_save(shot, argv[1], "png", nullptr, nullptr)) {
        std::fprintf(stderr, "screenshot: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
