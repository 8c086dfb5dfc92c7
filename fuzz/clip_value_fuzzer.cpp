// Titles, pixel sizes and file paths of clips of every kind with any value; image keys read back.
#include "FuzzEntries.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::clipValue(QByteArrayView(data, qsizetype(size)));
    return 0;
}
