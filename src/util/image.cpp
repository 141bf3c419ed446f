#include "util/image.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>

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

std::uint32_t be32(std::string_view b, std::size_t p) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(b[p + k]);
    return v;
}

// stb inflates a PNG's image data into a buffer that grows as long as the
// data goes on, so a 1 x 1 picture could take gigabytes. The data is first
// inflated into a buffer of the size the header allows (with a little
// slack), which stops at that size. Call after pngChunksFit.
bool pngInflatesWithin(std::string_view b, std::string& err) {
    if (b.size() < 33 || b.substr(12, 4) != "IHDR") return true;  // stb's own checks refuse it
    const std::uint64_t w = be32(b, 16), h = be32(b, 20);
    const unsigned depth = static_cast<unsigned char>(b[24]), type = static_cast<unsigned char>(b[25]);
    const bool interlaced = b[28] != 0;
    const unsigned channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide || w * h > static_cast<std::uint64_t>(kMaxImagePixels))
        return true;  // refused by its size later
    const std::uint64_t bits = std::uint64_t{depth} * channels;
    std::uint64_t need = 0;
    static constexpr int kX0[7] = {0, 4, 0, 2, 0, 1, 0}, kY0[7] = {0, 0, 4, 0, 2, 0, 1};
    static constexpr int kDx[7] = {8, 8, 4, 4, 2, 2, 1}, kDy[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const std::uint64_t x0 = interlaced ? kX0[pass] : 0, y0 = interlaced ? kY0[pass] : 0;
        const std::uint64_t dx = interlaced ? kDx[pass] : 1, dy = interlaced ? kDy[pass] : 1;
        const std::uint64_t pw = w > x0 ? (w - x0 + dx - 1) / dx : 0, ph = h > y0 ? (h - y0 + dy - 1) / dy : 0;
        if (pw && ph) need += ph * ((pw * bits + 7) / 8 + 1);
    }
    std::string idat;
    bool cgbi = false;
    for (std::size_t p = 8; p + 8 <= b.size();) {
        const std::size_t len = be32(b, p);
        const std::string_view type4 = b.substr(p + 4, 4);
        if (type4 == "CgBI") cgbi = true;
        if (type4 == "IDAT") idat.append(b.substr(p + 8, len));
        if (type4 == "IEND") break;
        p += 12 + len;
    }
    const std::uint64_t limit = need + need / 8 + 4096;
    if (idat.empty() || idat.size() > static_cast<std::size_t>(INT_MAX) || limit > static_cast<std::uint64_t>(INT_MAX))
        return true;
    // Not zeroed: only what the data fills is touched.
    const std::unique_ptr<char[]> out(new char[static_cast<std::size_t>(limit)]);
    const int n = cgbi ? stbi_zlib_decode_noheader_buffer(out.get(), static_cast<int>(limit), idat.data(),
                                                          static_cast<int>(idat.size()))
                       : stbi_zlib_decode_buffer(out.get(), static_cast<int>(limit), idat.data(),
                                                 static_cast<int>(idat.size()));
    if (n < 0) {
        err = "damaged PNG (its image data is broken or inflates beyond the " + std::to_string(need) +
              " bytes its size needs)";
        return false;
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
    if (png && !pngInflatesWithin(bytes, err)) return false;
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
