// Times reading a list section of document.ini the way the desk fills its boxes and MakeBarCode.ini:
// open, count the entries, read every name and value. Prints medians; asserts nothing.
#include "platform/FileSystem.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace regdesk;
using BenchClock = std::chrono::steady_clock;

namespace {

// One read of the whole list; the byte count keeps the work from being optimised away.
std::size_t readList(const GbkString& path)
{
    const SettingsFile settings(path);
    const int count = settings.countEntries("PDF");
    std::size_t bytes = 0;
    for (int i = 0; i < count; ++i)
        bytes += settings.entryName("PDF", i).size() + settings.entryValue("PDF", i).size();
    return bytes;
}

void timeList(const std::string& folder, int entries)
{
    // Short entries, so that 200,000 of them stay within the reader's 1 MiB.
    std::string text = "[PDF]\r\n";
    for (int i = 0; i < entries; ++i)
        text += "k=" + std::string(1, static_cast<char>('a' + i % 26)) + "\r\n";
    const GbkString path = joinPath(folder, "document.ini");
    if (!writeWholeFile(path, text)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return;
    }
    std::vector<double> samples;
    std::size_t bytes = 0;
    for (int run = 0; run < 7; ++run) {
        const auto start = BenchClock::now();
        bytes = readList(path);
        samples.push_back(std::chrono::duration<double, std::milli>(BenchClock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    std::printf("list of %7d entries (%zu bytes): open, count and read all in %8.2f ms (median of %zu)%s\n", entries,
                text.size(), samples[samples.size() / 2], samples.size(), bytes == 0 ? " [read nothing]" : "");
}

} // namespace

int main()
{
    char pattern[] = "/tmp/regdesk-settings-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string folder = pattern;
    std::printf("goal: a 200,000-entry list section read in well under a second\n");
    for (const int entries : {2000, 20000, 200000})
        timeList(folder, entries);
    removeFile(joinPath(folder, "document.ini"));
    ::rmdir(pattern);
    return 0;
}
