// The settings file: loading any bytes, the typed reads, the preferences and their first write.
#include "FuzzEntries.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::userDefaults(QByteArrayView(data, qsizetype(size)));
    return 0;
}
