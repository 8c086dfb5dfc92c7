// ClipIdentity::parseHex on any text, as UTF-8 and as UTF-16.
#include "FuzzEntries.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::hexColor(QByteArrayView(data, qsizetype(size)));
    return 0;
}
