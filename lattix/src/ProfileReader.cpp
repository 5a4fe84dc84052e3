#include "ProfileReader.h"

#include "FileIo.h"

#include <algorithm>
#include <climits>

namespace lattix {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// Quotes around a whole value are dropped, as the profile functions do.
std::string_view unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

ProfileReader::ProfileReader(std::string text) : m_text(std::move(text))
{
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (std::string_view(m_text).starts_with(kUtf8Bom))
        m_text.erase(0, kUtf8Bom.size());
}

ProfileReader ProfileReader::fromFile(const std::string& path)
{
    return ProfileReader(readSmallFile(path, kMaxFileBytes).value_or(std::string()));
}

ProfileReader ProfileReader::fromText(std::string_view text)
{
    return ProfileReader(std::string(text));
}

std::optional<std::string_view> ProfileReader::findValue(std::string_view section, std::string_view key) const
{
    const std::string_view wantedSection = trim(section);
    const std::string_view wantedKey = trim(key);
    std::string_view rest = m_text;
    bool inSection = false;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            // Only the first section of a name counts, as with the Windows functions.
            if (inSection)
                return std::nullopt;
            const std::size_t close = line.find(']');
            const std::string_view name = trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            inSection = equalsNoCase(name, wantedSection);
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t equals = line.find('=');
        const std::string_view name = trim(line.substr(0, equals));
        if (!equalsNoCase(name, wantedKey))
            continue;
        if (equals == std::string_view::npos)
            return std::string_view();
        return unquote(trim(line.substr(equals + 1)));
    }
    return std::nullopt;
}

std::string ProfileReader::getString(std::string_view section, std::string_view key, std::string_view fallback,
                                     std::size_t maxChars) const
{
    const std::optional<std::string_view> value = findValue(section, key);
    const std::string_view chosen = value ? *value : fallback;
    return std::string(chosen.substr(0, std::min(maxChars, chosen.size())));
}

int ProfileReader::getInt(std::string_view section, std::string_view key, int fallback) const
{
    const std::optional<std::string_view> value = findValue(section, key);
    if (!value || value->empty())
        return fallback;
    return parseLeadingInt(*value);
}

int parseLeadingInt(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min<long long>(value * 10 + (text[at] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

} // namespace lattix
