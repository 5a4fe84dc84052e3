#pragma once

#include "platform/Gbk.h"
#include "platform/OfficeConverter.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace regdesk {

// What stands in for the Excel application over a program run: LibreOffice
// in its private profile, a working folder of its own, and the list template
// converted to flat ODS once and again only when the template file changes.
// Keep one for the whole run, so that each printing does one conversion only.
class ExcelService
{
public:
    struct Failure
    {
        enum class Kind
        {
            None,
            Unavailable,     // LibreOffice is not installed at all
            TemplateMissing, // no file at the template's path
            Failed,          // a conversion or a file operation failed
        };
        Kind kind = Kind::None;
        std::string reason; // UTF-8, one line
    };

    // `officeProgram` as OfficeConverter takes it; `timeout` bounds every conversion.
    explicit ExcelService(std::string officeProgram = {},
                          std::chrono::milliseconds timeout = OfficeConverter::kDefaultTimeout);
    ~ExcelService();
    ExcelService(const ExcelService&) = delete;
    ExcelService& operator=(const ExcelService&) = delete;

    bool isAvailable() const { return m_converter.isAvailable(); }

    // The template as flat ODS text. `whileWaiting` runs while LibreOffice works.
    std::optional<std::string> templateXml(const GbkString& templatePath, Failure& failure,
                                           const std::function<void()>& whileWaiting = {});
    // The flat ODS text as the bytes of an Excel 97 workbook.
    std::optional<std::string> excelBytes(const std::string& flatOds, Failure& failure,
                                          const std::function<void()>& whileWaiting = {});

    // How often the template was converted (a second printing of an unchanged
    // template converts nothing).
    int templateConversions() const { return m_templateConversions; }

private:
    struct Stamp
    {
        GbkString path;
        unsigned long long device = 0, inode = 0;
        long long size = 0, seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };

    bool ensureFolder(std::string& reason);
    std::optional<std::string> convert(const GbkString& input, const std::string& target, Failure& failure,
                                       const std::function<void()>& whileWaiting);

    OfficeConverter m_converter;
    std::chrono::milliseconds m_timeout;
    std::string m_folder; // native path; empty until first needed
    std::optional<Stamp> m_templateStamp;
    std::string m_templateXml;
    int m_templateConversions = 0;
};

} // namespace regdesk
