#include "store/ClipListFilter.h"

#include <array>

namespace orv {

bool ClipListFilter::matches(const Clip& clip) const {
    switch (scope) {
        case Scope::all:
            return true;
        case Scope::pinned:
            return clip.pinned;
        case Scope::kind:
            return clip.effectiveKind() == kind;
    }
    return true;
}

QList<ClipListFilter> ClipListFilter::available(const QList<Clip>& clips) {
    constexpr std::array kOrder{ClipKind::text, ClipKind::image, ClipKind::color, ClipKind::files};
    std::array<bool, kOrder.size()> present{};
    bool anyPinned = false;
    for (const Clip& clip : clips) {
        present[static_cast<size_t>(clip.effectiveKind())] = true;
        anyPinned = anyPinned || clip.pinned;
    }
    qsizetype kinds = 0;
    for (bool p : present) {
        kinds += p ? 1 : 0;
    }
    if (!anyPinned && kinds < 2) {
        return {};
    }
    QList<ClipListFilter> result{all()};
    if (kinds >= 2) {
        for (ClipKind kind : kOrder) {
            if (present[static_cast<size_t>(kind)]) {
                result.append(ofKind(kind));
            }
        }
    }
    if (anyPinned) {
        result.append(pinned());
    }
    return result;
}

}  // namespace orv
