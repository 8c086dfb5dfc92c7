#pragma once

#include "platform/KeyInjector.h"

#include <memory>

namespace orv {

class WaylandConnection;

// Posts keys through a virtual keyboard of our own (zwp_virtual_keyboard_v1, offered by wlroots
// compositors). The keyboard carries a keymap we built, so a keycode means what our keymap says
// whatever layout the user types with; the compositor hands that keymap to the focused client
// along with our keys. Main thread only.
//
// The modifiers we send are the whole modifier state the client sees while our keyboard is the
// active one, so modifier keys the user still holds on the real keyboard do not mix in.
class VirtualKeyboardInjector : public KeyInjector {
public:
    // Nothing when the compositor offers no virtual keyboard or no seat, or no keymap can be made.
    static std::unique_ptr<VirtualKeyboardInjector> create(WaylandConnection& connection);
    ~VirtualKeyboardInjector() override;

    VirtualKeyboardInjector(const VirtualKeyboardInjector&) = delete;
    VirtualKeyboardInjector& operator=(const VirtualKeyboardInjector&) = delete;

    // False when our keymap has no key that gives the key without further modifiers.
    bool tap(QKeyCombination key) override;
    bool isAvailable() const override;

private:
    struct Keyboard;
    VirtualKeyboardInjector(WaylandConnection& connection, std::unique_ptr<Keyboard> keyboard);

    WaylandConnection& m_connection;
    std::unique_ptr<Keyboard> m_keyboard;
};

}  // namespace orv
