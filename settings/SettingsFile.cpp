#include "settings/SettingsFile.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>

namespace regdesk {
namespace {

bool endsListSection(unsigned char first)
{
    return first == '\t' || first == '\n' || first == '\r' || first == ' ' || first == '/' || first == 0xFD ||
           first == 0xFF;
}

} // namespace

void SettingsFile::open(const GbkString& path)
{
    close();
    m_path = path.substr(0, kMaxPathLength);
    m_data = readRegularFile(m_path, kMaxFileBytes).value_or(std::string());
    // One pass indexes every line, so that reading a list entry by position
    // costs the same for the first entry as for the 200,000th.
    for (std::size_t pos = 0; pos < m_data.size();) {
        if (m_data[pos] == '[')
            m_sectionLines.push_back(m_lineStarts.size());
        m_lineStarts.push_back(pos);
        const std::size_t lineFeed = m_data.find('\n', pos);
        pos = lineFeed == std::string::npos ? m_data.size() : lineFeed + 1;
    }
}

void SettingsFile::close()
{
    m_data.clear();
    m_lineStarts.clear();
    m_sectionLines.clear();
    m_lastFound.reset();
}

// The position after the line's last byte, its line feed included.
std::size_t SettingsFile::lineEnd(std::size_t line) const
{
    return line + 1 < m_lineStarts.size() ? m_lineStarts[line + 1] : m_data.size();
}

GbkString SettingsFile::sectionName(std::size_t sectionIndex) const
{
    const std::size_t start = m_lineStarts[m_sectionLines[sectionIndex]] + 1;
    // GBK-aware: a "]" that is the second byte of a character does not end the name.
    const std::size_t end = std::min(findFirstOfGbk(m_data, "]\t\r;\n", start), m_data.size());
    return m_data.substr(start, end - start);
}

std::size_t SettingsFile::findSection(const GbkString& section) const
{
    if (m_lastFound && m_lastFound->first == section)
        return m_lastFound->second;
    std::size_t found = kNotFound;
    for (std::size_t i = 0; i < m_sectionLines.size() && found == kNotFound; ++i) {
        if (sectionName(i) == section)
            found = i;
    }
    m_lastFound.emplace(section, found);
    return found;
}

GbkString SettingsFile::nameAt(std::size_t line) const
{
    const std::size_t start = m_lineStarts[line];
    std::size_t end = start;
    while (end < m_data.size()) {
        const char c = m_data[end];
        if (c == '=' || c == ';' || c == '\r' || c == '\n')
            break;
        ++end;
    }
    return m_data.substr(start, std::min(end - start, kMaxNameLength));
}

GbkString SettingsFile::valueAt(std::size_t line) const
{
    const std::string_view text = std::string_view(m_data).substr(0, lineEnd(line));
    const std::size_t equals = text.find_first_of("=\n", m_lineStarts[line]);
    if (equals == std::string_view::npos || text[equals] != '=')
        return {};
    const std::size_t start = equals + 1;
    const std::size_t end = std::min(findFirstOfGbk(text, "\t\r;]\n", start), text.size());
    return GbkString(text.substr(start, end - start));
}

GbkString SettingsFile::getString(const GbkString& section, const GbkString& key) const
{
    const std::size_t sectionIndex = findSection(section);
    if (sectionIndex == kNotFound)
        return {};
    for (std::size_t line = m_sectionLines[sectionIndex] + 1; line < m_lineStarts.size(); ++line) {
        if (nameAt(line) == key)
            return valueAt(line);
    }
    return {};
}

int SettingsFile::getInteger(const GbkString& section, const GbkString& key) const
{
    return parseLeadingInteger(getString(section, key));
}

GbkString SettingsFile::getString(const KnownSetting& setting) const
{
    return getString(utf8ToGbk(setting.section), utf8ToGbk(setting.key));
}

int SettingsFile::getInteger(const KnownSetting& setting) const
{
    return getInteger(utf8ToGbk(setting.section), utf8ToGbk(setting.key));
}

int SettingsFile::countEntries(const GbkString& section) const
{
    const std::size_t sectionIndex = findSection(section);
    if (sectionIndex == kNotFound)
        return 0;
    int count = 0;
    for (std::size_t line = m_sectionLines[sectionIndex] + 1; line < m_lineStarts.size(); ++line) {
        if (endsListSection(static_cast<unsigned char>(m_data[m_lineStarts[line]])))
            break;
        ++count;
    }
    return count;
}

std::size_t SettingsFile::lineAtIndex(const GbkString& section, int index) const
{
    const std::size_t sectionIndex = findSection(section);
    if (sectionIndex == kNotFound || index < 0)
        return kNotFound;
    const std::size_t line = m_sectionLines[sectionIndex] + 1 + static_cast<std::size_t>(index);
    return line < m_lineStarts.size() ? line : kNotFound;
}

GbkString SettingsFile::entryName(const GbkString& section, int index) const
{
    const std::size_t line = lineAtIndex(section, index);
    return line == kNotFound ? GbkString() : nameAt(line);
}

GbkString SettingsFile::entryValue(const GbkString& section, int index) const
{
    const std::size_t line = lineAtIndex(section, index);
    return line == kNotFound ? GbkString() : valueAt(line);
}

std::vector<GbkString> SettingsFile::sectionNames() const
{
    std::vector<GbkString> names;
    names.reserve(m_sectionLines.size());
    for (std::size_t i = 0; i < m_sectionLines.size(); ++i)
        names.push_back(sectionName(i));
    return names;
}

} // namespace regdesk
