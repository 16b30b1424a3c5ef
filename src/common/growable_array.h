// GrowableArray: the contiguous, growable array every list of the player is kept in.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

// A contiguous array with a count, a capacity and a growth step (0 = automatic).
// Growing beyond the capacity reallocates to max(n, capacity + step), where an
// automatic step is count / 8 clamped to 4..1024; new elements are value-initialised
// (zero or empty). Elements are tightly packed, so OpenGL arrays can read data() directly.
template <typename T>
class GrowableArray {
public:
    GrowableArray() = default;
    explicit GrowableArray(int growStep) : growStep_(growStep) {}
    ~GrowableArray() { setSize(0); }

    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;
    GrowableArray(GrowableArray&& other) noexcept { swap(other); }
    GrowableArray& operator=(GrowableArray&& other) noexcept
    {
        if (this != &other) {
            setSize(0);
            swap(other);
        }
        return *this;
    }

    // Sets the count to n: 0 releases the storage, fewer destroys the tail,
    // more value-initialises the new elements (reallocating by the growth rule).
    void setSize(int n)
    {
        if (n <= 0) {
            destroyRange(0, count_);
            std::free(data_);
            data_ = nullptr;
            count_ = 0;
            capacity_ = 0;
            return;
        }
        if (n > capacity_) {
            int step = growStep_;
            if (step == 0)
                step = std::clamp(count_ / 8, 4, 1024);
            reallocate(std::max(n, capacity_ + step));
        }
        if (n < count_) {
            destroyRange(n, count_);
        } else {
            for (int i = count_; i < n; ++i)
                new (data_ + i) T();
        }
        count_ = n;
    }

    // Appends one element at the end (size + 1 by the growth rule).
    void append(const T& value)
    {
        setSize(count_ + 1);
        data_[count_ - 1] = value;
    }
    void append(T&& value)
    {
        setSize(count_ + 1);
        data_[count_ - 1] = std::move(value);
    }

    int size() const { return count_; }
    bool empty() const { return count_ == 0; }
    int capacity() const { return capacity_; }
    int growStep() const { return growStep_; }
    void setGrowStep(int step) { growStep_ = step; }

    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](int i) { return data_[i]; }
    const T& operator[](int i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + count_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + count_; }

private:
    void destroyRange(int from, int to)
    {
        for (int i = from; i < to; ++i)
            data_[i].~T();
    }

    void reallocate(int newCapacity)
    {
        T* fresh = static_cast<T*>(std::malloc(sizeof(T) * static_cast<size_t>(newCapacity)));
        if (!fresh)
            std::abort(); // out of memory: nothing sensible is left to draw
        for (int i = 0; i < count_; ++i) {
            new (fresh + i) T(std::move(data_[i]));
            data_[i].~T();
        }
        std::free(data_);
        data_ = fresh;
        capacity_ = newCapacity;
    }

    void swap(GrowableArray& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
        std::swap(growStep_, other.growStep_);
    }

    T* data_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    int growStep_ = 0;
};
