// text_draw.cpp — drawing and measuring text, and the text settings.
//
// A text is laid out in font units: lines one `line_height / scale` apart, each started
// at x (or ending at x, or centred on it), the block starting at y (or ending at y, or
// centred on it). Glyph pictures become quads of the font's atlas texture appended to the
// render command layer's batch, so a whole text is one draw call per 64 glyphs. When the
// text is scaled (the text transform, or a configured size) or turned, every corner is
// moved by the 2 x 2 matrix (cos sx, -sin sy; sin sx, cos sy) about the first line's
// origin; otherwise the quads are placed as they are.
//
// Measuring breaks lines at the same wrap width drawing uses, so a measured text is the
// size of the drawn one.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "base/engine_table.h"
#include "engine/draw.h"
#include "font/text_layout.h"

namespace {

// Where glyphs go: the text space origin and the matrix about it.
struct Placement {
  bool transformed;
  float px, py;
  float m00, m01, m10, m11;
  void Map(float cx, float cy, float *x, float *y) const {
    if (!transformed) {
      *x = cx;
      *y = cy;
      return;
    }
    *x = px + m00 * (cx - px) + m01 * (cy - py);
    *y = py + m10 * (cx - px) + m11 * (cy - py);
  }
};

bool Usable(const ZY_Font *font) { return font && font->name && font->glyphs && font->height >= 1; }

// The wrap width in font units for the current settings.
float WrapWidth(const ZY_Font *font) {
  return truncf(zy::fonts.text_max_width / (zy::fonts.text_scale_x * font->scale));
}

struct GlyphDrawer {
  const ZY_Font *font;
  Placement place;
  ZY_Vertex quad[4];   // the current colour and depth
  float au, av, du, dv;  // atlas texture rectangle
  ZY_BitmapHardware *atlas;

  void TakeTemplate() { memcpy(quad, zy::draw.quad, sizeof quad); }

  void Glyph(const ZyGlyph *g, float x, float y, float scale) {
    const ZY_Bitmap &p = g->picture;
    if (p.width < 1 || p.height < 1) return;
    ZY_BitmapHardware *tex = font->own_textures ? const_cast<ZY_BitmapHardware *>(&p.hw) : atlas;
    if (!tex->on_gpu) return;
    float u0 = p.hw.left, u1 = p.hw.right, v0 = p.hw.top, v1 = p.hw.bottom;
    if (!font->own_textures) {
      u0 = au + u0 * du;
      u1 = au + u1 * du;
      v0 = av + v0 * dv;
      v1 = av + v1 * dv;
    }
    float x1 = x + (float)p.width * scale, y1 = y + (float)p.height * scale;
    ZY_Vertex q[4];
    memcpy(q, quad, sizeof q);
    place.Map(x, y, &q[0].x, &q[0].y);
    place.Map(x1, y, &q[1].x, &q[1].y);
    place.Map(x, y1, &q[2].x, &q[2].y);
    place.Map(x1, y1, &q[3].x, &q[3].y);
    q[0].u = q[2].u = u0;
    q[1].u = q[3].u = u1;
    q[0].v = q[1].v = v0;
    q[2].v = q[3].v = v1;
    ZYI_DrawAddQuad(q, tex);
  }

  // An inline image centred on the pen's place, as far along as it is wide.
  float Image(const ZyTextTag &tag, float pen, float line_y) {
    if (!tag.image[0]) return 0;
    ZY_EngineInterface *zy = ZYI_EngineInterface();
    ZY_Bitmap *bitmap = zy->GetBitmap(tag.image);
    if (!bitmap) return 0;
    float s = tag.scale / font->scale;
    const ZyGlyph *a = ZYI_FontFindGlyph(font, 'a');
    float ah = a ? (float)a->picture.height : 0, ay = a ? (float)a->y_offset : 0;
    float cx = pen + (float)bitmap->width * s * 0.5f;
    float cy = line_y + truncf((ah - ay) / 2 + 3.0f / font->scale + ay + (float)tag.offset);
    float angle = tag.angle;
    if (place.transformed) {
      place.Map(cx, cy, &cx, &cy);
      angle += zy::fonts.text_angle;
      float sx = zy::fonts.text_scale_x * font->scale, sy = zy::fonts.text_scale_y * font->scale;
      s *= sx < sy ? sx : sy;
    }
    zy->DrawBitmapEx(bitmap, cx, cy, angle, s);
    return (float)bitmap->width * tag.scale / font->scale;
  }
};

float DrawLines(const ZY_Font *font, float x, float y, const ZyTextRun &run) {
  ZyFonts &f = zy::fonts;
  float sx = f.text_scale_x * font->scale, sy = f.text_scale_y * font->scale;
  float first_y = y + ((float)font->baseline - (float)font->height / font->scale) * f.text_scale_y;
  float step = (float)font->line_height / font->scale;
  ZyTextLines lines;
  ZYI_TextBreakLines(font, &run, WrapWidth(font), &lines);

  GlyphDrawer d;
  d.font = font;
  d.place.transformed = f.text_angle != 0 || fabsf(sx - 1) > 0.0001f || fabsf(sy - 1) > 0.0001f;
  d.place.px = x;
  d.place.py = first_y;
  float c = cosf(f.text_angle), s = sinf(f.text_angle);
  d.place.m00 = c * sx;
  d.place.m01 = -s * sy;
  d.place.m10 = s * sx;
  d.place.m11 = c * sy;
  d.atlas = const_cast<ZY_BitmapHardware *>(&font->atlas.hw);
  d.au = font->atlas.hw.left;
  d.av = font->atlas.hw.top;
  d.du = font->atlas.hw.right - font->atlas.hw.left;
  d.dv = font->atlas.hw.bottom - font->atlas.hw.top;
  d.TakeTemplate();

  float block = (float)lines.count * step;
  float line_y = first_y;
  if (f.text_flags & ZY_TEXT_ALIGN_BOTTOM)
    line_y -= block;
  else if (f.text_flags & ZY_TEXT_ALIGN_MIDDLE)
    line_y -= truncf(block * 0.5f);

  ZY_EngineInterface *zy = ZYI_EngineInterface();
  float widest = 0, tag_scale = 1.0f;
  for (int32_t l = 0; l < lines.count; l++, line_y += step) {
    float w = lines.width[l];
    if (w > widest) widest = w;
    float pen = x;
    if (f.text_flags & ZY_TEXT_ALIGN_RIGHT)
      pen = x - w;
    else if (f.text_flags & ZY_TEXT_ALIGN_CENTER)
      pen = x - truncf(w / 2);
    int32_t prev = 0;
    for (int32_t i = lines.start[l]; i < lines.end[l];) {
      int32_t u = run.Unit(i);
      if (u == '|') {
        ZyTextTag tag;
        ZYI_TextReadTag(&run, i, &tag);
        if (tag.kind != ZYI_TAG_BAR) {
          if (tag.kind == ZYI_TAG_COLOR) {
            zy->SetColor(tag.r, tag.g, tag.b);
            if (tag.a >= 0) zy->SetAlpha(tag.a);
            d.TakeTemplate();
          } else if (tag.kind == ZYI_TAG_SCALE) {
            tag_scale = tag.scale;
          } else if (tag.kind == ZYI_TAG_IMAGE) {
            pen += d.Image(tag, pen, line_y);
          }
          i = tag.next;
          continue;
        }
      }
      const ZyGlyph *g = ZYI_TextGlyph(font, u);
      i += u == '|' && !run.utf8 ? 2 : 1;
      if (!g) continue;
      if (!run.utf8 && g->kern) pen += (float)g->kern[prev] * tag_scale;
      prev = u;
      d.Glyph(g, pen + g->x_offset * tag_scale, line_y + g->y_offset * tag_scale, tag_scale);
      pen += g->advance * tag_scale;
    }
  }
  return widest;
}

float Measure(ZY_Font *font, const char *text, float *height) {
  *height = 0;
  if (!Usable(font) || !text[0]) return 0;
  ZyTextRun run;
  if (!ZYI_TextRunOpen(&run, font, text)) return 0;
  ZyTextLines lines;
  ZYI_TextBreakLines(font, &run, WrapWidth(font), &lines);
  ZYI_TextRunClose(&run);
  if (lines.count == 0) return 0;
  float widest = 0;
  for (int32_t l = 0; l < lines.count; l++)
    if (lines.width[l] > widest) widest = lines.width[l];
  ZyFonts &f = zy::fonts;
  float lh = (float)font->line_height, h = (float)font->height;
  *height = ((float)(lines.count - 1) * lh / font->scale + (lh > h ? lh : h) / font->scale) *
            font->scale * f.text_scale_y;
  return f.text_scale_x * font->scale * widest;
}

const char *Format(const char *format, va_list args) {
  char *out = zy::fonts.format;
  if (!format) return "";
  vsnprintf(out, ZYI_TEXT_FORMAT_SIZE, format, args);
  return out;
}

}  // namespace

float ZYI_DrawTextString(ZY_Font *font, float x, float y, const char *text) {
  if (!Usable(font) || !text) return 0;
  ZyTextRun run;
  if (!ZYI_TextRunOpen(&run, font, text)) return 0;
  float widest = DrawLines(font, x, y, run);
  ZYI_TextRunClose(&run);
  return widest;
}

void ZYI_MeasureTextString(ZY_Font *font, const char *text, float *width, float *height) {
  float h = 0;
  float w = text ? Measure(font, text, &h) : 0;
  if (width) *width = w;
  if (height) *height = h;
}

float ZY_DrawText(ZY_Font *font, float x, float y, const char *format, ...) {
  if (!Usable(font)) return 0;
  va_list args;
  va_start(args, format);
  const char *text = Format(format, args);
  va_end(args);
  return ZYI_DrawTextString(font, x, y, text);
}

void ZY_GetTextSize(ZY_Font *font, float *width, float *height, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const char *text = Format(format, args);
  va_end(args);
  ZYI_MeasureTextString(font, text, width, height);
}

float ZY_GetTextWidth(ZY_Font *font, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const char *text = Format(format, args);
  va_end(args);
  float w;
  ZYI_MeasureTextString(font, text, &w, nullptr);
  return w;
}

float ZY_GetTextHeight(ZY_Font *font, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const char *text = Format(format, args);
  va_end(args);
  float h;
  ZYI_MeasureTextString(font, text, nullptr, &h);
  return h;
}

void ZY_SetTextFlags(uint32_t flags) { zy::fonts.text_flags = flags; }

void ZY_SetTextMaxWidth(float width) {
  zy::fonts.text_max_width = width < 0.1f ? ZYI_TEXT_NO_WRAP : width;
}

void ZY_SetTextTransform(float scale_x, float scale_y, float angle) {
  zy::fonts.text_scale_x = scale_x;
  zy::fonts.text_scale_y = scale_y;
  zy::fonts.text_angle = angle;
}
