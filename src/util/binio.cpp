#include "util/binio.h"

#include <algorithm>

namespace molv {

void ByteWriter::fixedString(std::string_view s, int w) {
    if (w <= 0) return;
    std::size_t keep = std::min<std::size_t>(s.size(), static_cast<std::size_t>(w - 1));
    buf_.append(s.substr(0, keep));
    buf_.append(static_cast<std::size_t>(w - 1) - keep, ' ');
    buf_.push_back('\0');
}

std::string ByteReader::cstring() {
    std::string out;
    while (ok_ && pos_ < end_) {
        char c = base_[pos_++];
        if (c == '\0') return out;
        out.push_back(c);
    }
    ok_ = false;
    return out;
}

}  // namespace molv
