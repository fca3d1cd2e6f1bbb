// soft_line.cpp — one-pixel lines of rmod_soft.
//
// Each end point is taken to the pixel that contains it (floor of x and y). The line
// steps along its major axis from the first pixel towards the second, one pixel per
// step, excluding the second pixel itself, so lines joined end to end never cover their
// joints twice (and a line from a point to itself draws nothing). The minor coordinate
// of step i is the exact rational position rounded half up, the same pixels Bresenham's
// algorithm picks, computed directly so a line that starts far outside the clip can skip
// to the visible part. Colours are interpolated in integers; lines are never textured.
#include <math.h>

#include "soft_internal.h"
#include "soft_pixel.h"

namespace soft {
namespace {

constexpr double COORD_LIMIT = 1048576.0;  // end points clamp to +-2^20 pixels

bool ToPixel(double v, int64_t *out) {
  if (!isfinite(v)) return false;
  if (v < -COORD_LIMIT) v = -COORD_LIMIT;
  if (v > COORD_LIMIT) v = COORD_LIMIT;
  *out = static_cast<int64_t>(floor(v));
  return true;
}

int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

// Step range [lo, hi] within [0, n - 1] for which start + i * dir lies in [min, max).
bool StepRange(int64_t start, int64_t dir, int64_t min, int64_t max, int64_t n, int64_t *lo,
               int64_t *hi) {
  *lo = 0, *hi = n - 1;
  if (dir > 0) {
    if (start < min) *lo = min - start;
    if (max - 1 - start < *hi) *hi = max - 1 - start;
  } else {
    if (start > max - 1) *lo = start - (max - 1);
    if (start - min < *hi) *hi = start - min;
  }
  return *lo <= *hi;
}

int32_t Mix(int32_t c0, int32_t c1, int64_t i, int64_t n) {
  return static_cast<int32_t>((c0 * (n - i) + c1 * i + n / 2) / n);
}

}  // namespace

void DrawLine(const DrawState &st, const RasterVertex &a, const RasterVertex &b) {
  if (!st.target || st.clip.x0 >= st.clip.x1 || st.clip.y0 >= st.clip.y1) return;
  int64_t x0, y0, x1, y1;
  if (!ToPixel(a.x, &x0) || !ToPixel(a.y, &y0) || !ToPixel(b.x, &x1) || !ToPixel(b.y, &y1))
    return;
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const bool x_major = Abs(dx) >= Abs(dy);
  const int64_t n = x_major ? Abs(dx) : Abs(dy);  // pixels drawn
  if (n == 0) return;
  // Major and minor axes: start, direction, extent and clip bounds.
  const int64_t m0 = x_major ? x0 : y0, s0 = x_major ? y0 : x0;
  const int64_t m_dir = (x_major ? dx : dy) > 0 ? 1 : -1;
  const int64_t s_delta = x_major ? dy : dx;
  const int64_t s_dir = s_delta < 0 ? -1 : 1, s_abs = Abs(s_delta);
  const int64_t m_min = x_major ? st.clip.x0 : st.clip.y0, m_max = x_major ? st.clip.x1 : st.clip.y1;
  const int64_t s_min = x_major ? st.clip.y0 : st.clip.x0, s_max = x_major ? st.clip.y1 : st.clip.x1;
  int64_t lo, hi;
  if (!StepRange(m0, m_dir, m_min, m_max, n, &lo, &hi)) return;
  for (int64_t i = lo; i <= hi; i++) {
    const int64_t m = m0 + m_dir * i;
    const int64_t s = s0 + s_dir * ((2 * i * s_abs + n) / (2 * n));
    if (s < s_min || s >= s_max) continue;
    const int64_t x = x_major ? m : s, y = x_major ? s : m;
    const Colour c = {Mix(a.colour.r, b.colour.r, i, n), Mix(a.colour.g, b.colour.g, i, n),
                      Mix(a.colour.b, b.colour.b, i, n), Mix(a.colour.a, b.colour.a, i, n)};
    BlendPixel(st.target->pixels + (static_cast<size_t>(y) * st.target->width + x) * 4, c,
               st.blend_mode);
  }
}

}  // namespace soft
