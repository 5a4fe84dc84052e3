// regdesk-open DOCUMENT: registers a document in the desk as a word-processor
// add-in does. It writes the document's text into doctotxt.txt beside the
// desk (GBK, one paragraph per line, CR LF), starts the desk in add-in mode
// with the document's path, waits for it and prints the path of the barcode
// picture when this run registered the document.
//
// Exit status: 0 the picture's path was printed; 1 the desk ended without a
// registration; 2 the document was registered but its picture could not be
// written (nothing printed); 64 wrong usage; 66 no such document; 69 the desk
// could not be started.
#include "RegdeskVersion.h"
#include "desk/DocumentTextIntake.h"
#include "platform/FileSystem.h"
#include "platform/OfficeConverter.h"
#include "platform/ProgramLocation.h"
#include "platform/UniqueFd.h"
#include "settings/DeskFolder.h"
#include "settings/LaunchMode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace regdesk;

constexpr const char* kPictureListFile = "tempicpos.txt";
constexpr const char* kDeskProgram = "regdesk";
// LibreOffice's text export: GBK, one paragraph per line, Windows line ends.
constexpr const char* kTextTarget = "txt:Text (encoded):GBK,CRLF";
constexpr std::size_t kMaxPictureListBytes = 64 * 1024;
// Fixed names in the private folder: the document for LibreOffice and for the desk.
constexpr const char* kSourceLinkName = "source";
constexpr const char* kHandOverLinkName = "document.doc";
constexpr std::size_t kMaxExtensionBytes = 16;

void warn(const std::string& text)
{
    std::fprintf(stderr, "regdesk-open: %s\n", text.c_str());
}

// A folder of its own under TMPDIR, removed with everything in it.
class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/regdesk-open-XXXXXX";
        // Absolute: the paths made from it go to other programs.
        if (::mkdtemp(pattern.data()))
            m_path = absoluteNativePath(pattern);
    }
    ~TemporaryFolder()
    {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// At most `limit` bytes of a regular file, never through a link and never
// blocking on a pipe planted under the name.
std::optional<std::string> readFirstBytes(const std::string& path, std::size_t limit)
{
    return readRegularNativeFile(path, limit, FileLinks::Refuse, OversizeFile::Cut);
}

// Every line ended by CR LF, as the add-ins write the text on Windows.
std::string withCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// Writes a new file and renames it over `path`: a link planted under the
// name is replaced, not followed, and a full disk leaves no half file.
bool replaceFileContent(const std::string& folder, const std::string& path, const std::string& bytes,
                        std::string& reason)
{
    std::string work = folder + "/.doctotxt-XXXXXX";
    UniqueFd fd(::mkostemp(work.data(), O_CLOEXEC));
    if (!fd) {
        reason = std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    errno = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        written += static_cast<std::size_t>(count);
    }
    if (written != bytes.size())
        reason = std::strerror(errno != 0 ? errno : ENOSPC);
    else if (::fchmod(fd.get(), 0644) != 0 || ::close(fd.release()) != 0 || ::rename(work.c_str(), path.c_str()) != 0)
        reason = std::strerror(errno);
    else
        return true;
    ::unlink(work.c_str());
    return false;
}

// What the picture list file looked like, to tell whether the desk wrote it.
struct FileState
{
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    std::string content;

    static FileState of(const std::string& path)
    {
        FileState state;
        struct stat info
        {
        };
        if (::lstat(path.c_str(), &info) != 0)
            return state;
        state.exists = true;
        state.inode = info.st_ino;
        state.size = info.st_size;
        state.modified = info.st_mtim;
        state.content = readFirstBytes(path, kMaxPictureListBytes).value_or(std::string());
        return state;
    }

    bool sameAs(const FileState& other) const
    {
        return exists == other.exists && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               content == other.content;
    }
};

// A link to the document under a short fixed name in the private folder.
// Names derived from the document's own add bytes (LibreOffice's output and
// its lock file ".~lock.NAME#", the ".doc" of the hand-over), and a name near
// the file system's 255 bytes (83 Chinese characters) leaves no room for them.
// Empty when the link cannot be made.
std::string shortLink(const std::string& document, const std::string& workFolder, const std::string& name)
{
    const std::string link = workFolder + "/" + name;
    if (::symlink(document.c_str(), link.c_str()) != 0) {
        warn("cannot make " + link + ": " + std::strerror(errno));
        return {};
    }
    return link;
}

// The document's extension (LibreOffice takes it as a hint of the format),
// unless it is too long to be one.
std::string extensionOf(const std::string& document)
{
    std::string extension = std::filesystem::path(document).extension().string();
    return extension.size() <= kMaxExtensionBytes ? extension : std::string();
}

// Extracts the document's text into doctotxt.txt. A text left there by an
// earlier run belongs to another document and goes first, so a failed
// extraction leaves the form with its defaults rather than a stale text.
void writeDocumentText(const std::string& document, const std::string& deskFolder, const std::string& workFolder)
{
    const std::string textPath = deskFolder + "/" + DocumentTextIntake::kFileName;
    if (::unlink(textPath.c_str()) != 0 && errno != ENOENT)
        warn("cannot remove the old " + textPath + ": " + std::strerror(errno));

    const std::string source = shortLink(document, workFolder, kSourceLinkName + extensionOf(document));
    OfficeConverter converter;
    const OfficeConverter::Result result =
        converter.convert(fromNativePath(source.empty() ? document : source), kTextTarget, fromNativePath(workFolder));
    std::optional<std::string> text;
    if (result.converted)
        text = readFirstBytes(toNativePath(result.outputPath), DocumentTextIntake::kMaxFileBytes);
    if (!text) {
        warn("cannot extract the text of " + document + (result.reason.empty() ? "" : ": " + result.reason) +
             "; the form starts without it");
        return;
    }
    std::string reason;
    if (!replaceFileContent(deskFolder, textPath, withCrLf(*text), reason))
        warn("cannot write " + textPath + ": " + reason + "; the form starts without the text");
}

// The desk takes an add-in start from ".doc", ".docx" or ".wps" in its
// command line. Any other document (.odt, .DOC) is handed over as a link
// named with ".doc", in the private folder.
std::string pathForTheDesk(const std::string& document, const std::string& workFolder)
{
    if (holdsDocumentExtension(fromNativePath(document)))
        return document;
    const std::string link = shortLink(document, workFolder, kHandOverLinkName);
    return link.empty() ? document : link;
}

// Starts the desk and reaps it; its wait status, or nullopt when it could not start.
std::optional<int> runDesk(const std::string& desk, const std::string& document)
{
    std::string program = desk;
    std::string argument = document;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int failure = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (failure != 0) {
        warn("cannot start " + desk + ": " + std::strerror(failure));
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    return status;
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("regdesk-open " REGDESK_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("Usage: regdesk-open DOCUMENT\n"
                  "Registers DOCUMENT in the desk as a word-processor add-in does: writes its text into\n"
                  "doctotxt.txt in the desk folder, starts the desk in add-in mode and prints the path of\n"
                  "the barcode picture when the document was registered. The desk folder is the one\n"
                  "REGDESK_FOLDER names, else this program's folder.\n\n"
                  "Exit status: 0 the picture's path was printed; 1 the desk ended without a\n"
                  "registration; 2 registered, but the picture could not be written; 64 wrong usage;\n"
                  "66 no such document; 69 the desk could not be started.");
        return 0;
    }
    if (argc != 2) {
        std::fputs("usage: regdesk-open DOCUMENT\n", stderr);
        return 64;
    }
    std::error_code error;
    const std::string document = std::filesystem::absolute(argv[1], error).string();
    struct stat info
    {
    };
    if (error || ::stat(document.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        warn(std::string("no such document: ") + argv[1]);
        return 66;
    }
    const std::string programsFolder = std::filesystem::path(runningExecutablePath()).parent_path().string();
    const std::string deskFolder =
        namedDeskFolder(std::getenv(kDeskFolderVariable), std::filesystem::current_path(error).string())
            .value_or(programsFolder);
    TemporaryFolder work;
    if (work.path().empty()) {
        warn(std::string("cannot create a temporary folder: ") + std::strerror(errno));
        return 69;
    }

    writeDocumentText(document, deskFolder, work.path());

    const std::string pictureList = deskFolder + "/" + kPictureListFile;
    const FileState before = FileState::of(pictureList);
    const std::optional<int> status =
        runDesk(programsFolder + "/" + kDeskProgram, pathForTheDesk(document, work.path()));
    if (!status)
        return 69;
    if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
        warn("the desk ended abnormally (status " + std::to_string(*status) + ")");

    const FileState after = FileState::of(pictureList);
    if (!after.exists || after.sameAs(before)) {
        warn("the desk ended without registering the document");
        return 1;
    }
    // The desk writes the path in GBK; this terminal takes file names as they are on disk.
    const std::string picture = toNativePath(firstLine(after.content));
    // A registration whose picture could not be written still hands its path back.
    if (picture.empty() || ::stat(picture.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        warn("the document was registered, but its barcode picture could not be written" +
             (picture.empty() ? std::string() : ": " + picture));
        return 2;
    }
    std::printf("%s\n", picture.c_str());
    return 0;
}
