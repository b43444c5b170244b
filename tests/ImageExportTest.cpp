// The exported picture files: BMP bytes round trip, the JPEG decodes (by libjpeg itself) to
// the picture within the loss of quality 70, with the quality 70 tables, and the PNG decodes (by
// libpng) to the picture exactly.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "files/Bmp.h"
#include "files/ImageExport.h"
#include "files/Jpeg.h"
#include "TestSupport.h"
#include "files/Png.h"

namespace velmora {
namespace {

using testing::SamePicture;

// A smooth picture with a hard edge, different in each channel.
Picture24 TestPicture(int w, int h) {
    Picture24 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t edge = (x > w / 2) ? 200 : 40;
            p.SetPixel(x, y, static_cast<uint8_t>(255 * x / std::max(1, w - 1)), static_cast<uint8_t>(255 * y / std::max(1, h - 1)),
                       edge);
        }
    return p;
}

struct Decoded {
    Picture24 picture;
    std::vector<std::vector<unsigned>> quantTables;  // natural order
    bool progressive = false;
    int components = 0;
};

struct DecodeError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

Decoded DecodeJpeg(const std::string& bytes) {
    jpeg_decompress_struct cinfo{};
    DecodeError err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<DecodeError*>(c->err)->jump, 1); };
    Decoded out;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        throw std::runtime_error("not a JPEG libjpeg can read");
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    out.progressive = cinfo.progressive_mode;
    out.components = cinfo.num_components;
    for (int t = 0; t < NUM_QUANT_TBLS; ++t) {
        if (!cinfo.quant_tbl_ptrs[t]) continue;
        std::vector<unsigned> table(64);
        for (int k = 0; k < 64; ++k) table[k] = cinfo.quant_tbl_ptrs[t]->quantval[k];
        out.quantTables.push_back(table);
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Picture24 p(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
    std::vector<JSAMPLE> row(cinfo.output_width * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (int x = 0; x < p.width; ++x) p.SetPixel(x, y, row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out.picture = p;
    return out;
}

// The example tables of the JPEG standard (ITU-T T.81 Annex K, tables K.1 and K.2), natural order.
const unsigned luminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const unsigned chrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Quality q >= 50 scales the example tables by (200 - 2q) percent, rounded, held to 1..255.
std::vector<unsigned> Scaled(const unsigned* base, int quality) {
    std::vector<unsigned> t(64);
    const unsigned percent = 200 - 2 * quality;
    for (int k = 0; k < 64; ++k) t[k] = std::clamp((base[k] * percent + 50) / 100, 1u, 255u);
    return t;
}

TEST(ImageExport, BmpRoundTripIsExactForAnyWidth) {
    for (int w : {1, 2, 3, 256, 445}) {
        const Picture24 p = TestPicture(w, 7);
        const std::string bytes = EncodeBmp24(p);
        ASSERT_EQ(bytes.size(), 54u + static_cast<size_t>((w * 3 + 3) / 4 * 4) * 7) << w;
        Picture24 back;
        std::string problem;
        ASSERT_TRUE(DecodeBmp(bytes, back, problem)) << w << problem;
        EXPECT_TRUE(SamePicture(back, p)) << w;
    }
}

TEST(ImageExport, JpegDecodesCloseToThePictureWithQuality70Tables) {
    const Picture24 p = TestPicture(256, 256);
    const std::string bytes = EncodeJpeg(p);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xD8);
    const Decoded d = DecodeJpeg(bytes);
    EXPECT_FALSE(d.progressive) << "baseline";
    EXPECT_EQ(d.components, 3);
    ASSERT_EQ(d.picture.width, 256);
    ASSERT_EQ(d.picture.height, 256);
    ASSERT_EQ(d.quantTables.size(), 2u);
    EXPECT_EQ(d.quantTables[0], Scaled(luminance, 70));
    EXPECT_EQ(d.quantTables[1], Scaled(chrominance, 70));

    // Channel order kept (a swap of red and blue would be off by about 100 on average).
    double sum = 0;
    int worst = 0;
    for (size_t k = 0; k < p.bgr.size(); ++k) {
        const int e = std::abs(int(p.bgr[k]) - int(d.picture.bgr[k]));
        sum += e;
        worst = std::max(worst, e);
    }
    EXPECT_LT(sum / p.bgr.size(), 3.0);
    EXPECT_LT(worst, 90) << "only at the hard edge, where colour is subsampled";
    int away = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 100; ++x)
            for (int c = 0; c < 3; ++c)
                away = std::max(away, std::abs(int(p.ScanLine(y)[3 * x + c]) - int(d.picture.ScanLine(y)[3 * x + c])));
    EXPECT_LE(away, 8) << "away from the edge";
    EXPECT_NEAR(d.picture.Red(10, 128), p.Red(10, 128), 6);
    EXPECT_NEAR(d.picture.Blue(10, 128), 40, 6);
    EXPECT_NEAR(d.picture.Blue(240, 128), 200, 6);
}

TEST(ImageExport, JpegOfAnySizeAndTheFormatChoice) {
    for (auto [w, h] : {std::pair{1, 1}, {445, 400}, {17, 3}}) {
        const Decoded d = DecodeJpeg(EncodeJpeg(TestPicture(w, h)));
        EXPECT_EQ(d.picture.width, w);
        EXPECT_EQ(d.picture.height, h);
    }
    EXPECT_THROW(EncodeJpeg(Picture24()), std::runtime_error);

    EXPECT_EQ(FormatForFilterEntry(1), ImageFormat::Bmp);
    EXPECT_EQ(FormatForFilterEntry(2), ImageFormat::Jpeg);
    EXPECT_EQ(FormatForFilterEntry(3), ImageFormat::Bmp);
    EXPECT_EQ(ImageExtension(ImageFormat::Jpeg), ".jpg");
    EXPECT_EQ(FormatForFileName("out/psf.jpg"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatForFileName("PSF.JPG"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatForFileName("psf.jpeg.bmp"), ImageFormat::Bmp);
    EXPECT_EQ(FormatForFileName("jpg"), ImageFormat::Bmp);
    const Picture24 p = TestPicture(5, 5);
    EXPECT_EQ(EncodeImage(p, ImageFormat::Bmp), EncodeBmp24(p));
    EXPECT_EQ(EncodeImage(p, ImageFormat::Jpeg), EncodeJpeg(p, 70));
}

// libpng's own reader, asked for the picture's byte order.
Picture24 DecodePng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) throw std::runtime_error(image.message);
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_COLOR, PNG_FORMAT_FLAG_COLOR);
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u) << "no alpha channel";
    image.format = PNG_FORMAT_BGR;
    Picture24 p(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!png_image_finish_read(&image, nullptr, p.bgr.data(), p.width * 3, nullptr)) throw std::runtime_error(image.message);
    return p;
}

TEST(Png, DecodesToThePictureExactly) {
    for (auto [w, h] : {std::pair{256, 256}, std::pair{1, 1}, std::pair{7, 3}, std::pair{3, 7}}) {
        const Picture24 p = TestPicture(w, h);
        const std::string bytes = EncodePng(p);
        ASSERT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        EXPECT_EQ(DecodePng(bytes), p) << w << "x" << h;
    }
    EXPECT_THROW(EncodePng(Picture24()), std::runtime_error);
    EXPECT_EQ(EncodeImage(TestPicture(5, 5), ImageFormat::Png), EncodePng(TestPicture(5, 5)));
    EXPECT_EQ(ImageExtension(ImageFormat::Png), ".png");
}

TEST(ImageExport, TheCommandLineNameChoosesTheFormat) {
    EXPECT_EQ(FormatForOutputName("out/psf.bmp"), ImageFormat::Bmp);
    EXPECT_EQ(FormatForOutputName("psf.JPG"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatForOutputName("psf.jpeg"), ImageFormat::Jpeg);
    EXPECT_EQ(FormatForOutputName("psf.Png"), ImageFormat::Png);
    EXPECT_EQ(FormatForOutputName("psf.jpeg.bmp"), ImageFormat::Bmp);
    for (const char* other : {"psf", "psf.gif", "psf.png.txt", "out.png/psf", "psf.", "png"})
        EXPECT_EQ(FormatForOutputName(other), std::nullopt) << other;
}

}  // namespace
}  // namespace velmora
