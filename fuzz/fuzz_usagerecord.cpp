// The usage record (Usages.Log) read leniently with libxml2's recovery and path look-ups.

#include "usage/usagerecord.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    folioset::parseUsageRecord(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
