// A request over the instance's socket or D-Bus: the header line and the subcommand's arguments.
#include "CommandEntry.h"

#include <cstddef>
#include <cstdint>

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzEntries::command(QByteArrayView(data, qsizetype(size)));
    return 0;
}
