// Work arrays of the numeric kernel: real and integer matrices held as tables of separately
// allocated rows, their allocators (0 = success, 1 = failure) and four small utilities.
#pragma once

#include <cstdint>
#include <utility>

#include "core/Grid.h"

namespace velmora {

using RealMatrix = double**;   // [row][col], rows are separate allocations
using IntMatrix = int32_t**;
using RealVector = double*;
using IntVector = int32_t*;

// Every allocator leaves every element zero. Rows are 64-byte aligned.
int AllocRealMatrix(int rows, int cols, RealMatrix& m);
int AllocIntMatrix(int rows, int cols, IntMatrix& m);
int AllocRealVector(int n, RealVector& v);
int AllocIntVector(int n, IntVector& v);
// Release every row, then the table; a null table is ignored. The matrix is set to null.
void FreeRealMatrix(int rows, int cols, RealMatrix& m);
void FreeIntMatrix(int rows, int cols, IntMatrix& m);
void FreeRealVector(RealVector& v);
void FreeIntVector(IntVector& v);

void ScaleMatrix(double factor, int rows, int cols, RealMatrix m);
// Every element below lo becomes lo, then every element >= hi becomes hi.
void ClampMatrix(int32_t lo, int32_t hi, int rows, int cols, IntMatrix m);
// Largest element, never below 0 (a matrix with no positive element gives 0).
double MatrixMaximum(int rows, int cols, const RealMatrix m);
// The largest of n values and 0 (NaNs passed over), found with running maxima the compiler keeps
// in vector registers.
double LargestInRow(const double* row, int n);
// The first element in row order with the grid's largest positive value, as a scan that moves
// on whenever it meets a larger value finds it; (noneI, noneJ) and 0 when no value is positive.
struct GridPeak {
    double value = 0;
    int i = 0;
    int j = 0;
};
// The peak of a row already scanned, when it beats `peak`: kept with its first place in the row.
inline void TakeRowPeak(const double* row, double rowLargest, int i, GridPeak& peak) {
    if (!(rowLargest > peak.value)) return;
    int j = 0;
    while (!(row[j] == rowLargest)) ++j;
    peak = {rowLargest, i, j};
}
GridPeak FirstPeak(const RealGrid& grid, int noneI, int noneJ);

// Area-weighted reduction by a (0 < a <= 1) along both axes, in place, anchored at [0][0].
// Returns 1 (matrix unchanged) for a factor outside (0, 1] or when scratch memory fails.
int ShrinkMatrix(double a, int rows, int cols, RealMatrix m);

// The kernel's trace lines ("a", "b", "extended int") go to standard output unless
// switched off (benchmarks do).
void SetKernelTrace(bool enabled);
void KernelTrace(const char* line);

// Owns a matrix for one scope, so that every exit path releases it: one block made for the
// kernel's transforms (Grid::ForTransforms) with the kernel's row-pointer table into it,
// allocated with the kernel's 0/1 status.
template <class Element>
class MatrixHolder {
public:
    MatrixHolder() = default;
    MatrixHolder(const MatrixHolder&) = delete;
    MatrixHolder& operator=(const MatrixHolder&) = delete;
    // 0 on success, 1 on failure (then the holder stays empty).
    int Allocate(int rows, int cols);
    // The same with the elements left as the memory held them, for a matrix whose every element
    // is written before it is read.
    int AllocateUncleared(int rows, int cols);
    void Release() { grid_ = Grid<Element>(); }
    // Trades matrices with `other` (no element is copied).
    void Swap(MatrixHolder& other) noexcept { grid_.swap(other.grid_); }
    // As the kernel's tables: a const holder does not make its elements const.
    Element** get() const { return const_cast<Grid<Element>&>(grid_).Rows(); }
    Element* operator[](int r) const { return const_cast<Grid<Element>&>(grid_).Row(r); }
    int rows() const { return grid_.rows(); }
    int cols() const { return grid_.cols(); }

private:
    Grid<Element> grid_;
};

using RealMatrixHolder = MatrixHolder<double>;
using IntMatrixHolder = MatrixHolder<int32_t>;

}  // namespace velmora
