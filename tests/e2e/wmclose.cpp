/* wmclose.cpp: asks an X window to close the way a window manager's close button does, by
** sending it WM_DELETE_WINDOW. Usage: wmclose <window id>. Used by the end-to-end test,
** which runs without a window manager.
*/
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    Display *display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
    if (!display) {
        std::fprintf(stderr, "usage: wmclose <window id>, on a display that can be opened\n");
        return 2;
    }
    XEvent ev = {};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = std::strtoul(argv[1], nullptr, 0);
    ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, ev.xclient.window, False, NoEventMask, &ev);
    XCloseDisplay(display); /* flushes the request */
    return 0;
}
