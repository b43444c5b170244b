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
    // A grid for the kernel's transforms, whose rows lie a little more than their length apart
    // when that length is a multiple of 4 KiB: rows exactly 4 KiB apart all fall into the same
    // sets of the processor's caches, and a pass down the columns thrashes them (some 10 % of the
    // default transform). Its elements are reached by row only (Row, Rows, (r, c)).
    static Grid ForTransforms(int rows, int cols, bool clear) {
        Grid g;
        size_t stride = (static_cast<size_t>(cols > 0 ? cols : 0) * sizeof(T) + 63) / 64 * 64 / sizeof(T);
        if ((stride * sizeof(T)) % 4096 == 0) stride += 64 / sizeof(T);
        g.Allocate(rows, cols, clear, stride);
        return g;
    }

    Grid(const Grid& other) {
        Allocate(other.rows_, other.cols_, false, other.stride_);
        if (size() > 0) std::memcpy(data_.get(), other.data_.get(), Span() * sizeof(T));
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
        std::swap(stride_, other.stride_);
    }

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    size_t size() const { return static_cast<size_t>(rows_) * static_cast<size_t>(cols_); }
    bool empty() const { return size() == 0; }
    // Row after row with nothing between them: data(), begin(), end() and values() hold every
    // element. Every grid is, but one made ForTransforms.
    bool Dense() const { return stride_ == static_cast<size_t>(cols_); }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    std::span<T> values() { return {data(), size()}; }
    std::span<const T> values() const { return {data(), size()}; }

    T* Row(int r) { return data() + static_cast<size_t>(r) * stride_; }
    const T* Row(int r) const { return data() + static_cast<size_t>(r) * stride_; }
    T& operator()(int r, int c) { return Row(r)[c]; }
    const T& operator()(int r, int c) const { return Row(r)[c]; }

    // The row-pointer table the kernel's functions take; valid while the grid lives and is not
    // assigned to. Null for an empty grid.
    T** Rows() { return table_.empty() ? nullptr : table_.data(); }

    void Fill(T value) { std::fill(data(), data() + Span(), value); }

    // Same shape and the same elements (as values: 0.0 == -0.0, a NaN equals nothing).
    friend bool operator==(const Grid& a, const Grid& b) {
        if (a.rows_ != b.rows_ || a.cols_ != b.cols_) return false;
        for (int r = 0; r < a.rows_; ++r)
            if (!std::equal(a.Row(r), a.Row(r) + a.cols_, b.Row(r))) return false;
        return true;
    }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };

    // The elements from the first to the last, padding between the rows included.
    size_t Span() const { return static_cast<size_t>(rows_) * stride_; }

    void Allocate(int rows, int cols, bool clear, size_t stride = 0) {
        if (rows < 0 || cols < 0) throw std::invalid_argument("grid with a negative side");
        if (rows == 0 || cols == 0) return;
        if (stride < static_cast<size_t>(cols)) stride = static_cast<size_t>(cols);
        if (stride > (SIZE_MAX / sizeof(T) - 64) / static_cast<size_t>(rows)) throw std::invalid_argument("grid too large");
        const size_t count = static_cast<size_t>(rows) * stride;
        const size_t bytes = (count * sizeof(T) + 63) / 64 * 64;
        std::unique_ptr<T[], Free> block(static_cast<T*>(std::aligned_alloc(64, bytes)));
        if (!block) throw std::bad_alloc();
        if (clear) std::memset(block.get(), 0, bytes);
        std::vector<T*> table(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) table[static_cast<size_t>(r)] = block.get() + static_cast<size_t>(r) * stride;
        data_ = std::move(block);
        table_ = std::move(table);
        rows_ = rows;
        cols_ = cols;
        stride_ = stride;
    }

    std::unique_ptr<T[], Free> data_;
    std::vector<T*> table_;
    int rows_ = 0;
    int cols_ = 0;
    size_t stride_ = 0;
};

using RealGrid = Grid<double>;

}  // namespace velmora
