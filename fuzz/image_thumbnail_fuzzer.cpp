// Image header sizes and thumbnails of any bytes, within the fuzzer's memory limit.
#include "FuzzEntries.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEntries::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::imageThumbnail(QByteArrayView(data, qsizetype(size)));
    return 0;
}
