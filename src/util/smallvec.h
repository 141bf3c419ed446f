// A vector that keeps its first N elements inline: vertex records carry
// one UV pair and at most one influence in the common case, so a million
// vertices cost no per-vertex heap blocks.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace molv {

template <class T, std::uint32_t N>
class SmallVec {
    static_assert(std::is_trivially_copyable_v<T>, "SmallVec holds plain records only");

public:
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
    T* data() { return cap_ ? heap_ : inline_; }
    const T* data() const { return cap_ ? heap_ : inline_; }
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
        size_ = n;
    }
    void push_back(const T& v) {
        const T copy = v;  // v may live in the storage that reserve frees
        if (size_ == capacity()) reserve(size_ < 4 ? 8 : size_ * 2);
        data()[size_++] = copy;
    }
    void reserve(std::uint32_t n) {
        if (n <= capacity()) return;
        T* p = static_cast<T*>(::operator new(sizeof(T) * n));
        std::copy(data(), data() + size_, p);
        release();
        heap_ = p;
        cap_ = n;
    }

private:
    // cap_ == 0: the elements live inline; otherwise heap_ holds cap_ of them.
    std::uint32_t capacity() const { return cap_ ? cap_ : N; }
    void release() {
        if (cap_) ::operator delete(heap_);
        cap_ = 0;
    }
    void assign(const SmallVec& o) {
        reserve(o.size_);
        std::copy(o.data(), o.data() + o.size_, data());
        size_ = o.size_;
    }
    void steal(SmallVec& o) {
        if (o.cap_) {
            heap_ = o.heap_;
            cap_ = o.cap_;
            o.cap_ = 0;
        } else {
            std::copy(o.inline_, o.inline_ + o.size_, inline_);
        }
        size_ = o.size_;
        o.size_ = 0;
    }

    std::uint32_t size_ = 0;
    std::uint32_t cap_ = 0;
    // The heap pointer shares the inline room: a vertex record stays small.
    union {
        T inline_[N] = {};
        T* heap_;
    };
};

}  // namespace molv
