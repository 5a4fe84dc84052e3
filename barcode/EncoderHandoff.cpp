#include "barcode/EncoderHandoff.h"

#include "barcode/BarcodePayload.h"
#include "barcode/BarcodeSelfCheck.h"
#include "barcode/EmfPicture.h"
#include "platform/DiagnosticsLog.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProcessList.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace regdesk {
namespace {

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// One level, as the desk always did; a failure shows later as a picture that
// cannot be written.
void ensureFolder(const GbkString& folder)
{
    if (!folder.empty() && !fileExists(folder))
        ::mkdir(toNativePath(folder).c_str(), 0777);
}

// The encoder's bitmaps are a few kilobytes; anything far beyond is not one.
constexpr std::size_t kMaxBitmapBytes = std::size_t{16} << 20;

// Width and Height are in millimetres; 3.7 device pixels each, cut toward zero.
int scaledSize(int millimetres)
{
    // Clamped rather than wrapped: a huge setting must not become a small size.
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(millimetres) * 37 / 10, INT_MIN, INT_MAX));
}

} // namespace

int isProcessRunning(const ProcessList& processes, const GbkString& executableName)
{
    const std::optional<std::vector<std::string>> names = processes.executableNames();
    if (!names)
        return -1;
    const std::string wanted = lowerCase(toNativePath(executableName));
    return std::any_of(names->begin(), names->end(), [&](const std::string& name) { return lowerCase(name) == wanted; })
               ? 1
               : 0;
}

GbkString safePictureName(const GbkString& number)
{
    GbkString safe = number;
    for (std::size_t pos = 0; pos < safe.size();) {
        const std::size_t length = gbkCharLength(safe, pos);
        if (length == 1) {
            const char c = safe[pos];
            const bool dotRun =
                c == '.' && ((pos + 1 < safe.size() && safe[pos + 1] == '.') || (pos > 0 && (number[pos - 1] == '.')));
            if (c == '/' || c == '\\' || c == '\0' || dotRun)
                safe[pos] = '_';
        }
        pos += length;
    }
    return safe;
}

const std::vector<GbkString>& EncoderHandoff::exchangeFiles()
{
    static const std::vector<GbkString> files = {"TempPdf.emf",  "TempPdf.wmf", "TempPdf.bmp",
                                                 "TempCode.txt", "TxtTemp.txt", "MakeBarCode.ini"};
    return files;
}

GbkString EncoderHandoff::encoderName()
{
    return "pdf417";
}

EncoderHandoff::EncoderHandoff(GbkString programDirectory, ProcessLauncher& launcher, const ProcessList& processes,
                               const Clock& clock, GbkString encoderFolder)
    : m_programDirectory(std::move(programDirectory)), m_encoderFolder(std::move(encoderFolder)), m_launcher(launcher),
      m_processes(processes), m_clock(clock)
{
    if (m_encoderFolder.empty())
        m_encoderFolder = m_programDirectory;
}

EncoderHandoff::~EncoderHandoff() = default;

std::string EncoderHandoff::barcodeSettingsText(const SettingsFile& settings)
{
    const GbkString section = utf8ToGbk(SettingsKeys::kPdfList);
    std::string text = "[PDF]\r\n";
    const int count = settings.countEntries(section);
    for (int i = 0; i < count; ++i)
        text += settings.entryName(section, i) + "=" + settings.entryValue(section, i) + "\r\n";
    return text;
}

const std::vector<GbkString>& EncoderHandoff::outputFiles()
{
    static const std::vector<GbkString> files(exchangeFiles().begin(), exchangeFiles().begin() + 4);
    return files;
}

std::optional<DeskNotice> EncoderHandoff::start(const GbkString& payload, const SettingsFile& settings)
{
    m_endSeen.reset();
    m_process.reset();
    m_handedOver = BarcodePayload::exchangeFileText(payload);
    const auto failure = [this](const GbkString& name, int error) {
        DiagnosticsLog::forDesk(m_programDirectory, "regdesk")
            .write(LogPriority::Error,
                   "barcode hand-off not started: " + gbkToUtf8(name) + ": " + std::strerror(error));
        return DeskNotice{"条码生成失败"_gbk + "\r\n" + name + ": " + utf8ToGbk(std::strerror(error)), {}};
    };
    // Pictures of an earlier run must not be taken for this one's.
    for (const GbkString& name : outputFiles()) {
        if (!removeFile(joinPath(m_programDirectory, name)) && errno != ENOENT)
            return failure(name, errno);
    }
    const std::pair<GbkString, std::string> inputs[] = {
        {"TxtTemp.txt", m_handedOver},
        {"MakeBarCode.ini", barcodeSettingsText(settings)},
    };
    for (const auto& [name, text] : inputs) {
        if (const int error = replaceFile(joinPath(m_programDirectory, name), text); error != 0)
            return failure(name, error);
    }
    m_process = m_launcher.start(joinPath(m_encoderFolder, encoderName()), {m_programDirectory}, m_programDirectory);
    return std::nullopt;
}

EncoderHandoff::Poll EncoderHandoff::poll()
{
    Poll result;
    if (!m_process)
        return result;
    // Asking our own child first also reaps it, so it no longer shows as running.
    const bool ended = m_process->hasEnded();
    if (ended && !m_endSeen)
        m_endSeen = m_clock.now();

    const int running = isProcessRunning(m_processes, encoderName());
    if (running < 0)
        result.notice = DeskNotice{"进程意外"_gbk, {}};
    if (running != 0)
        return result;

    const bool allThere = std::all_of(exchangeFiles().begin(), exchangeFiles().end(), [this](const GbkString& name) {
        return fileExists(joinPath(m_programDirectory, name));
    });
    if (allThere) {
        result.state = State::Ready;
        m_process.reset();
        return result;
    }
    if (m_endSeen && m_clock.now() - *m_endSeen >= kGiveUpAfter) {
        GbkString text = "条码生成失败"_gbk;
        std::string reason = m_process->errorOutput();
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        if (!reason.empty())
            text += "\r\n" + utf8ToGbk(reason);
        result.state = State::Failed;
        DiagnosticsLog::forDesk(m_programDirectory, "regdesk")
            .write(LogPriority::Error, "barcode hand-off failed: the encoder ended without its files: " +
                                           (reason.empty() ? std::string("no reason given") : reason));
        result.notice = DeskNotice{text, {}};
        m_process.reset();
    }
    return result;
}

EncoderHandoff::PickUp EncoderHandoff::pickUp(const SettingsFile& settings, const GbkString& firstRowNumber,
                                              const std::function<bool()>& save)
{
    PickUp result;
    result.folder = settings.getString(SettingsKeys::kOutputFolder);
    // Without a folder the picture would land in the file system's root: it is
    // not written then, and the clerk hears so as for any unwritable folder.
    if (!result.folder.empty()) {
        ensureFolder(result.folder);
        GbkString folderWithSeparator = result.folder;
        if (folderWithSeparator.back() != kPathSeparator)
            folderWithSeparator += kPathSeparator;
        result.outputPath = folderWithSeparator + safePictureName(firstRowNumber) + ".emf";
    }

    const int width = scaledSize(settings.getInteger(SettingsKeys::kPictureWidth));
    const int height = scaledSize(settings.getInteger(SettingsKeys::kPictureHeight));
    const std::optional<std::string> bitmap =
        readRegularFile(joinPath(m_programDirectory, "TempPdf.bmp"), kMaxBitmapBytes);
    std::optional<std::string> picture = bitmap ? EmfPicture::stretchedBitmap(*bitmap, width, height) : std::nullopt;
    const auto removeExchangeFiles = [this] {
        for (const GbkString& name : exchangeFiles())
            removeFile(joinPath(m_programDirectory, name));
    };

    // The picture waits beside its name until it has passed and its
    // registration is saved; what is checked is the file that is then renamed.
    GbkString staged;
    if (picture && !result.outputPath.empty() && writeWholeFile(result.outputPath + ".check", *picture))
        staged = result.outputPath + ".check";
    if (!staged.empty() && BarcodeSelfCheck::isEnabled(settings)) {
        if (std::optional<GbkString> failure = BarcodeSelfCheck::checkPictureFile(staged, m_handedOver)) {
            removeFile(staged);
            result.notices.push_back(BarcodeSelfCheck::failureNotice(*failure));
            result.selfCheckFailure = std::move(failure);
            removeExchangeFiles();
            return result;
        }
    }

    const bool registered = !save || save();

    if (picture && !registered && !result.outputPath.empty() && fileExists(result.outputPath)) {
        // A declined overwrite keeps the registered document, so its picture stays too.
        if (!staged.empty())
            removeFile(staged);
        result.heldPicture = std::move(picture);
    } else {
        if (!result.outputPath.empty())
            removeFile(result.outputPath);
        result.pictureWritten = !staged.empty() && moveFile(staged, result.outputPath);
        if (!result.pictureWritten) {
            if (!staged.empty())
                removeFile(staged);
            result.notices.push_back({"图像转化出错"_gbk, {}});
        }
    }

    removeExchangeFiles();
    return result;
}

} // namespace regdesk
