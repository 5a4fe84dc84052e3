#pragma once

#include <optional>
#include <string>

namespace regdesk::test {

// Renders an enhanced metafile the way an office program would (emf2svg-conv,
// then rsvg-convert to PNG) and decodes the PDF417 symbol in it with libzxing.
// Returns the symbol's bytes, or nullopt with `why` saying what went wrong.
std::optional<std::string> decodeEmfPicture(const std::string& emfPath, std::string& why);

// Empty when both renderers are installed; otherwise which one is missing.
std::string missingRenderers();

} // namespace regdesk::test
