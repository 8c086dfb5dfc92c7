// A clipboard owner that offers again what a real application put on the clipboard
// (tests/data/clipboard/): the targets listed in DIR/TARGETS, each answered with the bytes of
// DIR/<target> ('/', ';' and '=' written as '_'), and, when asked, EXTRA more targets that it
// refuses. Exits when another client takes the clipboard.
//   recorded_owner DIR [EXTRA]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

std::string fileName(std::string target) {
    std::replace_if(
        target.begin(), target.end(), [](char c) { return c == '/' || c == ';' || c == '='; }, '_');
    return target;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), {});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 64;
    }
    const std::string dir = argv[1];
    const long extra = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targetsAtom = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom text = XInternAtom(display, "TEXT", False);

    std::ifstream list(dir + "/TARGETS");
    std::vector<Atom> offered;
    std::map<Atom, std::string> answers;
    for (std::string name; std::getline(list, name);) {
        const Atom atom = XInternAtom(display, name.c_str(), False);
        offered.push_back(atom);
        std::string bytes;
        if (readFile(dir + "/" + fileName(name), bytes)) {
            answers[atom] = bytes;
        }
    }
    if (offered.empty()) {
        return 65;
    }
    std::vector<std::string> extraNames;
    for (long i = 0; i < extra; ++i) {
        extraNames.push_back("X-ORV-EXTRA-" + std::to_string(i));
    }
    std::vector<char*> names;
    for (std::string& name : extraNames) {
        names.push_back(name.data());
    }
    std::vector<Atom> extraAtoms(names.size());
    if (!names.empty()) {
        XInternAtoms(display, names.data(), int(names.size()), False, extraAtoms.data());
    }
    // The unknown targets first, as an owner that lists whatever it has would.
    std::vector<Atom> all = extraAtoms;
    all.insert(all.end(), offered.begin(), offered.end());

    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
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
        if (event.type == SelectionClear) {
            return 0;
        }
        if (event.type != SelectionRequest) {
            continue;
        }
        const XSelectionRequestEvent& request = event.xselectionrequest;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = display;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = None;
        const Atom property = request.property == None ? request.target : request.property;
        if (request.target == targetsAtom) {
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(all.data()), int(all.size()));
            reply.property = property;
        } else if (const auto answer = answers.find(request.target); answer != answers.end()) {
            // GTK answers TEXT in UTF-8.
            const Atom type = request.target == text ? utf8 : request.target;
            XChangeProperty(display, request.requestor, property, type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(answer->second.data()),
                            int(answer->second.size()));
            reply.property = property;
        }
        XSendEvent(display, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
        XFlush(display);
    }
}
