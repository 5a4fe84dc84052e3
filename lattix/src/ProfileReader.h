#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lattix {

// Reads "name=value" settings files the way the Windows private-profile functions do: section and key
// names compare without regard to ASCII case, names and values are trimmed of blanks, the first matching
// section and key win, lines starting with ';' are comments, and a UTF-8 byte-order mark is skipped.
class ProfileReader
{
public:
    // A settings file is small: a larger one, or anything but a regular file (a FIFO, a device), reads as
    // an unreadable one and never blocks or exhausts the reader.
    static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

    // Reads the file now; a missing or unreadable file behaves as an empty one.
    static ProfileReader fromFile(const std::string& path);
    static ProfileReader fromText(std::string_view text);

    // Like GetPrivateProfileStringA with a buffer of maxChars + 1 bytes: the value cut to maxChars bytes,
    // or fallback when the key is missing.
    std::string getString(std::string_view section, std::string_view key, std::string_view fallback,
                          std::size_t maxChars) const;

    // Like GetPrivateProfileIntA: fallback when the key is missing or empty, otherwise the leading
    // decimal integer of the value (optional sign), 0 when there is none.
    int getInt(std::string_view section, std::string_view key, int fallback) const;

private:
    explicit ProfileReader(std::string text);

    std::optional<std::string_view> findValue(std::string_view section, std::string_view key) const;

    std::string m_text;
};

// The leading decimal integer of text (blanks, optional sign, digits), saturated to the int range.
int parseLeadingInt(std::string_view text);

} // namespace lattix
