// The update feed, as the server sends it, against an installed 1.0.0.
#include "AppcastEntry.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::appcast(QByteArrayView(data, qsizetype(size)));
    return 0;
}
