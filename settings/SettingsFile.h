#pragma once

#include "platform/Gbk.h"
#include "settings/SettingsKeys.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace regdesk {

// Reader of document.ini: GBK text, CR LF lines, "[section]" headers and
// "name=value" entries. Keys are looked up by name; list sections are read by
// position. The file is read whole at open and never written. Every use of a
// setting opens a fresh reader so that an edit takes effect at once.
class SettingsFile
{
public:
    static constexpr std::size_t kMaxNameLength = 63;
    static constexpr std::size_t kMaxPathLength = 260;
    // A larger file, or anything but a regular file (a FIFO, a device), reads
    // as an unreadable one: it never hangs or exhausts the desk.
    static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

    SettingsFile() = default;
    explicit SettingsFile(const GbkString& path) { open(path); }

    // Loads the file and indexes its sections; a missing or unreadable file
    // reads as an empty one.
    void open(const GbkString& path);
    void close();

    // Empty when the section or key is missing. The key search runs on past
    // the section's end into later sections, as the desk always has.
    GbkString getString(const GbkString& section, const GbkString& key) const;
    int getInteger(const GbkString& section, const GbkString& key) const;
    // A setting of the table of what the desk reads.
    GbkString getString(const KnownSetting& setting) const;
    int getInteger(const KnownSetting& setting) const;

    // List sections: entries by position after the header.
    int countEntries(const GbkString& section) const;
    GbkString entryName(const GbkString& section, int index) const;
    GbkString entryValue(const GbkString& section, int index) const;

    // Names of all sections in file order (used by the admin tool).
    std::vector<GbkString> sectionNames() const;

    const GbkString& path() const { return m_path; }

private:
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

    std::size_t findSection(const GbkString& section) const;
    std::size_t lineEnd(std::size_t line) const;
    std::size_t lineAtIndex(const GbkString& section, int index) const;
    GbkString sectionName(std::size_t sectionIndex) const;
    GbkString nameAt(std::size_t line) const;
    GbkString valueAt(std::size_t line) const;

    GbkString m_path;
    std::string m_data;                      // the whole file
    std::vector<std::size_t> m_lineStarts;   // where each line begins
    std::vector<std::size_t> m_sectionLines; // the lines that begin with "["
    // Lists are read entry by entry: the section found last is remembered.
    mutable std::optional<std::pair<GbkString, std::size_t>> m_lastFound;
};

} // namespace regdesk
