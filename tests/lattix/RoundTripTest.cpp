// Round trips through an independent decoder: every generated input is encoded in memory, drawn as
// TempPdf.bmp and decoded by libzxing, and must come back byte for byte.
#include "BitmapWriter.h"
#include "Encoder.h"
#include "SymbolSettings.h"
#include "support/ZxingDecoder.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace lattix {
namespace {

using test::decodeBitmap;

// GBK text: two-byte characters with a lead byte 0x81..0xFE and a trail byte 0x40..0xFE (not 0x7F).
void appendGbk(Bytes& out, std::mt19937& random, std::size_t characters)
{
    std::uniform_int_distribution<int> lead(0x81, 0xFE);
    std::uniform_int_distribution<int> trail(0x40, 0xFE);
    for (std::size_t i = 0; i < characters; ++i) {
        int t = trail(random);
        if (t == 0x7F)
            t = 0x80;
        out.push_back(static_cast<std::uint8_t>(lead(random)));
        out.push_back(static_cast<std::uint8_t>(t));
    }
}

void appendFrom(Bytes& out, std::mt19937& random, std::string_view alphabet, std::size_t count)
{
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(alphabet[pick(random)]));
}

void appendBinary(Bytes& out, std::mt19937& random, std::size_t count)
{
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(byte(random)));
}

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kText =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 &\r\t,:#-.$/+%*=^;<>@[\\]_`~!\n\"|()?{}'";
constexpr std::string_view kPunctuation = ";<>@[\\]_`~!\"|()?{}'";

enum class Kind
{
    Digits,
    Text,
    Gbk,
    Binary,
    Mixture,
    Payload,
};

Bytes makeInput(Kind kind, std::size_t size, std::mt19937& random)
{
    Bytes out;
    while (out.size() < size) {
        const std::size_t left = size - out.size();
        switch (kind) {
        case Kind::Digits:
            appendFrom(out, random, kDigits, left);
            break;
        case Kind::Text:
            appendFrom(out, random, kText, left);
            break;
        case Kind::Gbk:
            appendGbk(out, random, (left + 1) / 2);
            break;
        case Kind::Binary:
            appendBinary(out, random, left);
            break;
        case Kind::Mixture:
        case Kind::Payload: {
            // Runs of every class, with lengths around the segmentation thresholds of 8 and 14.
            std::uniform_int_distribution<int> which(0, kind == Kind::Payload ? 2 : 5);
            std::uniform_int_distribution<std::size_t> runLength(1, 20);
            const std::size_t run = std::min(left, runLength(random));
            switch (which(random)) {
            case 0:
                appendGbk(out, random, (run + 1) / 2);
                break;
            case 1:
                appendFrom(out, random, kDigits, run);
                break;
            case 2:
                appendFrom(out, random, "^", 1);
                break;
            case 3:
                appendFrom(out, random, kText, run);
                break;
            case 4:
                appendFrom(out, random, kPunctuation, run);
                break;
            default:
                appendBinary(out, random, run);
                break;
            }
            break;
        }
        }
    }
    out.resize(size);
    return out;
}

const char* kindName(Kind kind)
{
    switch (kind) {
    case Kind::Digits:
        return "digits";
    case Kind::Text:
        return "text";
    case Kind::Gbk:
        return "GBK";
    case Kind::Binary:
        return "binary";
    case Kind::Mixture:
        return "mixture";
    default:
        return "payload";
    }
}

// Largest input of one kind that still fits in a symbol with these settings (binary search over size).
std::size_t largestFitting(Kind kind, const SymbolSettings& settings, unsigned seed)
{
    std::size_t low = 1;
    std::size_t high = 2710;
    while (low < high) {
        const std::size_t mid = (low + high + 1) / 2;
        std::mt19937 random(seed);
        if (encodeSymbol(makeInput(kind, mid, random), settings))
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

struct RoundTripCounts
{
    int decoded = 0;
    int tooLarge = 0;
};

void expectRoundTrip(const Bytes& input, const SymbolSettings& settings, const std::string& label,
                     RoundTripCounts& counts)
{
    const std::optional<Symbol> symbol = encodeSymbol(input, settings);
    if (!symbol) {
        ++counts.tooLarge;
        return;
    }
    const Bytes bmp = encodeBitmap(drawSymbol(*symbol));
    const std::optional<Bytes> decoded = decodeBitmap(bmp);
    ASSERT_TRUE(decoded.has_value()) << label << ": not decoded (" << symbol->rows << " rows, " << symbol->cols
                                     << " cols, level " << symbol->level << ")";
    EXPECT_EQ(*decoded, input) << label;
    ++counts.decoded;
}

TEST(RoundTrip, GeneratedInputsOfEveryKindAndSizeDecodeExactly)
{
    std::mt19937 random(20241208);
    const SymbolSettings defaults;
    RoundTripCounts counts;
    const Kind kinds[] = {Kind::Digits, Kind::Text, Kind::Gbk, Kind::Binary, Kind::Mixture, Kind::Payload};
    for (Kind kind : kinds) {
        const std::size_t largest = largestFitting(kind, defaults, 7);
        // A ladder of sizes from 1 byte to the largest that fits, then random sizes in between.
        std::vector<std::size_t> sizes = {1, 2, 3, 5, 6, 7, 8, 13, 14, 15, 44, 45, 88, 89, largest};
        std::uniform_int_distribution<std::size_t> anySize(1, largest);
        for (int i = 0; i < 60; ++i)
            sizes.push_back(anySize(random));
        for (std::size_t size : sizes) {
            if (size > largest)
                continue;
            const std::uint32_t seed = random();
            std::mt19937 inputRandom(size == largest ? 7 : seed);
            const Bytes input = makeInput(kind, size, inputRandom);
            expectRoundTrip(input, defaults, std::string(kindName(kind)) + " of " + std::to_string(size), counts);
            if (HasFatalFailure())
                return;
        }
    }
    // Content decides the codeword count, so a few random inputs below the ladder's largest size can
    // still be too large; they are skipped, the rest must all come back.
    RecordProperty("decoded", counts.decoded);
    EXPECT_LE(counts.tooLarge, 10);
    EXPECT_GE(counts.decoded, 400);
}

TEST(RoundTrip, EveryErrorCorrectionLevelAndPercentDecodes)
{
    std::mt19937 random(929);
    RoundTripCounts counts;
    std::uniform_int_distribution<int> kindPick(0, 5);
    for (int level = 0; level <= 8; ++level) {
        SymbolSettings settings;
        settings.eccLevel = std::to_string(level);
        const std::size_t largest = largestFitting(Kind::Mixture, settings, 11);
        std::uniform_int_distribution<std::size_t> anySize(1, largest);
        // The largest mixture that fits at this level, made again from the seed it was measured with.
        std::mt19937 largestRandom(11);
        expectRoundTrip(makeInput(Kind::Mixture, largest, largestRandom), settings,
                        "level " + std::to_string(level) + ", largest mixture of " + std::to_string(largest), counts);
        for (int i = 0; i < 8; ++i) {
            const auto kind = static_cast<Kind>(kindPick(random));
            const Bytes input = makeInput(kind, i == 0 ? 1 : anySize(random), random);
            expectRoundTrip(input, settings, "level " + std::to_string(level) + ", " + kindName(kind), counts);
            if (HasFatalFailure())
                return;
        }
    }
    for (int percent : {1, 2, 10, 25, 40, 75, 100, 101, 401}) {
        SymbolSettings settings;
        settings.eccPercent = percent;
        for (int i = 0; i < 4; ++i) {
            const auto kind = static_cast<Kind>(kindPick(random));
            const Bytes input = makeInput(kind, std::uniform_int_distribution<std::size_t>(1, 400)(random), random);
            expectRoundTrip(input, settings, "ECCPercent " + std::to_string(percent), counts);
            if (HasFatalFailure())
                return;
        }
    }
    RecordProperty("decoded", counts.decoded);
    EXPECT_GE(counts.decoded, 100);
}

TEST(RoundTrip, SegmentBoundariesDecodeExactly)
{
    // Shifts out of every text submode, the thresholds of 8 text characters and 14 digits, and bytes
    // that are text lookalikes.
    const std::string inputs[] = {
        "abcdefgh\x80ijklmnop",
        "ABCDEFGH\x80IJKLMNOP",
        "abcdefg1\x80"
        "abcdefgh",
        "abc;;;;;\x80"
        ";;;;;abc",
        "ABCDEFG\x80"
        "ABCDEFGH",
        "ABCDEFGH\x80\x81IJKLMNOP",
        "1234567890123ABC",
        "12345678901234ABC",
        "\x80"
        "AB12345678901234",
        "\x80"
        "ABCDEFGH12345678901234\x81",
        std::string("ABCDEFGH\0", 9),
        std::string(1, '\0'),
        "\r\n\t \r\n\t",
        "a\tb\rc\nd",
        "~`!@#$%^&*()_+-={}[]|\\:\";'<>?,./",
        std::string(44, '9') + std::string(44, '0') + "7",
        "\xff\xfe\xfd\xfc\xfb\xfa",
    };
    RoundTripCounts counts;
    for (const std::string& text : inputs) {
        for (int truncated : {0, 1}) {
            SymbolSettings settings;
            settings.truncated = truncated;
            expectRoundTrip(Bytes(text.begin(), text.end()), settings,
                            "segment input #" + std::to_string(counts.decoded), counts);
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_EQ(counts.tooLarge, 0);
}

struct ShapeCase
{
    const char* name;
    int rows;
    int cols;
    const char* aspect;
    int truncated;
};

TEST(RoundTrip, RowsColsAspectAndTruncatedSettingsDecode)
{
    const ShapeCase cases[] = {
        {"rows 3", 3, 0, "1:2", 0},
        {"rows 10", 10, 0, "1:2", 0},
        {"rows 90", 90, 0, "1:2", 0},
        {"rows 1", 1, 0, "1:2", 0},
        {"cols 1", 0, 1, "1:2", 0},
        {"cols 5", 0, 5, "1:2", 0},
        {"cols 30", 0, 30, "1:2", 0},
        {"rows 6 cols 4", 6, 4, "1:2", 0},
        {"rows 40 cols 12", 40, 12, "1:2", 0},
        {"aspect 1:1", 0, 0, "1:1", 0},
        {"aspect 1:8", 0, 0, "1:8", 0},
        {"aspect 3:1", 0, 0, "3:1", 0},
        {"aspect 1:20", 0, 0, "1:20", 0},
        {"rows 91 (automatic)", 91, 0, "1:2", 0},
        {"cols 31 (automatic)", 0, 31, "1:2", 0},
        {"truncated", 0, 0, "1:2", 1},
        {"truncated cols 1", 0, 1, "1:2", 1},
        {"truncated rows 3", 3, 0, "1:2", 1},
        {"truncated cols 30", 0, 30, "1:2", -1},
    };
    std::mt19937 random(2710);
    std::uniform_int_distribution<int> kindPick(0, 5);
    RoundTripCounts counts;
    for (const ShapeCase& shape : cases) {
        SymbolSettings settings;
        settings.rows = shape.rows;
        settings.cols = shape.cols;
        settings.aspect = shape.aspect;
        settings.truncated = shape.truncated;
        for (std::size_t size : {std::size_t{1}, std::size_t{20}, std::size_t{150}, std::size_t{700}}) {
            const auto kind = static_cast<Kind>(kindPick(random));
            const Bytes input = makeInput(kind, size, random);
            expectRoundTrip(input, settings,
                            std::string(shape.name) + ", " + kindName(kind) + " of " + std::to_string(size), counts);
            if (HasFatalFailure())
                return;
        }
    }
    RecordProperty("decoded", counts.decoded);
    EXPECT_GE(counts.decoded, 50);
}

} // namespace
} // namespace lattix
