// font_atlas.cpp — a font's glyph pictures packed into one texture, and that texture's
// life on the renderer's device.
//
// The atlas is a plain bitmap record inside the font (not an entry of the bitmap table):
// the packer (image/atlas.h) copies every glyph picture into it and gives each picture
// its texture rectangle; the atlas texture is then the one texture a whole text is drawn
// with. Glyph pictures and atlas pixels stay in memory, so the atlas can be uploaded
// again after the renderer re-initialises and the font can still be saved.
//
// Uploads go through the bitmap upload operation: on a thread that may not do GPU work
// the atlas waits in the bitmap upload queue for the main thread. When the pictures do
// not fit any atlas, each is uploaded as a texture of its own.
#include <stdlib.h>
#include <string.h>

#include "base/core_block.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/threads.h"
#include "engine/bitmaps.h"
#include "font/fonts.h"
#include "image/atlas.h"

namespace {

const int32_t ATLAS_GLYPH_LIMIT = 4096;  // glyph pictures one atlas takes

bool HasPixels(const ZyGlyph &g) {
  return g.picture.pixels && g.picture.width >= 1 && g.picture.height >= 1;
}

// Uploads now when the renderer is there; the main thread without a renderer leaves it
// to the renderer's initialisation, which uploads every font.
void Upload(ZY_Bitmap *bitmap) {
  if (ZY_IsMainThread() && !zy::core.renderer_ready) return;
  ZYI_UploadBitmap(bitmap);
  if (bitmap->hw.on_gpu) bitmap->state = ZY_BITMAP_STATE_READY;
}

void ReleaseTexture(ZY_Bitmap *bitmap) {
  ZYI_BitmapRemoveFromUploadQueue(bitmap);
  if (!bitmap->hw.on_gpu) return;
  if (ZYI_BitmapGpuWorkAllowed())
    ZYI_CallRendererToFreeBitmap(&bitmap->hw);
  else
    ZYI_QueueBitmapHardwareDataRelease(bitmap);
}

// A LATIN-1 font drawn without lower-case pictures shows its capitals instead: each such
// letter takes the capital's offsets, advance, place in the atlas and kerning.
void BorrowCapitals(ZY_Font *font) {
  if (font->utf8 || font->glyph_count != ZYI_FONT_DEFAULT_GLYPHS) return;
  ZyGlyph *g = font->glyphs;
  for (int32_t c = 'a'; c <= 'z'; c++) {
    ZyGlyph &lower = g[c], &upper = g[c - 32];
    if (HasPixels(lower) || !HasPixels(upper)) continue;
    free(lower.picture.pixels);
    lower.x_offset = upper.x_offset;
    lower.y_offset = upper.y_offset;
    lower.advance = upper.advance;
    lower.picture = upper.picture;
    lower.picture.pixels = nullptr;  // the place is shared, the pixels stay the capital's
    if (ZYI_GlyphEnsureKerning(font, &lower)) {
      if (upper.kern)
        memcpy(lower.kern, upper.kern, ZYI_FONT_DEFAULT_GLYPHS);
      else
        memset(lower.kern, 0, ZYI_FONT_DEFAULT_GLYPHS);
    }
    for (int32_t i = 0; i < ZYI_FONT_DEFAULT_GLYPHS; i++)
      if (g[i].kern) g[i].kern[c] = g[i].kern[c - 32];
  }
}

}  // namespace

void ZYI_ReleaseFontTextures(ZY_Font *font) {
  if (!font) return;
  ReleaseTexture(&font->atlas);
  if (!font->own_textures) return;
  for (int32_t i = 0; i < font->glyph_count; i++)
    if (HasPixels(font->glyphs[i])) ReleaseTexture(&font->glyphs[i].picture);
}

void ZYI_UploadFontAtlas(ZY_Font *font) {
  if (!font) return;
  if (!font->own_textures) {
    if (font->atlas.pixels) Upload(&font->atlas);
    return;
  }
  for (int32_t i = 0; i < font->glyph_count; i++)
    if (HasPixels(font->glyphs[i])) Upload(&font->glyphs[i].picture);
}

bool ZY_RecreateFontAtlas(ZY_Font *font) {
  if (!font || font->height < 1 || !font->glyphs) return false;
  ZYI_ReleaseFontTextures(font);
  free(font->atlas.pixels);
  free(font->atlas.name);
  memset(&font->atlas, 0, sizeof font->atlas);
  font->own_textures = 0;

  ZY_Bitmap **pictures = (ZY_Bitmap **)malloc(sizeof(ZY_Bitmap *) * ATLAS_GLYPH_LIMIT);
  if (!pictures) return false;
  int32_t count = 0;
  for (int32_t i = 0; i < font->glyph_count; i++) {
    if (!HasPixels(font->glyphs[i])) continue;
    if (count == ATLAS_GLYPH_LIMIT) {
      ZY_Popup(ZY_LOG_WARNING,
               "ZYI_RecreateFontAtlas too many glyphs (%d) in font '%s' for bitmap buffer. "
               "Ignoring some of them.\n",
               font->glyph_count, font->name ? font->name : "");
      break;
    }
    pictures[count++] = &font->glyphs[i].picture;
  }
  if (count > 0 && !ZYI_PackBitmaps(&font->atlas, pictures, count)) {
    // Too much for one atlas: every picture becomes a texture of its own.
    free(font->atlas.pixels);
    font->atlas.pixels = nullptr;
    font->own_textures = 1;
  }
  free(pictures);
  // The atlas goes by its font's name in the renderer's and the upload queue's messages.
  font->atlas.name = strdup(font->name ? font->name : "font");
  if (!font->own_textures) BorrowCapitals(font);
  font->atlas.state = ZY_BITMAP_STATE_LOADING;
  ZYI_UploadFontAtlas(font);
  return true;
}

void ZYI_RecreateFontAtlases(void) {
  ZYI_Lock(ZYI_LOCK_GET_FONT);
  for (int32_t i = 0; i < zy::fonts.count; i++)
    if (zy::fonts.table[i].name) ZYI_UploadFontAtlas(&zy::fonts.table[i]);
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
}

void ZYI_ReleaseFontsDeviceData(void) {
  ZYI_Lock(ZYI_LOCK_GET_FONT);
  for (int32_t i = 0; i < zy::fonts.count; i++)
    if (zy::fonts.table[i].name) ZYI_ReleaseFontTextures(&zy::fonts.table[i]);
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
}
