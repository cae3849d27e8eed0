#include <cmath>
#include <vector>

#include "paint/raster.h"

namespace vestrana {

namespace {

// The stroker's fixed-point grid is 1/64 of its unit; working in 1/16
// pixel units gives it 1/1024 pixel resolution, so stroked edges land
// where they should even after a non-uniform transform.
constexpr double kStrokeOversample = 16;

// The largest coordinate the stroker may see, in its units.
constexpr double kStrokerLimit = kMaxDeviceCoordinate * kStrokeOversample;

// Hands the path's subpaths to the stroker, in path units magnified by k.
// False when a point lies out of range (nothing may be drawn then) or no
// subpath has any length.
bool feed_stroker(FT_Stroker stroker, const Path& path, double k) {
  bool in_range = true;
  auto to_stroker = [&](Point p) {
    const double x = p.x * k;
    const double y = p.y * k;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kStrokerLimit || std::fabs(y) > kStrokerLimit) {
      in_range = false;
      return FT_Vector{0, 0};
    }
    return FT_Vector{static_cast<FT_Pos>(std::lround(x * 64)), static_cast<FT_Pos>(std::lround(y * 64))};
  };

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
  return in_range && any;
}

// The stroker's outline, divided by k and put through the transform, as a
// device outline; false when there is none or it is too large.
bool take_stroke(FT_Stroker stroker, const Transform& transform, double k, Outline& outline) {
  FT_UInt n_points = 0;
  FT_UInt n_contours = 0;
  if (FT_Stroker_GetCounts(stroker, &n_points, &n_contours) != 0 || n_points == 0 || n_points > kMaxOutlinePoints ||
      n_contours > kMaxOutlinePoints) {
    return false;
  }
  std::vector<FT_Vector> stroked(n_points);
  std::vector<Tag> tags(n_points);
  std::vector<ContourEnd> contours(n_contours);
  FT_Outline raw{};
  raw.points = stroked.data();
  raw.tags = tags.data();
  raw.contours = contours.data();
  FT_Stroker_Export(stroker, &raw);

  const double inverse = 1.0 / (64.0 * k);
  for (int c = 0, first = 0; c < raw.n_contours; ++c) {
    const int last = raw.contours[c];
    auto at = [&](int i) {
      return transform.map(
          Point{static_cast<float>(raw.points[i].x * inverse), static_cast<float>(raw.points[i].y * inverse)});
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
  return true;
}

}  // namespace

void stroke_path(Pixmap& pixmap, const Path& path, float width, Color color, const Transform& transform) {
  if (color.a == 0 || path.empty() || !(width > 0) || !valid_transform(transform)) return;
  FT_Stroker stroker = raster_stroker();
  if (stroker == nullptr) return;

  // The stroker works in path units magnified by k: the transform's mean
  // scale times the oversampling, so its fixed-point grid is fine whatever
  // the path's units. Its outline then goes through the transform (after
  // dividing by k). Stroking before transforming keeps the pen's shape
  // right under non-uniform scales.
  const double det =
      static_cast<double>(transform.sx) * transform.sy - static_cast<double>(transform.kx) * transform.ky;
  const double k = std::sqrt(std::fabs(det)) * kStrokeOversample;
  if (!(k > 1e-6) || !std::isfinite(k)) return;
  const double radius = static_cast<double>(width) * k / 2;
  if (!(radius * 64 >= 1) || radius > kStrokerLimit) return;

  FT_Stroker_Set(stroker, static_cast<FT_Fixed>(std::lround(radius * 64)), FT_STROKER_LINECAP_ROUND,
                 FT_STROKER_LINEJOIN_ROUND, FT_Fixed{4} << 16);
  if (!feed_stroker(stroker, path, k)) return;
  Outline& outline = Outline::scratch();
  if (take_stroke(stroker, transform, k, outline)) render(pixmap, outline, color);
}

}  // namespace vestrana
