#pragma once

#include "platform/Gbk.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace regdesk {

// What the compact form takes from a word-processor add-in's document text:
// the document-number prefix found, the title and the recipients.
struct DocumentText
{
    int prefixIndex = -1; // index into the form's prefixes; -1 when none occurs
    GbkString title;
    GbkString recipients;

    bool operator==(const DocumentText&) const = default;
};

namespace DocumentTextIntake {

// The add-in writes the text here, in the program directory.
constexpr const char* kFileName = "doctotxt.txt";

// A line is read into a buffer of 255 bytes: a longer line arrives as several.
constexpr std::size_t kMaxLineBytes = 254;
// The form's buffers: the title and the recipients never grow past these.
constexpr std::size_t kMaxTitleBytes = 499;
constexpr std::size_t kMaxRecipientsBytes = 199;
// A title longer than this is cut at its document kind and reading stops.
constexpr std::size_t kTitleCutThreshold = 300;
// A text file larger than this is read up to here only.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

// Runs the intake over the bytes of the text file. `unit` is 发文设置/发文单位,
// `prefixes` the form's document-number prefixes (the first 10 count),
// `kinds` the list 发文种类 (the first 30 count). Searches never match across
// two characters. Text that would not fit the title or recipients buffers is
// cut at the last whole character that fits.
DocumentText take(std::string_view text, const GbkString& unit, const std::vector<GbkString>& prefixes,
                  const std::vector<GbkString>& kinds);

// The title cut after the last occurrence of the first kind (in list order)
// that occurs in it; unchanged when none does.
GbkString cutAtKind(const GbkString& title, const std::vector<GbkString>& kinds);

// The file step: reads program directory + "/doctotxt.txt", runs the intake
// and deletes the file. nullopt when there is no such file, or when the name
// is not a regular file (a link, a pipe, a folder), which is left alone.
std::optional<DocumentText> takeFile(const GbkString& programDirectory, const GbkString& unit,
                                     const std::vector<GbkString>& prefixes, const std::vector<GbkString>& kinds);

} // namespace DocumentTextIntake
} // namespace regdesk
