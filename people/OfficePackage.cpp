#include "people/OfficePackage.h"

#include <cstdint>
#include <cstring>
#include <libxml/xmlreader.h>
#include <memory>
#include <optional>
#include <zlib.h>

namespace regdesk {
namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;

constexpr const char* kWorkbookPart = "xl/workbook.xml"; // .xlsx
constexpr const char* kContentPart = "content.xml";      // .ods
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";

std::uint32_t little(std::string_view bytes, std::size_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

struct Entry
{
    std::string name;
    std::uint32_t method = 0;
    std::string_view data; // as stored
};

// The entries of the central directory (ZIP64 is not needed for files the
// import accepts, and is refused with everything else it cannot read).
std::optional<std::vector<Entry>> entriesOf(std::string_view zip)
{
    if (zip.size() < kEndOfDirectorySize)
        return std::nullopt;
    std::size_t end = zip.size() - kEndOfDirectorySize;
    const std::size_t lowest = zip.size() > kEndOfDirectorySize + 0xFFFF ? end - 0xFFFF : 0;
    while (little(zip, end, 4) != kEndOfDirectory) {
        if (end == lowest)
            return std::nullopt;
        --end;
    }
    const std::uint32_t count = little(zip, end + 10, 2);
    std::size_t at = little(zip, end + 16, 4);
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + kDirectoryEntrySize > zip.size() || little(zip, at, 4) != kDirectoryEntry)
            return std::nullopt;
        const std::uint32_t method = little(zip, at + 10, 2);
        const std::size_t stored = little(zip, at + 20, 4);
        const std::size_t nameLength = little(zip, at + 28, 2);
        const std::size_t skip = nameLength + little(zip, at + 30, 2) + little(zip, at + 32, 2);
        const std::size_t local = little(zip, at + 42, 4);
        if (at + kDirectoryEntrySize + skip > zip.size() || local + kLocalHeaderSize > zip.size() ||
            little(zip, local, 4) != kLocalHeader)
            return std::nullopt;
        const std::size_t data = local + kLocalHeaderSize + little(zip, local + 26, 2) + little(zip, local + 28, 2);
        if (data > zip.size() || stored > zip.size() - data)
            return std::nullopt;
        entries.push_back(
            {std::string(zip.substr(at + kDirectoryEntrySize, nameLength)), method, zip.substr(data, stored)});
        at += kDirectoryEntrySize + skip;
    }
    return entries;
}

struct InflateEnd
{
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};

// Unpacks an entry, counting its bytes against `budget`; keeps them when
// `kept` is given. False when the entry is damaged or the budget runs out.
bool unpack(const Entry& entry, std::size_t& budget, std::string* kept, bool& overBudget)
{
    const auto take = [&](const char* bytes, std::size_t size) {
        if (size > budget) {
            overBudget = true;
            return false;
        }
        budget -= size;
        if (kept)
            kept->append(bytes, size);
        return true;
    };
    if (entry.method == 0)
        return take(entry.data.data(), entry.data.size());
    if (entry.method != Z_DEFLATED)
        return false;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    const std::unique_ptr<z_stream, InflateEnd> owner(&stream);
    // zlib's input is not const, but it only reads it.
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(entry.data.data()));
    stream.avail_in = static_cast<uInt>(entry.data.size());
    char buffer[65536];
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return false;
        if (!take(buffer, sizeof buffer - stream.avail_out))
            return false;
        if (status == Z_STREAM_END)
            return true;
        if (stream.avail_in == 0 && stream.avail_out != 0)
            return false; // ends before its stream does
    }
}

struct ReaderFree
{
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

std::string attribute(xmlTextReader* reader, const char* name, const char* ns)
{
    xmlChar* value = ns ? xmlTextReaderGetAttributeNs(reader, reinterpret_cast<const xmlChar*>(name),
                                                      reinterpret_cast<const xmlChar*>(ns))
                        : xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

bool named(xmlTextReader* reader, const char* localName, const char* ns)
{
    const xmlChar* local = xmlTextReaderConstLocalName(reader);
    const xmlChar* uri = xmlTextReaderConstNamespaceUri(reader);
    return local && std::strcmp(reinterpret_cast<const char*>(local), localName) == 0 &&
           (!ns || (uri && std::strcmp(reinterpret_cast<const char*>(uri), ns) == 0));
}

// The sheets of xl/workbook.xml (workbook/sheets/sheet) or of content.xml
// (office:spreadsheet/table:table, each skipped whole once named).
std::optional<std::vector<std::string>> sheetNamesIn(const std::string& part, bool openDocument)
{
    const std::unique_ptr<xmlTextReader, ReaderFree> reader(
        xmlReaderForMemory(part.data(), static_cast<int>(part.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!reader)
        return std::nullopt;
    std::vector<std::string> names;
    bool inSpreadsheet = false;
    int status = xmlTextReaderRead(reader.get());
    while (status == 1) {
        const bool element = xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_ELEMENT;
        if (openDocument && element && named(reader.get(), "spreadsheet", kOfficeNs)) {
            inSpreadsheet = true;
        } else if (openDocument && inSpreadsheet && element && named(reader.get(), "table", kTableNs)) {
            names.push_back(attribute(reader.get(), "name", kTableNs));
            status = xmlTextReaderNext(reader.get());
            continue;
        } else if (!openDocument && element && xmlTextReaderDepth(reader.get()) == 2 &&
                   named(reader.get(), "sheet", nullptr)) {
            names.push_back(attribute(reader.get(), "name", nullptr));
        }
        status = xmlTextReaderRead(reader.get());
    }
    if (status != 0)
        return std::nullopt;
    return names;
}

} // namespace

OfficePackage OfficePackage::read(std::string_view zipBytes, std::size_t maxUnpackedBytes)
{
    OfficePackage package;
    const std::optional<std::vector<Entry>> entries = entriesOf(zipBytes);
    if (!entries) {
        package.problem = Problem::NotAPackage;
        return package;
    }
    std::size_t budget = maxUnpackedBytes;
    std::string workbook;
    std::optional<bool> openDocument;
    for (const Entry& entry : *entries) {
        const bool isWorkbook = entry.name == kWorkbookPart || entry.name == kContentPart;
        bool overBudget = false;
        if (!unpack(entry, budget, isWorkbook ? &workbook : nullptr, overBudget)) {
            package.problem = overBudget ? Problem::TooLarge : Problem::NotAPackage;
            return package;
        }
        if (isWorkbook) {
            if (openDocument) { // two workbook parts: not a package the import reads
                package.problem = Problem::NotAPackage;
                return package;
            }
            openDocument = entry.name == kContentPart;
        }
    }
    std::optional<std::vector<std::string>> names;
    if (openDocument)
        names = sheetNamesIn(workbook, *openDocument);
    if (!names) {
        package.problem = Problem::NotAPackage;
        return package;
    }
    package.sheetNames = std::move(*names);
    return package;
}

} // namespace regdesk
