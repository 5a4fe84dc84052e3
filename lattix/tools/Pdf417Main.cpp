// pdf417: the encoder program the registration desk starts in its program directory. It encodes
// TxtTemp.txt with the settings of MakeBarCode.ini and leaves TempPdf.bmp, TempPdf.emf, TempPdf.wmf and
// TempCode.txt beside them. Exit status 0 when all four were written; otherwise a reason on stderr.
#include "RegdeskVersion.h"
#include "lattix.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kInputName = "TxtTemp.txt";
constexpr const char* kSettingsName = "MakeBarCode.ini";
constexpr std::size_t kMaxSettingsNameBytes = 255;
constexpr std::uintmax_t kMaxInputBytes = 2710; // the input buffer of Lattix()
constexpr const char* kOutputNames[] = {"TempPdf.bmp", "TempPdf.emf", "TempPdf.wmf", "TempCode.txt"};

struct BstrFree
{
    void operator()(char* text) const { SysFreeString(text); }
};
using BstrHandle = std::unique_ptr<char, BstrFree>;

int fail(const std::string& reason)
{
    std::fprintf(stderr, "pdf417: %s\n", reason.c_str());
    return 1;
}

int run(int argc, char** argv)
{
    std::error_code error;
    if (argc > 1) {
        fs::current_path(argv[1], error);
        if (error)
            return fail("cannot enter folder " + std::string(argv[1]) + ": " + error.message());
    }
    const fs::path folder = fs::current_path(error);
    if (error)
        return fail("cannot tell the working folder: " + error.message());
    if (!fs::is_regular_file(kInputName, error))
        return fail(std::string(kInputName) + " is missing in " + folder.string());
    // Lattix() takes the head of a longer file: the symbol would carry a cut payload without its end mark.
    const std::uintmax_t inputBytes = fs::file_size(kInputName, error);
    if (error)
        return fail(std::string("cannot read ") + kInputName + ": " + error.message());
    if (inputBytes > kMaxInputBytes)
        return fail(std::string(kInputName) + " holds " + std::to_string(inputBytes) + " bytes, more than the " +
                    std::to_string(kMaxInputBytes) + " one symbol takes; it is refused rather than cut");

    // Earlier outputs go first, so that a file left over from another run is never taken for this one's.
    for (const char* name : kOutputNames)
        fs::remove(name, error);

    // The library keeps 255 bytes of the name; a longer full path falls back to the bare name, which
    // it looks up in the working folder: the same file.
    const std::string settingsPath = (folder / kSettingsName).string();
    SetConFile(settingsPath.size() <= kMaxSettingsNameBytes ? settingsPath.c_str() : kSettingsName);
    const BstrHandle result(Lattix(kInputName));
    if (!result || SysStringByteLen(result.get()) == 0)
        return fail(std::string("cannot encode ") + kInputName +
                    ": it is empty or too long for one symbol, or TempPdf.bmp cannot be written");

    for (const char* name : kOutputNames) {
        if (!fs::is_regular_file(name, error))
            return fail(std::string(name) + " could not be written in " + folder.string());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::puts("pdf417 (Lattix) " REGDESK_VERSION);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::puts("Usage: pdf417 [FOLDER]\n"
                  "Encodes FOLDER/TxtTemp.txt (default: the current folder) into a PDF417 symbol with the\n"
                  "settings of MakeBarCode.ini, and writes TempPdf.bmp, TempPdf.emf, TempPdf.wmf and\n"
                  "TempCode.txt beside them. The registration desk starts it for each barcode.\n\n"
                  "Options:\n"
                  "  --help     show this help and exit\n"
                  "  --version  show the version and exit\n\n"
                  "Exit status: 0 all four files written; 1 otherwise, with the reason on standard error.");
        return 0;
    }
    try {
        return run(argc, argv);
    } catch (const std::exception& exception) {
        return fail(exception.what());
    }
}
