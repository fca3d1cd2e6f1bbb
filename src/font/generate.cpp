// generate.cpp — font generation: the source database, its settings, and the finish
// every generated font gets whatever its input.
//
// The source of a font named N is the Didodoz database N.xml. Its "settings" array says
// where the glyphs come from (an INPUT node with a "ttf" face wins over bitmap sheets)
// and how they are spaced; the input files rasterise or cut out the glyph pictures, and
// this file then bleeds colour into transparent pixels, drops near-invisible alpha,
// kerns LATIN-1 fonts automatically and sets the metrics. File names in the source are
// relative to the source's folder. Generation never writes files: the font cache saves
// the result and reads it back.
#include "font/generate.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "font/generate_internal.h"
#include "font/generate_progress.h"
#include "fs/fs.h"
#include "image/resize.h"

const char *const ZYI_FONT_REASON_DATABASE = "Database not found or doesn't contain any arrays.";
const char *const ZYI_FONT_REASON_SETTINGS =
    "Array 'settings' is missing or has bad parms - see specifications.";
const char *const ZYI_FONT_REASON_GLYPHS =
    "Array 'glyphs' is missing or has bad parms - see specifications.";

namespace {

ZyFontProgress progress_reporter;  // set by tools only; the engine never installs one

bool IsWordDelimiter(char c) { return c == '\0' || c == ' ' || c == ',' || c == ';'; }

const char *Setting(const ZyFontSource *src, const char *id, const char *name) {
  return ZYI_DidodozGetNodeAttribute(src->settings, id, name);
}

// Reads the settings that shape every glyph; the output scale may be refused.
void ReadSettings(ZyFontSource *src, float requested_scale) {
  const char *spacing = Setting(src, "SPACING", "value");
  src->spacing = spacing ? atoi(spacing) : 0;
  const char *threshold = Setting(src, "AUTO_KERN_THRESHOLD", "value");
  src->kern_threshold = threshold ? (float)atof(threshold) : 0.75f;
  const char *padding = Setting(src, "LINE_PADDING_OFFSET", "value");
  src->line_padding = padding ? ZYI_FontTruncate(atof(padding)) : 0;

  float output = 1.0f;
  const char *scale_text = Setting(src, "OUTPUT", "scale");
  bool given = scale_text != nullptr;
  if (given && !ZYI_FontParseScale(scale_text, &output)) output = NAN;  // refused below
  src->scale = output * requested_scale;
  if (given) {
    if (!(src->scale >= 0.001f && src->scale <= 10.0f)) {
      ZY_Popup(ZY_LOG_WARNING,
               "ZYI_GenerateFontFromSource: scale factor %g for font %s is invalid. Use values > 0 and < 10.\n",
               (double)src->scale, src->source_name);
      src->scale = 1.0f;
    }
    int32_t scaled = ZYI_FontTruncate((double)src->spacing * src->scale + 0.4);
    if (src->spacing > 0 && scaled < 1) scaled = 1;
    src->spacing = scaled;
  }
}

// Colour bleeding and alpha clean-up of every picture, so that filtered and packed
// glyphs keep their colour at the edges and faint noise does not count as ink.
void FinishPictures(ZY_Font *font) {
  for (int32_t i = 0; i < font->glyph_count; i++) {
    ZY_Bitmap *picture = &font->glyphs[i].picture;
    if (!picture->pixels) continue;
    ZYI_FillTransparentPixels(picture);
    uint8_t *bytes = (uint8_t *)picture->pixels;
    for (size_t p = 0, n = (size_t)picture->width * picture->height; p < n; p++)
      if (bytes[p * 4 + 3] <= 4) bytes[p * 4 + 3] = 0;
  }
}

// DISABLE_AUTOKERN on a glyph clears its own row and its entry in every other row.
void DisableKerning(ZY_Font *font, const ZyDidodozArray *array) {
  for (int32_t n = 0; n < ZYI_DidodozNodeCount(array); n++) {
    const ZyDidodozNode *node = ZYI_DidodozNodeAt(array, n);
    const char *tags = ZYI_DidodozGetAttribute(node, "tags");
    if (!node->id || !ZYI_FontHasWord(tags, "DISABLE_AUTOKERN")) continue;
    int32_t id = atoi(node->id);
    if (id < 0 || id >= font->glyph_count) continue;
    if (font->glyphs[id].kern) memset(font->glyphs[id].kern, 0, (size_t)font->glyph_count);
    for (int32_t g = 0; g < font->glyph_count; g++)
      if (font->glyphs[g].kern) font->glyphs[g].kern[id] = 0;
  }
}

// Kerning (LATIN-1) or extra spacing (UTF-8), then the metrics.
bool FinishFont(ZY_Font *font, ZyFontSource *src, const ZyDidodozArray *tag_array) {
  FinishPictures(font);
  if (!font->utf8) {
    for (int32_t i = 0; i < font->glyph_count; i++)
      if (!ZYI_GlyphEnsureKerning(font, &font->glyphs[i])) return false;
    ZYI_DetermineKernPairs(font, 0, src->kern_threshold);
  } else {
    for (int32_t i = 0; i < font->glyph_count; i++)
      font->glyphs[i].advance = ZYI_FontClamp16((int64_t)font->glyphs[i].advance + src->spacing);
  }
  for (int32_t i = 0; i < font->glyph_count; i++)
    if (font->glyphs[i].picture.pixels && font->glyphs[i].picture.height > font->height)
      font->height = font->glyphs[i].picture.height;
  DisableKerning(font, tag_array);
  font->line_height = ZYI_FontTruncate((double)font->height + src->line_padding);
  font->baseline = font->height - 2;
  return ZYI_FontBuildIndex(font);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Helpers shared by the generation files
// ---------------------------------------------------------------------------------

bool ZYI_FontHasWord(const char *text, const char *word) {
  if (!text || !word || !*word) return false;
  size_t length = strlen(word);
  for (const char *at = strstr(text, word); at; at = strstr(at + 1, word))
    if ((at == text || IsWordDelimiter(at[-1])) && IsWordDelimiter(at[length])) return true;
  return false;
}

bool ZYI_FontParseScale(const char *text, float *out) {
  if (!text) return false;
  char *end = nullptr;
  double value = strtod(text, &end);
  if (end == text) return false;
  while (*end == ' ') end++;
  if (*end == '/') {
    const char *divisor_text = end + 1;
    double divisor = strtod(divisor_text, &end);
    if (end == divisor_text || divisor == 0) return false;
    value /= divisor;
  }
  if (!isfinite(value)) return false;
  *out = (float)value;
  return true;
}

bool ZYI_FontSourceFile(const ZyFontSource *src, const char *name, char *out, size_t size) {
  if (!name) return false;
  if ((size_t)snprintf(out, size, "%s%s", src->folder, name) >= size) return false;
  if (strncmp(name, "../", 3) != 0) return true;
  // A climbing name leaves the source's folder: collapse it, then look it up through
  // the search paths as the file system names it.
  ZYFS_CollapsePath(out);
  const char *found = ZYFS_IsLegalName(out) ? ZYFS_FindPath(out, true) : nullptr;
  if (!found || (size_t)snprintf(out, size, "%s", found) >= size) {
    ZY_Popup(ZY_LOG_WARNING, "Unable to locate file '%s' in file system.", name);
    return false;
  }
  return true;
}

int32_t ZYI_Utf8Next(const char **text) {
  const uint8_t *s = (const uint8_t *)*text;
  if (!*s) return 0;
  int32_t length = *s < 0x80 ? 1 : (*s >> 5) == 6 ? 2 : (*s >> 4) == 14 ? 3 : (*s >> 3) == 30 ? 4 : 0;
  if (length == 1) {
    (*text)++;
    return *s;
  }
  int32_t code = length ? *s & (0x7F >> length) : 0;
  for (int32_t i = 1; i < length; i++) {
    if ((s[i] & 0xC0) != 0x80) length = 0;  // also stops at the terminating zero
    if (!length) break;
    code = code << 6 | (s[i] & 0x3F);
  }
  static const int32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (!length || code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
    (*text)++;
    return -1;
  }
  *text += length;
  return code;
}

int32_t ZYI_FontTruncate(double value) {
  if (!(value == value)) return 0;
  return (int32_t)(value < -1e9 ? -1e9 : value > 1e9 ? 1e9 : value);
}

int16_t ZYI_FontClamp16(int64_t value) {
  return (int16_t)(value < INT16_MIN ? INT16_MIN : value > INT16_MAX ? INT16_MAX : value);
}

ZyFontProgress ZYI_SetFontProgress(ZyFontProgress reporter) {
  ZyFontProgress previous = progress_reporter;
  progress_reporter = reporter;
  return previous;
}

void ZYI_FontProgress(int32_t done, int32_t total) {
  if (progress_reporter) progress_reporter(done, total);
}

// ---------------------------------------------------------------------------------
// The entry point
// ---------------------------------------------------------------------------------

bool ZYI_GenerateFontFromSource(ZY_Font *font, float scale) {
  if (!font || !font->name) return false;
  char source_name[ZYI_FONT_SOURCE_PATH];
  if ((size_t)snprintf(source_name, sizeof source_name, "%s.xml", font->name) >= sizeof source_name)
    return false;
  ZY_Print("Attempting to generate font from source '%s'\n", source_name);

  ZyFontSource src = {};
  src.source_name = source_name;
  src.reason = ZYI_FONT_REASON_SETTINGS;
  ZYFS_FolderOf(source_name, src.folder, sizeof src.folder - 1);
  if (src.folder[0]) strcat(src.folder, "/");

  bool ok = false;
  src.file = ZYI_DidodozGetFile(source_name);
  if (!src.file || src.file->array_count == 0) {
    src.reason = ZYI_FONT_REASON_DATABASE;
  } else if ((src.settings = ZYI_DidodozFindArray(src.file, "settings")) != nullptr) {
    src.glyphs = ZYI_DidodozFindArray(src.file, "glyphs");
    ReadSettings(&src, scale);
    const ZyDidodozNode *input = ZYI_DidodozFindNode(src.settings, "INPUT");
    if (input && ZYI_DidodozGetAttribute(input, "ttf")) {
      // TTF failures carry their own popups; the closing popup is for the others.
      if (!ZYI_FontGlyphsFromTtf(font, &src, input)) return false;
      return FinishFont(font, &src, src.settings);
    }
    ok = ZYI_FontGlyphsFromSheet(font, &src) && FinishFont(font, &src, src.glyphs);
  }
  if (!ok)
    ZY_Popup(ZY_LOG_WARNING, "Failed to generate font from source '%s': %s\n", source_name,
             src.reason);
  return ok;
}
