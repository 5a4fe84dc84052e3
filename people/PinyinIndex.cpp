#include "people/PinyinIndex.h"

#include "people/PinyinTable.h"

#include <array>
#include <cstdint>

namespace regdesk {
namespace {

static_assert(pinyin::kSyllableRows.size() == PinyinIndex::kRowCount);

// The rows of one initial are contiguous: the letter follows from the index.
struct LetterRows
{
    char letter;
    int firstRow;
};

constexpr std::array<LetterRows, 23> kLetterRows = {{
    {'A', 0},   {'B', 5},   {'C', 21},  {'D', 55},  {'E', 77},  {'F', 81},  {'G', 90},  {'H', 109},
    {'J', 128}, {'K', 142}, {'L', 160}, {'M', 186}, {'N', 206}, {'O', 231}, {'P', 233}, {'Q', 250},
    {'R', 265}, {'S', 279}, {'T', 314}, {'W', 333}, {'X', 342}, {'Y', 356}, {'Z', 371},
}};

bool isLeadByte(char byte)
{
    return static_cast<unsigned char>(byte) >= 0x80;
}

// Two-byte GBK codes: lead 0x81-0xFE, trail 0x40-0xFE.
constexpr int kLeadCount = 0xFE - 0x81 + 1;
constexpr int kTrailCount = 0xFE - 0x40 + 1;

int codeIndex(unsigned char lead, unsigned char trail)
{
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE)
        return -1;
    return (lead - 0x81) * kTrailCount + (trail - 0x40);
}

// The first row of every GBK code, built once from the syllable rows: a name
// costs one look-up per character instead of a walk over 7,178 entries.
using RowByCode = std::array<std::int16_t, kLeadCount * kTrailCount>;

RowByCode makeRowByCode()
{
    RowByCode rows;
    rows.fill(-1);
    for (int row = 0; row < PinyinIndex::kRowCount; ++row) {
        const std::string_view characters = pinyin::kSyllableRows[static_cast<std::size_t>(row)].characters;
        for (std::size_t at = 0; at + 1 < characters.size(); at += 2) {
            const int index =
                codeIndex(static_cast<unsigned char>(characters[at]), static_cast<unsigned char>(characters[at + 1]));
            if (index >= 0 && rows[static_cast<std::size_t>(index)] < 0)
                rows[static_cast<std::size_t>(index)] = static_cast<std::int16_t>(row);
        }
    }
    return rows;
}

} // namespace

int PinyinIndex::rowOf(std::string_view character)
{
    // Every entry is two bytes: a match must start at an entry, so that the
    // trailing byte of one character and the lead byte of the next never match.
    if (character.size() != 2)
        return -1;
    static const RowByCode rowByCode = makeRowByCode();
    const int index = codeIndex(static_cast<unsigned char>(character[0]), static_cast<unsigned char>(character[1]));
    return index < 0 ? -1 : rowByCode[static_cast<std::size_t>(index)];
}

char PinyinIndex::letterOfRow(int row)
{
    char letter = kLetterRows.front().letter;
    for (const LetterRows& rows : kLetterRows) {
        if (row >= rows.firstRow)
            letter = rows.letter;
    }
    return letter;
}

std::string_view PinyinIndex::syllableOfRow(int row)
{
    return pinyin::kSyllableRows.at(static_cast<std::size_t>(row)).syllable;
}

std::string_view PinyinIndex::charactersOfRow(int row)
{
    return pinyin::kSyllableRows.at(static_cast<std::size_t>(row)).characters;
}

GbkString PinyinIndex::initials(const GbkString& text)
{
    GbkString result;
    // Step by characters rather than by two bytes, so that a one-byte
    // character before a Chinese one cannot pair a trailing byte with the
    // next lead byte (names of two-byte characters walk the same either way).
    for (std::size_t at = 0; at < text.size(); at += gbkCharLength(text, at)) {
        if (!isLeadByte(text[at]))
            continue;
        const int row = rowOf(std::string_view(text).substr(at, gbkCharLength(text, at)));
        result += row < 0 ? 'Z' : letterOfRow(row);
    }
    return result;
}

} // namespace regdesk
