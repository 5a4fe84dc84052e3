#pragma once

#include "platform/Gbk.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace regdesk {

// The one place where GBK paths meet the file system. Paths inside the desk
// are GBK texts; the file system here takes UTF-8 names.

inline constexpr char kPathSeparator = '/';

std::string toNativePath(const GbkString& path);
GbkString fromNativePath(const std::string& nativePath);

// `directory` + separator + `name`.
GbkString joinPath(const GbkString& directory, const GbkString& name);

// The native path made absolute against the current folder, for handing to
// another program: a relative name starting with "-" would be read as an
// option there. Unchanged when already absolute or empty.
std::string absoluteNativePath(const std::string& nativePath);

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openFile(const GbkString& path, const char* mode);

// Whole-file read; nullopt when the file cannot be opened or read.
std::optional<std::string> readWholeFile(const GbkString& path);

class UniqueFd;

// Whether readRegularFile opens the file a symbolic link at the name points to.
enum class FileLinks
{
    Follow, // a file the clerk names (a settings file, a chosen sheet) may be a link
    Refuse, // a name in a folder others can write to: a planted link is no file
};

// What readRegularFile does with a file larger than its limit.
enum class OversizeFile
{
    Refuse, // nullopt, also when the file grows past the limit while being read
    Cut,    // its first `maxBytes` bytes
};

// The file's bytes when it is a regular file (judged on what was opened, so
// a link's target under FileLinks::Follow); nullopt for anything else
// (missing, unreadable, a folder, a FIFO, a device, a refused link or size).
// Opening never blocks, whatever stands at the name. With `opened`, the
// descriptor read stays open there, for a reader that must open the same file
// again by name (/proc/self/fd/N).
std::optional<std::string> readRegularNativeFile(const std::string& nativePath, std::size_t maxBytes,
                                                 FileLinks links = FileLinks::Follow,
                                                 OversizeFile oversize = OversizeFile::Refuse,
                                                 UniqueFd* opened = nullptr);

// readRegularNativeFile() of a GBK path.
std::optional<std::string> readRegularFile(const GbkString& path, std::size_t maxBytes,
                                           FileLinks links = FileLinks::Follow,
                                           OversizeFile oversize = OversizeFile::Refuse, UniqueFd* opened = nullptr);

// How much care replaceFile takes of the new file.
enum class Durability
{
    Cached, // scratch files of an exchange: the system writes them when it likes
    Synced, // a file the office keeps (document.ini): on disk before the rename, the
            // rename on disk too, and the replaced file's permissions kept
};

// Replaces the file at `path` with exactly these bytes without writing
// through whatever stands at that name: the bytes go into a new file beside
// it, created exclusively (never through a link), which is then renamed over
// the name. A link planted there is replaced, not followed, and when any step
// fails the old file stays as it was. 0 on success, else the errno of the
// step that failed.
int replaceFile(const GbkString& path, std::string_view bytes, Durability durability = Durability::Cached);

// replaceFile() as a yes or no.
bool writeWholeFile(const GbkString& path, std::string_view bytes);

// Renames `from` over `to` in one step (what stands at `to` is replaced, a
// link there is not followed); false when it cannot be done.
bool moveFile(const GbkString& from, const GbkString& to);

bool fileExists(const GbkString& path);
bool removeFile(const GbkString& path);

} // namespace regdesk
