#include "paint/pixel_blend.h"
#include "paint/raster.h"

#include <algorithm>

namespace vestrana {

namespace {

// The path of one rounded rectangle or circle being filled; kept per thread
// like the outline, so that the shapes of a frame do not allocate.
Path& scratch_path() {
  thread_local Path path;
  path.clear();
  return path;
}

// The path as an outline of straight lines in device pixels.
Outline& outline_of(const Path& path, const Transform& transform) {
  Outline& outline = Outline::scratch();
  const auto& verbs = path.verbs();
  const auto& points = path.points();
  for_each_subpath(path, [&](std::size_t v, std::size_t v_end, std::size_t p) {
    outline.add(transform.map(points[p++]), FT_CURVE_TAG_ON);
    for (++v; v < v_end; ++v) {
      if (verbs[v] == Path::Verb::Line) {
        outline.add(transform.map(points[p++]), FT_CURVE_TAG_ON);
      } else if (verbs[v] == Path::Verb::Cubic) {
        outline.cubic(transform.map(points[p]), transform.map(points[p + 1]), transform.map(points[p + 2]));
        p += 3;
      }
    }
    outline.end_contour();  // FreeType closes every contour itself
  });
  return outline;
}

}  // namespace

void fill_path(Pixmap& pixmap, const Path& path, Color color, const Transform& transform, const Coverage* hidden) {
  if (color.a == 0 || path.empty() || !valid_transform(transform)) return;
  Outline& outline = outline_of(path, transform);
  render(pixmap, outline, color, hidden);
}

Coverage rasterize_path(const Pixmap& pixmap, const Path& path, const Transform& transform) {
  Coverage coverage;
  if (path.empty() || !valid_transform(transform)) return coverage;
  Outline& outline = outline_of(path, transform);
  rasterize(pixmap, outline, record_spans, &coverage.runs_);
  // Runs outside the pixmap are never drawn; clip them here as blend_spans
  // does, so the completely covered runs name real pixels.
  std::erase_if(coverage.runs_, [&](Coverage::Run& r) {
    const int x0 = std::max(r.x, 0), x1 = std::min(r.x + r.len, pixmap.width());
    r.x = x0;
    r.len = x1 - x0;
    return r.row < 0 || r.row >= pixmap.height() || r.len <= 0;
  });
  if (coverage.runs_.empty()) return coverage;
  int first = coverage.runs_.front().row, last = first;
  for (const Coverage::Run& r : coverage.runs_) {
    first = std::min(first, r.row);
    last = std::max(last, r.row);
  }
  coverage.first_row_ = first;
  coverage.full_.assign(static_cast<std::size_t>(last - first + 1), {0, 0});
  for (const Coverage::Run& r : coverage.runs_) {
    if (r.coverage != 255) continue;
    auto& full = coverage.full_[static_cast<std::size_t>(r.row - first)];
    if (r.len > full.second - full.first) full = {r.x, r.x + r.len};
  }
  return coverage;
}

void fill_coverage(Pixmap& pixmap, const Coverage& coverage, Color color) {
  if (color.a == 0) return;
  for (const Coverage::Run& r : coverage.runs()) {
    if (r.row < 0 || r.row >= pixmap.height()) continue;
    std::uint8_t* line = pixmap.data() + static_cast<std::size_t>(r.row) * static_cast<std::size_t>(pixmap.width()) * 4;
    blend_run(line, std::max(r.x, 0), std::min(r.x + r.len, pixmap.width()), color, r.coverage);
  }
}

std::pair<int, int> Coverage::full_run(int row) const {
  const long long i = static_cast<long long>(row) - first_row_;
  if (i < 0 || i >= static_cast<long long>(full_.size())) return {0, 0};
  return full_[static_cast<std::size_t>(i)];
}

void fill_rounded_rect(Pixmap& pixmap, float x, float y, float w, float h, float r, Color color,
                       const Transform& transform, const Coverage* hidden) {
  if (color.a == 0 || !(w > 0) || !(h > 0)) return;
  Path& path = scratch_path();
  path.add_rounded_rect(x, y, w, h, r);
  fill_path(pixmap, path, color, transform, hidden);
}

void fill_circle(Pixmap& pixmap, float cx, float cy, float r, Color color, const Transform& transform) {
  if (color.a == 0 || !(r > 0)) return;
  Path& path = scratch_path();
  path.add_circle(cx, cy, r);
  fill_path(pixmap, path, color, transform);
}

}  // namespace vestrana
