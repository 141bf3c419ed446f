// Pictures: PNG written by us and read by libpng, an independent decoder;
// what the texture decoder refuses.
#include <gtest/gtest.h>

#include <string>

#include "util/image.h"

#if defined(MOLV_HAVE_LIBPNG)
#include <png.h>
#endif

namespace molv {
namespace {

// Odd sizes, every channel varying: row order, channel order and padding
// all show in a round trip.
Image pattern(int w, int h) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = img.at(x, y);
            p[0] = static_cast<std::uint8_t>(x * 7 + y);
            p[1] = static_cast<std::uint8_t>(y * 11);
            p[2] = static_cast<std::uint8_t>((x * y * 13) ^ 0x5A);
        }
    return img;
}

TEST(Image, PngRoundTripsThroughLibpngAndOurDecoder) {
    const Image img = pattern(37, 23);
    const std::string png = encodePng(img);
    ASSERT_FALSE(png.empty());
    Image back;
    std::string err;
    ASSERT_TRUE(decodeImage(png, "x.png", back, err)) << err;
    EXPECT_EQ(back.width, 37);
    EXPECT_EQ(back.height, 23);
    EXPECT_EQ(back.rgb, img.rgb);
#if defined(MOLV_HAVE_LIBPNG)
    png_image pi{};
    pi.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&pi, png.data(), png.size())) << pi.message;
    pi.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(pi));
    ASSERT_TRUE(png_image_finish_read(&pi, nullptr, pixels.data(), 0, nullptr)) << pi.message;
    EXPECT_EQ(pi.width, 37u);
    EXPECT_EQ(pi.height, 23u);
    EXPECT_EQ(pixels, img.rgb);
#else
    GTEST_SKIP() << "libpng not found: only our own decoder checked";
#endif
}

TEST(Image, DecoderRefusesWhatIsNoTextureOrTooLarge) {
    // A BMP header claiming 100000 x 100000 pixels, and no pixels.
    std::string huge("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\xA0\x86\x01\0\xA0\x86\x01\0\x01\0\x18\0", 30);
    huge += std::string(24, '\0');
    const std::string gif = "GIF89a\x01\0\x01\0\0\0\0;";
    const struct {
        std::string bytes, name, err;
    } rows[] = {
        {"", "a.png", "not a BMP, PNG, JPEG or TGA"},
        {gif, "a.gif", "not a BMP, PNG, JPEG or TGA"},  // stb reads it; a texture may not be one
        {huge, "a.bmp", "too large"},
        {"\x89PNG\r\n\x1a\n broken", "a.png", "unreadable image"},
        {"\x01\x02", "a.TGA", "unreadable image"},  // told by its name, then refused
        {std::string(encodePng(pattern(4, 4))).substr(0, 40), "cut.png", "unreadable image"},
        // Huffman code counts over 256 would make the decoder write past its tables (found by fuzz_image),
        // also when they run past the end of the file.
        {std::string("\xFF\xD8\xFF\xC4\x00\x13\x00", 7) + std::string(16, '\xFF'), "a.jpg", "Huffman table"},
        {std::string("\xFF\xD8\xFF\xC4\x01\x00\x10\x80\x81", 9), "a.jpg", "Huffman table"},
        {std::string("\xFF\xFF\xD8\xFF\xC4\x00\x13\x00", 8) + std::string(16, '\xFF'), "a.tga", "Huffman table"},
        // Exactly 256 codes fit: the decoder gets the file and finds it cut short.
        {std::string("\xFF\xD8\xFF\xC4\x01\x13\x00", 7) + std::string(16, '\x10') + std::string(256, '\xFF'), "a.jpg",
         "unreadable image"},
        {"GIF89a\x01\0\x01\0\0\0\0;", "a.tga", "not a BMP, PNG, JPEG or TGA"},  // named .tga, still a GIF
        // An IDAT declaring 2 GB in a file of 60 bytes made the decoder ask for 3 GB (found by fuzz_image).
        {std::string(encodePng(pattern(4, 4))).substr(0, 33) + std::string("\x7F\xFF\xFF\xF0IDAT\x78\x01", 10) + std::string(17, '\0'),
         "a.tga", "chunk runs past the end"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Image out;
        std::string err;
        EXPECT_FALSE(decodeImage(row.bytes, row.name, out, err));
        EXPECT_NE(err.find(row.err), std::string::npos) << err;
        EXPECT_TRUE(out.empty());
    }
    EXPECT_TRUE(encodePng(Image()).empty());
}

}  // namespace
}  // namespace molv
