// Time per symbol of Lattix and libzint encoding the same bytes in memory, with the same
// error-correction level and data columns.
#include "BitmapWriter.h"
#include "Encoder.h"
#include "SymbolSettings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <zint.h>

namespace {

using Clock = std::chrono::steady_clock;
using lattix::Bytes;

struct ZintDelete
{
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

// Microseconds per call: the best of five rounds of about 200 ms, so that other work on a shared
// machine disturbs the figure less.
double timePerCall(const std::function<void()>& call)
{
    call(); // warm up
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        int calls = 0;
        const Clock::time_point start = Clock::now();
        Clock::duration elapsed{};
        do {
            for (int i = 0; i < 20; ++i)
                call();
            calls += 20;
            elapsed = Clock::now() - start;
        } while (elapsed < std::chrono::milliseconds(200));
        best = std::min(best, std::chrono::duration<double, std::micro>(elapsed).count() / calls);
    }
    return best;
}

Bytes randomBytes(std::size_t size)
{
    std::mt19937 random(1000);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(size);
    for (auto& value : out)
        value = static_cast<std::uint8_t>(byte(random));
    return out;
}

// A registration payload in GBK, thirteen values in payload order, each closed by "^", then "^|"; the
// title is as long as it takes to make 300 bytes.
Bytes gbkPayload()
{
    const std::string before[] = {
        "GB0626-2005",                                                              // version
        "FY3100002024000012",                                                       // code number
        "\xb8\xdf\xbc\xb6\xc8\xcb\xc3\xf1\xb7\xa8\xd4\xba\xb0\xec\xb9\xab\xca\xd2", // 高级人民法院办公室
        "\xcd\xa8\xd6\xaa",                                                         // 通知
        "\xb7\xa8\xa1\xb2"
        "2024\xa1\xb3"
        "12\xba\xc5",                                               // 法〔2024〕12号
        "\xb8\xf7\xbb\xf9\xb2\xe3\xc8\xcb\xc3\xf1\xb7\xa8\xd4\xba", // 各基层人民法院
    };
    const std::string after[] = {
        "\xc3\xd8\xc3\xdc", // 秘密
        "\xc6\xd5\xcd\xa8", // 普通
        "20240102",
        "\xca\xa1\xbc\xb6",                                 // 省级
        "\xb8\xdf\xbc\xb6\xc8\xcb\xc3\xf1\xb7\xa8\xd4\xba", // 高级人民法院
        "20240102",
    };
    std::string head;
    for (const std::string& value : before)
        head += value + "^";
    std::string tail;
    for (const std::string& value : after)
        tail += value + "^";
    tail += "^|";
    // 关于做好档案管理工作的通知, repeated as needed.
    const std::string titleText = "\xb9\xd8\xd3\xda\xd7\xf6\xba\xc3\xb5\xb5\xb0\xb8\xb9\xdc\xc0\xed\xb9\xa4"
                                  "\xd7\xf7\xb5\xc4\xcd\xa8\xd6\xaa";
    std::string title;
    while (head.size() + title.size() + 1 + tail.size() < 300)
        title += titleText.substr(title.size() % titleText.size(), 2);
    const std::string payload = head + title.substr(0, 300 - head.size() - 1 - tail.size()) + "^" + tail;
    return Bytes(payload.begin(), payload.end());
}

void compare(const char* name, const Bytes& input, int level)
{
    lattix::SymbolSettings settings;
    settings.eccLevel = std::to_string(level);
    const std::optional<lattix::Symbol> check = lattix::encodeSymbol(input, settings);
    if (!check) {
        std::printf("%s: does not fit with level %d\n", name, level);
        return;
    }
    // Both libraries make symbols of the same number of data columns.
    const int cols = check->cols;
    settings.cols = cols;

    const std::unique_ptr<zint_symbol, ZintDelete> zint(ZBarcode_Create());
    const auto zintEncode = [&] {
        ZBarcode_Clear(zint.get());
        zint->symbology = BARCODE_PDF417;
        zint->option_1 = level;
        zint->option_2 = cols;
        zint->input_mode = DATA_MODE;
        ZBarcode_Encode(zint.get(), input.data(), static_cast<int>(input.size()));
    };
    zintEncode();
    if (zint->errtxt[0] != '\0' && zint->rows == 0) {
        std::printf("%s: zint refuses the input: %s\n", name, zint->errtxt);
        return;
    }
    const int zintRows = zint->rows;
    const int zintWidth = zint->width;

    const double lattixSymbol = timePerCall([&] {
        const std::optional<lattix::Symbol> symbol = lattix::encodeSymbol(input, settings);
        const lattix::SymbolImage image = lattix::drawSymbol(*symbol);
        if (image.width == 0)
            std::abort();
    });
    const double zintSymbol = timePerCall(zintEncode);
    const double lattixBitmap = timePerCall([&] {
        const Bytes bmp = lattix::encodeBitmap(lattix::drawSymbol(*lattix::encodeSymbol(input, settings)));
        if (bmp.empty())
            std::abort();
    });
    const double zintBitmap = timePerCall([&] {
        zintEncode();
        ZBarcode_Buffer(zint.get(), 0);
    });
    const double lattixFiles = timePerCall([&] {
        const lattix::SymbolFiles files = lattix::renderSymbolFiles(*lattix::encodeSymbol(input, settings));
        if (files.bitmap.empty())
            std::abort();
    });

    std::printf("%s (%zu bytes, level %d): Lattix %d x %d modules, zint %d x %d modules\n", name, input.size(), level,
                check->rows, 17 * check->cols + 69, zintRows, zintWidth);
    std::printf("  symbol matrix:  Lattix %8.1f us  zint %8.1f us  ratio Lattix/zint %.2f\n", lattixSymbol, zintSymbol,
                lattixSymbol / zintSymbol);
    std::printf("  with bitmap:    Lattix %8.1f us  zint %8.1f us  ratio Lattix/zint %.2f\n", lattixBitmap, zintBitmap,
                lattixBitmap / zintBitmap);
    std::printf("  all four files in memory (BMP, EMF, WMF, dump): Lattix %.1f us\n", lattixFiles);
}

} // namespace

int main()
{
    compare("1000 random bytes", randomBytes(1000), 5);
    compare("300-byte GBK payload", gbkPayload(), 5);
    compare("300-byte GBK payload", gbkPayload(), 3);
    return 0;
}
