#include "people/XlsFormulaScan.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace regdesk {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::size_t kHeaderFatEntries = 109;

// BIFF record identifiers.
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kFormula = 0x0006; // BIFF5 and 8
constexpr std::uint16_t kFormulaBiff3 = 0x0206;
constexpr std::uint16_t kFormulaBiff4 = 0x0406;
constexpr std::uint16_t kBiff8 = 0x0600;

// Little-endian reads that check their bounds.
class Bytes
{
public:
    explicit Bytes(std::string_view data) : m_data(data) {}
    std::size_t size() const { return m_data.size(); }
    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= m_data.size() && count <= m_data.size() - offset;
    }
    std::uint16_t u16(std::size_t offset) const
    {
        return has(offset, 2) ? static_cast<std::uint16_t>(byte(offset) | byte(offset + 1) << 8) : 0;
    }
    std::uint32_t u32(std::size_t offset) const
    {
        return has(offset, 4)
                   ? static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2)) << 16
                   : 0;
    }
    std::string_view slice(std::size_t offset, std::size_t count) const
    {
        return has(offset, count) ? m_data.substr(offset, count) : std::string_view{};
    }

private:
    unsigned byte(std::size_t offset) const { return static_cast<unsigned char>(m_data[offset]); }
    std::string_view m_data;
};

// The streams of an OLE compound file (the container of every .xls).
class CompoundFile
{
public:
    explicit CompoundFile(std::string_view file) : m_file(file) {}

    bool open()
    {
        static constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
        if (!m_file.has(0, kHeaderSize) || m_file.slice(0, 8) != kSignature)
            return false;
        const std::uint16_t shift = m_file.u16(0x1E);
        if (shift != 9 && shift != 12)
            return false;
        m_sectorSize = std::size_t{1} << shift;
        if (m_file.size() < 2 * m_sectorSize)
            return false;
        m_sectorCount = m_file.size() / m_sectorSize - 1; // the header takes the place of one sector
        m_miniCutoff = m_file.u32(0x38);
        return readFat() && readDirectory();
    }

    // The named stream (ASCII names, compared without regard to case).
    std::optional<std::string> stream(std::string_view name) const
    {
        for (std::size_t entry = 0; entry + kDirectoryEntrySize <= m_directory.size(); entry += kDirectoryEntrySize) {
            const Bytes record(std::string_view(m_directory).substr(entry, kDirectoryEntrySize));
            if (record.slice(0x42, 1) != std::string_view("\x02", 1) || !nameEquals(record, name))
                continue;
            const std::uint32_t start = record.u32(0x74);
            const std::uint32_t size = record.u32(0x78); // the high half is not reliable in version 3 files
            if (size < m_miniCutoff)
                return readMiniChain(start, size);
            return readChain(m_fat, start, size);
        }
        return std::nullopt;
    }

private:
    static bool nameEquals(const Bytes& record, std::string_view name)
    {
        const std::size_t length = record.u16(0x40);
        if (length != (name.size() + 1) * 2)
            return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            const std::uint16_t unit = record.u16(i * 2);
            if (unit > 0x7F || std::tolower(unit) != std::tolower(static_cast<unsigned char>(name[i])))
                return false;
        }
        return true;
    }

    std::string_view sector(std::uint32_t index) const
    {
        if (index >= m_sectorCount)
            return {};
        return m_file.slice((std::size_t{index} + 1) * m_sectorSize, m_sectorSize);
    }

    bool readFat()
    {
        const std::uint32_t fatSectors = m_file.u32(0x2C);
        if (fatSectors > m_sectorCount)
            return false;
        std::vector<std::uint32_t> fatSectorList;
        for (std::size_t i = 0; i < kHeaderFatEntries && fatSectorList.size() < fatSectors; ++i)
            fatSectorList.push_back(m_file.u32(0x4C + i * 4));
        // Further FAT sectors are listed in a chain of DIFAT sectors, whose last entry links to the next one.
        std::uint32_t difat = m_file.u32(0x44);
        for (std::size_t hops = 0; fatSectorList.size() < fatSectors; ++hops) {
            const Bytes block(sector(difat));
            if (block.size() == 0 || hops > m_sectorCount)
                return false;
            const std::size_t entries = m_sectorSize / 4 - 1;
            for (std::size_t i = 0; i < entries && fatSectorList.size() < fatSectors; ++i)
                fatSectorList.push_back(block.u32(i * 4));
            difat = block.u32(entries * 4);
        }
        for (const std::uint32_t index : fatSectorList) {
            const Bytes block(sector(index));
            if (block.size() == 0)
                return false;
            for (std::size_t i = 0; i < m_sectorSize; i += 4)
                m_fat.push_back(block.u32(i));
        }
        return true;
    }

    bool readDirectory()
    {
        std::optional<std::string> directory = readChain(m_fat, m_file.u32(0x30), std::nullopt);
        if (!directory || directory->size() < kDirectoryEntrySize)
            return false;
        m_directory = std::move(*directory);
        const Bytes root(std::string_view(m_directory).substr(0, kDirectoryEntrySize));
        // Small streams live in the mini stream, whose sectors the mini FAT chains.
        std::optional<std::string> miniFat = readChain(m_fat, m_file.u32(0x3C), std::nullopt);
        std::optional<std::string> miniStream = readChain(m_fat, root.u32(0x74), root.u32(0x78));
        if (miniFat && miniStream) {
            const Bytes table(*miniFat);
            for (std::size_t i = 0; i + 4 <= table.size(); i += 4)
                m_miniFat.push_back(table.u32(i));
            m_miniStream = std::move(*miniStream);
        }
        return true;
    }

    // Follows a chain of `table` from `start`: `size` bytes, or up to its end
    // when no size is given. A chain that leaves the table, loops or ends
    // early makes the stream unreadable.
    template <typename UnitAt>
    static std::optional<std::string> follow(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                             std::optional<std::size_t> size, std::size_t limit, UnitAt unitAt)
    {
        if (size && *size > limit)
            return std::nullopt;
        std::string bytes;
        std::uint32_t index = start;
        for (std::size_t steps = 0; !size || bytes.size() < *size; ++steps) {
            if (!size && index == kEndOfChain)
                break;
            if (index >= table.size() || steps > table.size())
                return std::nullopt;
            const std::string_view unit = unitAt(index);
            if (unit.empty())
                return std::nullopt;
            bytes.append(unit);
            if (bytes.size() > limit)
                return std::nullopt;
            index = table[index];
        }
        if (size)
            bytes.resize(*size);
        return bytes;
    }

    std::optional<std::string> readChain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                         std::optional<std::size_t> size) const
    {
        return follow(table, start, size, m_file.size(), [this](std::uint32_t index) { return sector(index); });
    }

    std::optional<std::string> readMiniChain(std::uint32_t start, std::size_t size) const
    {
        const Bytes mini(m_miniStream);
        return follow(m_miniFat, start, size, m_miniStream.size(), [&mini](std::uint32_t index) {
            return mini.slice(std::size_t{index} * kMiniSectorSize, kMiniSectorSize);
        });
    }

    Bytes m_file;
    std::size_t m_sectorSize = 512;
    std::size_t m_sectorCount = 0;
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::string m_directory;
    std::string m_miniStream;
};

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A sheet name of a BOUNDSHEET record as UTF-8 (BIFF8: compressed Latin-1 or
// UTF-16; older: the bytes as they stand, right for ASCII names).
std::string sheetNameOf(const Bytes& record, bool biff8)
{
    std::string name;
    const std::size_t count = record.slice(6, 1).empty() ? 0 : static_cast<unsigned char>(record.slice(6, 1)[0]);
    if (!biff8)
        return std::string(record.slice(7, std::min(count, record.size() > 7 ? record.size() - 7 : 0)));
    const bool wide = !record.slice(7, 1).empty() && (record.slice(7, 1)[0] & 1) != 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!wide) {
            const std::string_view byte = record.slice(8 + i, 1);
            if (byte.empty())
                break;
            appendUtf8(name, static_cast<unsigned char>(byte[0]));
            continue;
        }
        if (!record.has(8 + i * 2, 2))
            break;
        std::uint32_t code = record.u16(8 + i * 2);
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && record.has(10 + i * 2, 2)) {
            const std::uint32_t low = record.u16(10 + i * 2);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        appendUtf8(name, code);
    }
    return name;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

struct Record
{
    std::uint16_t id = 0;
    Bytes payload{std::string_view{}};
};

// Reads the record at `position` and moves past it; false at the end or on a record cut short.
bool nextRecord(const Bytes& stream, std::size_t& position, Record& record)
{
    if (!stream.has(position, 4))
        return false;
    record.id = stream.u16(position);
    const std::size_t length = stream.u16(position + 2);
    if (!stream.has(position + 4, length))
        return false;
    record.payload = Bytes(stream.slice(position + 4, length));
    position += 4 + length;
    return true;
}

} // namespace

std::optional<CellPositions> findFormulaCells(std::string_view file, const std::string& sheetName)
{
    CompoundFile compound(file);
    if (!compound.open())
        return std::nullopt;
    std::optional<std::string> workbook = compound.stream("Workbook");
    if (!workbook)
        workbook = compound.stream("Book"); // BIFF5
    if (!workbook)
        return std::nullopt;
    const Bytes stream(*workbook);

    // The globals come first and list the worksheets with their offsets.
    std::size_t position = 0;
    Record record;
    if (!nextRecord(stream, position, record) || record.id != kBof)
        return std::nullopt;
    const bool biff8 = record.payload.u16(0) == kBiff8;
    std::optional<std::size_t> sheetStart;
    while (!sheetStart && nextRecord(stream, position, record) && record.id != kEof) {
        if (record.id == kBoundSheet && equalsIgnoringAsciiCase(sheetNameOf(record.payload, biff8), sheetName))
            sheetStart = record.payload.u32(0);
    }
    if (!sheetStart)
        return std::nullopt;

    // The worksheet runs from its BOF to the matching EOF; charts inside it nest their own.
    position = *sheetStart;
    if (!nextRecord(stream, position, record) || record.id != kBof)
        return std::nullopt;
    CellPositions formulas;
    int depth = 1;
    while (nextRecord(stream, position, record)) {
        if (record.id == kBof) {
            ++depth;
        } else if (record.id == kEof) {
            if (--depth <= 0)
                break;
        } else if (depth == 1 && (record.id == kFormula || record.id == kFormulaBiff3 || record.id == kFormulaBiff4) &&
                   record.payload.has(0, 4)) {
            formulas.emplace(record.payload.u16(0), record.payload.u16(2));
        }
    }
    return formulas;
}

} // namespace regdesk
