// Another application for the Wayland tests: offers several types on the clipboard at once (which
// wl-copy cannot), through wlr data-control, and exits when another client takes the clipboard
// over. A value @PATH is the file's bytes (the type may then hold '='). With --hold BYTES, each
// transfer stops after that many bytes, says "held", and goes on once a line arrives on standard
// input.
//   wayland_owner [--hold BYTES] TYPE=VALUE [TYPE=VALUE…]
#include <wayland-client.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace {

std::map<std::string, std::string> offered;
long hold = -1;
bool cancelled = false;
zwlr_data_control_manager_v1* manager = nullptr;
wl_seat* seat = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && seat == nullptr) {
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}

void globalRemoved(void*, wl_registry*, uint32_t) {}

// Plain blocking writes, as simple owners do: an error ends the transfer.
bool writeAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::write(fd, bytes, size);
        if (sent < 0) {
            return false;
        }
        bytes += sent;
        size -= size_t(sent);
    }
    return true;
}

void send(void*, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
    const std::string& bytes = offered[type];
    size_t first = bytes.size();
    if (hold >= 0 && size_t(hold) < first) {
        first = size_t(hold);
    }
    if (writeAll(fd, bytes.data(), first) && first < bytes.size()) {
        std::printf("held\n");
        std::fflush(stdout);
        char line[16];
        if (std::fgets(line, sizeof line, stdin) != nullptr) {
            writeAll(fd, bytes.data() + first, bytes.size() - first);
        }
    }
    ::close(fd);
}

void sourceCancelled(void*, zwlr_data_control_source_v1*) {
    cancelled = true;
}

const wl_registry_listener registryListener{global, globalRemoved};
const zwlr_data_control_source_v1_listener sourceListener{send, sourceCancelled};

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    alarm(120);  // never outlives a test run
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--hold") == 0) {
        hold = std::atol(argv[2]);
        first = 3;
    }
    for (int i = first; i < argc; ++i) {
        const std::string argument(argv[i]);
        // A type may hold '=' (text/plain;charset=utf-8) when its value is a file.
        const size_t file = argument.rfind("=@");
        const size_t equals = file != std::string::npos ? file : argument.find('=');
        std::string value = argument.substr(equals + 1);
        if (value.starts_with('@')) {
            std::ifstream file(value.substr(1), std::ios::binary);
            value.assign(std::istreambuf_iterator<char>(file), {});
        }
        offered[argument.substr(0, equals)] = value;
    }

    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wayland_owner: no compositor\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (manager == nullptr || seat == nullptr) {
        std::fprintf(stderr, "wayland_owner: no wlr data-control\n");
        return 1;
    }
    auto* device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
    auto* source = zwlr_data_control_manager_v1_create_data_source(manager);
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, nullptr);
    int sent = 0;
    for (const auto& [type, value] : offered) {
        zwlr_data_control_source_v1_offer(source, type.c_str());
        // Thousands of types at once would overflow the connection's buffer.
        if (++sent % 100 == 0) {
            wl_display_roundtrip(display);
        }
    }
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!cancelled && wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
