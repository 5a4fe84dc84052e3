#include "app/SettingsFile.h"

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
    m_data = readWholeFile(m_path).value_or(std::string());
    for (std::size_t i = 0; i < m_data.size(); ++i) {
        if (m_data[i] == '[' && (i == 0 || m_data[i - 1] == '\n'))
            m_sectionStarts.push_back(i + 1);
    }
}

void SettingsFile::close()
{
    m_data.clear();
    m_sectionStarts.clear();
}

std::size_t SettingsFile::nextLine(std::size_t pos) const
{
    const std::size_t lineFeed = m_data.find('\n', pos);
    return lineFeed == std::string::npos ? m_data.size() : lineFeed + 1;
}

GbkString SettingsFile::sectionName(std::size_t sectionIndex) const
{
    const std::size_t start = m_sectionStarts[sectionIndex];
    std::size_t end = start;
    // GBK-aware: a "]" that is the second byte of a character does not end the name.
    while (end < m_data.size()) {
        const char c = m_data[end];
        if (c == ']' || c == '\t' || c == '\r' || c == ';' || c == '\n')
            break;
        end += gbkCharLength(m_data, end);
    }
    return m_data.substr(start, std::min(end, m_data.size()) - start);
}

std::size_t SettingsFile::findSection(const GbkString& section) const
{
    for (std::size_t i = 0; i < m_sectionStarts.size(); ++i) {
        if (sectionName(i) == section)
            return i;
    }
    return kNotFound;
}

std::size_t SettingsFile::lineAfterHeader(std::size_t sectionIndex) const
{
    return nextLine(m_sectionStarts[sectionIndex]);
}

GbkString SettingsFile::nameAt(std::size_t lineStart) const
{
    std::size_t end = lineStart;
    while (end < m_data.size()) {
        const char c = m_data[end];
        if (c == '=' || c == ';' || c == '\r' || c == '\n')
            break;
        ++end;
    }
    return m_data.substr(lineStart, std::min(end - lineStart, kMaxNameLength));
}

GbkString SettingsFile::valueAt(std::size_t lineStart) const
{
    const std::size_t lineEnd = std::min(nextLine(lineStart), m_data.size());
    std::size_t equals = lineStart;
    while (equals < lineEnd && m_data[equals] != '=' && m_data[equals] != '\n')
        ++equals;
    if (equals >= lineEnd || m_data[equals] != '=')
        return {};
    const std::size_t start = equals + 1;
    std::size_t end = start;
    while (end < lineEnd) {
        const char c = m_data[end];
        if (c == '\t' || c == '\r' || c == ';' || c == ']' || c == '\n')
            break;
        end += gbkCharLength(m_data, end);
    }
    return m_data.substr(start, std::min(end, lineEnd) - start);
}

GbkString SettingsFile::getString(const GbkString& section, const GbkString& key) const
{
    const std::size_t sectionIndex = findSection(section);
    if (sectionIndex == kNotFound)
        return {};
    for (std::size_t line = lineAfterHeader(sectionIndex); line < m_data.size(); line = nextLine(line)) {
        if (nameAt(line) == key)
            return valueAt(line);
    }
    return {};
}

int SettingsFile::getInteger(const GbkString& section, const GbkString& key) const
{
    return parseLeadingInteger(getString(section, key));
}

int SettingsFile::countEntries(const GbkString& section) const
{
    const std::size_t sectionIndex = findSection(section);
    if (sectionIndex == kNotFound)
        return 0;
    int count = 0;
    for (std::size_t line = lineAfterHeader(sectionIndex); line < m_data.size(); line = nextLine(line)) {
        if (endsListSection(static_cast<unsigned char>(m_data[line])))
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
    std::size_t line = lineAfterHeader(sectionIndex);
    for (int i = 0; i < index && line < m_data.size(); ++i)
        line = nextLine(line);
    return line < m_data.size() ? line : kNotFound;
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
    names.reserve(m_sectionStarts.size());
    for (std::size_t i = 0; i < m_sectionStarts.size(); ++i)
        names.push_back(sectionName(i));
    return names;
}

} // namespace regdesk
