#include "plots/contours.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <unordered_map>

namespace estimetrix {

std::vector<double> HighestDensityLevels(const std::vector<double>& density,
                                         const std::vector<double>& fractions) {
  std::vector<double> cells;
  cells.reserve(density.size());
  double total = 0.0;
  for (double d : density) {
    double cell = std::isfinite(d) && d > 0.0 ? d : 0.0;
    cells.push_back(cell);
    total += cell;
  }
  std::vector<double> levels(fractions.size(), std::numeric_limits<double>::quiet_NaN());
  if (!(total > 0.0) || !std::isfinite(total)) return levels;
  std::sort(cells.begin(), cells.end(), std::greater<double>());

  for (size_t f = 0; f < fractions.size(); ++f) {
    double target = std::clamp(fractions[f], 0.0, 1.0) * total;
    double sum = 0.0;
    levels[f] = cells.back();
    for (double cell : cells) {
      sum += cell;
      if (sum >= target) {
        levels[f] = cell;
        break;
      }
    }
  }
  return levels;
}

namespace {

// A crossing sits on a grid edge. Edges are numbered so that the two cells
// sharing an edge name it alike: the edge from (i, j) to (i + 1, j) is
// 2 * (i * G + j), the edge from (i, j) to (i, j + 1) is 2 * (i * G + j) + 1.
struct Segment {
  long long from;
  long long to;
};

class ContourTracer {
 public:
  ContourTracer(const std::vector<double>& x, const std::vector<double>& y,
                const std::vector<double>& density, double level)
      : x_(x), y_(y), d_(density), level_(level), g_(static_cast<long long>(y.size())) {}

  std::vector<ContourLine> Trace() {
    for (size_t i = 0; i + 1 < x_.size(); ++i)
      for (size_t j = 0; j + 1 < y_.size(); ++j) Cell(i, j);
    return Join();
  }

 private:
  double At(size_t i, size_t j) const { return d_[i * y_.size() + j]; }
  long long XEdge(size_t i, size_t j) const { return 2 * (static_cast<long long>(i) * g_ + j); }
  long long YEdge(size_t i, size_t j) const { return XEdge(i, j) + 1; }

  // The crossing on an edge, always interpolated from its lower corner so
  // both cells of the edge compute the same point.
  ContourPoint Crossing(long long edge) const {
    long long corner = edge / 2;
    size_t i = static_cast<size_t>(corner / g_), j = static_cast<size_t>(corner % g_);
    bool alongX = edge % 2 == 0;
    size_t i2 = alongX ? i + 1 : i, j2 = alongX ? j : j + 1;
    double a = At(i, j), b = At(i2, j2);
    double t = a == b ? 0.5 : (level_ - a) / (b - a);
    t = std::clamp(t, 0.0, 1.0);
    return {x_[i] + t * (x_[i2] - x_[i]), y_[j] + t * (y_[j2] - y_[j])};
  }

  void Cell(size_t i, size_t j) {
    double a = At(i, j), b = At(i + 1, j), c = At(i + 1, j + 1), d = At(i, j + 1);
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d)) return;
    int index = (a >= level_ ? 1 : 0) | (b >= level_ ? 2 : 0) | (c >= level_ ? 4 : 0) |
                (d >= level_ ? 8 : 0);
    long long bottom = XEdge(i, j), right = YEdge(i + 1, j), top = XEdge(i, j + 1),
              left = YEdge(i, j);
    bool centreInside = (a + b + c + d) / 4.0 >= level_;
    switch (index) {
      case 0:
      case 15: break;
      case 1:
      case 14: Add(left, bottom); break;
      case 2:
      case 13: Add(bottom, right); break;
      case 3:
      case 12: Add(left, right); break;
      case 4:
      case 11: Add(right, top); break;
      case 6:
      case 9: Add(bottom, top); break;
      case 7:
      case 8: Add(left, top); break;
      case 5:  // a and c inside: a saddle, resolved by the cell's centre
        if (centreInside) {
          Add(left, top);
          Add(bottom, right);
        } else {
          Add(left, bottom);
          Add(right, top);
        }
        break;
      case 10:  // b and d inside
        if (centreInside) {
          Add(left, bottom);
          Add(right, top);
        } else {
          Add(left, top);
          Add(bottom, right);
        }
        break;
    }
  }

  void Add(long long from, long long to) {
    size_t index = segments_.size();
    segments_.push_back({from, to});
    ends_[from].push_back(index);
    ends_[to].push_back(index);
  }

  // Follows unused segments from `edge` until the line ends or closes.
  void Follow(long long edge, ContourLine& line, std::vector<bool>& used) {
    for (;;) {
      bool moved = false;
      for (size_t s : ends_[edge]) {
        if (used[s]) continue;
        used[s] = true;
        edge = segments_[s].from == edge ? segments_[s].to : segments_[s].from;
        line.push_back(Crossing(edge));
        moved = true;
        break;
      }
      if (!moved) return;
    }
  }

  std::vector<ContourLine> Join() {
    std::vector<ContourLine> lines;
    std::vector<bool> used(segments_.size(), false);
    // Open lines first: they start at an edge that only one segment reaches
    // (the grid's border); then what is left are closed loops.
    for (int pass = 0; pass < 2; ++pass) {
      for (size_t s = 0; s < segments_.size(); ++s) {
        if (used[s]) continue;
        long long start = segments_[s].from;
        if (pass == 0) {
          if (ends_[segments_[s].from].size() == 1) {
            start = segments_[s].from;
          } else if (ends_[segments_[s].to].size() == 1) {
            start = segments_[s].to;
          } else {
            continue;
          }
        }
        ContourLine line{Crossing(start)};
        Follow(start, line, used);
        lines.push_back(std::move(line));
      }
    }
    return lines;
  }

  const std::vector<double>& x_;
  const std::vector<double>& y_;
  const std::vector<double>& d_;
  double level_;
  long long g_;
  std::vector<Segment> segments_;
  std::unordered_map<long long, std::vector<size_t>> ends_;
};

}  // namespace

std::vector<ContourLine> ContourLines(const std::vector<double>& x, const std::vector<double>& y,
                                      const std::vector<double>& density, double level) {
  if (x.size() < 2 || y.size() < 2 || density.size() != x.size() * y.size() ||
      !std::isfinite(level))
    return {};
  return ContourTracer(x, y, density, level).Trace();
}

}  // namespace estimetrix
