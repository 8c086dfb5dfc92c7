#include "launcher/InstanceSocket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace orv::launcher {

namespace {

constexpr std::string_view kToggle = "toggle\n";

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

// QString::toUInt: a number past 32 bits is 0.
std::string number(std::string_view digits) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        value = value * 10 + std::uint64_t(c - '0');
        if (value > UINT32_MAX) {
            return "0";
        }
    }
    return std::to_string(value);
}

// A regular expression's "$" also matches before a final line feed.
std::string_view withoutFinalLineFeed(std::string_view text) {
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    return text;
}

// [protocol/][host]:number[.screen]
std::optional<std::string> fromDisplayName(std::string_view display) {
    const size_t colon = display.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view protocol;
    std::string_view host = display.substr(0, colon);
    if (const size_t slash = host.find('/'); slash != std::string_view::npos) {
        protocol = host.substr(0, slash);
        host.remove_prefix(slash + 1);
        if (protocol.empty() || !std::all_of(protocol.begin(), protocol.end(), isLetter) ||
            host.find('/') != std::string_view::npos) {
            return std::nullopt;
        }
    }
    std::string_view rest = display.substr(colon + 1);
    std::string_view screen;
    if (const size_t dot = rest.find('.'); dot != std::string_view::npos) {
        screen = rest.substr(dot + 1);
        rest = rest.substr(0, dot);
        if (!allDigits(screen)) {
            return std::nullopt;
        }
    }
    if (!allDigits(rest)) {
        return std::nullopt;
    }
    const bool local = protocol == "unix" || host.empty() || host == "unix";
    return (local ? std::string() : std::string(host)) + ':' + number(rest);
}

// /…/X<number>, the path of a display's socket.
std::optional<std::string> fromSocketPath(std::string_view path) {
    if (path.find('\n') != std::string_view::npos) {
        return std::nullopt;
    }
    size_t start = path.size();
    while (start > 0 && isDigit(path[start - 1])) {
        --start;
    }
    if (start == path.size() || start < 3 || path[0] != '/' || path[start - 1] != 'X' ||
        path[start - 2] != '/') {
        return std::nullopt;
    }
    return ':' + number(path.substr(start));
}

// QDir leaves a final separator out of the path it looks at.
std::string asQDirSees(std::string path) {
    if (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// $XDG_RUNTIME_DIR when it is a folder, else our own private folder in QDir::tempPath().
std::optional<std::string> instanceFolder() {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    const std::string temporary = environment("TMPDIR");
    // Qt reads paths that start with a colon from its resources.
    if (!isAscii(runtime) || !isAscii(temporary) || runtime.starts_with(':') ||
        temporary.starts_with(':')) {
        return std::nullopt;
    }
    struct stat status {};
    if (!runtime.empty() && ::stat(asQDirSees(runtime).c_str(), &status) == 0 &&
        S_ISDIR(status.st_mode)) {
        return runtime;
    }
    // QDir::tempPath() is canonical, and empty when the folder is not there.
    std::string canonical;
    if (char* resolved =
            ::realpath(asQDirSees(temporary.empty() ? "/tmp" : temporary).c_str(), nullptr)) {
        canonical = resolved;
        std::free(resolved);
    }
    if (!isAscii(canonical)) {
        return std::nullopt;
    }
    const std::string folder = canonical + "/orvantide-" + std::to_string(::getuid());
    // One the program would make, or refuse, holds no instance that can be reached.
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid() || (status.st_mode & 0077) != 0) {
        return std::nullopt;
    }
    return folder;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// As SingleInstance::isRunning: a shared lock fails only against the instance's exclusive one.
bool lockHeld(const std::string& socketPath) {
    const Descriptor lock(
        ::open((socketPath + ".lock").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return lock.get() >= 0 && ::flock(lock.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool ownedByUs(const std::string& socketPath, int connected) {
    struct stat status {};
    if (::lstat(socketPath.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
        status.st_uid != ::getuid()) {
        return false;
    }
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(connected, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::getuid();
}

}  // namespace

std::optional<std::string> sessionName(std::string_view x11Display,
                                       std::string_view waylandDisplay) {
    if (!isAscii(x11Display) || !isAscii(waylandDisplay)) {
        return std::nullopt;
    }
    std::string session;
    if (auto name = fromDisplayName(withoutFinalLineFeed(x11Display))) {
        session = std::move(*name);
    } else if (auto path = fromSocketPath(withoutFinalLineFeed(x11Display))) {
        session = std::move(*path);
    } else if (!x11Display.empty()) {
        session = x11Display;
    } else {
        const size_t slash = waylandDisplay.rfind('/');
        session = waylandDisplay.substr(slash == std::string_view::npos ? 0 : slash + 1);
    }
    for (char& c : session) {
        if (!isLetter(c) && !isDigit(c) && c != '.' && c != '-') {
            c = '_';
        }
    }
    return session;
}

std::optional<std::string> instanceSocketPath() {
    const auto folder = instanceFolder();
    const auto session = sessionName(environment("DISPLAY"), environment("WAYLAND_DISPLAY"));
    // Without a display the program looks for the instance among the lock files.
    if (!folder || !session || session->empty()) {
        return std::nullopt;
    }
    return *folder + "/orvantide-" + *session + ".socket";
}

bool toggleRunningInstance(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof(address.sun_path) || !lockHeld(socketPath)) {
        return false;
    }
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // A full backlog, or an instance still starting, is the program's to wait for.
    if (socket.get() < 0 ||
        ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
            0 ||
        !ownedByUs(socketPath, socket.get())) {
        return false;
    }
    ssize_t sent = -1;
    do {
        sent = ::send(socket.get(), kToggle.data(), kToggle.size(), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == ssize_t(kToggle.size());
}

}  // namespace orv::launcher
