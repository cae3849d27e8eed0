#include "paint/pixmap.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_STROKER_H

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrana {

namespace {

// Cubic control-point distance for a quarter circle of radius 1.
constexpr float kKappa = 0.5522848f;

// FreeType's smooth rasterizer multiplies segment lengths in 24.8 fixed
// point by 256 in a `long`, which has 32 bits on Windows: lines longer than
// 32768 pixels would overflow there. Nothing the setup draws comes close,
// so such paths count as degenerate.
constexpr float kMaxDeviceCoordinate = 16000.0f;

// The stroker's fixed-point grid is 1/64 of its unit; working in 1/16
// pixel units gives it 1/1024 pixel resolution, so stroked edges land
// where they should even after a non-uniform transform.
constexpr double kStrokeOversample = 16;

// How far, in pixels, a straight piece may stray from the curve it stands
// for.
constexpr float kFlatness = 0.02f;

constexpr std::uint32_t div255(std::uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

// One FreeType library and stroker per painting thread, created on first
// use and released when the thread ends.
class Rasterizer {
 public:
  Rasterizer() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    if (FT_Stroker_New(library_, &stroker_) != 0) stroker_ = nullptr;
  }
  ~Rasterizer() {
    if (stroker_ != nullptr) FT_Stroker_Done(stroker_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  Rasterizer(const Rasterizer&) = delete;
  Rasterizer& operator=(const Rasterizer&) = delete;

  FT_Library library() const { return library_; }
  FT_Stroker stroker() const { return stroker_; }

 private:
  FT_Library library_ = nullptr;
  FT_Stroker stroker_ = nullptr;
};

Rasterizer& rasterizer() {
  thread_local Rasterizer instance;
  return instance;
}

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
  static Outline& scratch() {
    thread_local Outline outline;
    outline.points.clear();
    outline.tags.clear();
    outline.contours.clear();
    outline.contour_start = 0;
    outline.valid = true;
    return outline;
  }

  // std::lround for the bounded, finite coordinates here, without the
  // library call that the Windows C runtime makes of it (two per point).
  // Adding one half in double is exact for every float of this range.
  static FT_Pos round_half_away(float v) {
    const double d = v;
    return static_cast<FT_Pos>(d < 0 ? d - 0.5 : d + 0.5);
  }

  void add(Point device, Tag tag) {
    if (!std::isfinite(device.x) || !std::isfinite(device.y) ||
        std::fabs(device.x) > kMaxDeviceCoordinate || std::fabs(device.y) > kMaxDeviceCoordinate) {
      valid = false;
      return;
    }
    points.push_back(FT_Vector{round_half_away(device.x * 64.0f), round_half_away(-device.y * 64.0f)});
    tags.push_back(tag);
  }

  // A cubic from the last point, cut into straight lines. FreeType's own
  // subdivision is tuned for glyphs and leaves small circles visibly
  // polygonal (a radius-6 circle loses 2.5 % of its area); here every line
  // stays within kFlatness of the curve. Subdividing after the transform is
  // exact because affine maps keep Bézier curves Bézier curves.
  void cubic(Point p1, Point p2, Point p3) {
    if (points.size() == contour_start) return;  // no start point: nothing to join
    const FT_Vector& last = points.back();
    const Point p0{last.x / 64.0f, -last.y / 64.0f};
    // |B''| <= 6 max(|p0 - 2p1 + p2|, |p1 - 2p2 + p3|); chords of parameter
    // width 1/n then stray at most 6 M / (8 n^2) from the curve.
    const float m = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                             std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    if (!std::isfinite(m)) {
      valid = false;
      return;
    }
    const int n = static_cast<int>(std::clamp(std::ceil(std::sqrt(0.75f * m / kFlatness)), 1.0f, 256.0f));
    for (int i = 1; i < n; ++i) {
      const float t = static_cast<float>(i) / static_cast<float>(n);
      const float u = 1 - t;
      const float a = u * u * u;
      const float b = 3 * u * u * t;
      const float c = 3 * u * t * t;
      const float d = t * t * t;
      add(Point{a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y},
          FT_CURVE_TAG_ON);
    }
    add(p3, FT_CURVE_TAG_ON);
  }

  // Ends the current contour; one with fewer than two points encloses
  // nothing and is dropped.
  void end_contour() {
    if (points.size() - contour_start < 2) {
      points.resize(contour_start);
      tags.resize(contour_start);
    } else {
      contours.push_back(static_cast<ContourEnd>(points.size() - 1));
      contour_start = points.size();
    }
  }

  bool usable() const {
    return valid && !contours.empty() && points.size() <= kMaxOutlinePoints &&
           contours.size() <= kMaxOutlinePoints;
  }

  FT_Outline view() {
    FT_Outline outline{};
    outline.n_points = static_cast<decltype(outline.n_points)>(points.size());
    outline.n_contours = static_cast<decltype(outline.n_contours)>(contours.size());
    outline.points = points.data();
    outline.tags = tags.data();
    outline.contours = contours.data();
    outline.flags = FT_OUTLINE_NONE;  // non-zero winding
    return outline;
  }
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

// A pixel as one 32-bit word: red in the low byte, alpha in the high byte.
static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

std::uint32_t pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return r | (g << 8) | (b << 16) | (a << 24);
}

// d * ia / 255 for all four channels at once, rounded exactly like div255:
// two channels share a word, 16 bits apart, and 255 * 255 + 128 + 254 still
// fits in 16 bits, so no lane spills into the next.
std::uint32_t scale_pixel(std::uint32_t d, std::uint32_t ia) {
  std::uint32_t rb = (d & 0x00FF00FFu) * ia + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  std::uint32_t ga = ((d >> 8) & 0x00FF00FFu) * ia + 0x00800080u;
  ga = (ga + ((ga >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ga;
}

// The colour at a coverage as a premultiplied pixel word: its alpha is the
// colour's alpha times the coverage, and 0 (nothing shows) gives 0.
// Scaling the opaque colour by that alpha gives each channel as
// div255(channel * alpha) and the alpha itself (div255(255 * a) == a) in two
// multiplications; the edge pixels of every shape need one of these each.
inline std::uint32_t source_pixel(Color color, std::uint8_t coverage) {
  return scale_pixel(pack(color.r, color.g, color.b, 255), div255(std::uint32_t{color.a} * coverage));
}

// Writes one pixel word over n pixels, four at a time where it can: the
// full-canvas fill of every frame, card bodies and buttons.
void store_run(std::uint8_t* p, std::size_t n, std::uint32_t px) {
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i four = _mm_set1_epi32(static_cast<int>(px));
  for (; k + 4 <= n; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k), four);
#endif
  for (; k < n; ++k) std::memcpy(p + 4 * k, &px, 4);
}

// Blends the colour at the coverage over the pixels [x0, x1) of one row.
void blend_run(std::uint8_t* line, int x0, int x1, Color color, std::uint8_t coverage) {
  if (x1 <= x0) return;
  // Premultiplied source-over: out = src + dst (255 - src alpha) / 255.
  // Channels never exceed alpha, so the sum cannot carry between bytes.
  const std::uint32_t src = source_pixel(color, coverage);
  if (src == 0) return;
  const std::uint32_t ia = 255 - (src >> 24);
  std::uint8_t* p = line + static_cast<std::size_t>(x0) * 4;
  const std::size_t n = static_cast<std::size_t>(x1 - x0);
  if (ia == 0) {
    store_run(p, n, src);
    return;
  }
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i source = _mm_set1_epi32(static_cast<int>(src));
  // Four pixels at a time, bit for bit what scale_pixel computes: every
  // channel widened to 16 bits, d * ia + 128 (at most 65153), then
  // (v + (v >> 8)) >> 8. The large translucent card shadows spend most of
  // a frame here.
  const __m128i zero = _mm_setzero_si128();
  const __m128i factor = _mm_set1_epi16(static_cast<short>(ia));
  const __m128i bias = _mm_set1_epi16(128);
  // Translucent layers mostly cover a plain area (the background, or the
  // layer below blended over it), so four pixels equal to the last four
  // blended get the same result without the arithmetic.
  __m128i seen = _mm_setzero_si128(), made = _mm_setzero_si128();
  bool have = false;
  for (; k + 4 <= n; k += 4) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * k));
    if (have && _mm_movemask_epi8(_mm_cmpeq_epi32(d, seen)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k), made);
      continue;
    }
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), bias);
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), bias);
    lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
    const __m128i out = _mm_add_epi8(_mm_packus_epi16(lo, hi), source);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k), out);
    seen = d;
    made = out;
    have = true;
  }
#endif
  for (; k < n; ++k) {
    std::uint32_t d;
    std::memcpy(&d, p + 4 * k, 4);
    d = src + scale_pixel(d, ia);
    std::memcpy(p + 4 * k, &d, 4);
  }
}

// FreeType reports rows in its own upward y: row y covers [y, y+1) there,
// which is our row -y-1 after the negation in Outline::add.
void blend_spans(int y, int count, const FT_Span* spans, void* user) {
  const auto& t = *static_cast<const SpanTarget*>(user);
  const int row = -y - 1;
  if (row < 0 || row >= t.height) return;
  std::uint8_t* line = t.pixels + static_cast<std::size_t>(row) * static_cast<std::size_t>(t.width) * 4;
  const auto [hidden_first, hidden_end] = t.hidden != nullptr ? t.hidden->full_run(row) : std::pair<int, int>{0, 0};
  // Read once: the pixel stores below could alias the target as far as the
  // compiler knows.
  const int width = t.width;
  const std::uint32_t alpha = t.color.a;
  const std::uint32_t opaque = pack(t.color.r, t.color.g, t.color.b, 255);
  for (int i = 0; i < count; ++i) {
    const int x0 = std::max<int>(spans[i].x, 0);
    const int x1 = std::min<int>(spans[i].x + spans[i].len, width);
    if (x1 - x0 == 1 && !(hidden_first <= x0 && x0 < hidden_end)) {
      // Most spans are one edge pixel: blended here, without the run's
      // setup (source_pixel spelled out, its alpha tested before the rest).
      const std::uint32_t sa = div255(alpha * spans[i].coverage);
      if (sa == 0) continue;
      std::uint32_t d;
      std::memcpy(&d, line + 4 * static_cast<std::size_t>(x0), 4);
      d = scale_pixel(opaque, sa) + scale_pixel(d, 255 - sa);
      std::memcpy(line + 4 * static_cast<std::size_t>(x0), &d, 4);
      continue;
    }
    if (hidden_first < hidden_end && x0 < hidden_end && hidden_first < x1) {
      // Only what lies beside the hidden run.
      blend_run(line, x0, hidden_first, t.color, spans[i].coverage);
      blend_run(line, hidden_end, x1, t.color, spans[i].coverage);
    } else {
      blend_run(line, x0, x1, t.color, spans[i].coverage);
    }
  }
}

// Records the runs instead of blending them (rows as in blend_spans).
void record_spans(int y, int count, const FT_Span* spans, void* user) {
  auto& runs = *static_cast<std::vector<Coverage::Run>*>(user);
  for (int i = 0; i < count; ++i) {
    runs.push_back(Coverage::Run{-y - 1, spans[i].x, spans[i].len, spans[i].coverage});
  }
}

// Runs the rasterizer over the pixmap's area with the span callback.
void rasterize(const Pixmap& pixmap, Outline& outline, FT_SpanFunc spans, void* user) {
  if (!outline.usable() || pixmap.width() <= 0 || pixmap.height() <= 0) return;
  FT_Library library = rasterizer().library();
  if (library == nullptr) return;
  FT_Outline view = outline.view();
  FT_Raster_Params params{};
  params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
  params.gray_spans = spans;
  params.user = user;
  params.clip_box.xMin = 0;
  params.clip_box.xMax = pixmap.width();
  params.clip_box.yMin = -pixmap.height();
  params.clip_box.yMax = 0;
  // A refused outline is a degenerate shape: nothing to draw.
  (void)FT_Outline_Render(library, &view, &params);
}

void render(Pixmap& pixmap, Outline& outline, Color color, const Coverage* hidden = nullptr) {
  SpanTarget target{pixmap.data(), pixmap.width(), pixmap.height(), color, hidden};
  rasterize(pixmap, outline, blend_spans, &target);
}

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

bool valid_transform(const Transform& t) {
  return std::isfinite(t.sx) && std::isfinite(t.ky) && std::isfinite(t.kx) && std::isfinite(t.sy) &&
         std::isfinite(t.tx) && std::isfinite(t.ty);
}

}  // namespace

// --- Pixmap -----------------------------------------------------------------

Pixmap::Pixmap(int width, int height) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
}

void Pixmap::fill(Color color) {
  // Every frame starts with this: stored, without reading anything back.
  store_run(pixels_.data(), pixels_.size() / 4, source_pixel(color, 255));
}

std::array<std::uint8_t, 4> Pixmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

// --- Transform --------------------------------------------------------------

Transform Transform::scale(float sx, float sy) { return Transform{sx, 0, 0, sy, 0, 0}; }

Transform Transform::translate(float tx, float ty) { return Transform{1, 0, 0, 1, tx, ty}; }

Transform Transform::rotate(float degrees, float cx, float cy) {
  // Exact quarter turns keep axis-aligned shapes axis-aligned, without the
  // 1e-8 residue of cos(90°) that would tilt edges by a hair.
  const double turns = static_cast<double>(degrees) / 90.0;
  double c = 0;
  double s = 0;
  if (turns == std::floor(turns) && std::fabs(turns) < 1e6) {
    static constexpr double kCos[4] = {1, 0, -1, 0};
    static constexpr double kSin[4] = {0, 1, 0, -1};
    const long quarter = ((static_cast<long>(turns) % 4) + 4) % 4;
    c = kCos[quarter];
    s = kSin[quarter];
  } else {
    const double radians = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    c = std::cos(radians);
    s = std::sin(radians);
  }
  // Rotate about the origin, then move the origin to (cx, cy):
  // p' = R (p - c) + c.
  const float fc = static_cast<float>(c);
  const float fs = static_cast<float>(s);
  return Transform{fc, fs, -fs, fc, static_cast<float>(cx - c * cx + s * cy),
                   static_cast<float>(cy - s * cx - c * cy)};
}

Transform Transform::then(const Transform& n) const {
  // n ∘ this: the linear parts multiply as N·M, the translation is N·t + n.t.
  return Transform{n.sx * sx + n.kx * ky,      n.ky * sx + n.sy * ky,      n.sx * kx + n.kx * sy,
                   n.ky * kx + n.sy * sy,      n.sx * tx + n.kx * ty + n.tx, n.ky * tx + n.sy * ty + n.ty};
}

// --- Path -------------------------------------------------------------------

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

// --- Filling and stroking -----------------------------------------------------

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

void stroke_path(Pixmap& pixmap, const Path& path, float width, Color color,
                 const Transform& transform) {
  if (color.a == 0 || path.empty() || !(width > 0) || !valid_transform(transform)) return;
  FT_Stroker stroker = rasterizer().stroker();
  if (stroker == nullptr) return;

  // The stroker works in path units magnified by k: the transform's mean
  // scale times the oversampling, so its fixed-point grid is fine whatever
  // the path's units. Its outline then goes through the transform (after
  // dividing by k). Stroking before transforming keeps the pen's shape
  // right under non-uniform scales.
  const double det = static_cast<double>(transform.sx) * transform.sy -
                     static_cast<double>(transform.kx) * transform.ky;
  const double k = std::sqrt(std::fabs(det)) * kStrokeOversample;
  if (!(k > 1e-6) || !std::isfinite(k)) return;
  const double limit = kMaxDeviceCoordinate * kStrokeOversample;
  const double radius = static_cast<double>(width) * k / 2;
  if (!(radius * 64 >= 1) || radius > limit) return;

  bool in_range = true;
  auto to_stroker = [&](Point p) {
    const double x = p.x * k;
    const double y = p.y * k;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > limit || std::fabs(y) > limit) {
      in_range = false;
      return FT_Vector{0, 0};
    }
    return FT_Vector{static_cast<FT_Pos>(std::lround(x * 64)), static_cast<FT_Pos>(std::lround(y * 64))};
  };

  FT_Stroker_Set(stroker, static_cast<FT_Fixed>(std::lround(radius * 64)), FT_STROKER_LINECAP_ROUND,
                 FT_STROKER_LINEJOIN_ROUND, FT_Fixed{4} << 16);
  const auto& verbs = path.verbs();
  const auto& points = path.points();
  bool any = false;
  for_each_subpath(path, [&](std::size_t v_begin, std::size_t v_end, std::size_t p_begin) {
    // Converted points and whether the subpath has any length at all: the
    // stroker has no use for a subpath that stays on one point.
    std::size_t count = 1;
    bool closed = false;
    for (std::size_t v = v_begin + 1; v < v_end; ++v) {
      if (verbs[v] == Path::Verb::Line) count += 1;
      if (verbs[v] == Path::Verb::Cubic) count += 3;
      if (verbs[v] == Path::Verb::Close) closed = true;
    }
    std::vector<FT_Vector> pts(count);
    bool has_length = false;
    for (std::size_t i = 0; i < count; ++i) {
      pts[i] = to_stroker(points[p_begin + i]);
      if (pts[i].x != pts[0].x || pts[i].y != pts[0].y) has_length = true;
    }
    if (!in_range || !has_length) return;

    FT_Stroker_BeginSubPath(stroker, &pts[0], closed ? 0 : 1);
    std::size_t i = 1;
    for (std::size_t v = v_begin + 1; v < v_end; ++v) {
      if (verbs[v] == Path::Verb::Line) {
        FT_Stroker_LineTo(stroker, &pts[i]);
        i += 1;
      } else if (verbs[v] == Path::Verb::Cubic) {
        FT_Stroker_CubicTo(stroker, &pts[i], &pts[i + 1], &pts[i + 2]);
        i += 3;
      }
    }
    FT_Stroker_EndSubPath(stroker);
    any = true;
  });
  if (!in_range || !any) return;

  FT_UInt n_points = 0;
  FT_UInt n_contours = 0;
  if (FT_Stroker_GetCounts(stroker, &n_points, &n_contours) != 0 || n_points == 0 ||
      n_points > kMaxOutlinePoints || n_contours > kMaxOutlinePoints) {
    return;
  }
  std::vector<FT_Vector> stroked(n_points);
  std::vector<Tag> tags(n_points);
  std::vector<ContourEnd> contours(n_contours);
  FT_Outline raw{};
  raw.points = stroked.data();
  raw.tags = tags.data();
  raw.contours = contours.data();
  FT_Stroker_Export(stroker, &raw);

  Outline& outline = Outline::scratch();
  const double inverse = 1.0 / (64.0 * k);
  for (int c = 0, first = 0; c < raw.n_contours; ++c) {
    const int last = raw.contours[c];
    auto at = [&](int i) {
      return transform.map(Point{static_cast<float>(raw.points[i].x * inverse),
                                 static_cast<float>(raw.points[i].y * inverse)});
    };
    // The stroker writes its arcs as cubics (and conics only for conic
    // input, which paths do not have); flatten them like filled curves.
    for (int i = first; i <= last; ++i) {
      if (FT_CURVE_TAG(raw.tags[i]) == FT_CURVE_TAG_CUBIC && i + 2 <= last + 1) {
        const Point end = i + 2 <= last ? at(i + 2) : at(first);
        outline.cubic(at(i), at(i + 1), end);
        i += 2;
      } else {
        outline.add(at(i), raw.tags[i]);
      }
    }
    outline.end_contour();
    first = last + 1;
  }
  render(pixmap, outline, color);
}

void fill_rounded_rect(Pixmap& pixmap, float x, float y, float w, float h, float r, Color color,
                       const Transform& transform, const Coverage* hidden) {
  if (color.a == 0 || !(w > 0) || !(h > 0)) return;
  Path& path = scratch_path();
  path.add_rounded_rect(x, y, w, h, r);
  fill_path(pixmap, path, color, transform, hidden);
}

void fill_circle(Pixmap& pixmap, float cx, float cy, float r, Color color,
                 const Transform& transform) {
  if (color.a == 0 || !(r > 0)) return;
  Path& path = scratch_path();
  path.add_circle(cx, cy, r);
  fill_path(pixmap, path, color, transform);
}

// --- Colour and easing ------------------------------------------------------

Color mix(Color a, Color b, float t) {
  if (!(t > 0)) t = 0;  // also not-a-number
  if (t > 1) t = 1;
  auto channel = [t](std::uint8_t from, std::uint8_t to) {
    const float v = std::round(static_cast<float>(from) + (static_cast<float>(to) - from) * t);
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
  };
  return Color{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b), channel(a.a, b.a)};
}

namespace {
float clamp_unit(float p) {
  if (!(p > 0)) return 0;  // also not-a-number
  return p > 1 ? 1 : p;
}
}  // namespace

float ease_out_cubic(float p) {
  const float q = 1 - clamp_unit(p);
  return 1 - q * q * q;
}

float ease_out_back(float p) {
  const float q = clamp_unit(p) - 1;
  return 1 + 2.70158f * q * q * q + 1.70158f * q * q;
}

std::uint8_t alpha_from(float opacity) {
  return static_cast<std::uint8_t>(std::clamp(std::round(clamp_unit(opacity) * 255.0f), 0.0f, 255.0f));
}

}  // namespace vestrana
