// The one array form of the run's fields and results: a rows x cols grid of one element type in
// a single 64-byte aligned block that the grid owns, row after row, element [r][c] at
// data()[r * cols + c]. Copies copy the elements, moves hand the block over. The numeric
// kernel's functions take a table of row pointers; Rows() gives one into the same block, so a
// grid is passed to them without copying.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace velmora {

template <class T>
class Grid {
    static_assert(std::is_trivially_copyable_v<T>, "a grid holds plain numbers");

public:
    Grid() = default;
    // A grid of zeros. Raises std::bad_alloc when the memory is not there, and
    // std::invalid_argument for a negative side or one whose product overflows.
    Grid(int rows, int cols) { Allocate(rows, cols, true); }
    // The same with the elements left as the memory held them, for a grid whose every element
    // is written before it is read.
    static Grid Uncleared(int rows, int cols) {
        Grid g;
        g.Allocate(rows, cols, false);
        return g;
    }

    Grid(const Grid& other) {
        Allocate(other.rows_, other.cols_, false);
        if (size() > 0) std::memcpy(data_.get(), other.data_.get(), size() * sizeof(T));
    }
    Grid& operator=(const Grid& other) {
        if (this != &other) {
            Grid copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    Grid(Grid&& other) noexcept { swap(other); }
    Grid& operator=(Grid&& other) noexcept {
        Grid gone(std::move(other));  // what this grid held is freed with `gone`
        swap(gone);
        return *this;
    }
    ~Grid() = default;

    void swap(Grid& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(table_, other.table_);
        std::swap(rows_, other.rows_);
        std::swap(cols_, other.cols_);
    }

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    size_t size() const { return static_cast<size_t>(rows_) * static_cast<size_t>(cols_); }
    bool empty() const { return size() == 0; }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    std::span<T> values() { return {data(), size()}; }
    std::span<const T> values() const { return {data(), size()}; }

    T* Row(int r) { return data() + static_cast<size_t>(r) * static_cast<size_t>(cols_); }
    const T* Row(int r) const { return data() + static_cast<size_t>(r) * static_cast<size_t>(cols_); }
    T& operator()(int r, int c) { return Row(r)[c]; }
    const T& operator()(int r, int c) const { return Row(r)[c]; }

    // The row-pointer table the kernel's functions take; valid while the grid lives and is not
    // assigned to. Null for an empty grid.
    T** Rows() { return table_.empty() ? nullptr : table_.data(); }

    void Fill(T value) { std::fill(begin(), end(), value); }

    // Same shape and the same elements (as values: 0.0 == -0.0, a NaN equals nothing).
    friend bool operator==(const Grid& a, const Grid& b) {
        return a.rows_ == b.rows_ && a.cols_ == b.cols_ && std::equal(a.begin(), a.end(), b.begin());
    }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };

    void Allocate(int rows, int cols, bool clear) {
        if (rows < 0 || cols < 0) throw std::invalid_argument("grid with a negative side");
        if (rows == 0 || cols == 0) return;
        const size_t count = static_cast<size_t>(rows) * static_cast<size_t>(cols);
        if (count > SIZE_MAX / sizeof(T) - 64) throw std::invalid_argument("grid too large");
        const size_t bytes = (count * sizeof(T) + 63) / 64 * 64;
        std::unique_ptr<T[], Free> block(static_cast<T*>(std::aligned_alloc(64, bytes)));
        if (!block) throw std::bad_alloc();
        if (clear) std::memset(block.get(), 0, bytes);
        std::vector<T*> table(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) table[static_cast<size_t>(r)] = block.get() + static_cast<size_t>(r) * cols;
        data_ = std::move(block);
        table_ = std::move(table);
        rows_ = rows;
        cols_ = cols;
    }

    std::unique_ptr<T[], Free> data_;
    std::vector<T*> table_;
    int rows_ = 0;
    int cols_ = 0;
};

using RealGrid = Grid<double>;

}  // namespace velmora
