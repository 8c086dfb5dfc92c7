// An X11 clipboard owner's answers: the TARGETS list and the pieces of a transfer.
#include "SelectionEntry.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::selection(QByteArrayView(data, qsizetype(size)));
    return 0;
}
