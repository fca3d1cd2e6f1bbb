// font_cache.cpp — the font table: finding, loading, counting, hibernating and freeing
// fonts by name, and the shut-down report.
//
// Lookup and creation run under GET_FONT. The lock stays held while a new font loads,
// so a second thread asking for the same name waits for the finished font instead of
// being handed a record whose glyph array is still being filled.
//
// Loading by name: "!NONE" anywhere in the name gives an empty font without a file; a
// name with ".mft" is read as a font file; when that fails the font is generated once
// from its source (generate.h), saved where the search paths put the name, and read
// back. A configuration entry for the font with an attribute "h" of at least 2 shows
// the font at that pixel height (`scale` = h / height).
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "config/config.h"
#include "base/engine_table.h"
#include "config/didodoz.h"
#include "engine/bitmaps.h"
#include "font/fonts.h"
#include "font/generate.h"
#include "fs/fs.h"

ZyFonts zy::fonts;

namespace {

bool IsPlaceholder(const char *name) { return name && name[0] == '!'; }

void PrintCount(const char *format, const char *name, int32_t count) {
  if (zy::fonts.print_reference_changes) ZY_Print(format, name, count);
}

ZY_Font *FindFont(const char *name) {
  for (int32_t i = 0; i < zy::fonts.count; i++)
    if (zy::fonts.table[i].name && strcmp(zy::fonts.table[i].name, name) == 0)
      return &zy::fonts.table[i];
  return nullptr;
}

// The first free slot below the high-water mark, or the next new one; null when full.
ZY_Font *TakeSlot(void) {
  ZyFonts &f = zy::fonts;
  for (int32_t i = 0; i < f.count; i++)
    if (!f.table[i].name) return &f.table[i];
  if (f.count < ZYI_MAX_FONTS) return &f.table[f.count++];
  return nullptr;
}

// The configured pixel height of a font ("h" of its configuration entry), or 0.
int32_t ConfiguredHeight(const char *name) {
  for (int32_t i = 0; i < ZYI_ManifestArrayCount(); i++) {
    ZyDidodozNode *node = ZYI_DidodozFindNode(ZYI_ManifestArray(i), name);
    if (!node) continue;
    const char *h = ZYI_DidodozGetAttribute(node, "h");
    return h ? atoi(h) : 0;
  }
  return 0;
}

// Generates the font from its source and writes it where the name would be found.
bool GenerateAndSave(ZY_Font *font) {
  if (!ZYI_GenerateFontFromSource(font, 1.0f)) return false;
  const char *place = ZYFS_FindPath(font->name, false);
  return ZY_SaveFont(font, place ? place : font->name);
}

// The built-in font's file (wiring, not state: kept across resets).
const uint8_t *builtin_data;
size_t builtin_size;

// Reads the font's .mft, generating it from its source first when it cannot be read.
bool ReadOrGenerate(ZY_Font *font) {
  if (strcmp(font->name, ZYI_BUILTIN_FONT) == 0) {
    if (builtin_data &&
        ZYI_ReadFontBytes(font, builtin_data, builtin_size, nullptr) == ZYI_FONT_READ_OK)
      return true;
    ZY_Print("failed: this build has no built-in font\n");
    return false;
  }
  for (;;) {
    if (strstr(font->name, "!NONE")) return true;
    if (strstr(font->name, ".mft") && ZYI_ReadFontFile(font)) return true;
    if (strstr(font->name, ".xml") || font->generation_tried) {
      ZY_Print("failed: bad or unfound file\n");
      return false;
    }
    font->generation_tried = 1;
    if (!GenerateAndSave(font)) {
      ZY_Print("failed: bad or unfound file\n");
      return false;
    }
  }
}

bool LoadByName(ZY_Font *font) {
  if (!ReadOrGenerate(font)) return false;
  font->scale = 1.0f;
  int32_t h = ConfiguredHeight(font->name);
  if (font->height >= 2 && h >= 2) {
    font->scale = (float)h / (float)font->height;
    font->height = h;
    font->line_height = (int32_t)((float)font->line_height * font->scale);
  }
  ZY_Print("(%dpx)\n", font->height);
  return true;
}

ZY_Font *FindOrCreate(const char *name, bool from_get_font, bool *created) {
  *created = false;
  if (!name) name = "";
  ZYI_Lock(ZYI_LOCK_GET_FONT);
  if (ZY_Font *font = FindFont(name)) {
    bool counts = !IsPlaceholder(name) && !(from_get_font && font->from_get_font);
    if (counts) {
      font->ref_count++;
      PrintCount(from_get_font ? "'%s' ref count++ (GetFont): now %d" : "'%s' ref count++: now %d",
                 name, font->ref_count);
    }
    ZYI_Unlock(ZYI_LOCK_GET_FONT);
    return font;
  }
  ZY_Font *font = TakeSlot();
  *created = font != nullptr;
  if (!font) {
    ZY_Popup(ZY_LOG_WARNING, "Out of free fonts.");
    ZYI_Unlock(ZYI_LOCK_GET_FONT);
    return nullptr;
  }
  memset(font, 0, sizeof *font);
  font->name = strdup(name);
  font->ref_count = 1;
  font->scale = 1.0f;
  PrintCount(from_get_font ? "'%s' ref count = 1 (GetFont)" : "'%s' ref count = 1", name, 1);
  font->from_get_font = from_get_font ? 1 : 0;
  ZY_Print("..caching font '%s'", name);
  font->cache_mode = ZYI_DefaultBitmapCacheMode();
  ZYI_FontSetGlyphCount(font, ZYI_FONT_DEFAULT_GLYPHS);
  if (!font->name || !LoadByName(font)) ZY_Popup(ZY_LOG_WARNING, "Unable to load font '%s'.", name);
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
  return font;
}

}  // namespace

void ZYI_SetBuiltinFont(const uint8_t *data, size_t size) {
  builtin_data = data;
  builtin_size = size;
}

void ZYI_FontsInit(void) {
  ZyFonts &f = zy::fonts;
  f.print_reference_changes = ZYI_IsFeatureEnabled("PRINT_REFERENCE_COUNT_CHANGES") ? 1 : 0;
  f.text_scale_x = f.text_scale_y = 1.0f;
  f.initialized = 1;
}

void ZYI_FontsSetReferenceCounting(bool on) { zy::fonts.reference_counting = on ? 1 : 0; }

ZY_Font *ZY_GetFont(const char *name) {
  bool created;
  ZY_Font *font = FindOrCreate(name, true, &created);
  if (created) ZY_RecreateFontAtlas(font);
  return font;
}

ZY_Font *ZY_LoadFont(const char *name) {
  bool created;
  ZY_Font *font = FindOrCreate(name, false, &created);
  // Through the table, so a module that replaced the operation builds the atlas.
  if (created) ZYI_EngineInterface()->RecreateFontAtlas(font);
  return font;
}

void ZY_ReleaseFont(ZY_Font *font) {
  if (!font) {
    ZY_Popup(ZY_LOG_WARNING, "Trying to release a null font.");
    return;
  }
  ZYI_Lock(ZYI_LOCK_GET_FONT);
  if (!font->name) {
    // A record already freed: nothing of it is left to release.
    ZY_Log(ZY_LOG_WARNING, "Trying to release null font in ZYI_FONTS_ReleaseFont.");
  } else if (zy::fonts.reference_counting) {
    font->ref_count--;
    PrintCount("ReleaseFont '%s' ref count--: now %d", font->name, font->ref_count);
    if (font->from_get_font && font->ref_count == 0)
      ZY_Popup(ZY_LOG_WARNING,
               "Releasing font '%s' too many times: ref counting will get messed up. NOTE: font "
               "has been accessed using GetFont which increses ref count by 1 once.",
               font->name);
    if (font->ref_count == 0) {
      ZY_Print("Hibernating Font '%s'..", font->name);
    } else if (font->ref_count < 0) {
      font->ref_count = 0;
      ZY_Popup(ZY_LOG_WARNING, "Font '%s' reference count less than zero.", font->name);
    }
  } else {
    ZYI_FreeFont(font);
  }
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
}

void ZYI_FreeFont(ZY_Font *font) {
  if (!font || !font->name) {
    ZY_Log(ZY_LOG_WARNING, "Trying to release null font in ZYI_FONTS_ReleaseFont.");
    return;
  }
  ZY_Log(ZY_LOG_INFO, "Releasing font '%s'...\n", font->name);
  ZYI_ReleaseFontTextures(font);
  ZYI_FontFreeData(font);
  free(font->name);
  memset(font, 0, sizeof *font);
}

void ZYI_ReleaseLeakedFonts(void) {
  ZyFonts &f = zy::fonts;
  ZYI_Lock(ZYI_LOCK_GET_FONT);
  for (int32_t i = 0; i < f.count; i++) {
    ZY_Font *font = &f.table[i];
    if (!font->name || font->ref_count <= 0) continue;
    ZY_Log(ZY_LOG_WARNING, "Font '%s' Reference count %d at exit, releasing...", font->name,
           font->ref_count);
    ZYI_FreeFont(font);
  }
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
}

void ZYI_FontsFree(void) {
  ZyFonts &f = zy::fonts;
  for (int32_t i = 0; i < f.count; i++) {
    ZY_Font *font = &f.table[i];
    if (!font->name) continue;
    ZYI_FontFreeData(font);
    free(font->name);
    memset(font, 0, sizeof *font);
  }
  f.count = 0;
}
