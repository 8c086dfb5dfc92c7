// Orvantide's executable. The program itself, with Qt, is a library loaded from beside it (or
// from the installed library folder); `orvantide --toggle` to a running instance is just a line
// written to its socket, so it does without loading Qt's libraries at all.
#include "launcher/InstanceSocket.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace {

constexpr std::string_view kLibrary = "liborvantide-program.so";

using ProgramMain = int (*)(int, char**);

bool asksOnlyForToggle(int argc, char** argv) {
    if (argc != 2 || std::getenv("XCTestConfigurationFilePath") != nullptr) {
        return false;
    }
    const std::string_view argument = argv[1];
    return argument == "--toggle" || argument == "toggle";
}

// The folder of the running file, symbolic links resolved: the program is found beside the
// executable wherever it was started from.
std::string ownFolder() {
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (size <= 0) {
        return {};
    }
    const std::string_view own(path, size_t(size));
    return std::string(own.substr(0, own.rfind('/')));
}

int runProgram(int argc, char** argv) {
    const std::string folder = ownFolder();
    if (folder.empty()) {
        std::fputs(
            "orvantide: no se sabe dónde está el programa (no se puede leer "
            "/proc/self/exe).\n",
            stderr);
        return 1;
    }
    // The build tree keeps the library beside the executable, an installation in its own folder.
    const std::string beside = folder + '/' + std::string(kLibrary);
    const std::string installed =
        folder + '/' + ORV_INSTALLED_LIBRARY_FOLDER + '/' + std::string(kLibrary);
    const std::string& library = ::access(beside.c_str(), F_OK) == 0 ? beside : installed;
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        std::fprintf(stderr,
                     "orvantide: no se puede cargar el programa %s (%s); vuelve a instalar "
                     "Orvantide.\n",
                     library.c_str(), reason != nullptr ? reason : "motivo desconocido");
        return 1;
    }
    const auto programMain = reinterpret_cast<ProgramMain>(::dlsym(handle, "orvantide_main"));
    if (programMain == nullptr) {
        std::fprintf(stderr,
                     "orvantide: %s no es el programa de esta versión de Orvantide; vuelve a "
                     "instalarlo.\n",
                     library.c_str());
        return 1;
    }
    return programMain(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    if (asksOnlyForToggle(argc, argv)) {
        if (const auto socket = orv::launcher::instanceSocketPath();
            socket && orv::launcher::toggleRunningInstance(*socket)) {
            return 0;
        }
    }
    return runProgram(argc, argv);
}
