// The C interface of Lattix. Every export catches everything and answers with its failure result.
#include "Encoder.h"
#include "InputFiles.h"
#include "ScanReader.h"
#include "lattix.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr std::size_t kSettingsNameBytes = 256;
constexpr UINT kResultBytes = 128;

// The settings file of all later encodings; plain data so that loading the library runs no code.
// SetConFile may run on one thread while InitRead reads the name on another: the lock keeps either from
// seeing half of the other's name.
struct SettingsFileName
{
    std::mutex lock;
    char text[kSettingsNameBytes];
};
constinit SettingsFileName g_settingsFileName{{}, "EnCode.ini"};

std::string settingsFileName()
{
    const std::lock_guard guard(g_settingsFileName.lock);
    return g_settingsFileName.text;
}

BSTR successResult()
{
    char result[kResultBytes] = {};
    std::memcpy(result, lattix::kBitmapFileName, std::strlen(lattix::kBitmapFileName));
    return SysAllocStringByteLen(result, kResultBytes);
}

BSTR failureResult()
{
    return SysAllocStringByteLen(nullptr, 0);
}

BSTR encodeAndReport(lattix::ByteView data)
{
    const lattix::EncodeOutcome outcome = lattix::encodeToFiles(data, settingsFileName());
    return outcome == lattix::EncodeOutcome::Written ? successResult() : failureResult();
}

} // namespace

extern "C" {

LATTIX_API BSTR LATTIX_CALL MakePdf417(const char* text, const char* image, const char* other)
{
    try {
        const lattix::ThreePartBlock block = lattix::readThreePartInput(text, image, other);
        if (block.isEmpty())
            return failureResult();
        return encodeAndReport(block.bytes());
    } catch (...) {
        return failureResult();
    }
}

LATTIX_API BSTR LATTIX_CALL Lattix(const char* path)
{
    try {
        const std::optional<lattix::Bytes> bytes = lattix::readSingleFileInput(path);
        if (!bytes)
            return failureResult();
        return encodeAndReport(*bytes);
    } catch (...) {
        return failureResult();
    }
}

LATTIX_API int LATTIX_CALL SetConFile(const char* name)
{
    try {
        if (!name)
            return 0;
        const std::size_t length = std::min(std::strlen(name), kSettingsNameBytes - 1);
        const std::lock_guard guard(g_settingsFileName.lock);
        std::memcpy(g_settingsFileName.text, name, length);
        g_settingsFileName.text[length] = '\0';
    } catch (...) {
    }
    return 0;
}

// --- Scan reader ---------------------------------------------------------------------------------

LATTIX_API int LATTIX_CALL InitRead(HWND window, const char* folder)
{
    try {
        // On POSIX the window is the host's notification descriptor carried in the handle.
        const auto descriptor = reinterpret_cast<std::intptr_t>(window);
        if (descriptor <= 0 || descriptor > INT32_MAX || !folder)
            return 1;
        return lattix::processScanReader().start(static_cast<int>(descriptor), folder,
                                                 [] { return lattix::ScanPortSettings::readFile(settingsFileName()); });
    } catch (...) {
        return 1;
    }
}

LATTIX_API int LATTIX_CALL CloseRead(void)
{
    try {
        return lattix::processScanReader().stop();
    } catch (...) {
        return 1;
    }
}

} // extern "C"
