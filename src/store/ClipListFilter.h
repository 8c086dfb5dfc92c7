#pragma once

#include "store/Clip.h"

#include <QList>

namespace orv {

// Which part of the history the palette shows.
struct ClipListFilter {
    enum class Scope { all, pinned, kind };

    Scope scope = Scope::all;
    // Meaningful only for Scope::kind; the factories keep it at `text` otherwise so that equal
    // filters compare equal.
    ClipKind kind = ClipKind::text;

    static ClipListFilter all() { return {}; }
    static ClipListFilter pinned() { return {Scope::pinned, ClipKind::text}; }
    static ClipListFilter ofKind(ClipKind kind) { return {Scope::kind, kind}; }

    bool matches(const Clip& clip) const;

    // The filters worth offering for the loaded clips, in display order: nothing when there is
    // only one kind and no pin, else `all`, each kind present when there are two or more, and
    // `pinned` last when anything is pinned.
    static QList<ClipListFilter> available(const QList<Clip>& clips);

    bool operator==(const ClipListFilter&) const = default;
};

}  // namespace orv
