#pragma once
// Shape painting for the setup window: a premultiplied RGBA pixmap, affine
// transforms, path building, and anti-aliased solid-colour fills and strokes
// blended source-over. Filling and stroking go through FreeType's smooth
// rasterizer and stroker; nothing FreeType-specific leaks out of this header.
//
// Coordinates: x to the right, y downwards, one unit per pixel once the
// transform has been applied. Pixel (px, py) covers [px, px+1) x [py, py+1).
//
// Painting is meant for one thread at a time per pixmap; every thread that
// paints gets its own rasterizer state.

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vestrana {

// A colour with straight (not premultiplied) red, green, blue and alpha.
struct Color {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 0;

  // 0xRRGGBB, opaque.
  static constexpr Color rgb(std::uint32_t rrggbb) {
    return Color{static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>(rrggbb >> 8),
                 static_cast<std::uint8_t>(rrggbb), 0xFF};
  }
  // The same red, green and blue with the alpha byte replaced.
  constexpr Color with_alpha(std::uint8_t alpha) const { return Color{r, g, b, alpha}; }

  friend constexpr bool operator==(const Color&, const Color&) = default;
};

// A width x height image of premultiplied RGBA pixels, 4 bytes each, rows top
// to bottom without padding. A new pixmap is fully transparent.
class Pixmap {
 public:
  Pixmap() = default;
  // Non-positive sizes give an empty pixmap.
  Pixmap(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }
  std::size_t byte_size() const { return pixels_.size(); }

  // Sets every pixel to the colour (premultiplied), without blending.
  void fill(Color color);
  // The premultiplied bytes of one pixel; {0,0,0,0} outside the pixmap.
  std::array<std::uint8_t, 4> pixel(int x, int y) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

struct Point {
  float x = 0;
  float y = 0;
};

// A 2D affine transform:
//   x' = sx * x + kx * y + tx
//   y' = ky * x + sy * y + ty
//
// Composition: a.then(b) is the transform that applies a first and b second,
// so a.then(b).map(p) == b.map(a.map(p)). A shape on a canvas with scale s is
// drawn through shape.then(scale(s, s)): the shape's own transform works in
// logical units, the scale turns the result into pixels.
struct Transform {
  float sx = 1, ky = 0, kx = 0, sy = 1, tx = 0, ty = 0;

  static Transform identity() { return Transform{}; }
  static Transform scale(float sx, float sy);
  static Transform translate(float tx, float ty);
  // Rotation by the angle in degrees about (cx, cy). With y pointing down, a
  // positive angle turns clockwise on screen.
  static Transform rotate(float degrees, float cx = 0, float cy = 0);

  Transform then(const Transform& next) const;
  Point map(Point p) const { return {sx * p.x + kx * p.y + tx, ky * p.x + sy * p.y + ty}; }
};

// A sequence of subpaths made of straight lines and cubic Bézier curves.
// Filling treats every subpath as closed and uses the non-zero winding rule;
// stroking caps open subpaths and joins the ends of closed ones.
class Path {
 public:
  enum class Verb : std::uint8_t { Move, Line, Cubic, Close };

  void move_to(float x, float y);
  // Without a current subpath, a line or curve starts one at the point where
  // the previous subpath started (the origin for a new path).
  void line_to(float x, float y);
  void cubic_to(float x1, float y1, float x2, float y2, float x, float y);
  void close();

  // A closed rectangle, clockwise on screen from the top-left corner.
  void add_rect(float x, float y, float w, float h);
  // A closed circle of four cubic quarter arcs; nothing for r <= 0.
  void add_circle(float cx, float cy, float r);
  // The setup's rounded rectangle: nothing when w <= 0 or h <= 0; the radius
  // is limited to min(r, w/2, h/2) and to >= 0; radius 0 is a plain
  // rectangle; otherwise quarter-circle corners, each a cubic whose control
  // points lie 0.5522848 r from the corner's end points along the edges.
  void add_rounded_rect(float x, float y, float w, float h, float r);

  // Empties the path and keeps its storage for the next one.
  void clear();

  bool empty() const { return verbs_.empty(); }
  const std::vector<Verb>& verbs() const { return verbs_; }
  // Move and Line use one point, Cubic three (two controls, then the end),
  // Close none.
  const std::vector<Point>& points() const { return points_; }

 private:
  void ensure_subpath();
  // Room for a shape of known size, in one allocation per array.
  void make_room(std::size_t verbs, std::size_t points);

  std::vector<Verb> verbs_;
  std::vector<Point> points_;
  Point start_{};
  bool open_subpath_ = false;
};

// A shape as rasterised once for one pixmap: its runs of pixels with their
// coverage, row by row. Filling from it draws exactly what filling the shape
// draws. Its completely covered pixels are also what an opaque fill of it
// overwrites whatever lies below, so layers under it may leave them out.
class Coverage {
 public:
  struct Run {
    int row;  // pixmap row
    int x;
    int len;
    std::uint8_t coverage;
  };

  const std::vector<Run>& runs() const { return runs_; }
  // The longest run of the row whose pixels are all completely covered, as
  // [first, end); first == end when there is none.
  std::pair<int, int> full_run(int row) const;

 private:
  friend Coverage rasterize_path(const Pixmap& pixmap, const Path& path, const Transform& transform);
  std::vector<Run> runs_;
  int first_row_ = 0;
  std::vector<std::pair<int, int>> full_;  // per row from first_row_
};

// Anti-aliased, source-over. A colour with alpha 0 draws nothing. Paths
// that are empty, have no area, contain non-finite numbers or reach beyond
// +-16000 pixels after the transform are skipped without a trace. Pixels
// that `hidden` covers completely are left as they are: an opaque fill of
// that shape follows and overwrites them.
void fill_path(Pixmap& pixmap, const Path& path, Color color, const Transform& transform,
               const Coverage* hidden = nullptr);

// The runs fill_path would blend for the path (none for the paths it skips).
Coverage rasterize_path(const Pixmap& pixmap, const Path& path, const Transform& transform);
// Blends the recorded runs as fill_path blends the shape's.
void fill_coverage(Pixmap& pixmap, const Coverage& coverage, Color color);

// Strokes the path with the width in path units (scaled by the transform
// together with the path), round caps, round joins, miter limit 4, no
// dashes. Widths <= 0 and zero-length subpaths draw nothing.
void stroke_path(Pixmap& pixmap, const Path& path, float width, Color color, const Transform& transform);

void fill_rounded_rect(Pixmap& pixmap, float x, float y, float w, float h, float r, Color color,
                       const Transform& transform, const Coverage* hidden = nullptr);
void fill_circle(Pixmap& pixmap, float cx, float cy, float r, Color color, const Transform& transform);

// A pixmap seen in logical units: every call draws through
// shape.then(Transform::scale(scale, scale)).
struct Canvas {
  Pixmap& pixmap;
  float scale = 1;

  Transform device(const Transform& shape = Transform::identity()) const {
    return shape.then(Transform::scale(scale, scale));
  }
  void fill_path(const Path& path, Color color, const Transform& shape = Transform::identity()) const {
    vestrana::fill_path(pixmap, path, color, device(shape));
  }
  void stroke_path(const Path& path, float width, Color color, const Transform& shape = Transform::identity()) const {
    vestrana::stroke_path(pixmap, path, width, color, device(shape));
  }
  void fill_rounded_rect(float x, float y, float w, float h, float r, Color color,
                         const Transform& shape = Transform::identity(), const Coverage* hidden = nullptr) const {
    vestrana::fill_rounded_rect(pixmap, x, y, w, h, r, color, device(shape), hidden);
  }
  Coverage rasterize_rounded_rect(float x, float y, float w, float h, float r,
                                  const Transform& shape = Transform::identity()) const {
    Path path;
    path.add_rounded_rect(x, y, w, h, r);
    return vestrana::rasterize_path(pixmap, path, device(shape));
  }
  void fill_coverage(const Coverage& coverage, Color color) const { vestrana::fill_coverage(pixmap, coverage, color); }
  void fill_rect(float x, float y, float w, float h, Color color,
                 const Transform& shape = Transform::identity()) const {
    vestrana::fill_rounded_rect(pixmap, x, y, w, h, 0, color, device(shape));
  }
  void fill_circle(float cx, float cy, float r, Color color, const Transform& shape = Transform::identity()) const {
    vestrana::fill_circle(pixmap, cx, cy, r, color, device(shape));
  }
};

// Interpolates each of red, green, blue and alpha: round(a + (b - a) t) with
// t clamped to 0..1 (not-a-number counts as 0), halves away from zero.
Color mix(Color a, Color b, float t);

// p limited to 0..1; not-a-number gives 0.
float clamp_unit(float p);

}  // namespace vestrana
