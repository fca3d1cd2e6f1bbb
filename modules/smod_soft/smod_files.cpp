// smod_files.cpp — SDL_RWops over the engine's file operations.
//
// SDL2_mixer's decoders read through an SDL_RWops; this one forwards to OpenFile,
// ReadFile, SeekFile and TellFile of the engine interface table, so the module sees the
// same files as the game: loose files and pak entries along the search paths, res://,
// user:// and http:// names alike. It is read-only.
#include <limits.h>

#include "smod_internal.h"

namespace smod {
namespace {

struct EngineFile {
  ZY_EngineInterface *zy;
  ZY_File *file;
};

EngineFile *Of(SDL_RWops *rw) { return (EngineFile *)rw->hidden.unknown.data1; }

Sint64 Seek(SDL_RWops *rw, Sint64 offset, int whence) {
  EngineFile *f = Of(rw);
  int32_t origin = whence == RW_SEEK_CUR ? ZY_SEEK_CUR : whence == RW_SEEK_END ? ZY_SEEK_END
                                                                                : ZY_SEEK_SET;
  if (offset < INT32_MIN || offset > INT32_MAX || !f->zy->SeekFile(f->file, (int32_t)offset, origin))
    return SDL_SetError("seek to %lld failed", (long long)offset);
  return f->zy->TellFile(f->file);
}

Sint64 Size(SDL_RWops *rw) {
  EngineFile *f = Of(rw);
  int32_t here = f->zy->TellFile(f->file);
  if (!f->zy->SeekFile(f->file, 0, ZY_SEEK_END)) return -1;
  int32_t end = f->zy->TellFile(f->file);
  f->zy->SeekFile(f->file, here, ZY_SEEK_SET);
  return end;
}

size_t Read(SDL_RWops *rw, void *buffer, size_t size, size_t count) {
  if (size == 0 || count == 0) return 0;
  EngineFile *f = Of(rw);
  // The engine reads at most INT32_MAX bytes at a time; whole items only.
  size_t want = count > (size_t)INT32_MAX / size ? ((size_t)INT32_MAX / size) * size : size * count;
  int32_t got = f->zy->ReadFile(buffer, (int32_t)want, f->file);
  return got > 0 ? (size_t)got / size : 0;
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
