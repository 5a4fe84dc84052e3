#pragma once

#include "platform/Gbk.h"

#include <chrono>
#include <functional>
#include <string>

namespace regdesk {

// Converts office documents with LibreOffice running headless: the desk's
// stand-in for driving Excel and Word. Every converter has a private
// LibreOffice profile (so a LibreOffice the user has open never takes the
// job), removed again when the converter goes. Conversions run one at a time,
// each in a process group of its own that is killed whole when it hangs.
class OfficeConverter
{
public:
    static constexpr std::chrono::seconds kDefaultTimeout{60};

    struct Result
    {
        bool converted = false;
        GbkString outputPath;  // the file written, when converted
        std::string reason;    // why not, when not converted (UTF-8, one line)
        bool timedOut = false; // LibreOffice was stopped for taking too long
    };

    // `program` is the LibreOffice command; empty: "soffice" found on PATH.
    explicit OfficeConverter(std::string program = {});
    ~OfficeConverter();
    OfficeConverter(const OfficeConverter&) = delete;
    OfficeConverter& operator=(const OfficeConverter&) = delete;

    // Whether the LibreOffice command can be found at all.
    bool isAvailable() const;

    // Converts `input` into `outputDirectory` with a LibreOffice target such as
    // "fods", "xls:MS Excel 97" or "txt:Text (encoded):GBK". The output takes
    // the input's base name and the target's extension (the part before the
    // first ":"); a file of that name is removed first, so that a failed
    // conversion cannot pass an old file off as new. LibreOffice exits 0 even
    // when it fails, so success means: the output exists and is not empty.
    // `whileWaiting` runs every few tens of milliseconds (to keep a window
    // alive); a conversion still running after `timeout` is killed.
    Result convert(const GbkString& input, const std::string& target, const GbkString& outputDirectory,
                   std::chrono::milliseconds timeout = kDefaultTimeout, const std::function<void()>& whileWaiting = {});

    // The output name convert() gives `input` for `target`.
    static GbkString outputPathFor(const GbkString& input, const std::string& target, const GbkString& outputDirectory);

private:
    std::string resolvedProgram() const;
    bool ensureProfile(std::string& reason);

    std::string m_program;
    std::string m_profileDirectory; // native path; empty until the first conversion
};

} // namespace regdesk
