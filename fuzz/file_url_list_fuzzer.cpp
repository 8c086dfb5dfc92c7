// The two file-list clipboard formats, decoded and written back.
#include "FuzzEntries.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::fileUrlList(QByteArrayView(data, qsizetype(size)));
    return 0;
}
