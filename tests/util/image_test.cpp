// PNG written by us and read by libpng, an independent decoder.
#include <gtest/gtest.h>

#include <string>

#include "util/image.h"

#if defined(MOLV_HAVE_LIBPNG)
#include <png.h>
#endif

namespace molv {
namespace {

TEST(Image, PngRoundTripsThroughLibpngAndOurDecoder) {
    // Odd sizes, every byte unlike its neighbours and every row unlike the
    // next: row order, channel order and padding all show in a round trip.
    Image img(37, 23);
    for (std::size_t i = 0; i < img.rgb.size(); ++i) img.rgb[i] = static_cast<std::uint8_t>(i * 7 + i / 111);
    const std::string png = encodePng(img);
    ASSERT_FALSE(png.empty());
    Image back;
    std::string err;
    ASSERT_TRUE(decodeImage(png, "x.png", back, err)) << err;
    EXPECT_EQ(back.width, 37);
    EXPECT_EQ(back.height, 23);
    EXPECT_EQ(back.rgb, img.rgb);
    EXPECT_TRUE(encodePng(Image()).empty());
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

}  // namespace
}  // namespace molv
