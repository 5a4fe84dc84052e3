#pragma once

#include "Bytes.h"

#include <filesystem>
#include <string>

namespace lattix::test {

// A fresh folder under the system's temporary folder, removed again with everything in it.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Makes the folder the current one for the life of the object.
class CurrentFolder
{
public:
    explicit CurrentFolder(const std::filesystem::path& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path m_previous;
};

void writeBytes(const std::string& path, ByteView bytes);
void writeText(const std::string& path, const std::string& text);
Bytes readBytes(const std::string& path);

} // namespace lattix::test
