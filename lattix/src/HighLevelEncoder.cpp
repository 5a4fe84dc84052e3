#include "HighLevelEncoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lattix {
namespace {

constexpr std::size_t kMinNumericDigits = 14;
constexpr std::size_t kMinTextCharacters = 8;
constexpr std::size_t kNumericGroupDigits = 44;

enum class Mode
{
    None,
    Numeric,
    Text,
    Byte,
};

enum class Submode
{
    Alpha,
    Lower,
    Mixed,
    Punctuation,
};

bool isDigit(std::uint8_t byte)
{
    return byte >= '0' && byte <= '9';
}

bool isText(std::uint8_t byte)
{
    return (byte >= 0x20 && byte <= 0x7E) || byte == '\r' || byte == '\t' || byte == '\n';
}

// Text compaction submode tables of ISO/IEC 15438: the value of each byte in each submode,
// -1 where the submode lacks it.
struct TextTables
{
    std::array<std::array<std::int8_t, 128>, 4> values{};

    constexpr TextTables()
    {
        for (auto& table : values)
            table.fill(-1);
        for (int i = 0; i < 26; ++i) {
            values[0][static_cast<std::size_t>('A' + i)] = static_cast<std::int8_t>(i);
            values[1][static_cast<std::size_t>('a' + i)] = static_cast<std::int8_t>(i);
        }
        values[0][' '] = 26;
        values[1][' '] = 26;
        constexpr char mixed[] = "0123456789&\r\t,:#-.$/+%*=^";
        for (std::size_t i = 0; i + 1 < sizeof(mixed); ++i)
            values[2][static_cast<std::size_t>(mixed[i])] = static_cast<std::int8_t>(i);
        values[2][' '] = 26;
        constexpr char punctuation[] = ";<>@[\\]_`~!\r\t,:\n-.$/\"|*()?{}'";
        for (std::size_t i = 0; i + 1 < sizeof(punctuation); ++i)
            values[3][static_cast<std::size_t>(punctuation[i])] = static_cast<std::int8_t>(i);
    }

    int value(Submode submode, std::uint8_t byte) const
    {
        return byte < 128 ? values[static_cast<std::size_t>(submode)][byte] : -1;
    }
};

constexpr TextTables kTextTables;

// Submode switch values.
constexpr int kSwitchLowerOrAlphaShift = 27; // ll from alpha and mixed, as (alpha shift) from lower
constexpr int kSwitchMixedOrAlpha = 28;      // ml from alpha and lower, al from mixed
constexpr int kSwitchPunctuationShift = 29;  // ps from every submode; also the pad of an odd count

// Encoder state kept across the segments of one call.
class Encoder
{
public:
    explicit Encoder(ByteView data) : m_data(data) {}

    std::vector<int> run()
    {
        while (true) {
            measureSegment();
            if (m_count == 0)
                break;
            switch (m_mode) {
            case Mode::Numeric:
                encodeNumeric();
                break;
            case Mode::Text:
                encodeText();
                break;
            default:
                encodeBytes();
                break;
            }
            m_position += m_count;
        }
        return std::move(m_out);
    }

private:
    std::size_t digitRun(std::size_t from) const
    {
        std::size_t at = from;
        while (at < m_data.size() && isDigit(m_data[at]))
            ++at;
        return at - from;
    }

    void measureSegment();
    void encodeNumeric();
    void encodeText();
    void encodeBytes();

    ByteView m_data;
    std::vector<int> m_out;
    Mode m_mode = Mode::Text;
    Mode m_nextMode = Mode::None;
    std::size_t m_position = 0;
    std::size_t m_count = 0;
    int m_lastModeCodeword = 0;
    Submode m_textSubmode = Submode::Alpha;
};

void Encoder::measureSegment()
{
    m_count = 0;
    if (m_position >= m_data.size())
        return;
    const std::uint8_t first = m_data[m_position];
    m_mode = isDigit(first) ? Mode::Numeric : isText(first) ? Mode::Text : Mode::Byte;
    std::size_t at = m_position;
    while (at < m_data.size()) {
        const std::uint8_t byte = m_data[at];
        if (m_mode == Mode::Numeric) {
            if (isDigit(byte)) {
                ++m_count;
                ++at;
                continue;
            }
            if (m_count >= kMinNumericDigits) {
                m_nextMode = Mode::Text;
                return;
            }
            m_mode = Mode::Text; // the same byte is looked at again as text
            continue;
        }
        if (m_mode == Mode::Text) {
            if (!isText(byte)) {
                if (m_count >= kMinTextCharacters) {
                    m_nextMode = Mode::Byte;
                    return;
                }
                m_mode = Mode::Byte;
                continue;
            }
            if (isDigit(byte)) {
                const std::size_t run = digitRun(at);
                if (run >= kMinNumericDigits) {
                    m_nextMode = Mode::Numeric;
                    return;
                }
                m_count += run;
                at += run;
                continue;
            }
            ++m_count;
            ++at;
            continue;
        }
        // Byte mode.
        if (!isText(byte)) {
            ++m_count;
            ++at;
            continue;
        }
        std::size_t run = 0;
        bool stoppedByDigits = false;
        while (at + run < m_data.size() && isText(m_data[at + run])) {
            if (isDigit(m_data[at + run])) {
                const std::size_t digits = digitRun(at + run);
                if (digits >= kMinNumericDigits) {
                    stoppedByDigits = true;
                    break;
                }
                run += digits;
            } else {
                ++run;
            }
        }
        if (run >= kMinTextCharacters) {
            m_nextMode = Mode::Text;
            return;
        }
        m_count += run;
        at += run;
        if (stoppedByDigits) {
            m_nextMode = Mode::Numeric;
            return;
        }
    }
}

void Encoder::encodeNumeric()
{
    m_out.push_back(kLatchNumeric);
    m_lastModeCodeword = kLatchNumeric;
    // Each group of up to 44 digits, with a leading 1, is written in base 900 (ISO/IEC 15438 numeric compaction).
    for (std::size_t groupStart = 0; groupStart < m_count; groupStart += kNumericGroupDigits) {
        const std::size_t groupSize = std::min(kNumericGroupDigits, m_count - groupStart);
        std::array<std::uint8_t, kNumericGroupDigits + 1> decimal{};
        decimal[0] = 1;
        for (std::size_t i = 0; i < groupSize; ++i)
            decimal[i + 1] = static_cast<std::uint8_t>(m_data[m_position + groupStart + i] - '0');
        const std::size_t decimalSize = groupSize + 1;
        // Repeated long division of the decimal digits by 900; the remainders are the base-900 digits.
        std::array<int, 16> base900{};
        std::size_t base900Size = 0;
        std::size_t leading = 0;
        while (leading < decimalSize) {
            int remainder = 0;
            for (std::size_t i = leading; i < decimalSize; ++i) {
                const int current = remainder * 10 + decimal[i];
                decimal[i] = static_cast<std::uint8_t>(current / 900);
                remainder = current % 900;
            }
            base900[base900Size++] = remainder;
            while (leading < decimalSize && decimal[leading] == 0)
                ++leading;
        }
        for (std::size_t i = base900Size; i > 0; --i)
            m_out.push_back(base900[i - 1]);
    }
}

void Encoder::encodeText()
{
    const bool afterShift = m_lastModeCodeword == kShiftByte;
    if (!afterShift && !m_out.empty())
        m_out.push_back(kLatchText);
    m_lastModeCodeword = kLatchText;

    Submode latched = afterShift ? m_textSubmode : Submode::Alpha;
    Submode current = latched;
    std::optional<int> pending;
    const auto emit = [&](int value) {
        if (pending) {
            m_out.push_back(30 * *pending + value);
            pending.reset();
        } else {
            pending = value;
        }
    };
    constexpr std::array<Submode, 4> kSearchOrder = {Submode::Punctuation, Submode::Mixed, Submode::Lower,
                                                     Submode::Alpha};
    for (std::size_t i = 0; i < m_count; ++i) {
        const std::uint8_t byte = m_data[m_position + i];
        int value = kTextTables.value(current, byte);
        if (value < 0) {
            for (Submode candidate : kSearchOrder) {
                if (candidate == current)
                    continue;
                value = kTextTables.value(candidate, byte);
                if (value >= 0) {
                    current = candidate;
                    break;
                }
            }
        }
        if (current != latched) {
            switch (current) {
            case Submode::Alpha:
                if (latched == Submode::Lower) {
                    emit(kSwitchLowerOrAlphaShift);
                } else {
                    emit(kSwitchMixedOrAlpha);
                    latched = Submode::Alpha;
                }
                break;
            case Submode::Lower:
                emit(kSwitchLowerOrAlphaShift);
                latched = Submode::Lower;
                break;
            case Submode::Mixed:
                emit(kSwitchMixedOrAlpha);
                latched = Submode::Mixed;
                break;
            case Submode::Punctuation:
                emit(kSwitchPunctuationShift);
                break;
            }
        }
        emit(value);
    }
    if (pending)
        emit(kSwitchPunctuationShift);
    m_textSubmode = latched;
}

void Encoder::encodeBytes()
{
    int latch = m_count % 6 == 0 ? kLatchByteSix : kLatchByte;
    if (m_lastModeCodeword == kLatchText && m_count == 1 && m_nextMode == Mode::Text)
        latch = kShiftByte;
    m_out.push_back(latch);
    m_lastModeCodeword = latch;
    // Six bytes make five base-900 digits (ISO/IEC 15438 byte compaction); the rest go one per codeword.
    std::size_t at = m_position;
    const std::size_t end = m_position + m_count;
    for (; end - at >= 6; at += 6) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < 6; ++i)
            value = (value << 8) | m_data[at + i];
        std::array<int, 5> digits{};
        for (std::size_t i = 5; i > 0; --i) {
            digits[i - 1] = static_cast<int>(value % 900);
            value /= 900;
        }
        m_out.insert(m_out.end(), digits.begin(), digits.end());
    }
    for (; at < end; ++at)
        m_out.push_back(m_data[at]);
}

} // namespace

std::vector<int> encodeHighLevel(ByteView data)
{
    return Encoder(data).run();
}

} // namespace lattix
