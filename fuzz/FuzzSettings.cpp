// Fuzzes the reader of document.ini: any file text, every section's keys and list entries read back.
#include "settings/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reader takes a path: an in-memory file stands in for document.ini.
    const int fd = memfd_create("document.ini", MFD_CLOEXEC);
    if (fd < 0)
        std::abort();
    if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    const regdesk::SettingsFile settings("/proc/self/fd/" + std::to_string(fd));
    for (const regdesk::GbkString& section : settings.sectionNames()) {
        const int count = settings.countEntries(section);
        for (int i = 0; i <= count; ++i) {
            const regdesk::GbkString name = settings.entryName(section, i);
            if (name.size() > regdesk::SettingsFile::kMaxNameLength)
                std::abort();
            const regdesk::GbkString value = settings.entryValue(section, i);
            if (value.find_first_of("\r\n") != std::string::npos)
                std::abort();
            settings.getString(section, name);
        }
        settings.getInteger(section, "Width");
    }
    ::close(fd);
    return 0;
}
