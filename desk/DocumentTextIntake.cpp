#include "desk/DocumentTextIntake.h"

#include "desk/RegistrationFormLogic.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace regdesk::DocumentTextIntake {
namespace {

constexpr std::size_t kMaxPrefixes = 10;
constexpr std::size_t kMaxKinds = 30;

// Hands out the lines as a 255-byte fgets in text mode reads them: CR LF
// counts as one line feed, a line ends after its line feed or at 254 bytes,
// and a NUL ends the line's text (the rest of that read is ignored).
class LineReader
{
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool next(GbkString& line)
    {
        if (m_pos >= m_text.size())
            return false;
        line.clear();
        std::size_t count = 0;
        bool ended = false;
        while (count < kMaxLineBytes && m_pos < m_text.size()) {
            char c = m_text[m_pos++];
            if (c == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
                c = m_text[m_pos++];
            ++count;
            if (c == '\0')
                ended = true;
            if (!ended)
                line += c;
            if (c == '\n')
                break;
        }
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Positions where characters start, so that a search never matches the
// trail byte of one character and the lead byte of the next.
template <typename Visit> void forEachCharacterStart(std::string_view text, Visit visit)
{
    for (std::size_t pos = 0; pos < text.size(); pos += gbkCharLength(text, pos)) {
        if (!visit(pos))
            return;
    }
}

// The text cut to at most `limit` bytes without splitting a character.
void cutToWholeCharacters(GbkString& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    std::size_t end = 0;
    forEachCharacterStart(text, [&](std::size_t pos) {
        if (pos + gbkCharLength(text, pos) > limit)
            return false;
        end = pos + gbkCharLength(text, pos);
        return true;
    });
    text.resize(end);
}

// Drops a lead byte left alone at the end by a byte-wise cut.
void dropDanglingLeadByte(GbkString& text)
{
    std::size_t last = GbkString::npos;
    forEachCharacterStart(text, [&](std::size_t pos) {
        last = pos;
        return true;
    });
    if (last != GbkString::npos && last + 1 == text.size()) {
        const auto byte = static_cast<unsigned char>(text[last]);
        if (byte >= 0x81 && byte <= 0xFE)
            text.pop_back();
    }
}

GbkString recipientsOf(GbkString line)
{
    const bool fullWidthColon = containsGbk(line, "："_gbk);
    const bool asciiColon = containsGbk(line, ":");
    if (fullWidthColon)
        line.resize(line.size() >= 2 ? line.size() - 2 : 0);
    if (asciiColon && !line.empty())
        line.pop_back();
    dropDanglingLeadByte(line);
    cutToWholeCharacters(line, kMaxRecipientsBytes);
    return line;
}

} // namespace

GbkString cutAtKind(const GbkString& title, const std::vector<GbkString>& kinds)
{
    const std::size_t count = std::min(kinds.size(), kMaxKinds);
    for (std::size_t i = 0; i < count; ++i) {
        const GbkString& kind = kinds[i];
        if (kind.empty())
            continue; // would "occur" everywhere and hide the kinds after it
        const std::size_t p = rfindGbk(title, kind);
        if (p != std::string_view::npos)
            return title.substr(0, p) + kind;
    }
    return title;
}

DocumentText take(std::string_view text, const GbkString& unit, const std::vector<GbkString>& prefixes,
                  const std::vector<GbkString>& kinds)
{
    static const GbkString about = "关于"_gbk;
    static const GbkString fullWidthColon = "："_gbk;
    const std::size_t prefixCount = std::min(prefixes.size(), kMaxPrefixes);

    DocumentText result;
    bool started = false;
    bool recipientsTaken = false;
    LineReader reader(text);
    GbkString raw;
    while (reader.next(raw)) {
        const GbkString line = RegistrationFormLogic::cleanPastedText(raw);
        for (std::size_t k = 0; result.prefixIndex < 0 && k < prefixCount; ++k) {
            if (!prefixes[k].empty() && containsGbk(line, prefixes[k]))
                result.prefixIndex = static_cast<int>(k);
        }
        if (!started) {
            if (!containsGbk(line, unit) && !containsGbk(line, about))
                continue;
            started = true;
        }
        if (recipientsTaken)
            continue;
        if (containsGbk(line, ":") || containsGbk(line, fullWidthColon)) {
            result.recipients = recipientsOf(line);
            recipientsTaken = true;
            continue;
        }
        if (result.title.size() > kTitleCutThreshold) {
            result.title = cutAtKind(result.title, kinds);
            break;
        }
        result.title += line;
        cutToWholeCharacters(result.title, kMaxTitleBytes);
    }
    return result;
}

std::optional<DocumentText> takeFile(const GbkString& programDirectory, const GbkString& unit,
                                     const std::vector<GbkString>& prefixes, const std::vector<GbkString>& kinds)
{
    const std::string path = toNativePath(joinPath(programDirectory, kFileName));
    // Not through a link, and without blocking on a pipe planted under the name.
    const std::optional<std::string> bytes =
        readRegularNativeFile(path, kMaxFileBytes, FileLinks::Refuse, OversizeFile::Cut);
    if (!bytes)
        return std::nullopt;
    DocumentText result = take(*bytes, unit, prefixes, kinds);
    // Read once: a later start must not take this document's text again.
    ::unlink(path.c_str());
    return result;
}

} // namespace regdesk::DocumentTextIntake
