// TempPdf.emf and TempPdf.wmf must render decodable in other programs: LibreOffice Draw for both, and
// emf2svg with librsvg for the EMF. Skipped when those tools are not installed.
#include "BitmapWriter.h"
#include "Encoder.h"
#include "SymbolSettings.h"
#include "support/TempFolder.h"
#include "support/ZxingDecoder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <png.h>
#include <string>

namespace lattix {
namespace {

using test::TempFolder;

bool haveProgram(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

struct GreyImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

std::optional<GreyImage> loadPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return std::nullopt;
    image.format = PNG_FORMAT_GRAY;
    GreyImage grey;
    grey.width = static_cast<int>(image.width);
    grey.height = static_cast<int>(image.height);
    grey.pixels.resize(PNG_IMAGE_SIZE(image));
    // Transparent areas of the page count as white.
    png_color background{255, 255, 255};
    if (!png_image_finish_read(&image, &background, grey.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return grey;
}

// Cuts the picture to its dark pixels, then scales it so that a module is at least 2 x 4 pixels and
// adds a quiet zone, as the decoder needs.
std::optional<Bytes> decodeRendering(const GreyImage& page, int modulesWide, int rowsHigh)
{
    int left = page.width, right = -1, top = page.height, bottom = -1;
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            if (page.pixels[static_cast<std::size_t>(y * page.width + x)] < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return std::nullopt;
    const int width = right - left + 1;
    const int height = bottom - top + 1;
    const int scaleX = std::max(1, (2 * modulesWide + width - 1) / width);
    const int scaleY = std::max(1, (4 * rowsHigh + height - 1) / height);
    const int quiet = 8 * scaleX;
    const int outWidth = width * scaleX + 2 * quiet;
    const int outHeight = height * scaleY + 2 * quiet;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outWidth * outHeight), 255);
    for (int y = 0; y < height * scaleY; ++y) {
        for (int x = 0; x < width * scaleX; ++x) {
            const std::uint8_t value =
                page.pixels[static_cast<std::size_t>((top + y / scaleY) * page.width + left + x / scaleX)];
            out[static_cast<std::size_t>((y + quiet) * outWidth + x + quiet)] = value < 128 ? 0 : 255;
        }
    }
    return test::decodeGreyImage(out, outWidth, outHeight);
}

struct RenderCase
{
    const char* name;
    std::string input;
    int cols;
    int truncated;
};

const RenderCase kRenderCases[] = {
    {"SmallThreeRows", "AB", 0, 0},
    {"PayloadFiveColumns",
     "GB0626-2005^\xb7\xa8\xa1\xb2"
     "2024\xa1\xb3"
     "12\xba\xc5^20240102^\xc3\xd8\xc3\xdc^^|",
     5, 0},
    {"WideThirtyColumns", std::string(300, 'x') + "0123456789012345678901234567890", 30, 0},
    {"Truncated", "truncated symbol with a single closing bar", 3, 1},
};

class MetafileRendering : public testing::TestWithParam<RenderCase>
{
protected:
    void SetUp() override
    {
        const RenderCase& c = GetParam();
        SymbolSettings settings;
        settings.cols = c.cols;
        settings.truncated = c.truncated;
        const std::optional<Symbol> symbol = encodeSymbol(Bytes(c.input.begin(), c.input.end()), settings);
        ASSERT_TRUE(symbol.has_value());
        const SymbolImage image = drawSymbol(*symbol);
        m_width = image.width;
        m_height = image.height;
        m_files = renderSymbolFiles(*symbol);
        test::writeBytes(m_folder.file("TempPdf.emf"), m_files.enhancedMetafile);
        test::writeBytes(m_folder.file("TempPdf.wmf"), m_files.windowsMetafile);
    }

    void expectDecodes(const std::string& png)
    {
        ASSERT_TRUE(std::filesystem::is_regular_file(png)) << png << " was not rendered";
        const std::optional<GreyImage> page = loadPng(png);
        ASSERT_TRUE(page.has_value());
        const std::optional<Bytes> decoded = decodeRendering(*page, m_width, m_height);
        ASSERT_TRUE(decoded.has_value()) << png << " does not decode";
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), GetParam().input);
    }

    void renderWithLibreOffice(const std::string& name)
    {
        // A private profile, so that a running office does not take the job; soffice ends with 0 even
        // when it fails, so the output is checked instead.
        const std::string command =
            "cd '" + m_folder.path().string() + "' && timeout -k 10 180 soffice -env:UserInstallation=file://" +
            m_folder.file("profile") + " --headless --convert-to png --outdir out " + name + " >/dev/null 2>&1";
        run(command);
    }

    TempFolder m_folder;
    SymbolFiles m_files;
    int m_width = 0;
    int m_height = 0;
};

TEST_P(MetafileRendering, LibreOfficeRendersBothMetafilesDecodable)
{
    if (!haveProgram("soffice"))
        GTEST_SKIP() << "soffice (libreoffice-draw-nogui) is not installed";
    renderWithLibreOffice("TempPdf.emf");
    expectDecodes(m_folder.file("out/TempPdf.png"));
    std::filesystem::remove(m_folder.file("out/TempPdf.png"));
    renderWithLibreOffice("TempPdf.wmf");
    expectDecodes(m_folder.file("out/TempPdf.png"));
}

TEST_P(MetafileRendering, Emf2svgRendersTheEnhancedMetafileDecodable)
{
    if (!haveProgram("emf2svg-conv") || !haveProgram("rsvg-convert"))
        GTEST_SKIP() << "emf2svg-conv (emf2svg) or rsvg-convert (librsvg2-bin) is not installed";
    const std::string folder = m_folder.path().string();
    ASSERT_TRUE(run("cd '" + folder + "' && emf2svg-conv -i TempPdf.emf -o emf.svg >/dev/null 2>&1"));
    ASSERT_TRUE(run("cd '" + folder + "' && rsvg-convert -z 4 -b white emf.svg -o emf.png >/dev/null 2>&1"));
    expectDecodes(m_folder.file("emf.png"));
}

INSTANTIATE_TEST_SUITE_P(Cases, MetafileRendering, testing::ValuesIn(kRenderCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace lattix
