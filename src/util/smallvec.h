// A vector that keeps its first N elements inline: vertex records carry
// one UV pair and at most one influence in the common case, so a million
// vertices cost no per-vertex heap blocks. The header is two 16-bit counts
// and the storage is only as aligned as T, so a SmallVec<UV, 1> takes 12
// bytes of a vertex record rather than 16.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace molv {

template <class T, std::uint32_t N>
class SmallVec {
    static_assert(std::is_trivially_copyable_v<T>, "SmallVec holds plain records only");
    static_assert(N >= 1 && N * sizeof(T) >= sizeof(T*), "the inline room also holds the heap pointer");

public:
    // The most elements one holds: the readers bound UV sets and influences
    // far below this.
    static constexpr std::uint32_t kMax = 0xFFFF;

    SmallVec() = default;
    SmallVec(const SmallVec& o) { assign(o); }
    SmallVec(SmallVec&& o) noexcept { steal(o); }
    SmallVec& operator=(const SmallVec& o) {
        if (this != &o) { clear(); assign(o); }
        return *this;
    }
    SmallVec& operator=(SmallVec&& o) noexcept {
        if (this != &o) { release(); steal(o); }
        return *this;
    }
    ~SmallVec() { release(); }

    std::uint32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return cap_ ? heap() : reinterpret_cast<T*>(room_); }
    const T* data() const { return cap_ ? heap() : reinterpret_cast<const T*>(room_); }
    T& operator[](std::uint32_t i) { return data()[i]; }
    const T& operator[](std::uint32_t i) const { return data()[i]; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }

    void clear() { size_ = 0; }
    // New elements are value-initialised (zeroed).
    void resize(std::uint32_t n) {
        reserve(n);
        for (std::uint32_t i = size_; i < n; ++i) data()[i] = T{};
        size_ = static_cast<std::uint16_t>(n);
    }
    void push_back(const T& v) {
        const T copy = v;  // v may live in the storage that reserve frees
        if (size_ == capacity()) {
            if (size_ >= kMax) throw std::length_error("SmallVec");
            reserve(size_ < 4 ? 8 : std::min<std::uint32_t>(size_ * 2u, kMax));
        }
        data()[size_++] = copy;
    }
    void reserve(std::uint32_t n) {
        if (n <= capacity()) return;
        if (n > kMax) throw std::length_error("SmallVec");
        T* p = static_cast<T*>(::operator new(sizeof(T) * n));
        std::copy(data(), data() + size_, p);
        release();
        std::memcpy(room_, &p, sizeof p);
        cap_ = static_cast<std::uint16_t>(n);
    }
    // Heap bytes held beyond the inline room.
    std::size_t spilledBytes() const { return cap_ ? std::size_t{cap_} * sizeof(T) : 0; }

private:
    // cap_ == 0: the elements live inline in room_; otherwise room_ holds
    // the pointer to cap_ of them on the heap.
    std::uint32_t capacity() const { return cap_ ? cap_ : N; }
    T* heap() const {
        T* p;
        std::memcpy(&p, room_, sizeof p);
        return p;
    }
    void release() {
        if (cap_) ::operator delete(heap());
        cap_ = 0;
    }
    void assign(const SmallVec& o) {
        reserve(o.size_);
        std::copy(o.data(), o.data() + o.size_, data());
        size_ = o.size_;
    }
    void steal(SmallVec& o) {
        std::memcpy(room_, o.room_, sizeof room_);
        cap_ = o.cap_;
        size_ = o.size_;
        o.cap_ = 0;
        o.size_ = 0;
    }

    std::uint16_t size_ = 0;
    std::uint16_t cap_ = 0;
    alignas(T) unsigned char room_[N * sizeof(T)] = {};
};

}  // namespace molv
