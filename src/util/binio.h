// Little-endian binary fields, independent of the host's byte order.
// Writers append to a byte buffer; readers use a bounded cursor that
// fails (and stays failed) instead of reading past its end.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace molv {

class ByteWriter {
public:
    std::string& bytes() { return buf_; }
    const std::string& bytes() const { return buf_; }
    std::size_t size() const { return buf_.size(); }
    void reserve(std::size_t n) { buf_.reserve(n); }

    void u8(std::uint8_t v) { buf_.push_back(static_cast<char>(v)); }
    void i16(std::int16_t v) { u32le(static_cast<std::uint16_t>(v), 2); }
    void i32(std::int32_t v) { u32le(static_cast<std::uint32_t>(v), 4); }
    void u32(std::uint32_t v) { u32le(v, 4); }
    void f32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        u32le(u, 4);
    }
    void raw(std::string_view s) { buf_.append(s); }
    // Fixed string field of width w: at most w-1 characters, blank padded to
    // w-1, then one NUL.
    void fixedString(std::string_view s, int w);
    // Cal3D string: 32-bit length including the NUL, the bytes, NUL.
    void lenString(std::string_view s) {
        i32(static_cast<std::int32_t>(s.size() + 1));
        raw(s);
        u8(0);
    }
    // Overwrite a 32-bit field written earlier (for counts known later).
    void patchI32(std::size_t at, std::int32_t v) {
        if (at > buf_.size() || buf_.size() - at < 4) return;
        for (int i = 0; i < 4; ++i) buf_[at + i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    }

private:
    void u32le(std::uint32_t v, int n) {
        char b[4];
        for (int i = 0; i < n; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        buf_.append(b, static_cast<std::size_t>(n));
    }
    std::string buf_;
};

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const char* begin, std::size_t size) : base_(begin), end_(size) {}
    explicit ByteReader(std::string_view s) : ByteReader(s.data(), s.size()) {}

    std::size_t pos() const { return pos_; }
    std::size_t size() const { return end_; }
    std::size_t left() const { return end_ - pos_; }
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ >= end_; }
    void seek(std::size_t p) {
        if (p > end_) { ok_ = false; pos_ = end_; } else pos_ = p;
    }
    bool skip(std::size_t n) {
        if (!need(n)) return false;
        pos_ += n;
        return true;
    }
    // A cursor over the next n bytes (a chunk); this cursor moves past them.
    ByteReader sub(std::size_t n) {
        if (!need(n)) return ByteReader();
        ByteReader r(base_ + pos_, n);
        pos_ += n;
        return r;
    }

    std::uint8_t u8() { return need(1) ? static_cast<std::uint8_t>(base_[pos_++]) : 0; }
    std::int16_t i16() { return static_cast<std::int16_t>(le(2)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(le(2)); }
    std::int32_t i32() { return static_cast<std::int32_t>(le(4)); }
    std::uint32_t u32() { return le(4); }
    float f32() {
        std::uint32_t u = le(4);
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    std::string_view bytes(std::size_t n) {
        if (!need(n)) return {};
        std::string_view s(base_ + pos_, n);
        pos_ += n;
        return s;
    }
    // NUL-terminated string; fails when no NUL before the end.
    std::string cstring();

private:
    bool need(std::size_t n) {
        if (!ok_ || n > end_ - pos_) { ok_ = false; return false; }
        return true;
    }
    std::uint32_t le(int n) {
        if (!need(static_cast<std::size_t>(n))) return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(base_[pos_ + i])) << (8 * i);
        pos_ += static_cast<std::size_t>(n);
        return v;
    }
    const char* base_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool ok_ = true;
};

}  // namespace molv
