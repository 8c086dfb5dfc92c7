// Another client that already holds a key grab: grab_holder KEYSYM MASK holds KEYSYM with exactly
// the modifier mask MASK on the root window until it is killed.
#include <X11/Xlib.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const KeyCode key = XKeysymToKeycode(display, XStringToKeysym(argv[1]));
    const auto mask = static_cast<unsigned int>(std::strtoul(argv[2], nullptr, 0));
    XGrabKey(display, key, mask, DefaultRootWindow(display), True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}
