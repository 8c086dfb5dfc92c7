#include "platform/x11/X11Keymap.h"

#include "platform/Keysyms.h"

#include <climits>

namespace orv {

namespace {

// The group a key reads when the keyboard is in `group`: keys with fewer groups fold it into
// theirs the way the keymap says.
int keyGroup(XkbDescPtr map, int code, int group) {
    const int groups = XkbKeyNumGroups(map, code);
    if (group < groups) {
        return group;
    }
    const unsigned char info = XkbKeyGroupInfo(map, code);
    switch (XkbOutOfRangeGroupAction(info)) {
        case XkbClampIntoRange:
            return groups - 1;
        case XkbRedirectIntoRange:
            return XkbOutOfRangeGroupNumber(info) < groups ? XkbOutOfRangeGroupNumber(info) : 0;
        default:
            return group % groups;
    }
}

}  // namespace

X11Keymap::X11Keymap(Display* display)
    : m_display(display),
      m_map(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd)) {
    XkbStateRec state{};
    if (m_map && XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        m_group = state.locked_group;
    }
}

KeyCode X11Keymap::keycode(QKeyCombination key) const {
    const auto keysym = Keysyms::keysym(key);
    return keysym ? keycodeOfKeysym(KeySym(*keysym)) : 0;
}

KeyCode X11Keymap::keycodeOfKeysym(KeySym keysym) const {
    if (!m_map) {
        // A server without XKB: the core mapping, as Xlib has it.
        return XKeysymToKeycode(m_display, keysym);
    }
    XkbDescPtr map = m_map.get();
    KeyCode found = 0;
    int foundRank = INT_MAX;
    for (int code = map->min_key_code; code <= map->max_key_code; ++code) {
        const int groups = XkbKeyNumGroups(map, code);
        const int current = groups > 0 ? keyGroup(map, code, m_group) : -1;
        for (int group = 0; group < groups; ++group) {
            for (int level = 0; level < XkbKeyGroupWidth(map, code, group); ++level) {
                // The layout that is on first, then the others in order; lower levels first.
                const int rank = (group == current ? 0 : 1 + group) * 256 + level;
                if (rank < foundRank && XkbKeySymEntry(map, code, level, group) == keysym) {
                    found = KeyCode(code);
                    foundRank = rank;
                }
            }
        }
    }
    return found;
}

unsigned int X11Keymap::numLockMask() const {
    const KeyCode numLock = keycode(Qt::Key_NumLock);
    XModifierKeymap* modifiers = XGetModifierMapping(m_display);
    unsigned int mask = 0;
    for (int modifier = 0; modifiers != nullptr && modifier < 8 && numLock != 0; ++modifier) {
        for (int k = 0; k < modifiers->max_keypermod; ++k) {
            if (modifiers->modifiermap[modifier * modifiers->max_keypermod + k] == numLock) {
                mask = 1u << modifier;
            }
        }
    }
    if (modifiers != nullptr) {
        XFreeModifiermap(modifiers);
    }
    return mask;
}

unsigned int X11Keymap::modifierMask(Qt::KeyboardModifiers modifiers) {
    unsigned int mask = 0;
    mask |= modifiers.testFlag(Qt::ControlModifier) ? ControlMask : 0;
    mask |= modifiers.testFlag(Qt::AltModifier) ? Mod1Mask : 0;
    mask |= modifiers.testFlag(Qt::ShiftModifier) ? ShiftMask : 0;
    mask |= modifiers.testFlag(Qt::MetaModifier) ? Mod4Mask : 0;
    return mask;
}

}  // namespace orv
