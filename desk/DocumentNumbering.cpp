#include "desk/DocumentNumbering.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

namespace regdesk {
namespace {

const GbkString& closingBracket()
{
    static const GbkString bracket = "〕"_gbk;
    return bracket;
}

// The decimal number at the start of `text` (digits only; 0 when none).
int leadingNumber(std::string_view text)
{
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        value = std::min<long long>(value * 10 + (c - '0'), 0x7fffffff);
    }
    return static_cast<int>(value);
}

// Serial of a number whose head is known: the text between the head and the
// final two bytes (the "号").
int serialAfterHead(const GbkString& number, std::size_t headLength)
{
    if (number.size() < headLength + 2)
        return 0;
    return leadingNumber(std::string_view(number).substr(headLength, number.size() - 2 - headLength));
}

std::string formatInt(const char* format, int value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// A proposal tries this many numbers past the ones other desks hold.
constexpr int kMaxReservations = 1000;

// The code number's layout: its head, and the format of its serial (none
// when the layout gives no valid serial width). Layout messages in their order.
struct CodeParts
{
    GbkString head;
    const char* serialFormat = nullptr;
};

CodeParts codeParts(const CodeNumberLayout& layout, int year, std::vector<DeskNotice>& notices)
{
    if (static_cast<long long>(layout.identifier.size()) != layout.identifierLength)
        notices.push_back({"制码号固定标识位数错误!"_gbk, {}});

    CodeParts parts;
    if (layout.yearDigits == "2")
        parts.head = layout.identifier + std::to_string(year - 2000);
    else if (layout.yearDigits == "4")
        parts.head = layout.identifier + std::to_string(year);
    else if (layout.yearDigits == "0")
        parts.head = layout.identifier;
    else
        notices.push_back({"制码号年度位数不正确!"_gbk, {}});

    static constexpr const char* kSerialFormats[] = {"%02d", "%03d", "%04d", "%05d", "%06d", "%07d"};
    const GbkString& digits = layout.serialDigits;
    if (digits.size() == 1 && digits[0] >= '2' && digits[0] <= '7')
        parts.serialFormat = kSerialFormats[digits[0] - '2'];
    else
        notices.push_back({"制码号流水位数不合适!"_gbk, {}});
    return parts;
}

GbkString documentNumber(const GbkString& prefix, int serial)
{
    return prefix + std::to_string(serial) + "号"_gbk;
}

} // namespace

CodeNumberLayout CodeNumberLayout::fromSettings(const SettingsFile& settings)
{
    CodeNumberLayout layout;
    layout.identifier = settings.getString(SettingsKeys::kCodeIdentifier);
    layout.identifierLength = settings.getInteger(SettingsKeys::kCodeIdentifierLength);
    layout.yearDigits = settings.getString(SettingsKeys::kCodeYearDigits);
    layout.serialDigits = settings.getString(SettingsKeys::kCodeSerialDigits);
    return layout;
}

namespace DocumentNumbering {

std::optional<GbkString> headOf(const GbkString& number)
{
    const std::size_t pos = findGbk(number, closingBracket());
    if (pos == GbkString::npos)
        return std::nullopt;
    return number.substr(0, pos + closingBracket().size());
}

int lastSerial(const GbkString& prefix, const std::vector<GbkString>& prefixes, const std::vector<GbkString>& numbers)
{
    if (std::find(prefixes.begin(), prefixes.end(), prefix) == prefixes.end())
        return 0;
    int last = 0;
    for (const GbkString& number : numbers) {
        const std::optional<GbkString> head = headOf(number);
        if (head && *head == prefix)
            last = std::max(last, serialAfterHead(number, head->size()));
    }
    return last;
}

GbkString codeNumber(const CodeNumberLayout& layout, int year, int barcodesMade, std::vector<DeskNotice>& notices)
{
    const CodeParts parts = codeParts(layout, year, notices);
    return parts.serialFormat ? parts.head + formatInt(parts.serialFormat, barcodesMade + 1) : parts.head;
}

NumberingProposal propose(const GbkString& prefix, const std::vector<GbkString>& prefixes, int year,
                          const CodeNumberLayout& layout, OutgoingRegister& register_)
{
    NumberingProposal proposal;
    register_.asOneProposal([&] {
        int last = 0;
        if (std::find(prefixes.begin(), prefixes.end(), prefix) != prefixes.end()) {
            register_.visitNumbersOfYear(year, prefix, [&](const GbkString& number, std::optional<long long> bound) {
                if (bound && *bound <= last)
                    return false; // no number from here on has a higher serial
                const std::optional<GbkString> head = headOf(number);
                if (head && *head == prefix)
                    last = std::max(last, serialAfterHead(number, head->size()));
                return true;
            });
        }
        // Numbers after the last registered one may be held by other desks:
        // this desk gets the first free one, shown as following the one before.
        // A serial near the largest int (a number typed with a dozen digits)
        // has no room for claims after it: it is shown as it is, unclaimed.
        if (last > std::numeric_limits<int>::max() - kMaxReservations) {
            proposal.lastNumber = documentNumber(prefix, last);
        } else {
            int next = last + 1;
            for (int tries = 1;
                 tries < kMaxReservations &&
                 !register_.reserve(
                     {NumberReservation::Kind::Document, prefix, next, documentNumber(prefix, next), {}});
                 ++tries)
                ++next;
            proposal.lastNumber = documentNumber(prefix, next - 1);
        }
        proposal.lastTitle = register_.titleOf(proposal.lastNumber).value_or(GbkString{});

        const std::optional<int> countedYear = layout.yearDigits == "0" ? std::nullopt : std::optional<int>(year);
        const int barcodes = register_.countBarcoded(countedYear);
        const CodeParts parts = codeParts(layout, year, proposal.notices);
        if (!parts.serialFormat) {
            proposal.codeNumber = parts.head;
            return;
        }
        register_.codesCounted(countedYear, barcodes);
        int serial = barcodes + 1;
        const auto code = [&] { return parts.head + formatInt(parts.serialFormat, serial); };
        for (int tries = 1; tries < kMaxReservations && !register_.reserve({NumberReservation::Kind::Code, parts.head,
                                                                            serial, code(), countedYear});
             ++tries)
            ++serial;
        proposal.codeNumber = code();
    });
    return proposal;
}

std::optional<GbkString> nextNumber(const GbkString& lastNumber)
{
    if (lastNumber.empty())
        return std::nullopt;
    const std::optional<GbkString> head = headOf(lastNumber);
    if (!head)
        return std::nullopt;
    const long long next = static_cast<long long>(serialAfterHead(lastNumber, head->size())) + 1;
    return *head + std::to_string(next) + "号"_gbk;
}

} // namespace DocumentNumbering
} // namespace regdesk
