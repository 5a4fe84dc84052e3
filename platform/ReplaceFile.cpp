#include "platform/ReplaceFile.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regdesk {

bool replaceFile(const GbkString& path, std::string_view bytes, std::string& reason)
{
    const std::string native = toNativePath(path);
    const std::size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : native.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    if (name.empty()) {
        reason = "not a file name";
        return false;
    }
    std::string temporary = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd) {
        reason = std::strerror(errno);
        return false;
    }
    const auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        reason = std::strerror(error);
        return false;
    };
    // mkostemp makes the file private; the written file is an ordinary document.
    if (::fchmod(fd.get(), 0644) != 0)
        return fail(errno);
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t count = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return fail(count < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(count);
    }
    if (::fsync(fd.get()) != 0)
        return fail(errno);
    if (::close(fd.release()) != 0)
        return fail(errno);
    if (::rename(temporary.c_str(), native.c_str()) != 0)
        return fail(errno);
    return true;
}

} // namespace regdesk
