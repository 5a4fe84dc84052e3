#include "CodewordDump.h"

#include "SymbolLayout.h"

#include <cstdio>

namespace lattix {
namespace {

void appendEntry(std::string& out, int value)
{
    char entry[16];
    const int length = std::snprintf(entry, sizeof entry, "%3d, ", value);
    out.append(entry, static_cast<std::size_t>(length));
}

} // namespace

std::string formatCodewordDump(const Symbol& symbol)
{
    std::string out;
    out.reserve((symbol.codewords.size() + 1) * 5);
    appendEntry(out, static_cast<int>(symbol.codewords.size()));
    for (int codeword : symbol.codewords)
        appendEntry(out, codeword);
    return out;
}

} // namespace lattix
