#pragma once
// Index-ranged arrays. The numerical text of this program counts from 1 (and
// sometimes from 0); declaring the range where an array is sized keeps every
// formula readable next to its derivation and catches off-by-one errors in
// debug builds.

#include <cassert>
#include <string>
#include <vector>

namespace estimetrix {

template <class T>
class Array1 {
 public:
  Array1() = default;
  // Indices 1..hi.
  explicit Array1(int hi, const T& fill = T{}) { Resize(1, hi, fill); }
  Array1(int lo, int hi, const T& fill) { Resize(lo, hi, fill); }

  // Sizes to lo..hi and sets every element to fill (the old contents go).
  void Resize(int lo, int hi, const T& fill = T{}) {
    lo_ = lo;
    v_.assign(hi >= lo ? static_cast<size_t>(hi - lo + 1) : 0, fill);
  }
  void Resize(int hi) { Resize(1, hi); }
  void Fill(const T& value) { v_.assign(v_.size(), value); }

  T& operator[](int i) {
    assert(i >= lo_ && i <= Hi());
    return v_[static_cast<size_t>(i - lo_)];
  }
  const T& operator[](int i) const {
    assert(i >= lo_ && i <= Hi());
    return v_[static_cast<size_t>(i - lo_)];
  }

  int Lo() const { return lo_; }
  int Hi() const { return lo_ + static_cast<int>(v_.size()) - 1; }
  int Size() const { return static_cast<int>(v_.size()); }
  bool Empty() const { return v_.empty(); }

  T* Data() { return v_.data(); }
  const T* Data() const { return v_.data(); }
  auto begin() { return v_.begin(); }
  auto end() { return v_.end(); }
  auto begin() const { return v_.begin(); }
  auto end() const { return v_.end(); }

  bool operator==(const Array1&) const = default;

 private:
  int lo_ = 1;
  std::vector<T> v_;
};

// Row-major two-dimensional array with declared ranges for both indices.
template <class T>
class Array2 {
 public:
  Array2() = default;
  // Indices 1..rows by 1..cols.
  Array2(int rows, int cols, const T& fill = T{}) { Resize(1, rows, 1, cols, fill); }

  void Resize(int rowLo, int rowHi, int colLo, int colHi, const T& fill = T{}) {
    rowLo_ = rowLo;
    colLo_ = colLo;
    rows_ = rowHi >= rowLo ? rowHi - rowLo + 1 : 0;
    cols_ = colHi >= colLo ? colHi - colLo + 1 : 0;
    v_.assign(static_cast<size_t>(rows_) * static_cast<size_t>(cols_), fill);
  }
  void Resize(int rows, int cols) { Resize(1, rows, 1, cols); }
  void Fill(const T& value) { v_.assign(v_.size(), value); }

  T& operator()(int i, int j) {
    assert(i >= rowLo_ && i < rowLo_ + rows_ && j >= colLo_ && j < colLo_ + cols_);
    return v_[static_cast<size_t>(i - rowLo_) * static_cast<size_t>(cols_) +
              static_cast<size_t>(j - colLo_)];
  }
  const T& operator()(int i, int j) const {
    assert(i >= rowLo_ && i < rowLo_ + rows_ && j >= colLo_ && j < colLo_ + cols_);
    return v_[static_cast<size_t>(i - rowLo_) * static_cast<size_t>(cols_) +
              static_cast<size_t>(j - colLo_)];
  }

  int RowLo() const { return rowLo_; }
  int RowHi() const { return rowLo_ + rows_ - 1; }
  int ColLo() const { return colLo_; }
  int ColHi() const { return colLo_ + cols_ - 1; }
  int Rows() const { return rows_; }
  int Cols() const { return cols_; }

  bool operator==(const Array2&) const = default;

 private:
  int rowLo_ = 1, colLo_ = 1, rows_ = 0, cols_ = 0;
  std::vector<T> v_;
};

using Vector = Array1<double>;
using Matrix = Array2<double>;
using StringArray = Array1<std::string>;
using IntArray = Array1<int>;

}  // namespace estimetrix
