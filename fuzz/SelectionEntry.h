#pragma once

// What an X11 clipboard owner answers: a TARGETS list, and the pieces of a transfer (INCR).
#include "FuzzEntries.h"
#include "platform/x11/SelectionTransfer.h"

#include <QSet>

#include <cstring>

namespace orv {

namespace FuzzEntries {

// ---- X11 selection answers ------------------------------------------------------------------

// The input is a TARGETS answer, and also, after a two-byte cap, pieces between 0xFF bytes.
inline void selection(QByteArrayView input) {
    QHash<std::uint32_t, QByteArray> known;
    QList<std::uint32_t> atoms;
    for (qsizetype at = 0; at + 4 <= input.size(); at += 4) {
        std::uint32_t atom;
        std::memcpy(&atom, input.data() + at, sizeof(atom));
        atoms.append(atom);
        if (atom % 3 == 0) {
            known.insert(atom, QByteArray::number(atom));
        }
    }
    const QList<SelectionTarget> targets = knownTargets(input, known);
    QSet<std::uint32_t> seen;
    qsizetype last = -1;
    for (const SelectionTarget& target : targets) {
        ORV_FUZZ_EXPECT(known.value(target.atom) == target.name);
        ORV_FUZZ_EXPECT(!seen.contains(target.atom));
        seen.insert(target.atom);
        const qsizetype first = atoms.indexOf(target.atom);
        ORV_FUZZ_EXPECT(first > last);
        last = first;
    }
    for (std::uint32_t atom : atoms) {
        ORV_FUZZ_EXPECT(!known.contains(atom) || seen.contains(atom));
    }

    if (input.size() < 2) {
        return;
    }
    SelectionTransfer transfer;
    transfer.cap = qsizetype(quint8(input[0])) * 16 + quint8(input[1]);
    const QList<QByteArray> pieces = input.sliced(2).toByteArray().split('\xff');
    QByteArray offered;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        offered += pieces[i];
        if (!transfer.take(pieces[i], i + 1 < pieces.size())) {
            break;
        }
    }
    ORV_FUZZ_EXPECT(transfer.bytes.size() <= transfer.cap);
    ORV_FUZZ_EXPECT(offered.startsWith(transfer.bytes));
    const QByteArray all = input.sliced(2).toByteArray().replace('\xff', QByteArray());
    if (transfer.truncated) {
        ORV_FUZZ_EXPECT(transfer.bytes.size() == std::min(transfer.cap, all.size()));
    } else {
        ORV_FUZZ_EXPECT(transfer.bytes == all);
    }

    // What passes as text has no NUL, and a whole UTF-8 text decodes and encodes back unchanged.
    if (whyNotText(transfer.bytes, false, transfer.truncated) == nullptr) {
        ORV_FUZZ_EXPECT(!transfer.bytes.contains('\0'));
    }
    if (whyNotText(transfer.bytes, true, false) == nullptr) {
        ORV_FUZZ_EXPECT(QString::fromUtf8(transfer.bytes).toUtf8() == transfer.bytes);
    }
}

}  // namespace FuzzEntries

}  // namespace orv
