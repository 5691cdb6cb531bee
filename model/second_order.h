#pragma once
// A number that carries its first and second derivatives with respect to n
// variables (forward mode, second order): the value, the gradient and the
// upper triangle of the Hessian, packed row by row. Arithmetic and the
// elementary functions propagate them by the chain rule, so any code
// written as a template over its scalar type gives its exact derivatives
// when instantiated with this type.
//
// `Capacity` bounds n and keeps the storage on the stack; 0 means any n, on
// the heap. A number with n = 0 is a constant: its derivatives are zero and
// are neither stored nor visited. Comparisons are made on values (Value()),
// so branches are held as they are at the point.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace estimetrix {

namespace second_order {

constexpr std::size_t Slots(int n) {
  return static_cast<std::size_t>(n) + static_cast<std::size_t>(n) * (n + 1) / 2;
}

template <int Capacity>
struct Storage {
  std::array<double, Slots(Capacity)> slots;
  double* data() { return slots.data(); }
  const double* data() const { return slots.data(); }
  void Reserve(int) {}
};

template <>
struct Storage<0> {
  std::vector<double> slots;
  double* data() { return slots.data(); }
  const double* data() const { return slots.data(); }
  void Reserve(int n) { slots.resize(Slots(n)); }
};

}  // namespace second_order

template <int Capacity>
class SecondOrder {
 public:
  static constexpr int kCapacity = Capacity;

  // Not defaulted: a vector of numbers is then not zero-filled slot by slot.
  SecondOrder() {}                          // NOLINT
  SecondOrder(double value) : v_(value) {}  // NOLINT: a constant, as doubles mix in freely

  // Variable `index` (0-based) of `n`, at `value`.
  static SecondOrder Variable(double value, int index, int n) {
    SecondOrder x(value);
    x.Activate(n);
    std::fill(x.Gradient(), x.Gradient() + second_order::Slots(n), 0.0);
    x.Gradient()[index] = 1.0;
    return x;
  }

  SecondOrder(const SecondOrder& other) : v_(other.v_) { CopyDerivatives(other); }
  SecondOrder& operator=(const SecondOrder& other) {
    if (this != &other) {
      v_ = other.v_;
      CopyDerivatives(other);
    }
    return *this;
  }

  double value() const { return v_; }
  int size() const { return n_; }
  bool constant() const { return n_ == 0; }
  const double* Gradient() const { return store_.data(); }
  double* Gradient() { return store_.data(); }
  const double* Hessian() const { return store_.data() + n_; }
  double* Hessian() { return store_.data() + n_; }
  // Entry (i, j) of the Hessian, 0-based.
  double Second(int i, int j) const {
    if (n_ == 0) return 0.0;
    if (i > j) std::swap(i, j);
    return Hessian()[static_cast<std::size_t>(i) * n_ - static_cast<std::size_t>(i) * (i - 1) / 2 +
                     (j - i)];
  }
  double First(int i) const { return n_ == 0 ? 0.0 : Gradient()[i]; }

  // f(x) given f, f' and f'' at the value of x.
  friend SecondOrder Chain(const SecondOrder& x, double f0, double f1, double f2) {
    SecondOrder r(f0);
    if (x.n_ == 0) return r;
    const int n = x.n_;
    r.Activate(n);
    const double* g = x.Gradient();
    const double* h = x.Hessian();
    double* rg = r.Gradient();
    double* rh = r.Hessian();
    for (int i = 0; i < n; ++i) rg[i] = f1 * g[i];
    for (int i = 0; i < n; ++i) {
      const double gi = f2 * g[i];
      for (int j = i; j < n; ++j, ++rh, ++h) *rh = f1 * *h + gi * g[j];
    }
    return r;
  }

  SecondOrder& operator+=(const SecondOrder& b) {
    v_ += b.v_;
    if (b.n_ == 0) return *this;
    if (n_ == 0) {
      CopyDerivatives(b);
      return *this;
    }
    double* d = store_.data();
    const double* e = b.store_.data();
    const std::size_t slots = second_order::Slots(n_);
    for (std::size_t i = 0; i < slots; ++i) d[i] += e[i];
    return *this;
  }
  SecondOrder& operator-=(const SecondOrder& b) {
    v_ -= b.v_;
    if (b.n_ == 0) return *this;
    if (n_ == 0) {
      Activate(b.n_);
      std::fill(Gradient(), Gradient() + second_order::Slots(n_), 0.0);
    }
    double* d = store_.data();
    const double* e = b.store_.data();
    const std::size_t slots = second_order::Slots(n_);
    for (std::size_t i = 0; i < slots; ++i) d[i] -= e[i];
    return *this;
  }
  SecondOrder& operator*=(const SecondOrder& b) { return *this = *this * b; }
  SecondOrder& operator/=(const SecondOrder& b) { return *this = *this / b; }
  SecondOrder& operator+=(double b) {
    v_ += b;
    return *this;
  }
  SecondOrder& operator-=(double b) {
    v_ -= b;
    return *this;
  }
  SecondOrder& operator*=(double b) {
    v_ *= b;
    Scale(b);
    return *this;
  }
  SecondOrder& operator/=(double b) { return *this = *this / b; }

  friend SecondOrder operator-(const SecondOrder& a) {
    SecondOrder r(a);
    r.v_ = -a.v_;
    r.Scale(-1.0);
    return r;
  }
  friend SecondOrder operator+(SecondOrder a, const SecondOrder& b) { return a += b; }
  friend SecondOrder operator-(SecondOrder a, const SecondOrder& b) { return a -= b; }
  friend SecondOrder operator+(SecondOrder a, double b) { return a += b; }
  friend SecondOrder operator+(double a, SecondOrder b) { return b += a; }
  friend SecondOrder operator-(SecondOrder a, double b) { return a -= b; }
  friend SecondOrder operator-(double a, const SecondOrder& b) {
    SecondOrder r = -b;
    r.v_ = a - b.v_;
    return r;
  }
  friend SecondOrder operator*(SecondOrder a, double b) { return a *= b; }
  friend SecondOrder operator*(double a, SecondOrder b) {
    b.v_ = a * b.v_;
    b.Scale(a);
    return b;
  }
  friend SecondOrder operator/(const SecondOrder& a, double b) {
    SecondOrder r(a);
    r.v_ = a.v_ / b;
    r.Scale(1.0 / b);
    return r;
  }
  friend SecondOrder operator/(double a, const SecondOrder& b) {
    const double q = a / b.v_;
    return Chain(b, q, -q / b.v_, 2.0 * q / (b.v_ * b.v_));
  }

  friend SecondOrder operator*(const SecondOrder& a, const SecondOrder& b) {
    if (a.n_ == 0) return a.v_ * b;
    if (b.n_ == 0) return a * b.v_;
    SecondOrder r(a.v_ * b.v_);
    const int n = std::max(a.n_, b.n_);
    r.Activate(n);
    const double av = a.v_, bv = b.v_;
    const double* ag = a.Gradient();
    const double* bg = b.Gradient();
    const double* ah = a.Hessian();
    const double* bh = b.Hessian();
    double* rg = r.Gradient();
    double* rh = r.Hessian();
    for (int i = 0; i < n; ++i) rg[i] = av * bg[i] + bv * ag[i];
    for (int i = 0; i < n; ++i) {
      const double agi = ag[i], bgi = bg[i];
      for (int j = i; j < n; ++j, ++rh, ++ah, ++bh)
        *rh = av * *bh + bv * *ah + agi * bg[j] + bgi * ag[j];
    }
    return r;
  }

  // q = a / b: q' = (a' - q b') / b, q'' = (a'' - q b'' - q' b'^T - b' q'^T) / b.
  friend SecondOrder operator/(const SecondOrder& a, const SecondOrder& b) {
    if (b.n_ == 0) return a / b.v_;
    if (a.n_ == 0) return a.v_ / b;
    const double q = a.v_ / b.v_;
    SecondOrder r(q);
    const int n = std::max(a.n_, b.n_);
    r.Activate(n);
    const double inverse = 1.0 / b.v_;
    const double* ag = a.Gradient();
    const double* bg = b.Gradient();
    const double* ah = a.Hessian();
    const double* bh = b.Hessian();
    double* rg = r.Gradient();
    double* rh = r.Hessian();
    for (int i = 0; i < n; ++i) rg[i] = (ag[i] - q * bg[i]) * inverse;
    for (int i = 0; i < n; ++i) {
      const double rgi = rg[i], bgi = bg[i];
      for (int j = i; j < n; ++j, ++rh, ++ah, ++bh)
        *rh = (*ah - q * *bh - rgi * bg[j] - bgi * rg[j]) * inverse;
    }
    return r;
  }

 private:
  void Activate(int n) {
    n_ = n;
    store_.Reserve(n);
  }
  void CopyDerivatives(const SecondOrder& other) {
    n_ = 0;
    if (other.n_ == 0) return;
    Activate(other.n_);
    std::copy(other.Gradient(), other.Gradient() + second_order::Slots(n_), Gradient());
  }
  void Scale(double b) {
    double* d = store_.data();
    const std::size_t slots = second_order::Slots(n_);
    for (std::size_t i = 0; i < slots; ++i) d[i] *= b;
  }

  double v_ = 0.0;
  int n_ = 0;
  second_order::Storage<Capacity> store_;
};

// The value of a plain or differentiated number, for comparisons.
inline double Value(double x) {
  return x;
}
template <int C>
double Value(const SecondOrder<C>& x) {
  return x.value();
}

template <int C>
SecondOrder<C> exp(const SecondOrder<C>& x) {
  const double e = std::exp(x.value());
  return Chain(x, e, e, e);
}
template <int C>
SecondOrder<C> log(const SecondOrder<C>& x) {
  const double inverse = 1.0 / x.value();
  return Chain(x, std::log(x.value()), inverse, -inverse * inverse);
}
template <int C>
SecondOrder<C> sqrt(const SecondOrder<C>& x) {
  const double s = std::sqrt(x.value());
  return Chain(x, s, 0.5 / s, -0.25 / (s * x.value()));
}
template <int C>
SecondOrder<C> sin(const SecondOrder<C>& x) {
  const double s = std::sin(x.value()), c = std::cos(x.value());
  return Chain(x, s, c, -s);
}
// |x|: the branch of the sign at the value (the right one at 0).
template <int C>
SecondOrder<C> fabs(const SecondOrder<C>& x) {
  return x.value() < 0.0 ? -x : x;
}
// x^j for a whole j, as std::pow(x, j) computes it.
template <int C>
SecondOrder<C> pow(const SecondOrder<C>& x, int j) {
  if (j == 0) return SecondOrder<C>(1.0);
  const double v = x.value();
  const double f1 = j * std::pow(v, j - 1);
  const double f2 = j == 1 ? 0.0 : j * (j - 1) * std::pow(v, j - 2);
  return Chain(x, std::pow(v, j), f1, f2);
}
// base^x for a constant base > 0 (and 0^x = 0 for x > 0, with no derivative).
template <int C>
SecondOrder<C> pow(double base, const SecondOrder<C>& x) {
  const double r = std::pow(base, x.value());
  if (base == 0.0) return SecondOrder<C>(r);
  const double l = std::log(base);
  return Chain(x, r, r * l, r * l * l);
}

}  // namespace estimetrix
