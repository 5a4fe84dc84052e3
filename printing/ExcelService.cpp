#include "printing/ExcelService.h"

#include "platform/DiagnosticsLog.h"
#include "platform/FileSystem.h"
#include "settings/AppPaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace regdesk {

ExcelService::ExcelService(std::string officeProgram, std::chrono::milliseconds timeout)
    : m_converter(std::move(officeProgram)), m_timeout(timeout)
{}

ExcelService::~ExcelService()
{
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

bool ExcelService::ensureFolder(std::string& reason)
{
    if (!m_folder.empty())
        return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/regdesk-list-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        reason = "cannot create a working folder: " + std::string(std::strerror(errno));
        return false;
    }
    m_folder = pattern;
    return true;
}

std::optional<std::string> ExcelService::convert(const GbkString& input, const std::string& target, Failure& failure,
                                                 const std::function<void()>& whileWaiting)
{
    failure = {};
    if (!m_converter.isAvailable()) {
        failure = {Failure::Kind::Unavailable, "LibreOffice (soffice) is not installed"};
        return std::nullopt;
    }
    if (!ensureFolder(failure.reason)) {
        failure.kind = Failure::Kind::Failed;
        return std::nullopt;
    }
    const OfficeConverter::Result result =
        m_converter.convert(input, target, fromNativePath(m_folder), m_timeout, whileWaiting);
    if (!result.converted) {
        // The reason names no document of the office's: only the conversion's target and its time limit.
        if (result.timedOut)
            DiagnosticsLog::forDesk(AppPaths::programDirectory(), "regdesk")
                .write(LogPriority::Warning,
                       "conversion to " + target.substr(0, target.find(':')) + " timed out: " + result.reason);
        failure = {Failure::Kind::Failed, result.reason};
        return std::nullopt;
    }
    std::optional<std::string> bytes = readWholeFile(result.outputPath);
    removeFile(result.outputPath);
    if (!bytes)
        failure = {Failure::Kind::Failed, "cannot read " + toNativePath(result.outputPath)};
    return bytes;
}

std::optional<std::string> ExcelService::templateXml(const GbkString& templatePath, Failure& failure,
                                                     const std::function<void()>& whileWaiting)
{
    struct stat info
    {
    };
    if (::stat(toNativePath(templatePath).c_str(), &info) != 0) {
        failure = {errno == ENOENT ? Failure::Kind::TemplateMissing : Failure::Kind::Failed,
                   toNativePath(templatePath) + ": " + std::strerror(errno)};
        return std::nullopt;
    }
    const Stamp stamp{templatePath,
                      static_cast<unsigned long long>(info.st_dev),
                      static_cast<unsigned long long>(info.st_ino),
                      static_cast<long long>(info.st_size),
                      static_cast<long long>(info.st_mtim.tv_sec),
                      static_cast<long long>(info.st_mtim.tv_nsec)};
    if (m_templateStamp && *m_templateStamp == stamp) {
        failure = {};
        return m_templateXml;
    }
    std::optional<std::string> xml = convert(templatePath, "fods", failure, whileWaiting);
    if (!xml)
        return std::nullopt;
    ++m_templateConversions;
    m_templateStamp = stamp;
    m_templateXml = *xml;
    return xml;
}

std::optional<std::string> ExcelService::excelBytes(const std::string& flatOds, Failure& failure,
                                                    const std::function<void()>& whileWaiting)
{
    failure = {};
    if (!ensureFolder(failure.reason)) {
        failure.kind = Failure::Kind::Failed;
        return std::nullopt;
    }
    // The folder is private (mkdtemp), so nobody can plant a link here.
    const GbkString input = joinPath(fromNativePath(m_folder), "list.fods");
    if (!writeWholeFile(input, flatOds)) {
        const int error = errno;
        removeFile(input);
        failure = {Failure::Kind::Failed, "cannot write " + toNativePath(input) + ": " + std::strerror(error)};
        return std::nullopt;
    }
    std::optional<std::string> bytes = convert(input, "xls:MS Excel 97", failure, whileWaiting);
    removeFile(input);
    return bytes;
}

} // namespace regdesk
