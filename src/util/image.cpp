#include "util/image.h"

#include <climits>
#include <cstring>

#include <stb_image.h>
#include <stb_image_write.h>

#include "util/text.h"

namespace molv {

namespace {

void appendBytes(void* context, void* data, int size) {
    if (size > 0) static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

std::string encodePng(const Image& image) {
    if (image.empty() || image.width > kMaxImageSide || image.height > kMaxImageSide ||
        image.rgb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3)
        return {};
    std::string png;
    if (!stbi_write_png_to_func(&appendBytes, &png, image.width, image.height, 3, image.rgb.data(), image.width * 3))
        return {};
    return png;
}

bool decodeImage(std::string_view bytes, std::string_view name, Image& out, std::string& err) {
    // Only the four formats a texture may be in reach the decoder.
    const bool known = startsWith(bytes, "BM") || startsWith(bytes, "\x89PNG\r\n\x1a\n") ||
                       startsWith(bytes, "\xFF\xD8\xFF") ||
                       (name.size() > 4 && toLowerAscii(std::string(name.substr(name.size() - 4))) == ".tga");
    if (!known) {
        err = "not a BMP, PNG, JPEG or TGA image";
        return false;
    }
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        err = "too large";
        return false;
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int len = static_cast<int>(bytes.size());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, len, &w, &h, &comp)) {
        const char* why = stbi_failure_reason();
        err = std::string("unreadable image (") + (why ? why : "unknown") + ")";
        return false;
    }
    if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide || std::int64_t{w} * h > kMaxImagePixels) {
        err = "image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large";
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(data, len, &w, &h, &comp, 3);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        err = std::string("unreadable image (") + (why ? why : "unknown") + ")";
        return false;
    }
    Image img(w, h);
    std::memcpy(img.rgb.data(), pixels, img.rgb.size());
    stbi_image_free(pixels);
    out = std::move(img);
    return true;
}

}  // namespace molv
