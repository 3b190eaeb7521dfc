// The floor of the Linux player's start-up benchmark: a window of the menu's size made with
// Xlib alone (XCreateSimpleWindow), filled with one colour on every Expose, and nothing else:
// no toolkit, no extension queried, no font or cursor loaded.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 640, 516, 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    // The title as desktops read it (and the benchmark finds it): _NET_WM_NAME in UTF-8.
    char* names[] = {const_cast<char*>("WM_DELETE_WINDOW"), const_cast<char*>("_NET_WM_NAME"),
                     const_cast<char*>("UTF8_STRING")};
    Atom atoms[3];
    XInternAtoms(display, names, 3, False, atoms);
    const char title[] = "Raw X11 window";
    XChangeProperty(display, window, atoms[1], atoms[2], 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), sizeof title - 1);
    Atom deleteWindow = atoms[0];
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, ExposureMask);
    XColor colour{};
    colour.red = 0x2020, colour.green = 0x4040, colour.blue = 0x6060;
    colour.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(display, DefaultColormap(display, screen), &colour);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, colour.pixel);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            XFillRectangle(display, window, gc, 0, 0, 640, 516);
            XFlush(display);
        } else if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == deleteWindow) {
            break;
        }
    }
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
