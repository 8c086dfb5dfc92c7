#include "platform/wayland/VirtualKeyboardInjector.h"

#include "logging/Logging.h"
#include "platform/Keysyms.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/xdg/FileDescriptor.h"

#include <QKeySequence>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace orv {

namespace {

template <typename T, auto destroy>
struct Destroyer {
    void operator()(T* object) const { destroy(object); }
};
template <typename T, auto destroy>
using Owned = std::unique_ptr<T, Destroyer<T, destroy>>;

struct FreeText {
    void operator()(char* text) const { std::free(text); }
};

// Only the first level counts: the modifiers we send are exactly the combination's, so a symbol
// that needs Shift or AltGr to come out would arrive as another one.
std::optional<quint32> evdevKeycode(xkb_keymap* keymap, quint32 keysym) {
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t code = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(keymap), 8);
         code <= last; ++code) {
        const xkb_keysym_t* symbols = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &symbols) == 1 &&
            symbols[0] == keysym) {
            return code - 8;  // xkb keycodes are evdev codes plus 8
        }
    }
    return std::nullopt;
}

quint32 modifierMask(xkb_keymap* keymap, Qt::KeyboardModifiers modifiers) {
    const std::pair<Qt::KeyboardModifier, const char*> names[] = {
        {Qt::ControlModifier, XKB_MOD_NAME_CTRL},
        {Qt::AltModifier, XKB_MOD_NAME_ALT},
        {Qt::ShiftModifier, XKB_MOD_NAME_SHIFT},
        {Qt::MetaModifier, XKB_MOD_NAME_LOGO},
    };
    quint32 mask = 0;
    for (const auto& [modifier, name] : names) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
        if (modifiers.testFlag(modifier) && index != XKB_MOD_INVALID && index < 32) {
            mask |= 1u << index;
        }
    }
    return mask;
}

// The same millisecond clock for every request, as the protocol asks.
quint32 timestamp() {
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// The keymap text, with the terminating NUL that compositors also hand their clients.
QByteArray keymapText(xkb_keymap* keymap) {
    const std::unique_ptr<char, FreeText> text(
        xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1));
    return text ? QByteArray(text.get(), qsizetype(std::strlen(text.get()) + 1)) : QByteArray();
}

// In a sealed memory file, which the compositor maps read-only.
bool uploadKeymap(zwp_virtual_keyboard_v1* keyboard, const QByteArray& text) {
    const FileDescriptor fd(memfd_create("orvantide-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd.get() < 0 || !writeAll(fd.get(), text.constData(), size_t(text.size()))) {
        qCWarning(lcKeyboard) << "cannot write the keymap:" << std::strerror(errno);
        return false;
    }
    fcntl(fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    // libwayland sends a duplicate of the descriptor; ours closes here.
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd.get(),
                                   quint32(text.size()));
    return true;
}

}  // namespace

struct VirtualKeyboardInjector::Keyboard {
    Owned<xkb_keymap, xkb_keymap_unref> keymap;
    QByteArray keymapText;
    Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy> device;
};

std::unique_ptr<VirtualKeyboardInjector> VirtualKeyboardInjector::create(
    WaylandConnection& connection) {
    const auto managerGlobal = connection.global("zwp_virtual_keyboard_manager_v1");
    const auto seatGlobal = connection.global("wl_seat");
    if (!managerGlobal || !seatGlobal) {
        qCInfo(lcKeyboard) << "the compositor offers no virtual keyboard";
        return nullptr;
    }

    // Our keymap is ours alone: the user's XKB_DEFAULT_* settings must not change it.
    const Owned<xkb_context, xkb_context_unref> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    const xkb_rule_names names{nullptr, nullptr, "us", nullptr, nullptr};
    auto keyboard = std::make_unique<Keyboard>();
    if (context) {
        keyboard->keymap.reset(
            xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
    if (keyboard->keymap) {
        keyboard->keymapText = keymapText(keyboard->keymap.get());
    }
    if (keyboard->keymapText.isEmpty()) {
        qCWarning(lcKeyboard) << "cannot compile a keymap";
        return nullptr;
    }

    const Owned<wl_proxy, wl_proxy_destroy> seat(
        connection.bind(*seatGlobal, &wl_seat_interface, 1));
    const Owned<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy> manager(
        reinterpret_cast<zwp_virtual_keyboard_manager_v1*>(
            connection.bind(*managerGlobal, &zwp_virtual_keyboard_manager_v1_interface, 1)));
    keyboard->device.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        manager.get(), reinterpret_cast<wl_seat*>(seat.get())));
    if (!uploadKeymap(keyboard->device.get(), keyboard->keymapText)) {
        return nullptr;
    }
    // A compositor that refuses us says so with an error, which breaks the connection.
    if (!connection.roundtrip()) {
        return nullptr;
    }
    qCInfo(lcKeyboard) << "keys through a virtual keyboard";
    return std::unique_ptr<VirtualKeyboardInjector>(
        new VirtualKeyboardInjector(connection, std::move(keyboard)));
}

VirtualKeyboardInjector::VirtualKeyboardInjector(WaylandConnection& connection,
                                                 std::unique_ptr<Keyboard> keyboard)
    : m_connection(connection), m_keyboard(std::move(keyboard)) {}

VirtualKeyboardInjector::~VirtualKeyboardInjector() {
    m_keyboard.reset();
    m_connection.flush();
}

bool VirtualKeyboardInjector::tap(QKeyCombination combination) {
    if (m_connection.isBroken()) {
        return false;
    }
    xkb_keymap* keymap = m_keyboard->keymap.get();
    const auto keysym = Keysyms::keysym(combination);
    const auto keycode = keysym ? evdevKeycode(keymap, *keysym) : std::nullopt;
    if (!keycode) {
        qCDebug(lcKeyboard) << "no key for" << QKeySequence(combination).toString();
        return false;
    }
    zwp_virtual_keyboard_v1* device = m_keyboard->device.get();
    // Again before every tap: sway puts its configured layout on every keyboard, ours included,
    // when its input settings change or it reloads, and our keycodes would then mean other keys.
    if (!uploadKeymap(device, m_keyboard->keymapText)) {
        return false;
    }
    const quint32 time = timestamp();
    // Modifiers before the key and cleared after it; no locks, so Caps Lock cannot turn the case.
    zwp_virtual_keyboard_v1_modifiers(device, modifierMask(keymap, combination.keyboardModifiers()),
                                      0, 0, 0);
    zwp_virtual_keyboard_v1_key(device, time, *keycode, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(device, time, *keycode, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(device, 0, 0, 0, 0);
    m_connection.flush();
    return !m_connection.isBroken();
}

bool VirtualKeyboardInjector::isAvailable() const {
    return !m_connection.isBroken();
}

}  // namespace orv
