#include "paint/pixmap.h"

#include <algorithm>

namespace vestrana {

namespace {

// Cubic control-point distance for a quarter circle of radius 1.
constexpr float kKappa = 0.5522848f;

}  // namespace

void Path::move_to(float x, float y) {
  // A move right after a move replaces it: an empty subpath has no use.
  if (!verbs_.empty() && verbs_.back() == Verb::Move) {
    points_.back() = Point{x, y};
  } else {
    verbs_.push_back(Verb::Move);
    points_.push_back(Point{x, y});
  }
  start_ = Point{x, y};
  open_subpath_ = true;
}

void Path::clear() {
  verbs_.clear();
  points_.clear();
  start_ = Point{};
  open_subpath_ = false;
}

void Path::make_room(std::size_t verbs, std::size_t points) {
  // Growing element by element would allocate five or six times for each
  // rounded rectangle; long paths still grow geometrically.
  if (verbs_.capacity() - verbs_.size() < verbs) {
    verbs_.reserve(std::max(verbs_.size() + verbs, 2 * verbs_.capacity()));
  }
  if (points_.capacity() - points_.size() < points) {
    points_.reserve(std::max(points_.size() + points, 2 * points_.capacity()));
  }
}

void Path::ensure_subpath() {
  if (!open_subpath_) move_to(start_.x, start_.y);
}

void Path::line_to(float x, float y) {
  ensure_subpath();
  verbs_.push_back(Verb::Line);
  points_.push_back(Point{x, y});
}

void Path::cubic_to(float x1, float y1, float x2, float y2, float x, float y) {
  ensure_subpath();
  verbs_.push_back(Verb::Cubic);
  points_.push_back(Point{x1, y1});
  points_.push_back(Point{x2, y2});
  points_.push_back(Point{x, y});
}

void Path::close() {
  if (open_subpath_ && !verbs_.empty() && verbs_.back() != Verb::Move) verbs_.push_back(Verb::Close);
  open_subpath_ = false;
}

void Path::add_rect(float x, float y, float w, float h) {
  make_room(5, 4);
  move_to(x, y);
  line_to(x + w, y);
  line_to(x + w, y + h);
  line_to(x, y + h);
  close();
}

void Path::add_circle(float cx, float cy, float r) {
  if (!(r > 0)) return;
  const float k = kKappa * r;
  make_room(6, 13);
  move_to(cx + r, cy);
  cubic_to(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
  cubic_to(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
  cubic_to(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
  cubic_to(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
  close();
}

void Path::add_rounded_rect(float x, float y, float w, float h, float r) {
  if (!(w > 0) || !(h > 0)) return;
  r = std::min({r, w / 2, h / 2});
  if (!(r > 0)) {  // also catches a radius that is not a number
    add_rect(x, y, w, h);
    return;
  }
  const float k = kKappa * r;
  make_room(10, 17);
  const float right = x + w;
  const float bottom = y + h;
  move_to(x + r, y);
  line_to(right - r, y);
  cubic_to(right - r + k, y, right, y + r - k, right, y + r);
  line_to(right, bottom - r);
  cubic_to(right, bottom - r + k, right - r + k, bottom, right - r, bottom);
  line_to(x + r, bottom);
  cubic_to(x + r - k, bottom, x, bottom - r + k, x, bottom - r);
  line_to(x, y + r);
  cubic_to(x, y + r - k, x + r - k, y, x + r, y);
  close();
}

}  // namespace vestrana
