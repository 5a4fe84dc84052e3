#include "HighLevelEncoder.h"

#include <array>
#include <cstddef>
#include <cstdint>

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

// What the segmenter and the compactions share across the segments of one call.
struct EncoderState
{
    Mode mode = Mode::Text;               // of the segment being measured or encoded
    Mode nextMode = Mode::None;           // after the current segment, as far as the segmenter saw
    std::size_t position = 0;             // next input byte
    std::size_t count = 0;                // input bytes of the current segment
    int lastModeCodeword = 0;             // latch or shift written last; 0 for none
    Submode textSubmode = Submode::Alpha; // latched at the end of the last text segment
};

class SegmentEncoder
{
public:
    explicit SegmentEncoder(ByteView data) : m_data(data) {}

    std::vector<int> run()
    {
        while (true) {
            measureSegment();
            if (m_state.count == 0)
                break;
            switch (m_state.mode) {
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
            m_state.position += m_state.count;
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
    std::vector<int> m_out; // its size + 1 is the output position: position 0 is the descriptor's
    EncoderState m_state;
};

void SegmentEncoder::measureSegment()
{
    m_state.count = 0;
    if (m_state.position >= m_data.size())
        return;
    const std::uint8_t first = m_data[m_state.position];
    m_state.mode = isDigit(first) ? Mode::Numeric : isText(first) ? Mode::Text : Mode::Byte;
    std::size_t at = m_state.position;
    while (at < m_data.size()) {
        const std::uint8_t byte = m_data[at];
        if (m_state.mode == Mode::Numeric) {
            if (isDigit(byte)) {
                ++m_state.count;
                ++at;
                continue;
            }
            if (m_state.count >= kMinNumericDigits) {
                m_state.nextMode = Mode::Text;
                return;
            }
            m_state.mode = Mode::Text; // the same byte is looked at again as text
            continue;
        }
        if (m_state.mode == Mode::Text) {
            if (!isText(byte)) {
                if (m_state.count >= kMinTextCharacters) {
                    m_state.nextMode = Mode::Byte;
                    return;
                }
                m_state.mode = Mode::Byte;
                continue;
            }
            if (isDigit(byte)) {
                const std::size_t run = digitRun(at);
                if (run >= kMinNumericDigits) {
                    m_state.nextMode = Mode::Numeric;
                    return;
                }
                m_state.count += run;
                at += run;
                continue;
            }
            ++m_state.count;
            ++at;
            continue;
        }
        // Byte mode.
        if (!isText(byte)) {
            ++m_state.count;
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
            m_state.nextMode = Mode::Text;
            return;
        }
        m_state.count += run;
        at += run;
        if (stoppedByDigits) {
            m_state.nextMode = Mode::Numeric;
            return;
        }
    }
}

void SegmentEncoder::encodeNumeric()
{
    m_out.push_back(kLatchNumeric);
    m_state.lastModeCodeword = kLatchNumeric;
    // Each group of up to 44 digits, with a leading 1, is written in base 900 (ISO/IEC 15438 numeric compaction).
    for (std::size_t groupStart = 0; groupStart < m_state.count; groupStart += kNumericGroupDigits) {
        const std::size_t groupSize = std::min(kNumericGroupDigits, m_state.count - groupStart);
        std::array<std::uint8_t, kNumericGroupDigits + 1> decimal{};
        decimal[0] = 1;
        for (std::size_t i = 0; i < groupSize; ++i)
            decimal[i + 1] = static_cast<std::uint8_t>(m_data[m_state.position + groupStart + i] - '0');
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

void SegmentEncoder::encodeText()
{
    const bool afterShift = m_state.lastModeCodeword == kShiftByte;
    if (!afterShift && !m_out.empty())
        m_out.push_back(kLatchText);
    m_state.lastModeCodeword = kLatchText;

    Submode latched = afterShift ? m_state.textSubmode : Submode::Alpha;
    Submode current = latched;
    // Text values pair up into codewords; -1 means no value is waiting.
    int pending = -1;
    const auto emit = [&](int value) {
        if (pending >= 0) {
            m_out.push_back(30 * pending + value);
            pending = -1;
        } else {
            pending = value;
        }
    };
    constexpr std::array<Submode, 4> kSearchOrder = {Submode::Punctuation, Submode::Mixed, Submode::Lower,
                                                     Submode::Alpha};
    for (std::size_t i = 0; i < m_state.count; ++i) {
        const std::uint8_t byte = m_data[m_state.position + i];
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
    if (pending >= 0)
        emit(kSwitchPunctuationShift);
    m_state.textSubmode = latched;
}

void SegmentEncoder::encodeBytes()
{
    int latch = m_state.count % 6 == 0 ? kLatchByteSix : kLatchByte;
    if (m_state.lastModeCodeword == kLatchText && m_state.count == 1 && m_state.nextMode == Mode::Text)
        latch = kShiftByte;
    m_out.push_back(latch);
    m_state.lastModeCodeword = latch;
    // Six bytes make five base-900 digits (ISO/IEC 15438 byte compaction); the rest go one per codeword.
    std::size_t at = m_state.position;
    const std::size_t end = m_state.position + m_state.count;
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
    return SegmentEncoder(data).run();
}

} // namespace lattix
