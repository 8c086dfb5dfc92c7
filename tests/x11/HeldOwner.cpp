// A clipboard owner that answers one target only when told: it takes the CLIPBOARD selection with a
// text and, asked for the held target, prints "asked" and answers once a line arrives on its
// standard input. Unlike xclip it keeps running, and answering, after another client takes the
// clipboard, until it is killed.
//   held_owner TARGETS|UTF8_STRING TEXT
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 64;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom held = XInternAtom(display, argv[1], False);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    XSync(display, False);
    if (XGetSelectionOwner(display, clipboard) != window) {
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) {
            continue;
        }
        const XSelectionRequestEvent& request = event.xselectionrequest;
        if (request.target == held) {
            std::printf("asked\n");
            std::fflush(stdout);
            char line[16];
            if (std::fgets(line, sizeof line, stdin) == nullptr) {
                return 0;
            }
        }
        XSelectionEvent answer{};
        answer.type = SelectionNotify;
        answer.display = display;
        answer.requestor = request.requestor;
        answer.selection = request.selection;
        answer.target = request.target;
        answer.time = request.time;
        answer.property = request.property == None ? request.target : request.property;
        if (request.target == targets) {
            const Atom offered[] = {targets, utf8};  // 32-bit format takes longs
            XChangeProperty(display, request.requestor, answer.property, XA_ATOM, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(offered), 2);
        } else if (request.target == utf8) {
            XChangeProperty(display, request.requestor, answer.property, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(argv[2]),
                            int(std::strlen(argv[2])));
        } else {
            answer.property = None;
        }
        XSendEvent(display, request.requestor, False, NoEventMask,
                   reinterpret_cast<XEvent*>(&answer));
        XFlush(display);
    }
}
