// Texture images as the preview decodes them; named .tga, so every input
// reaches the decoder (BMP, PNG and JPEG are told by their first bytes).
// seeds: bmp png tga jpg
#include "fuzz/harness.h"
#include "util/image.h"

namespace molv::fuzz {

void fuzzOne(Run&, std::string_view input) {
    Image img;
    std::string err;
    if (!decodeImage(input, "texture.tga", img, err)) return;
    if (img.empty() || img.rgb.size() != static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height) * 3)
        fault("a decoded image whose pixels do not match its size");
}

}  // namespace molv::fuzz
