#pragma once

#include <string>

namespace lattix {

struct Symbol;

// The text of TempCode.txt: the codeword count, then every codeword, each as "%3d, ", no line end.
std::string formatCodewordDump(const Symbol& symbol);

} // namespace lattix
