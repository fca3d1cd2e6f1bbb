// zylem.h — the ZYLEM public interface for program modules.
//
// A game is a program module ("prog.dll", prog.so on Linux) compiled against this header
// alone. It exports ZY_GetProgramInterface (or ZY_GetInterface), fills one
// ZY_ProgramInterface record with its identity, display settings and callbacks, and then
// does everything through the engine interface table (`prog->zy`): logging, threads,
// files, bitmaps, sounds, fonts, drawing and system queries. Handles (ZY_Bitmap *,
// ZY_Sound *, ZY_Font *, ZY_File *, ...) are plain pointers to engine records, valid until
// released.
//
// The header is C-compatible (C99 and later, C++). Field order of every shared record is
// fixed; the byte offsets written beside the fields are those of a 32-bit build, and
// static assertions check them there. A 64-bit build keeps the same order with natural
// alignment; where that moves a field, the 64-bit offset is given as well and checked.
// Sizes must always be taken with sizeof, never from the numbers in the comments.
//
// Sections: basic types and constants; input ids; records (display settings, input
// event, vertex, bitmap, sound, shader, file, data block); the engine interface table
// and its shader sub-table; the program interface record and its entry points. The
// compile-time layout checks live in zylem_layout.h, included at the end.
#pragma once

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------------
// Basic definitions
// ---------------------------------------------------------------------------------

// Version of this interface; the engine refuses a program module built for another.
#define ZY_INTERFACE_VERSION 1224

// printf-style checking of the variadic operations (format index, first argument).
#if defined(__GNUC__) || defined(__clang__)
#define ZY_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#define ZY_EXPORT __attribute__((visibility("default")))
#else
#define ZY_PRINTF_FORMAT(fmt, args)
#define ZY_EXPORT
#endif

// Compile-time checks usable from C11 and C++11.
#if defined(__cplusplus)
#define ZY_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define ZY_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else  // C99: a negative array size stops the build instead
#define ZY_JOIN_(a, b) a##b
#define ZY_JOIN(a, b) ZY_JOIN_(a, b)
#ifdef __COUNTER__
#define ZY_UNIQUE __COUNTER__
#else
#define ZY_UNIQUE __LINE__
#endif
#define ZY_STATIC_ASSERT(cond, msg) \
  typedef char ZY_JOIN(zy_static_assert_, ZY_UNIQUE)[(cond) ? 1 : -1]
#endif

// Log levels of ZY_Log and ZY_Popup. Levels 4 to 7 are counted but unnamed; any other
// value is taken as ZY_LOG_ERROR.
#define ZY_LOG_INFO 0     // routine messages; everything written with ZY_Print
#define ZY_LOG_WARNING 1  // recoverable problems
#define ZY_LOG_ERROR 2    // failures
#define ZY_LOG_SYSTEM 3   // lifecycle milestones

// Results of ZY_Popup.
#define ZY_POPUP_NOTHING 0  // nothing was shown (not developer mode, or a repeated text)
#define ZY_POPUP_CLOSED 1   // closed with OK on a box without Cancel, or handed to a thread
#define ZY_POPUP_OK 4       // OK on a warning or error box, or only logged
#define ZY_POPUP_YES 5      // Yes on a system-level box
#define ZY_POPUP_NO 6       // No on a system-level box

// Cache modes of bitmaps and sounds (bits, combined with |).
#define CACHE_NOTHING 0       // nothing kept: hibernated or not loaded
#define CACHE_SYSMEM 2        // keep the pixels in system memory
#define CACHE_GPU 4           // keep on the GPU (bitmaps) or loaded in the sound module
#define CACHE_LOOKUP_ONLY 16  // lookups only: no reference, no load, null when missing

// Kinds of ZY_CreateBitmap.
#define ZY_BITMAP_PIXELS 0         // a bitmap with width x height pixels in memory
#define ZY_BITMAP_RENDER_TARGET 1  // a GPU render target without pixels in memory

// Flags of a bitmap record.
#define ZY_BITMAP_HAS_ALPHA 1       // the pixels use their alpha channel
#define ZY_BITMAP_RELOADABLE 2      // came from a file and can be reloaded
#define ZY_BITMAP_IS_RENDER_TARGET 4  // created as a render target
#define ZY_BITMAP_COUNTED_ONCE 8    // counted once by ZY_GetBitmapEx

// States of a bitmap record.
#define ZY_BITMAP_STATE_RELEASED 0  // the record is free
#define ZY_BITMAP_STATE_WAITING 1   // waiting to be loaded (or hibernated)
#define ZY_BITMAP_STATE_LOADING 2   // being loaded
#define ZY_BITMAP_STATE_READY 3     // ready to draw

// Pack modes of a bitmap (how the renderer pads its texture).
#define ZY_PACK_PAD_EXPAND 0       // pad by repeating the edge pixels
#define ZY_PACK_PAD_TRANSPARENT 2  // pad with transparent pixels (the default)
#define ZY_PACK_NO_PADDING 3       // no padding (atlas packing)

// Flags of a sound record.
#define ZY_SOUND_COUNTED_ONCE 1  // counted once by ZY_GetSoundEx

// Text flags of ZY_SetTextFlags. Right wins over centre, bottom over middle.
#define ZY_TEXT_ALIGN_RIGHT 1   // lines end at x
#define ZY_TEXT_ALIGN_BOTTOM 2  // the text block ends at y
#define ZY_TEXT_ALIGN_MIDDLE 4  // the text block is centred on y
#define ZY_TEXT_ALIGN_CENTER 8  // lines are centred on x

// Root kinds of ZY_GetPath and ZY_GetPathEx.
#define ZY_ROOT_USER 0         // "user://": the per-user data folder of the game
#define ZY_ROOT_SHARED_USER 1  // "user://": the shared user data folder of the game
#define ZY_ROOT_DOCUMENTS 2    // "user://": the user's documents folder
#define ZY_ROOT_RES 3          // "res://": the game folder
#define ZY_ROOT_DESKTOP 4      // "res://": the desktop folder

// Seek origins of ZY_SeekFile.
#define ZY_SEEK_SET 0  // from the start of the file
#define ZY_SEEK_CUR 1  // from the current position
#define ZY_SEEK_END 2  // from the end of the file

// Flags of ZY_FindFiles.
#define ZY_FIND_RECURSE_SUBDIRS 1  // reserved: sub-folders are not searched yet

// Methods and results of ZY_HttpRequest.
#define ZY_HTTP_REQUEST_POST 1
#define ZY_HTTP_REQUEST_GET 2
#define ZY_HTTP_REQUEST_HEAD 3
#define ZY_HTTP_OK 200              // success; the body is in the response buffer
#define ZY_HTTP_ERROR_URL (-1)      // URL missing or not beginning with "http://"
#define ZY_HTTP_ERROR_SOCKET (-2)   // the socket could not be created
#define ZY_HTTP_ERROR_STATUS (-3)   // unhandled response; the buffer holds its header
#define ZY_HTTP_ABORTED (-4)        // the abort flag became 1, or the program is quitting
#define ZY_HTTP_ERROR_HOST (-5)     // host name not resolved
#define ZY_HTTP_ERROR_CONNECT (-6)  // connection refused or failed

// ---------------------------------------------------------------------------------
// Input ids: one id space for key states (ZY_GetKeyState) and axes (ZY_GetAxis)
// ---------------------------------------------------------------------------------

#define ZY_INPUT_ID_COUNT 2048  // size of the key-state and axis tables

// Bits of a key-state word.
#define ZY_KEY_STATE_PRESSED 1  // pressed since last read (cleared by reading, ids < 800)
#define ZY_KEY_STATE_DOWN 2     // held down now

// Keyboard: virtual-key codes below 256 (letters and digits are their upper-case
// character codes).
#define ZY_KEY_BACK 8
#define ZY_KEY_BACKSPACE 8
#define ZY_KEY_TAB 9
#define ZY_KEY_CLEAR 12
#define ZY_KEY_RETURN 13
#define ZY_KEY_SHIFT 16
#define ZY_KEY_CONTROL 17
#define ZY_KEY_ALT 18
#define ZY_KEY_ESCAPE 27
#define ZY_KEY_SPACE 32
#define ZY_KEY_PAGEUP 33
#define ZY_KEY_PAGEDOWN 34
#define ZY_KEY_END 35
#define ZY_KEY_HOME 36
#define ZY_KEY_LEFT 37
#define ZY_KEY_UP 38
#define ZY_KEY_RIGHT 39
#define ZY_KEY_DOWN 40
#define ZY_KEY_SELECT 41
#define ZY_KEY_PRINT 42
#define ZY_KEY_EXECUTE 43
#define ZY_KEY_INSERT 45
#define ZY_KEY_DELETE 46
#define ZY_KEY_HELP 47
#define ZY_KEY_F9 120
#define ZY_KEY_F10 121
#define ZY_KEY_MENU 300

// System mouse: position (key states as integers, axes as floats), wheel running sum,
// buttons.
#define ZY_MOUSE_X 504
#define ZY_MOUSE_Y 505
#define ZY_MOUSE_Z 506
#define ZY_MOUSE_WHEEL 507
#define ZY_MOUSE_BUTTON_0 510
#define ZY_MOUSE_BUTTON_LEFT 510
#define ZY_MOUSE_BUTTON_1 511
#define ZY_MOUSE_BUTTON_RIGHT 511
#define ZY_MOUSE_BUTTON_2 512
#define ZY_MOUSE_BUTTON_3 513
#define ZY_MOUSE_BUTTON_4 514
#define ZY_MOUSE_BUTTON_5 515
#define ZY_MOUSE_BUTTON_6 516
#define ZY_MOUSE_BUTTON_7 517

// Last reported position of pointer p (axis table).
#define ZY_POINTER_X(p) (524 + 20 * (p))
#define ZY_POINTER_Y(p) (525 + 20 * (p))
// With several mice, mouse m (1 for the first) has the mouse block shifted by
// ZY_MOUSE_BLOCK(m): e.g. its x at ZY_MOUSE_X + ZY_MOUSE_BLOCK(m), raw movement at
// 500 + ZY_MOUSE_BLOCK(m) and 501 + ZY_MOUSE_BLOCK(m), 518 + ZY_MOUSE_BLOCK(m) set on moves.
#define ZY_MOUSE_BLOCK(m) (20 * ((m) + 1))

#define ZY_ACCELEROMETER_X 1610
#define ZY_ACCELEROMETER_Y 1611
#define ZY_ACCELEROMETER_Z 1612
#define ZY_VOLUME_UP 1632
#define ZY_VOLUME_DOWN 1633

// Gamepad controls of pad 0; pad n (0 to 3) adds n * 64: ZY_GAMEPAD(n, ZY_GAMEPAD_BUTTON_A).
#define ZY_GAMEPAD(n, control) ((n) * 64 + (control))
#define ZY_GAMEPAD_LEFT_TRIGGER 801
#define ZY_GAMEPAD_RIGHT_TRIGGER 802
#define ZY_GAMEPAD_LEFT_THUMB_X 804
#define ZY_GAMEPAD_LEFT_THUMB_Y 805
#define ZY_GAMEPAD_RIGHT_THUMB_X 806
#define ZY_GAMEPAD_RIGHT_THUMB_Y 807
#define ZY_GAMEPAD_DPAD_UP 810
#define ZY_GAMEPAD_DPAD_DOWN 811
#define ZY_GAMEPAD_DPAD_LEFT 812
#define ZY_GAMEPAD_DPAD_RIGHT 813
#define ZY_GAMEPAD_BUTTON_START 820
#define ZY_GAMEPAD_BUTTON_BACK 821
#define ZY_GAMEPAD_BUTTON_LEFT_THUMB 822
#define ZY_GAMEPAD_BUTTON_RIGHT_THUMB 823
#define ZY_GAMEPAD_BUTTON_LEFT_SHOULDER 824
#define ZY_GAMEPAD_BUTTON_RIGHT_SHOULDER 825
#define ZY_GAMEPAD_BUTTON_A 826
#define ZY_GAMEPAD_BUTTON_B 827
#define ZY_GAMEPAD_BUTTON_X 828
#define ZY_GAMEPAD_BUTTON_Y 829

// ---------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------

typedef struct ZY_EngineInterface ZY_EngineInterface;
typedef struct ZY_ShaderInterface ZY_ShaderInterface;
typedef struct ZY_Bitmap ZY_Bitmap;
typedef struct ZY_Sound ZY_Sound;
typedef struct ZY_Shader ZY_Shader;
typedef struct ZY_Font ZY_Font;      // opaque: font record of the engine
typedef struct ZY_Mutex ZY_Mutex;    // opaque: a recursive lock
typedef struct ZY_Thread ZY_Thread;  // opaque: a started thread (never joined)

// Display settings: the program holds one copy in its record, the engine two of its own.
// Offsets: 32-bit build / 64-bit build.
typedef struct ZY_DisplaySettings {
  int32_t width;               //  0 /  0  screen or window width in pixels
  int32_t height;              //  4 /  4  height in pixels
  uint8_t windowed;            //  8 /  8  run in a window rather than fullscreen
  uint8_t no_sound;            //  9 /  9  no sound module is used
  uint8_t single_instance;     // 10 / 10  a second start raises the running game instead
  uint8_t multi_mouse;         // 11 / 11  read several mice separately
  int32_t frame_interval_ms;   // 12 / 12  frame pacing interval (engine writes 8 first)
  uint8_t console_visible;     // 16 / 16  engine: the console is shown
  uint8_t renderer_ready;      // 17 / 17  engine: the renderer is initialised
  uint8_t developer_mode;      // 18 / 18  engine: developer mode is on
  const char *command_line;    // 20 / 24  engine: the command line
  const char *locale;          // 24 / 32  engine: the configured locale ("" when none)
  uint8_t quitting;            // 28 / 40  engine: ZY_Quit was called
  uint8_t reference_counting;  // 29 / 41  program: release hibernates by reference count
  int32_t reference_width;     // 32 / 44  resolution the game was designed for
  int32_t reference_height;    // 36 / 48
  uint8_t unused[64];          // 40 / 52  not used by the engine
} ZY_DisplaySettings;          // 104 / 120 bytes

// Input event types (ZY_InputEvent.type).
#define ZY_EVENT_CHAR 1                  // character typed
#define ZY_EVENT_POINTER_MOVE 2          // pointer moved
#define ZY_EVENT_WHEEL 4                 // mouse wheel turned
#define ZY_EVENT_BUTTON_UP 5             // button released
#define ZY_EVENT_BUTTON_DOWN 6           // button pressed
#define ZY_EVENT_CONSOLE_COMMAND 7       // console command entered
#define ZY_EVENT_KEY_DOWN 8              // key pressed
#define ZY_EVENT_KEY_UP 9                // key released
#define ZY_EVENT_ACTIVATE 10             // application activation changed
#define ZY_EVENT_REINIT 11               // display re-initialisation starts or is done
#define ZY_EVENT_RESIZE 12               // display resized
#define ZY_EVENT_CLOSE 13                // window close requested
#define ZY_EVENT_RENDER_TARGET_LOST 17   // a render target lost its contents: redraw it
#define ZY_EVENT_CHECK_PARMS 18          // last chance to change the display settings
#define ZY_EVENT_NAMED 63                // named event ("FILE_DRAGGED", ...)

// Result of the program's event callback for ZY_EVENT_CLOSE that keeps the game running.
#define ZY_EVENT_RESULT_CANCEL_CLOSE 2

// Per-type layouts of the input event record. Every one starts with the type word;
// offsets are 32-bit build / 64-bit build.
typedef struct ZY_CharEvent {        // ZY_EVENT_CHAR
  uint32_t type;
  uint8_t code;                      //  4 /  4  character code
} ZY_CharEvent;

typedef struct ZY_PointerEvent {     // ZY_EVENT_POINTER_MOVE, _WHEEL, _BUTTON_UP, _BUTTON_DOWN
  uint32_t type;
  uint8_t index;                     //  4 /  4  pointer index (0 the system mouse)
  int32_t x;                         //  8 /  8  position in program coordinates
  int32_t y;                         // 12 / 12
  uint16_t button;                   // 16 / 16  button id (buttons)
  int16_t wheel_delta;               // 18 / 18  wheel delta (120 per notch)
  int32_t prev_x;                    // 20 / 20  previous position (system mouse only)
  int32_t prev_y;                    // 24 / 24
} ZY_PointerEvent;

typedef struct ZY_ConsoleEvent {     // ZY_EVENT_CONSOLE_COMMAND
  uint32_t type;
  const char *command;               //  4 /  8  the command text
} ZY_ConsoleEvent;

typedef struct ZY_KeyEvent {         // ZY_EVENT_KEY_DOWN, ZY_EVENT_KEY_UP
  uint32_t type;
  int32_t key;                       //  4 /  4  virtual-key code
} ZY_KeyEvent;

typedef struct ZY_ActivateEvent {    // ZY_EVENT_ACTIVATE
  uint32_t type;
  uint8_t inactive;                  //  4 /  4  1: became inactive, 0: became active
} ZY_ActivateEvent;

typedef struct ZY_ReinitEvent {      // ZY_EVENT_REINIT
  uint32_t type;
  uint8_t done;                      //  4 /  4  0: starts, 1: done
} ZY_ReinitEvent;

typedef struct ZY_ResizeEvent {      // ZY_EVENT_RESIZE
  uint32_t type;
  uint16_t width;                    //  4 /  4  new size
  uint16_t height;                   //  6 /  6
} ZY_ResizeEvent;

typedef struct ZY_RenderTargetEvent {  // ZY_EVENT_RENDER_TARGET_LOST
  uint32_t type;
  ZY_Bitmap *bitmap;                 //  4 /  8  the render target to redraw
} ZY_RenderTargetEvent;

typedef struct ZY_CheckParmsEvent {  // ZY_EVENT_CHECK_PARMS
  uint32_t type;
  ZY_EngineInterface *zy;            //  4 /  8  the engine interface table
  ZY_DisplaySettings *parms;         //  8 / 16  the program's display settings, to edit
} ZY_CheckParmsEvent;

typedef struct ZY_NamedEvent {       // ZY_EVENT_NAMED
  uint32_t type;
  const char *name;                  //  4 /  8  event name
  const char *arg1;                  //  8 / 16  first argument text
  const char *arg2;                  // 12 / 24  second argument text
  const void *reserved;              // 16 / 32  always null
} ZY_NamedEvent;

typedef struct ZY_DataEvent {        // types 20-22, 33-36: purchase and ad simulations
  uint32_t type;
  void *data;                        //  4 /  8  heap data, freed by the engine after a
                                     //          queued delivery
} ZY_DataEvent;

// The input event record, passed by value to the program's event callback.
typedef union ZY_InputEvent {
  uint32_t type;                     // ZY_EVENT_...; the first word of every layout
  ZY_CharEvent character;
  ZY_PointerEvent pointer;
  ZY_ConsoleEvent console;
  ZY_KeyEvent key;
  ZY_ActivateEvent activate;
  ZY_ReinitEvent reinit;
  ZY_ResizeEvent resize;
  ZY_RenderTargetEvent render_target;
  ZY_CheckParmsEvent check_parms;
  ZY_NamedEvent named;
  ZY_DataEvent data;
  uint8_t raw[32];
} ZY_InputEvent;                     // 32 / 40 bytes

// One vertex, shared with the renderer module and with vertices the program passes in.
typedef struct ZY_Vertex {
  float x, y, z;    //  0,  4,  8
  uint32_t color;   // 12  0xAARRGGBB, or bytes R, G, B, A when the renderer asks for it
  float u, v;       // 16, 20
} ZY_Vertex;        // 24 bytes

// A point of ZY_DrawBitmapLine.
typedef struct ZY_Point {
  float x, y;
} ZY_Point;

// A colour of ZY_DrawBitmapLine: four floats 0..1.
typedef struct ZY_ColorF {
  float r, g, b, a;
} ZY_ColorF;

// A bitmap's data on the GPU, kept in the bitmap record and filled by the renderer.
typedef struct ZY_BitmapHardware {
  uint8_t on_gpu;            //  0 /  0  the texture exists on the GPU
  float left, top;           //  4 /  4  texture rectangle: u, v of the top-left corner
  float right, bottom;       // 12 / 12  u, v of the bottom-right corner
  void *renderer_data[2];    // 20 / 24  the renderer's own
  void *texture;             // 28 / 40  the renderer's texture handle
} ZY_BitmapHardware;         // 32 / 48 bytes

// Bitmap record: an entry of the engine's bitmap table (also the layout of each frame of
// a bitmap sequence). The program may read it; the engine writes it.
struct ZY_Bitmap {
  char *name;                //   0 /   0  lookup name; null when the record is free
  int16_t ref_count;         //   4 /   8  references held by the program
  uint8_t cache_mode;        //   6 /  10  CACHE_... bits in force
  ZY_Mutex *lock;            //   8 /  16  the bitmap's own lock, or the shared one
  char *source_name;         //  12 /  24  the file actually loaded
  int32_t width, height;     //  16 /  32  logical size in pixels
  uint32_t *pixels;          //  24 /  40  width x height pixels, or null
  int32_t alloc_width;       //  28 /  48  allocated size of the pixel buffer
  int32_t alloc_height;      //  32 /  52
  uint8_t flags;             //  36 /  56  ZY_BITMAP_HAS_ALPHA ...
  int16_t state;             //  38 /  58  ZY_BITMAP_STATE_...
  int16_t pack_mode;         //  40 /  60  ZY_PACK_...
  ZY_Bitmap *duplicate_of;   //  44 /  64  the frame this one duplicates, if any
  ZY_Bitmap *frames;         //  48 /  72  frames of a bitmap sequence, or null
  int32_t frame_count;       //  52 /  80
  int32_t select_frame;      //  56 /  84  frame to select after upload
  void *pending_source;      //  60 /  88  source data while a download or sequence loads
  float frame_rate;          //  64 /  96  frames per second of a sequence
  ZY_BitmapHardware hw;      //  68 / 104  GPU data
  void *engine_data[7];      // 100 / 152  the engine's own bookkeeping
};                           // 128 / 208 bytes

// Sound record: an entry of the engine's sound table.
struct ZY_Sound {
  char *name;                //  0 /  0  lookup name; null when free; "!" = placeholder
  int16_t ref_count;         //  4 /  8
  uint8_t cache_mode;        //  6 / 10  CACHE_NOTHING or CACHE_GPU (loaded)
  uint8_t flags;             //  7 / 11  ZY_SOUND_COUNTED_ONCE
  float params[4];           //  8 / 12  two pairs, each (1.0, 0.0) at creation; module's
  int32_t module_value;      // 24 / 28  -1 at creation; module's
  uint32_t last_play_time;   // 28 / 32  ZY_GetTime of the last accepted play, 0 for never
  void *module_data[13];     // 32 / 40  the sound module's data; cleared when freed
};                           // 84 / 144 bytes

// Shader record: an entry of the engine's shader table.
struct ZY_Shader {
  char *name;                //  0 /  0  lookup name
  int16_t active;            //  4 /  8  1 once created
  int16_t kind;              //  6 / 10  1 for "!DOT3_DIRECTIONAL", else 0
  void *renderer_data[25];   //  8 / 16  the renderer module's
};                           // 108 / 216 bytes

// File handle of ZY_OpenFile (allocated by the engine, freed by ZY_CloseFile).
typedef struct ZY_File {
  const char *name;          //  0 /  0  the name it was opened with
  int32_t size;              //  4 /  8  size in bytes when opened
  void *inner;               //  8 / 16  the engine's opened file
} ZY_File;                   // 12 / 24 bytes

// File list of ZY_FindFiles, emptied by ZY_FreeFileList.
typedef struct ZY_FileList {
  char **files;              //  0 /  0  allocated names
  int32_t count;             //  4 /  8
} ZY_FileList;               //  8 / 16 bytes

// Data block: the response buffer of ZY_HttpRequest, made by ZY_AllocData.
typedef struct ZY_Data {
  char *data;                //  0 /  0  the bytes, NUL-terminated after the last one
  int32_t reserved;          //  4 /  8  0
  int32_t length;            //  8 / 12  bytes held (grows while a download arrives)
  int32_t expected_length;   // 12 / 16  Content-Length when announced, else length
} ZY_Data;                   // 16 / 24 bytes

// A thread body started by ZY_CreateThread.
typedef void (*ZY_ThreadFunction)(void *argument);

// A vertex hook: called with the vertices of each quad (4) or a single vertex (1).
typedef void (*ZY_VertexHook)(ZY_Vertex *vertices, int32_t count, void *data);

// ---------------------------------------------------------------------------------
// The engine interface table: 126 operations in fixed slot order, then the shader
// sub-table. The slot number of every member is given in its comment.
// ---------------------------------------------------------------------------------

// Shader operations (the table's last slot points here).
struct ZY_ShaderInterface {
  ZY_Shader *(*GetShader)(const char *name);  // 0 finds or creates a shader (null name = "!NONE")
  void (*SetShader)(ZY_Shader *shader);  // 1 makes the shader current in the renderer
  void (*SetShaderTexture)(int32_t stage, ZY_BitmapHardware *texture);  // 2 binds a bitmap's texture (&bitmap->hw) to a stage
  void (*SetShaderParameter)(int32_t index, float value, const void *data);  // 3 passes a parameter to the renderer
  void (*DrawBitmapShaded)(ZY_Bitmap *bitmap, float x, float y, float angle, float scale);  // 4 draws centred, rotated, scaled, unbatched
};

struct ZY_EngineInterface {
  // Log and popups
  int32_t (*Print)(const char *format, ...) ZY_PRINTF_FORMAT(1, 2);  // 0 logs at INFO; characters written, -1 when cut
  int32_t (*Log)(int32_t level, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);  // 1 logs at a level
  int32_t (*Popup)(int32_t level, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);  // 2 developer popup, each text once; ZY_POPUP_...

  // Time
  void (*Sleep)(uint32_t milliseconds);  // 3 suspends the calling thread
  uint32_t (*GetTime)(void);  // 4 milliseconds since the engine started (wraps)
  int32_t *(*GetDateTime)(int32_t values[6]);  // 5 fills year, month, day, hour, minute, second; returns values

  // Threads and mutexes
  ZY_Mutex *(*GetMutex)(const char *name);  // 6 the mutex of that name, created on first use ("" always new)
  void (*DestroyMutex)(ZY_Mutex *mutex);  // 7 deletes a mutex
  void (*LockMutex)(ZY_Mutex *mutex);  // 8 takes it (recursive); null is ignored
  void (*UnlockMutex)(ZY_Mutex *mutex);  // 9 releases it; null is ignored
  ZY_Thread *(*CreateThread)(const char *name, ZY_ThreadFunction function, void *argument, int32_t flags);  // 10 starts a named thread; flags must be 0; null on failure
  uint32_t (*GetCurrentThreadId)(void);  // 11 id of the calling thread
  bool (*IsMainThread)(void);  // 12 whether the caller is the main thread
  void (*LockMainLoop)(void);  // 13 waits for the frame lock (no-op on the main thread)
  void (*UnlockMainLoop)(void);  // 14 releases it (no-op on the main thread)

  // Fonts
  ZY_Font *(*GetFont)(const char *name);  // 15 finds or loads a font; counted once per font
  ZY_Font *(*LoadFont)(const char *name);  // 16 finds or loads a font; every call counts
  bool (*RecreateFontAtlas)(ZY_Font *font);  // 17 rebuilds the font's texture atlas
  void (*ReleaseFont)(ZY_Font *font);  // 18 drops one reference
  bool (*SaveFont)(ZY_Font *font, const char *name);  // 19 writes the font file

  // Application
  void (*SetCursor)(const char *name);  // 20 selects a named cursor; null or "NULL" hides it
  void (*Quit)(void);  // 21 ends the frame loop after this frame
  bool (*Reinitialize)(ZY_DisplaySettings parms);  // 22 requests a display change for the next frame
  const char *(*GetSystemValue)(const char *key, const char *argument);  // 23 system query or extension call; null when unanswered

  // Paths and search paths
  const char *(*GetPath)(int32_t root_kind, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);  // 24 prefix + text in a ring of 16 buffers (main thread)
  char *(*GetPathEx)(char *buffer, int32_t buffer_size, int32_t root_kind, const char *format, ...) ZY_PRINTF_FORMAT(4, 5);  // 25 the same into the caller's buffer
  bool (*CreateDir)(const char *path);  // 26 creates every missing folder level (result carries nothing)
  void (*AddSearchPath)(const char *path, bool at_front);  // 27 adds a prefixed search path
  void (*RemoveSearchPath)(const char *path);  // 28 removes a search path
  const char *(*GetSearchPath)(int32_t index);  // 29 search path by priority, null outside the list
  int32_t (*GetSearchPathCount)(void);  // 30 number of search paths

  // Files
  bool (*DeleteFile)(const char *path);  // 31 deletes a file
  ZY_File *(*OpenFile)(const char *name, const char *mode);  // 32 opens "r", "w", "a" (or "rb", "wb", "ab"); null on failure
  int32_t (*CloseFile)(ZY_File *file);  // 33 closes and frees the handle; 0
  int32_t (*ReadFile)(void *buffer, int32_t bytes, ZY_File *file);  // 34 bytes read
  int32_t (*WriteFile)(const void *buffer, int32_t bytes, ZY_File *file);  // 35 bytes written
  void (*FlushFile)(ZY_File *file);  // 36 flushes buffered writes
  int32_t (*TellFile)(ZY_File *file);  // 37 current position
  bool (*SeekFile)(ZY_File *file, int32_t offset, int32_t origin);  // 38 moves the position (ZY_SEEK_...)
  int32_t (*ReadByte)(ZY_File *file);  // 39 next byte, 0 at end of file
  bool (*SeekFile2)(ZY_File *file, int32_t offset, int32_t origin);  // 40 same operation as SeekFile
  int32_t (*TellFile2)(ZY_File *file);  // 41 same operation as TellFile
  int32_t (*ReadItems)(void *buffer, int32_t item_size, int32_t item_count, ZY_File *file);  // 42 bytes read
  int32_t (*WriteItems)(const void *buffer, int32_t item_size, int32_t item_count, ZY_File *file);  // 43 bytes written
  bool (*FindFiles)(ZY_FileList *list, const char *folder, const char *pattern, int32_t flags);  // 44 lists "*.ext" files of a folder over the search paths
  void (*FreeFileList)(ZY_FileList *list);  // 45 frees the names and empties the list

  // HTTP
  int32_t (*HttpRequest)(int32_t method, const char *url, const char *content_type, const void *body, int32_t body_length, ZY_Data *response, volatile int32_t *abort_flag);  // 46 blocking request; ZY_HTTP_...
  ZY_Data *(*AllocData)(ZY_Data *data, int32_t size);  // 47 allocates size bytes into the block; returns it
  void (*FreeData)(ZY_Data *data);  // 48 frees the bytes and clears the block

  // Input state
  int32_t (*GetKeyState)(int32_t key);  // 49 state word; clears ZY_KEY_STATE_PRESSED for ids below 800
  void (*SetKeyState)(int32_t key, int32_t state);  // 50 stores a state word
  float (*GetAxis)(int32_t axis);  // 51 reads an axis
  void (*SetAxis)(int32_t axis, float value);  // 52 writes an axis

  // Sounds and music
  ZY_Sound *(*GetSound)(const char *name);  // 53 GetSoundEx with CACHE_GPU
  ZY_Sound *(*LoadSound)(const char *name);  // 54 finds or loads; every call counts
  ZY_Sound *(*GetSoundEx)(const char *name, int32_t cache_mode);  // 55 finds or loads; counted once per sound
  void (*ReleaseSound)(ZY_Sound *sound);  // 56 drops one reference (hibernates at 0)
  bool (*SetSoundCacheMode)(ZY_Sound *sound, int32_t cache_mode);  // 57 loads or drops the data
  void (*StopSound)(ZY_Sound *sound);  // 58 stops every play of the sound
  int32_t (*PlaySound)(ZY_Sound *sound, float volume, float pan, int32_t loop);  // 59 plays; channel, 0 when not played
  void (*StopChannel)(int32_t channel);  // 60 stops a channel
  void (*SetChannelParam1)(int32_t channel, float value);  // 61 sound module channel parameter 1
  void (*SetChannelParam2)(int32_t channel, float value);  // 62 parameter 2
  void (*SetChannelParam3)(int32_t channel, float value);  // 63 parameter 3
  void (*SetChannelParam4)(int32_t channel, float value);  // 64 parameter 4
  void (*SetChannelParam5)(int32_t channel, float value);  // 65 parameter 5
  bool (*IsChannelPlaying)(int32_t channel);  // 66 whether the channel still plays
  float (*GetChannelValue)(int32_t channel);  // 67 sound module channel value
  void (*SetSoundParams)(ZY_Sound *sound, float a, float b);  // 68 sound module sound parameters
  void (*SetSoundParamsDefault)(ZY_Sound *sound, float value);  // 69 SetSoundParams(sound, -0.1, value)
  void (*PlayMusic)(ZY_Sound *music, float volume, float fade_in_seconds);  // 70 starts music (slides the volume when already playing)
  void (*StopMusic)(float fade_out_seconds);  // 71 stops the music
  void (*SetMusicValue)(float value);  // 72 sound module music setting
  void (*SetMusicLooping)(bool ignored);  // 73 deprecated: music always loops
  ZY_Sound *(*GetMusicValue)(void);  // 74 the music playing, or null
  void (*SlideMusicVolume)(float target_volume, float seconds);  // 75 fades the music volume

  // Transform and vertex hooks
  void (*PushTransform)(const float *matrix);  // 76 pushes top x matrix (4x4 row-major; null = identity)
  void (*PopTransform)(void);  // 77 pops the transform stack
  float *(*GetTransform)(float matrix[16]);  // 78 copies the top (identity when empty); returns matrix
  void (*PushVertexHook)(ZY_VertexHook function, void *data);  // 79 pushes a hook; null function = barrier
  void (*PopVertexHook)(void);  // 80 removes the top hook
  bool (*RemoveVertexHook)(ZY_VertexHook function, void *data);  // 81 removes the first matching active hook
  void (*ApplyVertexHooks)(ZY_Vertex *vertex);  // 82 runs the active hooks on one vertex

  // Bitmaps
  ZY_Bitmap *(*GetBitmap)(const char *name);  // 83 GetBitmapEx with the default cache mode
  ZY_Bitmap *(*GetBitmapEx)(const char *name, int32_t cache_mode);  // 84 finds or loads; counted once per bitmap
  ZY_Bitmap *(*LoadBitmap)(const char *name, int32_t cache_mode);  // 85 finds or loads; every call counts
  void (*ReleaseBitmap)(ZY_Bitmap *bitmap);  // 86 drops one reference (hibernates at 0)
  bool (*SaveBitmap)(ZY_Bitmap *bitmap, const char *file_name, int32_t quality);  // 87 writes PNG, JPEG (quality 0-100) or TGA
  bool (*RefreshBitmap)(ZY_Bitmap *bitmap);  // 88 reloads the pixels in place
  bool (*ResizeBitmap)(ZY_Bitmap *bitmap, int32_t width, int32_t height);  // 89 resamples the pixels
  void (*SetBitmapCacheMode)(ZY_Bitmap *bitmap, int32_t cache_mode);  // 90 loads, uploads or drops data
  ZY_Bitmap *(*CreateBitmap)(const char *name, int32_t width, int32_t height, int32_t kind);  // 91 new pixel bitmap or render target (ZY_BITMAP_...)
  void (*SelectBitmapFrame)(ZY_Bitmap *bitmap, int32_t frame);  // 92 shows a frame of a sequence

  // Render state
  void (*Forward3)(int32_t command, float value, int32_t argument);  // 93 passed to the renderer after a flush
  bool (*SetClipRect)(int32_t x, int32_t y, int32_t width, int32_t height);  // 94 clips drawing to a rectangle
  void (*ResetClipRect)(void);  // 95 removes the clip rectangle
  bool (*SetRenderTarget)(ZY_Bitmap *bitmap);  // 96 draws into a render target (null = screen)
  bool (*PushRenderTarget)(ZY_Bitmap *bitmap);  // 97 sets and remembers a render target
  bool (*PopRenderTarget)(void);  // 98 returns to the previous render target
  void (*SetBlendMode)(int32_t mode);  // 99 renderer blend mode (0 normal)
  void (*SetRenderMode)(int32_t mode);  // 100 renderer render mode (1 normal)
  void (*SetColor)(float red, float green, float blue);  // 101 drawing colour 0..1
  void (*SetAlpha)(float alpha);  // 102 drawing alpha, clamped to 0..1

  // Text settings
  void (*SetTextFlags)(uint32_t flags);  // 103 ZY_TEXT_ALIGN_... bits
  void (*SetTextMaxWidth)(float width);  // 104 wrap width (below 0.1: no wrapping)
  void (*SetTextTransform)(float scale_x, float scale_y, float angle);  // 105 scales and rotates text blocks

  // Drawing
  void (*DrawBitmap)(ZY_Bitmap *bitmap, float x, float y);  // 106 draws at (x, y) top-left
  void (*DrawBitmapEx)(ZY_Bitmap *bitmap, float x, float y, float angle, float scale);  // 107 draws centred, rotated, scaled
  void (*DrawBitmapLine)(ZY_Bitmap *bitmap, const ZY_Point *a, const ZY_Point *b, float width_a, float width_b, const ZY_ColorF *color_a, const ZY_ColorF *color_b);  // 108 stretches along a segment
  void (*DrawBitmapPart)(ZY_Bitmap *bitmap, float x, float y, float left, float top, float right, float bottom);  // 109 draws a pixel rectangle of it
  float (*DrawText)(ZY_Font *font, float x, float y, const char *format, ...) ZY_PRINTF_FORMAT(4, 5);  // 110 draws text with markup; widest line
  void (*DrawRect)(float x, float y, float width, float height);  // 111 filled untextured rectangle
  void (*DrawLine)(float x1, float y1, float x2, float y2);  // 112 line in the current colour
  void (*DrawLineVertices)(const ZY_Vertex vertices[2]);  // 113 line between two vertices
  void (*DrawQuad)(ZY_Bitmap *bitmap, const ZY_Vertex vertices[4]);  // 114 quad TL, TR, BL, BR; uv within the bitmap
  void (*DrawTriangles)(ZY_Bitmap *bitmap, const ZY_Vertex *vertices, int32_t vertex_count, const uint16_t *indices, int32_t index_count);  // 115 indexed triangles (up to 256 vertices, 3072 indices)
  void (*GetTextSize)(ZY_Font *font, float *width, float *height, const char *format, ...) ZY_PRINTF_FORMAT(4, 5);  // 116 measures text
  float (*GetTextWidth)(ZY_Font *font, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);  // 117 width of text
  float (*GetTextHeight)(ZY_Font *font, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);  // 118 height of text

  // Depth, projection and renderer states
  void (*SetProjection)(float near_plane, float middle, float far_plane);  // 119 depth projection values
  void (*SetDrawDepth)(float z);  // 120 z of later quads
  float (*GetDrawDepth)(void);  // 121 current z
  void (*Forward1)(int32_t value);  // 122 passed to the renderer after a flush
  void (*SetRenderStateb)(int32_t state, bool value);  // 123 boolean renderer state (10, 11)
  void (*SetRenderStatef)(int32_t state, float value);  // 124 float renderer state (none supported)
  void (*SetRenderStatei)(int32_t state, int32_t value);  // 125 integer renderer state (12)

  ZY_ShaderInterface *shader;  // 126 the shader operations (data, not a function)
};

#define ZY_ENGINE_INTERFACE_SLOTS 127  // machine words in the engine interface table

// ---------------------------------------------------------------------------------
// The program interface record and the program module's entry points
// ---------------------------------------------------------------------------------

typedef struct ZY_ProgramInterface {
  uint32_t interface_version;   //   0 /   0  program: ZY_INTERFACE_VERSION
  char id[32];                  //   4 /   4  program: unique id (single-instance lock name)
  char title[128];              //  36 /  36  program: title (window, log, popups)
  char version[16];             // 164 / 164  program: e.g. "1.0.0"
  char developer_name[64];      // 180 / 180  program: names the user data folder
  ZY_EngineInterface *zy;       // 244 / 248  engine: the engine interface table
  ZY_DisplaySettings parms;     // 248 / 256  both: display settings
  bool (*init)(void);           // 352 / 376  once, after the window and renderer are up
  void (*shutdown)(void);       // 356 / 384  once at shut-down after a true init; may be null
  void (*update)(float seconds);  // 360 / 392  once per frame with a positive delta
  void (*draw)(float seconds);  // 364 / 400  once per render pass
  uint32_t (*event)(ZY_InputEvent event);  // 368 / 408  engine events; may be null
} ZY_ProgramInterface;          // 372 / 416 bytes

// Entry points a program module exports (unmangled). The engine zeroes a record and asks
// ZY_GetProgramInterface to fill it; only without that export it calls ZY_GetInterface
// for a record the module owns.
typedef bool (*ZY_GetProgramInterfaceFunc)(ZY_ProgramInterface *prog, uint32_t version);
typedef ZY_ProgramInterface *(*ZY_GetInterfaceFunc)(void);
#define ZY_GET_PROGRAM_INTERFACE_NAME "ZY_GetProgramInterface"
#define ZY_GET_INTERFACE_NAME "ZY_GetInterface"

// Fills the engine's zeroed record for the given interface version; false refuses.
ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t version);
// Returns the module's own record (older entry point), or null.
ZY_EXPORT ZY_ProgramInterface *ZY_GetInterface(void);

#ifdef __cplusplus
}  // extern "C"
#endif

// The layout assertions (32-bit byte offsets, 64-bit documented offsets, table slots).
#include "zylem_layout.h"
