// zylem_modules.h — the interfaces of ZYLEM implementation modules.
//
// Rendering, input and sound are done by implementation modules: shared libraries that
// lie beside the game data and export one unmangled entry point returning an interface
// object (ZYLEM_RendImp_GetInterface, ZYLEM_InputImp_GetInterface,
// ZYLEM_SoundImp_GetInterface). The engine calls the object's virtual operations in the
// slot order declared below; slots the engine never calls are kept as named placeholders
// so the order cannot drift. A module derives from RendImp, InputImp or SoundImp and
// overrides the pure operations. Modules reach the engine through the engine interface
// table, which arrives in the host info record and (renderer) through
// SetEngineInterface.
//
// Slot numbers count the virtual destructor as slot 0. (The C++ ABI of gcc and clang
// gives a virtual destructor two table entries, so a slot's table index is slot + 1 for
// both sides; engine and modules are built with the same ABI.)
//
// The host info record and the constants compile as C; the module classes need C++.
#pragma once

#include "zylem.h"

#ifdef __cplusplus
extern "C" {
#endif

// What implementation modules receive at initialisation. Owned by the engine.
typedef struct ZY_HostInfo {
  ZY_EngineInterface *zy;    // the engine interface table (always the first field)
  void *window;              // native window of the display backend, null without one
  void *instance;            // native application instance, null when the platform has none
  const char *command_line;  // the command line handed to the game
  int32_t show_mode;         // how the window is first shown (0 default)
  uint8_t queue_input;       // set by a module: window input events are queued, not
                             // delivered at once (the engine itself never sets it)
} ZY_HostInfo;

ZY_STATIC_ASSERT(offsetof(ZY_HostInfo, zy) == 0,
                 "the engine interface table is the host info's first field");

// Eyes of RendImp::BeginFrame.
#define ZY_EYE_MONO 0   // single render pass
#define ZY_EYE_LEFT 1   // first pass of stereo rendering
#define ZY_EYE_RIGHT 2  // second pass of stereo rendering

// Answers of RendImp::GetPixelOrder: byte order of the pixel data the engine prepares.
#define ZY_PIXEL_ORDER_RGBA 0
#define ZY_PIXEL_ORDER_BGRA 1  // the engine swaps red and blue

// Answers of RendImp::GetColourOrder: layout of vertex colour words.
#define ZY_COLOUR_ORDER_RGBA_BYTES 0  // bytes in memory R, G, B, A
#define ZY_COLOUR_ORDER_ARGB_WORD 1   // (any non-zero) 0xAARRGGBB words

// Sizes of the buffers the render command layer asks the renderer for.
#define ZY_VERTEX_BUFFER_VERTICES 256  // vertices per vertex buffer (32 buffers)
#define ZY_QUAD_INDEX_COUNT 384        // the quad index buffer: 64 quads x 6
#define ZY_TRIANGLE_INDEX_COUNT 3072   // the triangle index buffer

// Exported entry point names.
#define ZYLEM_RENDIMP_GET_INTERFACE_NAME "ZYLEM_RendImp_GetInterface"
#define ZYLEM_INPUTIMP_GET_INTERFACE_NAME "ZYLEM_InputImp_GetInterface"
#define ZYLEM_SOUNDIMP_GET_INTERFACE_NAME "ZYLEM_SoundImp_GetInterface"

#ifdef __cplusplus
}  // extern "C"

// Opaque buffers handed out by the renderer; a renderer defines these structs itself.
struct ZY_VertexBuffer;
struct ZY_IndexBuffer;

// The renderer module. The engine calls it from the main thread only, except
// SupportsBackgroundUpload and, when that answers true, the upload operations.
class RendImp {
 public:
  virtual ~RendImp() {}                                      // 0 never called on a loaded module
  virtual bool IsSupported() = 0;                            // 1 whether it can run here (at load)
  virtual bool SupportsBackgroundUpload() = 0;               // 2 whether uploads may come from other threads
  virtual const char *GetDescription() = 0;                  // 3 text logged at load
  virtual bool IsModeSupported(int32_t width, int32_t height) = 0;  // 4 whether a display mode can be used
  virtual int32_t GetPixelOrder() = 0;                       // 5 ZY_PIXEL_ORDER_...
  virtual int32_t GetColourOrder() = 0;                      // 6 ZY_COLOUR_ORDER_...
  virtual void Unused7() {}                                  // 7 not called
  virtual bool Init(ZY_EngineInterface *zy, ZY_HostInfo *host, ZY_DisplaySettings *parms) = 0;  // 8 initialises the device
  virtual bool Reinit(int32_t width, int32_t height, bool windowed) = 0;  // 9 changes the mode in place
  virtual void Shutdown() = 0;                               // 10 after all buffers are released
  virtual void SetActive(bool active) = 0;                   // 11 window activation changed
  virtual bool SetRenderTarget(ZY_Bitmap *bitmap) = 0;       // 12 draws into a render target (null = screen)
  virtual void RefreshBitmap(ZY_Bitmap *bitmap) = 0;         // 13 a render target's pixels were reloaded
  virtual void UploadBitmap(ZY_Bitmap *bitmap) = 0;          // 14 creates a render target's GPU surface
  virtual bool LoadBitmapToGpu(ZY_Bitmap *bitmap) = 0;       // 15 uploads pixels, fills bitmap->hw
  virtual void FreeBitmapFromGpu(ZY_BitmapHardware *hw) = 0;  // 16 frees a texture
  virtual void CreateShader(ZY_Shader *shader) = 0;          // 17 a shader name was first used
  virtual void Unused18() {}                                 // 18 not called
  virtual void SetShader(ZY_Shader *shader) = 0;             // 19 makes a shader current
  virtual void SetShaderParameter(int32_t index, float value, const void *data) = 0;  // 20 shader parameter
  virtual void DrawShaded(ZY_Bitmap *bitmap, const ZY_Vertex *vertices) = 0;  // 21 draws one quad (4 vertices) with the shader
  virtual void BeginFrame(int32_t eye) = 0;                  // 22 start of a render pass (ZY_EYE_...)
  virtual void EndFrame() = 0;                               // 23 end of a frame: present
  virtual void Forward3(int32_t command, float value, int32_t argument) = 0;  // 24 from ZY_Forward3
  virtual void Forward1(int32_t value) = 0;                  // 25 from ZY_Forward1
  virtual void SetTransform(const float *matrix) = 0;        // 26 4x4 row-major transform of later drawing
  virtual bool SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) = 0;  // 27 clip in device pixels
  virtual void ResetClipRect() = 0;                          // 28 no clipping
  virtual void SetBlendMode(int32_t mode) = 0;               // 29 blend mode
  virtual void SetRenderMode(int32_t mode) = 0;              // 30 render mode
  virtual void DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) = 0;  // 31 untextured line
  virtual void SetEngineInterface(ZY_EngineInterface *zy) = 0;  // 32 once after load
  virtual const char *QueryValue(const char *name, const char *argument) = 0;  // 33 system value query; null = not known
  virtual void Unused34() {}                                 // 34 not called
  virtual void Unused35() {}                                 // 35 not called
  virtual void SetProjection(float near_plane, float middle, float far_plane) = 0;  // 36 depth projection
  virtual void Unused37() {}                                 // 37 not called
  virtual void SetRenderState10(bool value) = 0;             // 38 render state 10
  virtual void SetRenderState11(bool value) = 0;             // 39 render state 11
  virtual void SetRenderState12(int32_t value) = 0;          // 40 render state 12
  virtual void SetTexture(int32_t stage, ZY_BitmapHardware *texture) = 0;  // 41 texture of later draws (null = none)
  virtual void DrawIndexed(ZY_VertexBuffer *vertices, int32_t vertex_count, ZY_IndexBuffer *indices, int32_t triangle_count) = 0;  // 42 draws indexed triangles
  virtual ZY_VertexBuffer *CreateVertexBuffer(int32_t vertex_count) = 0;  // 43 new vertex buffer
  virtual void ReleaseVertexBuffer(ZY_VertexBuffer *buffer) = 0;  // 44 frees it
  virtual ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *buffer) = 0;  // 45 its vertices, writable until unlocked
  virtual void UnlockVertexBuffer(ZY_VertexBuffer *buffer) = 0;  // 46 ends writing
  virtual ZY_IndexBuffer *CreateIndexBuffer(int32_t index_count) = 0;  // 47 new 16-bit index buffer
  virtual void ReleaseIndexBuffer(ZY_IndexBuffer *buffer) = 0;  // 48 frees it
  virtual uint16_t *LockIndexBuffer(ZY_IndexBuffer *buffer) = 0;  // 49 its indices, writable until unlocked
  virtual void UnlockIndexBuffer(ZY_IndexBuffer *buffer) = 0;  // 50 ends writing
};

// An input module (up to eight are loaded).
class InputImp {
 public:
  virtual ~InputImp() {}                                     // 0 never called on a loaded module
  virtual bool IsSupported() = 0;                            // 1 whether it can run here (at load)
  virtual void Unused2() {}                                  // 2 not called
  virtual void Init(ZY_HostInfo *host) = 0;                  // 3 after all input modules are loaded
  virtual void Shutdown() = 0;                               // 4 at shut-down
  virtual void SetActive(bool active) = 0;                   // 5 window activation changed
  virtual void BeginFrame() = 0;                             // 6 before the program's frame
  virtual void EndFrame() = 0;                               // 7 after the frame is presented
  virtual void Unused8() {}                                  // 8 not called
  virtual const char *QueryValue(const char *name, const char *argument) = 0;  // 9 system value query; null = not known
};

// The sound module. When none can be used the engine's own null module stands in.
class SoundImp {
 public:
  virtual ~SoundImp() {}                                     // 0 never called on a loaded module
  virtual bool IsSupported() = 0;                            // 1 whether it can run here
  virtual const char *GetName() = 0;                         // 2 module name
  virtual bool Init(ZY_HostInfo *host, ZY_DisplaySettings *parms) = 0;  // 3 opens the audio device
  virtual void Shutdown() = 0;                               // 4 closes it
  virtual bool LoadSound(ZY_Sound *sound, const char *path) = 0;  // 5 loads a file (opened through the engine's file operations)
  virtual void FreeSound(ZY_Sound *sound) = 0;               // 6 frees a sound's data
  virtual void StopSound(ZY_Sound *sound) = 0;               // 7 stops every play of it
  virtual int32_t PlaySound(ZY_Sound *sound, float volume, float pan, int32_t loop) = 0;  // 8 plays; channel, 0 when not played
  virtual void StopChannel(int32_t channel) = 0;             // 9 stops a channel
  virtual void SetChannelParam1(int32_t channel, float value) = 0;  // 10 channel parameter 1
  virtual void SetChannelParam2(int32_t channel, float value) = 0;  // 11 channel parameter 2
  virtual void SetChannelParam3(int32_t channel, float value) = 0;  // 12 channel parameter 3
  virtual void SetChannelParam4(int32_t channel, float value) = 0;  // 13 channel parameter 4
  virtual void SetChannelParam5(int32_t channel, float value) = 0;  // 14 channel parameter 5
  virtual bool IsChannelPlaying(int32_t channel) = 0;        // 15 whether it still plays
  virtual float GetChannelValue(int32_t channel) = 0;        // 16 channel value
  virtual void SetSoundParams(ZY_Sound *sound, float a, float b) = 0;  // 17 sound parameters
  virtual void PlayMusic(ZY_Sound *music, float volume, float fade_in_seconds) = 0;  // 18 starts looping music
  virtual void StopMusic(float fade_out_seconds) = 0;        // 19 stops the music
  virtual void SetMusicValue(float value) = 0;               // 20 music setting
  virtual ZY_Sound *GetMusicValue() = 0;                     // 21 the music playing, or null
  virtual void SlideMusicVolume(float target_volume, float seconds) = 0;  // 22 fades the music volume
  virtual void Unused23(int32_t) {}                          // 23 not called
  virtual void BeginFrame() = 0;                             // 24 start of each frame
  virtual void EndFrame() = 0;                               // 25 end of each frame
  virtual int32_t Unused26(int32_t, int32_t) { return 0; }   // 26 not called
};

// Entry points of the three module kinds (exported unmangled, no arguments).
typedef RendImp *(*ZYLEM_RendImp_GetInterfaceFunc)(void);
typedef InputImp *(*ZYLEM_InputImp_GetInterfaceFunc)(void);
typedef SoundImp *(*ZYLEM_SoundImp_GetInterfaceFunc)(void);

#endif  // __cplusplus
