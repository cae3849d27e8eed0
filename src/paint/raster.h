#pragma once
// The shape painter's FreeType glue, shared by filling and stroking: one
// rasterizer and stroker per painting thread, outlines in device space, the
// span callbacks that blend or record what the rasterizer covers, and the
// walk over a path's subpaths.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_STROKER_H

#include <cstddef>
#include <type_traits>
#include <vector>

#include "paint/pixmap.h"

namespace vestrana {

// FreeType's smooth rasterizer multiplies segment lengths in 24.8 fixed
// point by 256 in a `long`, which has 32 bits on Windows: lines longer than
// 32768 pixels would overflow there. Nothing the setup draws comes close,
// so such paths count as degenerate.
constexpr float kMaxDeviceCoordinate = 16000.0f;

FT_Library raster_library();
// The thread's stroker, or null when FreeType could not make one.
FT_Stroker raster_stroker();

using Tag = std::remove_pointer_t<decltype(FT_Outline::tags)>;
using ContourEnd = std::remove_pointer_t<decltype(FT_Outline::contours)>;
constexpr std::size_t kMaxOutlinePoints = 32767;

// An FT_Outline in device space (26.6 fixed point, y negated so that
// FreeType's upward y becomes our downward y) over vectors we own.
struct Outline {
  std::vector<FT_Vector> points;
  std::vector<Tag> tags;
  std::vector<ContourEnd> contours;
  std::size_t contour_start = 0;
  bool valid = true;

  // Painting renders one outline at a time, and a frame has a few dozen of
  // them: each thread keeps one whose arrays are emptied, not freed, for
  // the next shape, so painting a frame does not allocate for outlines.
  static Outline& scratch();

  // Adds a point; a point that is not finite or lies beyond
  // kMaxDeviceCoordinate makes the whole outline unusable.
  void add(Point device, Tag tag);
  // A cubic from the last point, cut into straight lines that stay within
  // 0.02 pixels of the curve.
  void cubic(Point p1, Point p2, Point p3);
  // Ends the current contour; one with fewer than two points encloses
  // nothing and is dropped.
  void end_contour();
  bool usable() const;
  FT_Outline view();
};

// What the span callback blends: the straight colour and the target, and
// the shape whose completely covered pixels are left alone.
struct SpanTarget {
  std::uint8_t* pixels;
  int width;
  int height;
  Color color;
  const Coverage* hidden = nullptr;
};

// FreeType's span callbacks: blending into a SpanTarget, and recording the
// runs into a std::vector<Coverage::Run>.
void blend_spans(int y, int count, const FT_Span* spans, void* user);
void record_spans(int y, int count, const FT_Span* spans, void* user);

// Runs the rasterizer over the pixmap's area with the span callback.
void rasterize(const Pixmap& pixmap, Outline& outline, FT_SpanFunc spans, void* user);
// Blends the outline in the colour, leaving what `hidden` covers completely.
void render(Pixmap& pixmap, Outline& outline, Color color, const Coverage* hidden = nullptr);

// Iterates the path's subpaths: for each, the verbs and points from its
// Move up to (not including) the next Move.
template <class Fn>
void for_each_subpath(const Path& path, Fn&& fn) {
  const auto& verbs = path.verbs();
  std::size_t v = 0;
  std::size_t p = 0;
  while (v < verbs.size()) {
    const std::size_t first_verb = v;
    const std::size_t first_point = p;
    ++v;
    ++p;  // the Move
    while (v < verbs.size() && verbs[v] != Path::Verb::Move) {
      if (verbs[v] == Path::Verb::Line) p += 1;
      if (verbs[v] == Path::Verb::Cubic) p += 3;
      ++v;
    }
    fn(first_verb, v, first_point);
  }
}

bool valid_transform(const Transform& t);

}  // namespace vestrana
