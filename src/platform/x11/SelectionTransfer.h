#pragma once

#include "platform/SelectionReadLimits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <cstdint>

namespace orv {

// What an owner sends for one target, kept up to a cap, whether it comes in one property or
// piece by piece (INCR). No X11 here, so that it can be fuzzed.
struct SelectionTransfer {
    qsizetype cap = 0;
    QByteArray bytes;
    // The owner had more than the cap.
    bool truncated = false;

    // Keeps what fits of a piece; `more`: the owner holds bytes past it. False once the cap is
    // reached: the rest is only let through.
    bool take(QByteArrayView piece, bool more);
    qsizetype room() const { return cap - bytes.size(); }
};

struct SelectionTarget {
    std::uint32_t atom;
    QByteArray name;
    bool operator==(const SelectionTarget&) const = default;
};

// The targets of a TARGETS answer (32-bit atoms, host order) that `known` names, in the owner's
// order and once each; any other atom is never named.
QList<SelectionTarget> knownTargets(QByteArrayView answer,
                                    const QHash<std::uint32_t, QByteArray>& known);

}  // namespace orv
