// Fuzzes the receive text: the bytes arrive in chunks whose sizes the input picks; the end mark must be
// found exactly when one pass over the whole text finds it.
#include "platform/Gbk.h"
#include "scanner/ReceiveText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool holdsEndMark(std::string_view text)
{
    std::size_t found = regdesk::findGbk(text, "^|");
    if (found == 0)
        found = regdesk::findGbk(text, "^|", 1);
    return found != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t chunkSeed = data[0];
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    regdesk::ReceiveText receive;
    for (std::size_t chunk = 0; !bytes.empty(); ++chunk) {
        const std::size_t length = std::min(bytes.size(), (chunkSeed >> (chunk % 8)) % 5 + 1);
        receive.append(bytes.substr(0, length));
        bytes.remove_prefix(length);
        if (receive.hasEndMark() != holdsEndMark(receive.text()))
            std::abort();
        if (receive.hasEndMark() && chunk % 3 == 0)
            receive.take();
    }
    return 0;
}
