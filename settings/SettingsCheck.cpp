#include "settings/SettingsCheck.h"

#include "platform/Text.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <map>
#include <optional>

namespace regdesk {
namespace {

using Severity = SettingsFinding::Severity;

struct Line
{
    int number = 0;
    std::string_view text; // without its CR LF
};

std::vector<Line> splitLines(std::string_view data)
{
    std::vector<Line> lines;
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find('\n', start);
        if (end == std::string_view::npos)
            end = data.size();
        std::string_view text = data.substr(start, end - start);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        lines.push_back({static_cast<int>(lines.size()) + 1, text});
        start = end + 1;
    }
    return lines;
}

std::string withoutBlanks(std::string text)
{
    std::erase_if(text, [](char c) { return c == ' ' || c == '\t'; });
    // The full-width blank (GBK A1A1) is a blank to a reader too.
    for (std::size_t at = text.find("\xA1\xA1"); at != std::string::npos; at = text.find("\xA1\xA1"))
        text.erase(at, 2);
    return text;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isOneOf(std::string_view value, std::string_view choices)
{
    for (std::size_t start = 0; start <= choices.size();) {
        const std::size_t bar = std::min(choices.find('|', start), choices.size());
        if (equalsIgnoringAsciiCase(value, utf8ToGbk(choices.substr(start, bar - start))))
            return true;
        start = bar + 1;
    }
    return false;
}

std::string quoted(std::string_view gbk)
{
    return std::string("\"").append(gbkToUtf8(gbk)).append("\"");
}

class Checker
{
public:
    std::vector<SettingsFinding> run(std::string_view data)
    {
        const std::vector<Line> lines = splitLines(data);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            if (line.text.empty())
                m_listOpen = false;
            else if (line.text.front() == '[')
                header(lines, i);
            else
                entry(line);
        }
        codeIdentifierLength();
        return std::move(m_findings);
    }

private:
    void add(Severity severity, int line, std::string message)
    {
        m_findings.push_back({severity, line, std::move(message)});
    }

    void header(const std::vector<Line>& lines, std::size_t index)
    {
        const Line& line = lines[index];
        const std::size_t end = std::min(findFirstOfGbk(line.text, "]\t;", 1), line.text.size());
        const std::string name = gbkToUtf8(line.text.substr(1, end - 1));
        m_section = name;
        m_listOpen = true;
        const auto [seen, first] = m_sectionLines.emplace(name, line.number);
        if (!first) {
            add(Severity::Warning, line.number,
                "[" + name + "] stands here a second time; the desk reads only the one on line " +
                    std::to_string(seen->second));
        } else if (!SettingsKeys::isListSection(name) && !SettingsKeys::isKeySection(name)) {
            add(Severity::Warning, line.number, "the desk reads no section [" + name + "]");
        }
        if (!SettingsKeys::isListSection(name))
            return;
        // A list ends only at an empty or comment line: a header right after
        // a list's last entry is read as one of its entries.
        std::size_t next = index + 1;
        while (next < lines.size() && !lines[next].text.empty() && lines[next].text.front() != '[' &&
               std::string_view(" \t/\xFD\xFF").find(lines[next].text.front()) == std::string_view::npos)
            ++next;
        if (next < lines.size() && !lines[next].text.empty() && lines[next].text.front() == '[') {
            add(Severity::Error, line.number,
                "list section [" + name + "] is followed directly by the header " + gbkToUtf8(lines[next].text) +
                    " (line " + std::to_string(lines[next].number) +
                    "); the desk reads that header and the lines after it as entries of the list. "
                    "Put an empty line before the header.");
        }
    }

    void entry(const Line& line)
    {
        const char first = line.text.front();
        const bool comment = first == ';' || first == '/';
        if (!m_section) {
            if (!comment)
                add(Severity::Warning, line.number, "stands before the first section; the desk does not read it");
            return;
        }
        const bool isList = SettingsKeys::isListSection(*m_section);
        if (std::string_view(" \t/\xFD\xFF").find(first) != std::string_view::npos)
            m_listOpen = false;
        if (comment) {
            if (isList && first == ';' && m_listOpen)
                add(Severity::Warning, line.number,
                    "this comment is read as an entry of the list [" + *m_section +
                        "]; put an empty line before it, or start it with \"/\"");
            return;
        }
        if (isList && !m_listOpen && !SettingsKeys::isKeySection(*m_section))
            add(Severity::Warning, line.number,
                "the list [" + *m_section +
                    "] has ended (at an empty line, or one that starts with a blank or \"/\"); the desk does "
                    "not read this line");
        const std::size_t nameEnd = std::min(line.text.find_first_of("=;"), line.text.size());
        const std::string_view name = line.text.substr(0, nameEnd);
        const bool hasValue = nameEnd < line.text.size() && line.text[nameEnd] == '=';
        const std::string_view rawValue = hasValue ? line.text.substr(nameEnd + 1) : std::string_view();
        const std::size_t valueEnd = std::min(findFirstOfGbk(rawValue, "\t;]"), rawValue.size());
        const std::string_view value = rawValue.substr(0, valueEnd);
        if (name.size() > SettingsFile::kMaxNameLength)
            add(Severity::Warning, line.number,
                "the name is longer than " + std::to_string(SettingsFile::kMaxNameLength) +
                    " bytes; the desk reads only its start");
        if (valueEnd < rawValue.size())
            add(Severity::Warning, line.number,
                std::string("the desk reads the value only up to the ") +
                    (rawValue[valueEnd] == '\t' ? std::string("tab")
                                                : std::string("\"").append(1, rawValue[valueEnd]).append("\"")) +
                    ", as " + quoted(value));
        if (SettingsKeys::isKeySection(*m_section))
            namedEntry(line, name, hasValue, value);
    }

    void namedEntry(const Line& line, std::string_view name, bool hasValue, std::string_view value)
    {
        const std::string section = *m_section;
        const std::string utf8Name = gbkToUtf8(name);
        const auto known = std::find_if(
            SettingsKeys::knownSettings().begin(), SettingsKeys::knownSettings().end(),
            [&](const KnownSetting& setting) { return setting.section == section && setting.key == utf8Name; });
        if (known == SettingsKeys::knownSettings().end()) {
            for (const KnownSetting& setting : SettingsKeys::knownSettings()) {
                if (setting.section == section && withoutBlanks(std::string(name)) == utf8ToGbk(setting.key)) {
                    add(Severity::Warning, line.number,
                        quoted(name) + " differs from the key " + section + "/" + std::string(setting.key) +
                            " only by blanks; the desk does not read it as that key");
                    return;
                }
            }
            if (section == SettingsKeys::kCustomOrderSection && hasValue && !value.empty() &&
                !(value.size() == 2 && isDigits(value)))
                add(Severity::Error, line.number,
                    "the position of the prefix " + quoted(name) + " is " + quoted(value) +
                        "; it must be two digits, 01 to 99");
            else if (section != SettingsKeys::kCustomOrderSection && !SettingsKeys::isListSection(section))
                add(Severity::Warning, line.number, "the desk reads no key " + quoted(name) + " in [" + section + "]");
            return;
        }
        const std::string where = section + "/" + utf8Name;
        const auto [seen, first] = m_keyLines.emplace(where, line.number);
        if (!first) {
            add(Severity::Warning, line.number,
                where + " stands here a second time; the desk reads the one on line " + std::to_string(seen->second));
            return;
        }
        m_values[where] = std::string(value);
        checkValue(*known, line.number, where,
                   section == SettingsKeys::kDatabaseSection ? trimBlanks(value) : value); // that reader trims
    }

    void checkValue(const KnownSetting& setting, int line, const std::string& where, std::string_view value)
    {
        if (value.empty())
            return;
        switch (setting.kind) {
        case SettingKind::Integer: {
            const long long number = isDigits(value) && value.size() < 12 ? std::stoll(std::string(value)) : -1;
            if (number < setting.minimum || number > setting.maximum)
                add(Severity::Error, line,
                    where + "=" + gbkToUtf8(value) + " is out of range; it must be a whole number from " +
                        std::to_string(setting.minimum) + " to " + std::to_string(setting.maximum));
            break;
        }
        case SettingKind::Choice:
        case SettingKind::ChoiceOrAny:
            if (!isOneOf(value, setting.choices))
                add(setting.kind == SettingKind::Choice ? Severity::Error : Severity::Warning, line,
                    where + "=" + gbkToUtf8(value) + " is none of " + std::string(setting.choices));
            break;
        case SettingKind::Text:
        case SettingKind::Folder:
            break;
        }
    }

    // The desk shows 制码号固定标识位数错误! at every code number when they disagree.
    void codeIdentifierLength()
    {
        const auto where = [](const KnownSetting& setting) {
            return std::string(setting.section) + "/" + std::string(setting.key);
        };
        const auto identifier = m_values.find(where(SettingsKeys::kCodeIdentifier));
        const auto length = m_values.find(where(SettingsKeys::kCodeIdentifierLength));
        if (identifier == m_values.end() || length == m_values.end() || !isDigits(length->second) ||
            length->second.size() > 6)
            return;
        if (std::stoul(length->second) != identifier->second.size())
            add(Severity::Error, m_keyLines[length->first],
                "制码号固定位数=" + length->second + " but 制码号固定标识 " + quoted(identifier->second) + " is " +
                    std::to_string(identifier->second.size()) +
                    " bytes long in GBK; the desk would show 制码号固定标识位数错误!");
    }

    std::optional<std::string> m_section;
    bool m_listOpen = true;
    std::map<std::string, int> m_sectionLines;
    std::map<std::string, int> m_keyLines;
    std::map<std::string, std::string> m_values; // GBK
    std::vector<SettingsFinding> m_findings;
};

// Length of the well-formed UTF-8 character at the start of `text`, 0 when there is none.
std::size_t utf8CharLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

std::string SettingsFinding::toText() const
{
    return std::string(severity == Severity::Error ? "error: " : "warning: ") +
           (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + message;
}

std::vector<SettingsFinding> checkSettings(std::string_view gbk)
{
    return Checker().run(gbk);
}

bool hasErrors(const std::vector<SettingsFinding>& findings)
{
    return std::any_of(findings.begin(), findings.end(),
                       [](const SettingsFinding& finding) { return finding.severity == Severity::Error; });
}

bool isValidUtf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t length = utf8CharLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

bool looksLikeUtf8(std::string_view bytes)
{
    const bool multiByte = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    if (!multiByte || !isValidUtf8(bytes))
        return false;
    // ASCII names (PDF, Width) read the same in both encodings and tell nothing.
    const auto readsAsGbk = [&](std::string_view utf8Name) {
        const GbkString gbk = utf8ToGbk(utf8Name);
        return gbk != utf8Name && bytes.find(gbk) != std::string_view::npos;
    };
    for (const KnownSetting& setting : SettingsKeys::knownSettings()) {
        if (readsAsGbk(setting.section) || readsAsGbk(setting.key))
            return false;
    }
    return std::none_of(SettingsKeys::listSections().begin(), SettingsKeys::listSections().end(), readsAsGbk);
}

} // namespace regdesk
