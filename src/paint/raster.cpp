#include "paint/raster.h"

#include <algorithm>
#include <cmath>

namespace vestrana {

namespace {

// How far, in pixels, a straight piece may stray from the curve it stands
// for.
constexpr float kFlatness = 0.02f;

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

// std::lround for the bounded, finite coordinates here, without the
// library call that the Windows C runtime makes of it (two per point).
// Adding one half in double is exact for every float of this range.
FT_Pos round_half_away(float v) {
  const double d = v;
  return static_cast<FT_Pos>(d < 0 ? d - 0.5 : d + 0.5);
}

}  // namespace

FT_Library raster_library() { return rasterizer().library(); }
FT_Stroker raster_stroker() { return rasterizer().stroker(); }

Outline& Outline::scratch() {
  thread_local Outline outline;
  outline.points.clear();
  outline.tags.clear();
  outline.contours.clear();
  outline.contour_start = 0;
  outline.valid = true;
  return outline;
}

void Outline::add(Point device, Tag tag) {
  if (!std::isfinite(device.x) || !std::isfinite(device.y) || std::fabs(device.x) > kMaxDeviceCoordinate ||
      std::fabs(device.y) > kMaxDeviceCoordinate) {
    valid = false;
    return;
  }
  points.push_back(FT_Vector{round_half_away(device.x * 64.0f), round_half_away(-device.y * 64.0f)});
  tags.push_back(tag);
}

// FreeType's own subdivision is tuned for glyphs and leaves small circles
// visibly polygonal (a radius-6 circle loses 2.5 % of its area); here every line
// stays within kFlatness of the curve. Subdividing after the transform is
// exact because affine maps keep Bézier curves Bézier curves.
void Outline::cubic(Point p1, Point p2, Point p3) {
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
    add(Point{a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y}, FT_CURVE_TAG_ON);
  }
  add(p3, FT_CURVE_TAG_ON);
}

void Outline::end_contour() {
  if (points.size() - contour_start < 2) {
    points.resize(contour_start);
    tags.resize(contour_start);
  } else {
    contours.push_back(static_cast<ContourEnd>(points.size() - 1));
    contour_start = points.size();
  }
}

bool Outline::usable() const {
  return valid && !contours.empty() && points.size() <= kMaxOutlinePoints && contours.size() <= kMaxOutlinePoints;
}

FT_Outline Outline::view() {
  FT_Outline outline{};
  outline.n_points = static_cast<decltype(outline.n_points)>(points.size());
  outline.n_contours = static_cast<decltype(outline.n_contours)>(contours.size());
  outline.points = points.data();
  outline.tags = tags.data();
  outline.contours = contours.data();
  outline.flags = FT_OUTLINE_NONE;  // non-zero winding
  return outline;
}

// Records the runs instead of blending them (rows as in blend_spans).
void record_spans(int y, int count, const FT_Span* spans, void* user) {
  auto& runs = *static_cast<std::vector<Coverage::Run>*>(user);
  for (int i = 0; i < count; ++i) {
    runs.push_back(Coverage::Run{-y - 1, spans[i].x, spans[i].len, spans[i].coverage});
  }
}

void rasterize(const Pixmap& pixmap, Outline& outline, FT_SpanFunc spans, void* user) {
  if (!outline.usable() || pixmap.width() <= 0 || pixmap.height() <= 0) return;
  FT_Library library = raster_library();
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

void render(Pixmap& pixmap, Outline& outline, Color color, const Coverage* hidden) {
  SpanTarget target{pixmap.data(), pixmap.width(), pixmap.height(), color, hidden};
  rasterize(pixmap, outline, blend_spans, &target);
}

bool valid_transform(const Transform& t) {
  return std::isfinite(t.sx) && std::isfinite(t.ky) && std::isfinite(t.kx) && std::isfinite(t.sy) &&
         std::isfinite(t.tx) && std::isfinite(t.ty);
}

}  // namespace vestrana
