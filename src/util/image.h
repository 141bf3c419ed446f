// RGB pictures in memory, PNG encoding, and decoding of the texture formats
// a model may name (BMP, PNG, JPEG, TGA). The codecs are stb's (Debian
// libstb); nothing here touches a file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace molv {

// 8-bit RGB, rows top to bottom, no padding.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3) {}
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t* at(int x, int y) { return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3; }
    const std::uint8_t* at(int x, int y) const {
        return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

// Larger pictures are refused, so a texture's header cannot ask for
// gigabytes.
inline constexpr int kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{16} << 20;

// PNG file bytes of the image; empty when it cannot be encoded.
std::string encodePng(const Image& image);

// Decodes a BMP, PNG or JPEG file (told by its first bytes) or, when
// `name` ends in ".tga", a TGA file; alpha is dropped. False with err set
// when the bytes are none of these, damaged or too large.
bool decodeImage(std::string_view bytes, std::string_view name, Image& out, std::string& err);

}  // namespace molv
