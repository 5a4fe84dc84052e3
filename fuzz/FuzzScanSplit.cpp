// Fuzzes the split of a scan: any received text, split into fields and put into a register row.
#include "platform/Gbk.h"
#include "scanner/ScanFields.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const regdesk::ScanFields fields = regdesk::splitScan(text);
    std::size_t total = 0;
    for (const regdesk::GbkString& field : fields) {
        // A field starts on a character boundary and ends before a separator: no separator inside it.
        if (regdesk::findGbk(field, "^") != std::string_view::npos)
            std::abort();
        total += field.size() + 1;
    }
    if (total > size + fields.size())
        std::abort();
    const regdesk::DocumentRecord row = regdesk::recordFromScan(fields, "20240305");
    if (row[regdesk::DocumentRecord::Number] != fields[regdesk::kScanNumberPosition])
        std::abort();
    return 0;
}
