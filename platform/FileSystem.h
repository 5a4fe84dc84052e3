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

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openFile(const GbkString& path, const char* mode);

// Whole-file read; nullopt when the file cannot be opened or read.
std::optional<std::string> readWholeFile(const GbkString& path);

// Writes all bytes, replacing the file; false when any byte could not be written.
bool writeWholeFile(const GbkString& path, std::string_view bytes);

bool fileExists(const GbkString& path);
bool removeFile(const GbkString& path);

} // namespace regdesk
