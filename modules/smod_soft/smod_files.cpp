// smod_files.cpp — SDL_RWops over the engine's file operations.
//
// SDL2_mixer's decoders read through an SDL_RWops; this one forwards to OpenFile,
// ReadFile, SeekFile and TellFile of the engine interface table, so the module sees the
// same files as the game: loose files and pak entries along the search paths, res://,
// user:// and http:// names alike. It is read-only. Decoders read in small pieces (a
// Vorbis page, an MP3 frame); reads go through a buffer of 32 KiB so each costs one
// engine call per buffer, not per piece.
#include <limits.h>
#include <string.h>

#include "smod_internal.h"

namespace smod {
namespace {

constexpr int32_t BUFFER_SIZE = 32 * 1024;

struct EngineFile {
  ZY_EngineInterface *zy;
  ZY_File *file;
  int32_t start = 0;    // file position of buffer[0]
  int32_t filled = 0;   // bytes in the buffer
  int32_t at = 0;       // read position in the buffer
  uint8_t buffer[BUFFER_SIZE];
};

EngineFile *Of(SDL_RWops *rw) { return (EngineFile *)rw->hidden.unknown.data1; }

Sint64 Seek(SDL_RWops *rw, Sint64 offset, int whence) {
  EngineFile *f = Of(rw);
  Sint64 here = (Sint64)f->start + f->at;
  if (whence == RW_SEEK_CUR) offset += here, whence = RW_SEEK_SET;
  // A seek that lands inside the buffer only moves the read position.
  if (whence == RW_SEEK_SET && offset >= f->start && offset <= (Sint64)f->start + f->filled) {
    f->at = (int32_t)(offset - f->start);
    return offset;
  }
  int32_t origin = whence == RW_SEEK_END ? ZY_SEEK_END : ZY_SEEK_SET;
  if (offset < INT32_MIN || offset > INT32_MAX || !f->zy->SeekFile(f->file, (int32_t)offset, origin))
    return SDL_SetError("seek to %lld failed", (long long)offset);
  f->start = f->zy->TellFile(f->file);
  f->filled = f->at = 0;
  return f->start;
}

Sint64 Size(SDL_RWops *rw) {
  EngineFile *f = Of(rw);
  int32_t here = f->zy->TellFile(f->file);  // the end of the buffered bytes
  if (!f->zy->SeekFile(f->file, 0, ZY_SEEK_END)) return -1;
  int32_t end = f->zy->TellFile(f->file);
  f->zy->SeekFile(f->file, here, ZY_SEEK_SET);
  return end;
}

size_t Read(SDL_RWops *rw, void *out, size_t size, size_t count) {
  if (size == 0 || count == 0) return 0;
  EngineFile *f = Of(rw);
  // The engine reads at most INT32_MAX bytes at a time.
  size_t want = count > (size_t)INT32_MAX / size ? ((size_t)INT32_MAX / size) * size : size * count;
  uint8_t *to = (uint8_t *)out;
  size_t done = 0;
  while (done < want) {
    if (f->at < f->filled) {
      size_t n = SDL_min(want - done, (size_t)(f->filled - f->at));
      memcpy(to + done, f->buffer + f->at, n);
      f->at += (int32_t)n, done += n;
      continue;
    }
    f->start += f->filled;
    f->filled = f->at = 0;
    if (want - done >= (size_t)BUFFER_SIZE) {  // a large read goes straight through
      int32_t got = f->zy->ReadFile(to + done, (int32_t)(want - done), f->file);
      if (got <= 0) break;
      f->start += got, done += (size_t)got;
      continue;
    }
    int32_t got = f->zy->ReadFile(f->buffer, BUFFER_SIZE, f->file);
    if (got <= 0) break;
    f->filled = got;
  }
  // Whole items only: a partial item at the end is given back.
  size_t items = done / size;
  if (done > items * size) Seek(rw, -(Sint64)(done - items * size), RW_SEEK_CUR);
  return items;
}

size_t Write(SDL_RWops *, const void *, size_t, size_t) {
  SDL_SetError("sound files are read-only");
  return 0;
}

int Close(SDL_RWops *rw) {
  EngineFile *f = Of(rw);
  f->zy->CloseFile(f->file);
  delete f;
  SDL_FreeRW(rw);
  return 0;
}

}  // namespace

SDL_RWops *OpenEngineFile(ZY_EngineInterface *zy, const char *name) {
  ZY_File *file = zy->OpenFile(name, "rb");
  if (!file) {
    SDL_SetError("'%s' does not open", name);
    return nullptr;
  }
  SDL_RWops *rw = SDL_AllocRW();
  if (!rw) {
    zy->CloseFile(file);
    return nullptr;
  }
  rw->type = SDL_RWOPS_UNKNOWN;
  rw->size = Size;
  rw->seek = Seek;
  rw->read = Read;
  rw->write = Write;
  rw->close = Close;
  rw->hidden.unknown.data1 = new EngineFile{zy, file};
  return rw;
}

}  // namespace smod
