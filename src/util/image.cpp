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

// Debian's stb JPEG reader writes past its Huffman tables when the code
// counts of one table add up to more than 256 (it never checks the sum).
// The marker walk below finds every table it would build, reading bytes past
// the end as zero as it does, and such files never reach it.
bool jpegTablesFit(std::string_view b, std::size_t p) {
    const auto at = [&](std::size_t i) -> unsigned { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0u; };
    while (p + 1 < b.size()) {
        const unsigned m = at(p + 1);
        // Entropy-coded data, fill bytes, stuffed 0xFF, RSTn, SOI, EOI, TEM: no length follows.
        if (at(p) != 0xFF || m == 0xFF) {
            ++p;
            continue;
        }
        if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD9)) {
            p += 2;
            continue;
        }
        const std::size_t len = (at(p + 2) << 8) | at(p + 3);
        if (m == 0xC4) {
            std::size_t q = p + 4;
            for (long left = static_cast<long>(len) - 2; left > 0;) {
                if ((at(q) >> 4) > 1 || (at(q) & 15) > 3) break;  // the reader refuses the file here
                std::size_t n = 0;
                for (std::size_t i = 1; i <= 16; ++i) n += at(q + i);
                if (n > 256) return false;
                q += 17 + n;
                left -= static_cast<long>(17 + n);
            }
        }
        p += 2 + len;
    }
    return true;
}

// Where the reader sees a JPEG start (SOI after one or more 0xFF bytes), the
// offset just past it; 0 otherwise.
std::size_t jpegStart(std::string_view b) {
    std::size_t i = 0;
    while (i < b.size() && b[i] == '\xFF') ++i;
    return i > 0 && i < b.size() && b[i] == '\xD8' ? i + 1 : 0;
}

// Debian's stb PNG reader grows its buffer to an IDAT chunk's declared
// length before finding the file too short, so a few bytes can ask for
// gigabytes. A chunk that runs past the end fails there anyway.
bool pngChunksFit(std::string_view b) {
    for (std::size_t p = 8; p + 8 <= b.size();) {
        std::size_t len = 0;  // big-endian
        for (std::size_t k = 0; k < 4; ++k) len = len << 8 | static_cast<unsigned char>(b[p + k]);
        if (len > b.size() - (p + 8)) return false;
        if (b.substr(p + 4, 4) == "IEND") break;
        p += 12 + len;
    }
    return true;
}

// Formats Debian's library would also decode from a file named .tga; their
// decoders are not ours to expose to a model's textures.
bool otherFormat(std::string_view b) {
    for (std::string_view magic : {"GIF8", "8BPS", "S\x80\xF6\x34", "P5", "P6", "#?RADIANCE", "#?RGBE"})
        if (startsWith(b, magic)) return true;
    return false;
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
    const bool png = startsWith(bytes, "\x89PNG\r\n\x1a\n");
    const bool known = startsWith(bytes, "BM") || png ||
                       startsWith(bytes, "\xFF\xD8\xFF") ||
                       (name.size() > 4 && toLowerAscii(std::string(name.substr(name.size() - 4))) == ".tga");
    if (!known || otherFormat(bytes)) {
        err = "not a BMP, PNG, JPEG or TGA image";
        return false;
    }
    if (const std::size_t soi = jpegStart(bytes); soi > 0 && !jpegTablesFit(bytes, soi)) {
        err = "damaged JPEG (a Huffman table of more than 256 codes)";
        return false;
    }
    if (png && !pngChunksFit(bytes)) {
        err = "damaged PNG (a chunk runs past the end of the file)";
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
