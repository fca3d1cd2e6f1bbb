// abi_test.cpp — the layout of the public ABI in the build being tested.
//
// Program and implementation modules are compiled separately from the engine, so every
// shared record must keep its field order, and the engine interface table and module
// interfaces their slot order. These tests state the expected offset of every field
// (32-bit and 64-bit value) and slot; a field or operation added in the wrong place shows
// up by name. The minimal program module is also loaded to see that a game written
// against zylem.h alone exports the handshake and fills its record.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <set>
#include <string>

#include "host/host.h"
#include "zylem_modules.h"
#include "zytest.h"

namespace {

const bool kIs64 = sizeof(void *) == 8;

struct FieldPlace {
  const char *name;
  size_t offset;     // offsetof in this build
  size_t offset32;   // the published 32-bit offset
  size_t offset64;   // the 64-bit offset documented in the header
};

#define FIELD(type, field, at32, at64) {#type "." #field, offsetof(type, field), at32, at64}

void ExpectPlaces(const FieldPlace *places, size_t count) {
  for (size_t i = 0; i < count; i++) {
    size_t want = kIs64 ? places[i].offset64 : places[i].offset32;
    EXPECT_EQ(places[i].offset, want) << places[i].name;
  }
}

template <size_t N>
void ExpectPlaces(const FieldPlace (&places)[N]) {
  ExpectPlaces(places, N);
}

size_t Pick(size_t size32, size_t size64) { return kIs64 ? size64 : size32; }

}  // namespace

// ---------------------------------------------------------------------------------
// Engine interface table
// ---------------------------------------------------------------------------------

namespace {

struct Slot {
  const char *name;
  size_t offset;
  size_t slot;
};

#define SLOT(field, n) {#field, offsetof(ZY_EngineInterface, field), n}

const Slot kEngineSlots[] = {
    SLOT(Print, 0), SLOT(Log, 1), SLOT(Popup, 2), SLOT(Sleep, 3), SLOT(GetTime, 4),
    SLOT(GetDateTime, 5), SLOT(GetMutex, 6), SLOT(DestroyMutex, 7), SLOT(LockMutex, 8),
    SLOT(UnlockMutex, 9), SLOT(CreateThread, 10), SLOT(GetCurrentThreadId, 11),
    SLOT(IsMainThread, 12), SLOT(LockMainLoop, 13), SLOT(UnlockMainLoop, 14),
    SLOT(GetFont, 15), SLOT(LoadFont, 16), SLOT(RecreateFontAtlas, 17),
    SLOT(ReleaseFont, 18), SLOT(SaveFont, 19), SLOT(SetCursor, 20), SLOT(Quit, 21),
    SLOT(Reinitialize, 22), SLOT(GetSystemValue, 23), SLOT(GetPath, 24),
    SLOT(GetPathEx, 25), SLOT(CreateDir, 26), SLOT(AddSearchPath, 27),
    SLOT(RemoveSearchPath, 28), SLOT(GetSearchPath, 29), SLOT(GetSearchPathCount, 30),
    SLOT(DeleteFile, 31), SLOT(OpenFile, 32), SLOT(CloseFile, 33), SLOT(ReadFile, 34),
    SLOT(WriteFile, 35), SLOT(FlushFile, 36), SLOT(TellFile, 37), SLOT(SeekFile, 38),
    SLOT(ReadByte, 39), SLOT(SeekFile2, 40), SLOT(TellFile2, 41), SLOT(ReadItems, 42),
    SLOT(WriteItems, 43), SLOT(FindFiles, 44), SLOT(FreeFileList, 45),
    SLOT(HttpRequest, 46), SLOT(AllocData, 47), SLOT(FreeData, 48),
    SLOT(GetKeyState, 49), SLOT(SetKeyState, 50), SLOT(GetAxis, 51), SLOT(SetAxis, 52),
    SLOT(GetSound, 53), SLOT(LoadSound, 54), SLOT(GetSoundEx, 55), SLOT(ReleaseSound, 56),
    SLOT(SetSoundCacheMode, 57), SLOT(StopSound, 58), SLOT(PlaySound, 59),
    SLOT(StopChannel, 60), SLOT(SetChannelParam1, 61), SLOT(SetChannelParam2, 62),
    SLOT(SetChannelParam3, 63), SLOT(SetChannelParam4, 64), SLOT(SetChannelParam5, 65),
    SLOT(IsChannelPlaying, 66), SLOT(GetChannelValue, 67), SLOT(SetSoundParams, 68),
    SLOT(SetSoundParamsDefault, 69), SLOT(PlayMusic, 70), SLOT(StopMusic, 71),
    SLOT(SetMusicValue, 72), SLOT(SetMusicLooping, 73), SLOT(GetMusicValue, 74),
    SLOT(SlideMusicVolume, 75), SLOT(PushTransform, 76), SLOT(PopTransform, 77),
    SLOT(GetTransform, 78), SLOT(PushVertexHook, 79), SLOT(PopVertexHook, 80),
    SLOT(RemoveVertexHook, 81), SLOT(ApplyVertexHooks, 82), SLOT(GetBitmap, 83),
    SLOT(GetBitmapEx, 84), SLOT(LoadBitmap, 85), SLOT(ReleaseBitmap, 86),
    SLOT(SaveBitmap, 87), SLOT(RefreshBitmap, 88), SLOT(ResizeBitmap, 89),
    SLOT(SetBitmapCacheMode, 90), SLOT(CreateBitmap, 91), SLOT(SelectBitmapFrame, 92),
    SLOT(Forward3, 93), SLOT(SetClipRect, 94), SLOT(ResetClipRect, 95),
    SLOT(SetRenderTarget, 96), SLOT(PushRenderTarget, 97), SLOT(PopRenderTarget, 98),
    SLOT(SetBlendMode, 99), SLOT(SetRenderMode, 100), SLOT(SetColor, 101),
    SLOT(SetAlpha, 102), SLOT(SetTextFlags, 103), SLOT(SetTextMaxWidth, 104),
    SLOT(SetTextTransform, 105), SLOT(DrawBitmap, 106), SLOT(DrawBitmapEx, 107),
    SLOT(DrawBitmapLine, 108), SLOT(DrawBitmapPart, 109), SLOT(DrawText, 110),
    SLOT(DrawRect, 111), SLOT(DrawLine, 112), SLOT(DrawLineVertices, 113),
    SLOT(DrawQuad, 114), SLOT(DrawTriangles, 115), SLOT(GetTextSize, 116),
    SLOT(GetTextWidth, 117), SLOT(GetTextHeight, 118), SLOT(SetProjection, 119),
    SLOT(SetDrawDepth, 120), SLOT(GetDrawDepth, 121), SLOT(Forward1, 122),
    SLOT(SetRenderStateb, 123), SLOT(SetRenderStatef, 124), SLOT(SetRenderStatei, 125),
    SLOT(shader, 126),
};

}  // namespace

TEST(EngineInterfaceTable, Is127MachineWords) {
  EXPECT_EQ(sizeof(ZY_EngineInterface), 127 * sizeof(void *));
  EXPECT_EQ(ZY_ENGINE_INTERFACE_SLOTS, 127);
}

TEST(EngineInterfaceTable, EveryOperationSitsInItsSlot) {
  // The list above must name each slot exactly once, so a table with an operation missing
  // or duplicated here cannot pass by accident.
  std::set<size_t> seen;
  for (const Slot &s : kEngineSlots) {
    EXPECT_EQ(s.offset, s.slot * sizeof(void *)) << s.name << " is not in slot " << s.slot;
    EXPECT_TRUE(seen.insert(s.slot).second) << "slot " << s.slot << " listed twice";
  }
  EXPECT_EQ(seen.size(), 127u);
  EXPECT_EQ(*seen.rbegin(), 126u);
}

TEST(EngineInterfaceTable, ShaderSubTableHasFiveOperationsInOrder) {
  EXPECT_EQ(sizeof(ZY_ShaderInterface), 5 * sizeof(void *));
  EXPECT_EQ(offsetof(ZY_ShaderInterface, GetShader), 0 * sizeof(void *));
  EXPECT_EQ(offsetof(ZY_ShaderInterface, SetShader), 1 * sizeof(void *));
  EXPECT_EQ(offsetof(ZY_ShaderInterface, SetShaderTexture), 2 * sizeof(void *));
  EXPECT_EQ(offsetof(ZY_ShaderInterface, SetShaderParameter), 3 * sizeof(void *));
  EXPECT_EQ(offsetof(ZY_ShaderInterface, DrawBitmapShaded), 4 * sizeof(void *));
}

TEST(EngineInterfaceTable, SlotsReadAsAnArrayOfWordsMatchTheMembers) {
  // A module written against another compiler may index the table as words: filling a
  // table through its members must put each address in the word of its slot.
  ZY_EngineInterface table;
  memset(&table, 0, sizeof table);
  table.Quit = reinterpret_cast<void (*)(void)>(uintptr_t{0x1000});
  table.SeekFile2 = reinterpret_cast<bool (*)(ZY_File *, int32_t, int32_t)>(uintptr_t{0x2000});
  table.SetRenderStatei = reinterpret_cast<void (*)(int32_t, int32_t)>(uintptr_t{0x3000});
  table.shader = reinterpret_cast<ZY_ShaderInterface *>(uintptr_t{0x4000});
  void *words[127];
  memcpy(words, &table, sizeof words);
  for (size_t i = 0; i < 127; i++) {
    uintptr_t want = i == 21 ? 0x1000 : i == 40 ? 0x2000 : i == 125 ? 0x3000 : i == 126 ? 0x4000 : 0;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(words[i]), want) << "word " << i;
  }
}

// ---------------------------------------------------------------------------------
// Program interface record and display settings
// ---------------------------------------------------------------------------------

TEST(ProgramInterface, FieldsKeepThePublishedOrder) {
  const FieldPlace places[] = {
      FIELD(ZY_ProgramInterface, interface_version, 0, 0),
      FIELD(ZY_ProgramInterface, id, 4, 4),
      FIELD(ZY_ProgramInterface, title, 36, 36),
      FIELD(ZY_ProgramInterface, version, 164, 164),
      FIELD(ZY_ProgramInterface, developer_name, 180, 180),
      FIELD(ZY_ProgramInterface, zy, 244, 248),
      FIELD(ZY_ProgramInterface, parms, 248, 256),
      FIELD(ZY_ProgramInterface, init, 352, 376),
      FIELD(ZY_ProgramInterface, shutdown, 356, 384),
      FIELD(ZY_ProgramInterface, update, 360, 392),
      FIELD(ZY_ProgramInterface, draw, 364, 400),
      FIELD(ZY_ProgramInterface, event, 368, 408),
  };
  ExpectPlaces(places);
  EXPECT_EQ(sizeof(ZY_ProgramInterface), Pick(372, 416));
  EXPECT_EQ(sizeof(((ZY_ProgramInterface *)0)->id), 32u);
  EXPECT_EQ(sizeof(((ZY_ProgramInterface *)0)->title), 128u);
  EXPECT_EQ(sizeof(((ZY_ProgramInterface *)0)->version), 16u);
  EXPECT_EQ(sizeof(((ZY_ProgramInterface *)0)->developer_name), 64u);
}

TEST(DisplaySettings, FieldsKeepThePublishedOrder) {
  const FieldPlace places[] = {
      FIELD(ZY_DisplaySettings, width, 0, 0),
      FIELD(ZY_DisplaySettings, height, 4, 4),
      FIELD(ZY_DisplaySettings, windowed, 8, 8),
      FIELD(ZY_DisplaySettings, no_sound, 9, 9),
      FIELD(ZY_DisplaySettings, single_instance, 10, 10),
      FIELD(ZY_DisplaySettings, multi_mouse, 11, 11),
      FIELD(ZY_DisplaySettings, frame_interval_ms, 12, 12),
      FIELD(ZY_DisplaySettings, console_visible, 16, 16),
      FIELD(ZY_DisplaySettings, renderer_ready, 17, 17),
      FIELD(ZY_DisplaySettings, developer_mode, 18, 18),
      FIELD(ZY_DisplaySettings, command_line, 20, 24),
      FIELD(ZY_DisplaySettings, locale, 24, 32),
      FIELD(ZY_DisplaySettings, quitting, 28, 40),
      FIELD(ZY_DisplaySettings, reference_counting, 29, 41),
      FIELD(ZY_DisplaySettings, reference_width, 32, 44),
      FIELD(ZY_DisplaySettings, reference_height, 36, 48),
      FIELD(ZY_DisplaySettings, unused, 40, 52),
  };
  ExpectPlaces(places);
  EXPECT_EQ(sizeof(ZY_DisplaySettings), Pick(104, 120));
}

// ---------------------------------------------------------------------------------
// Input event record
// ---------------------------------------------------------------------------------

TEST(InputEvent, FieldsSitAtTheDocumentedOffsets) {
  // Pointer fields move to 8-byte offsets in a 64-bit build; the others keep their place.
  const FieldPlace places[] = {
      FIELD(ZY_CharEvent, code, 4, 4),
      FIELD(ZY_PointerEvent, index, 4, 4),
      FIELD(ZY_PointerEvent, x, 8, 8),
      FIELD(ZY_PointerEvent, y, 12, 12),
      FIELD(ZY_PointerEvent, button, 16, 16),
      FIELD(ZY_PointerEvent, wheel_delta, 18, 18),
      FIELD(ZY_PointerEvent, prev_x, 20, 20),
      FIELD(ZY_PointerEvent, prev_y, 24, 24),
      FIELD(ZY_ConsoleEvent, command, 4, 8),
      FIELD(ZY_KeyEvent, key, 4, 4),
      FIELD(ZY_ActivateEvent, inactive, 4, 4),
      FIELD(ZY_ReinitEvent, done, 4, 4),
      FIELD(ZY_ResizeEvent, width, 4, 4),
      FIELD(ZY_ResizeEvent, height, 6, 6),
      FIELD(ZY_RenderTargetEvent, bitmap, 4, 8),
      FIELD(ZY_CheckParmsEvent, zy, 4, 8),
      FIELD(ZY_CheckParmsEvent, parms, 8, 16),
      FIELD(ZY_NamedEvent, name, 4, 8),
      FIELD(ZY_NamedEvent, arg1, 8, 16),
      FIELD(ZY_NamedEvent, arg2, 12, 24),
      FIELD(ZY_NamedEvent, reserved, 16, 32),
      FIELD(ZY_DataEvent, data, 4, 8),
  };
  ExpectPlaces(places);
  EXPECT_EQ(sizeof(ZY_InputEvent), Pick(32, 40));
  EXPECT_EQ(sizeof(ZY_PointerEvent), 28u);
}

TEST(InputEvent, EveryLayoutStartsWithTheTypeWord) {
  const FieldPlace places[] = {
      FIELD(ZY_InputEvent, type, 0, 0),
      FIELD(ZY_CharEvent, type, 0, 0),
      FIELD(ZY_PointerEvent, type, 0, 0),
      FIELD(ZY_ConsoleEvent, type, 0, 0),
      FIELD(ZY_KeyEvent, type, 0, 0),
      FIELD(ZY_ActivateEvent, type, 0, 0),
      FIELD(ZY_ReinitEvent, type, 0, 0),
      FIELD(ZY_ResizeEvent, type, 0, 0),
      FIELD(ZY_RenderTargetEvent, type, 0, 0),
      FIELD(ZY_CheckParmsEvent, type, 0, 0),
      FIELD(ZY_NamedEvent, type, 0, 0),
      FIELD(ZY_DataEvent, type, 0, 0),
  };
  ExpectPlaces(places);
}

TEST(InputEvent, NamedEventBytesLandWhereAReaderOfTheRecordLooks) {
  // Fill the record through one layout and read the raw words a program built elsewhere
  // reads: the type in word 0 and the texts at the documented offsets.
  static const char kName[] = "FILE_DRAGGED", kPath[] = "c:/x.png", kPoint[] = "3,4";
  ZY_InputEvent event;
  memset(&event, 0, sizeof event);
  event.named.type = ZY_EVENT_NAMED;
  event.named.name = kName;
  event.named.arg1 = kPath;
  event.named.arg2 = kPoint;

  uint32_t type;
  memcpy(&type, event.raw, sizeof type);
  EXPECT_EQ(type, 63u);
  const char *texts[3];
  size_t at[3] = {Pick(4, 8), Pick(8, 16), Pick(12, 24)};
  for (int i = 0; i < 3; i++) memcpy(&texts[i], reinterpret_cast<const uint8_t *>(&event) + at[i], sizeof(void *));
  EXPECT_EQ(texts[0], kName);
  EXPECT_EQ(texts[1], kPath);
  EXPECT_EQ(texts[2], kPoint);
  EXPECT_EQ(event.type, 63u);
}

// ---------------------------------------------------------------------------------
// Other shared records and constants
// ---------------------------------------------------------------------------------

TEST(SharedRecords, VertexIs24BytesInEveryBuild) {
  const FieldPlace places[] = {
      FIELD(ZY_Vertex, x, 0, 0), FIELD(ZY_Vertex, y, 4, 4), FIELD(ZY_Vertex, z, 8, 8),
      FIELD(ZY_Vertex, color, 12, 12), FIELD(ZY_Vertex, u, 16, 16), FIELD(ZY_Vertex, v, 20, 20),
  };
  ExpectPlaces(places);
  EXPECT_EQ(sizeof(ZY_Vertex), 24u);
  // Four vertices are one quad of the render batch.
  EXPECT_EQ(4 * sizeof(ZY_Vertex), 96u);
}

TEST(SharedRecords, BitmapRecordKeepsItsFieldOrder) {
  const FieldPlace places[] = {
      FIELD(ZY_Bitmap, name, 0, 0),
      FIELD(ZY_Bitmap, ref_count, 4, 8),
      FIELD(ZY_Bitmap, cache_mode, 6, 10),
      FIELD(ZY_Bitmap, lock, 8, 16),
      FIELD(ZY_Bitmap, source_name, 12, 24),
      FIELD(ZY_Bitmap, width, 16, 32),
      FIELD(ZY_Bitmap, height, 20, 36),
      FIELD(ZY_Bitmap, pixels, 24, 40),
      FIELD(ZY_Bitmap, alloc_width, 28, 48),
      FIELD(ZY_Bitmap, alloc_height, 32, 52),
      FIELD(ZY_Bitmap, flags, 36, 56),
      FIELD(ZY_Bitmap, state, 38, 58),
      FIELD(ZY_Bitmap, pack_mode, 40, 60),
      FIELD(ZY_Bitmap, duplicate_of, 44, 64),
      FIELD(ZY_Bitmap, frames, 48, 72),
      FIELD(ZY_Bitmap, frame_count, 52, 80),
      FIELD(ZY_Bitmap, select_frame, 56, 84),
      FIELD(ZY_Bitmap, pending_source, 60, 88),
      FIELD(ZY_Bitmap, frame_rate, 64, 96),
      FIELD(ZY_Bitmap, hw, 68, 104),
      FIELD(ZY_Bitmap, engine_data, 100, 152),
      FIELD(ZY_BitmapHardware, on_gpu, 0, 0),
      FIELD(ZY_BitmapHardware, left, 4, 4),
      FIELD(ZY_BitmapHardware, top, 8, 8),
      FIELD(ZY_BitmapHardware, right, 12, 12),
      FIELD(ZY_BitmapHardware, bottom, 16, 16),
      FIELD(ZY_BitmapHardware, renderer_data, 20, 24),
      FIELD(ZY_BitmapHardware, texture, 28, 40),
  };
  ExpectPlaces(places);
  EXPECT_EQ(sizeof(ZY_Bitmap), Pick(128, 208));
  EXPECT_EQ(sizeof(ZY_BitmapHardware), Pick(32, 48));
}

TEST(SharedRecords, SoundShaderFileAndDataRecordsKeepTheirFieldOrder) {
  const FieldPlace places[] = {
      FIELD(ZY_Sound, name, 0, 0),
      FIELD(ZY_Sound, ref_count, 4, 8),
      FIELD(ZY_Sound, cache_mode, 6, 10),
      FIELD(ZY_Sound, flags, 7, 11),
      FIELD(ZY_Sound, params, 8, 12),
      FIELD(ZY_Sound, module_value, 24, 28),
      FIELD(ZY_Sound, last_play_time, 28, 32),
      FIELD(ZY_Sound, module_data, 32, 40),
      FIELD(ZY_Shader, name, 0, 0),
      FIELD(ZY_Shader, active, 4, 8),
      FIELD(ZY_Shader, kind, 6, 10),
      FIELD(ZY_Shader, renderer_data, 8, 16),
      FIELD(ZY_File, name, 0, 0),
      FIELD(ZY_File, size, 4, 8),
      FIELD(ZY_File, inner, 8, 16),
      FIELD(ZY_FileList, files, 0, 0),
      FIELD(ZY_FileList, count, 4, 8),
      FIELD(ZY_Data, data, 0, 0),
      FIELD(ZY_Data, reserved, 4, 8),
      FIELD(ZY_Data, length, 8, 12),
      FIELD(ZY_Data, expected_length, 12, 16),
      FIELD(ZY_HostInfo, zy, 0, 0),
  };
  ExpectPlaces(places);
  EXPECT_EQ(sizeof(ZY_Sound), Pick(84, 144));
  EXPECT_EQ(sizeof(ZY_Shader), Pick(108, 216));
  EXPECT_EQ(sizeof(ZY_File), Pick(12, 24));
  EXPECT_EQ(sizeof(ZY_FileList), Pick(8, 16));
  EXPECT_EQ(sizeof(ZY_Data), Pick(16, 24));
}

TEST(SharedConstants, DerivedInputIdsFollowTheIdBlocks) {
  // Gamepad n adds n * 64 to the pad-0 control; pointer and mouse blocks are 20 ids apart.
  EXPECT_EQ(ZY_GAMEPAD(1, ZY_GAMEPAD_BUTTON_A), 890);
  EXPECT_EQ(ZY_GAMEPAD(3, ZY_GAMEPAD_BUTTON_Y), 1021);
  EXPECT_LT(ZY_GAMEPAD(3, ZY_GAMEPAD_BUTTON_Y), ZY_INPUT_ID_COUNT);
  EXPECT_EQ(ZY_POINTER_X(0), 524);
  EXPECT_EQ(ZY_POINTER_Y(2), 565);
  EXPECT_EQ(ZY_MOUSE_X + ZY_MOUSE_BLOCK(1), 544);
  EXPECT_EQ(ZY_MOUSE_BUTTON_LEFT + ZY_MOUSE_BLOCK(2), 570);
}

// ---------------------------------------------------------------------------------
// Implementation module interfaces
// ---------------------------------------------------------------------------------

#if defined(__x86_64__) || defined(__i386__)
namespace {

// Index in the virtual table of a virtual member function (Itanium C++ ABI on x86: a
// pointer to a virtual member holds 1 + the byte offset of its entry).
template <typename Member>
size_t VtableIndex(Member member) {
  struct {
    uintptr_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(member) == sizeof(raw), "unexpected member pointer layout");
  memcpy(&raw, &member, sizeof raw);
  if ((raw.ptr & 1) == 0) return SIZE_MAX;  // not a virtual function
  return (raw.ptr - 1) / sizeof(void *);
}

struct VirtualSlot {
  const char *name;
  size_t index;  // index in the virtual table
  size_t slot;   // the operation's slot
};

// The virtual destructor is slot 0 and takes two table entries (complete and deleting
// destructor), so operation slot s is table index s + 1.
#define VSLOT(cls, op, n) {#cls "::" #op, VtableIndex(&cls::op), n}

void ExpectVirtualSlots(const VirtualSlot *slots, size_t count, size_t last_slot) {
  std::set<size_t> seen;
  for (size_t i = 0; i < count; i++) {
    EXPECT_EQ(slots[i].index, slots[i].slot + 1) << slots[i].name << " is not in slot " << slots[i].slot;
    seen.insert(slots[i].slot);
  }
  EXPECT_EQ(seen.size(), last_slot) << "every slot from 1 to " << last_slot << " is listed once";
}

}  // namespace

TEST(ModuleInterfaces, RendImpOperationsSitInSlotOrder) {
  const VirtualSlot slots[] = {
      VSLOT(RendImp, IsSupported, 1), VSLOT(RendImp, SupportsBackgroundUpload, 2),
      VSLOT(RendImp, GetDescription, 3), VSLOT(RendImp, IsModeSupported, 4),
      VSLOT(RendImp, GetPixelOrder, 5), VSLOT(RendImp, GetColourOrder, 6),
      VSLOT(RendImp, Unused7, 7), VSLOT(RendImp, Init, 8), VSLOT(RendImp, Reinit, 9),
      VSLOT(RendImp, Shutdown, 10), VSLOT(RendImp, SetActive, 11),
      VSLOT(RendImp, SetRenderTarget, 12), VSLOT(RendImp, RefreshBitmap, 13),
      VSLOT(RendImp, UploadBitmap, 14), VSLOT(RendImp, LoadBitmapToGpu, 15),
      VSLOT(RendImp, FreeBitmapFromGpu, 16), VSLOT(RendImp, CreateShader, 17),
      VSLOT(RendImp, Unused18, 18), VSLOT(RendImp, SetShader, 19),
      VSLOT(RendImp, SetShaderParameter, 20), VSLOT(RendImp, DrawShaded, 21),
      VSLOT(RendImp, BeginFrame, 22), VSLOT(RendImp, EndFrame, 23),
      VSLOT(RendImp, Forward3, 24), VSLOT(RendImp, Forward1, 25),
      VSLOT(RendImp, SetTransform, 26), VSLOT(RendImp, SetClipRect, 27),
      VSLOT(RendImp, ResetClipRect, 28), VSLOT(RendImp, SetBlendMode, 29),
      VSLOT(RendImp, SetRenderMode, 30), VSLOT(RendImp, DrawLine, 31),
      VSLOT(RendImp, SetEngineInterface, 32), VSLOT(RendImp, QueryValue, 33),
      VSLOT(RendImp, Unused34, 34), VSLOT(RendImp, Unused35, 35),
      VSLOT(RendImp, SetProjection, 36), VSLOT(RendImp, Unused37, 37),
      VSLOT(RendImp, SetRenderState10, 38), VSLOT(RendImp, SetRenderState11, 39),
      VSLOT(RendImp, SetRenderState12, 40), VSLOT(RendImp, SetTexture, 41),
      VSLOT(RendImp, DrawIndexed, 42), VSLOT(RendImp, CreateVertexBuffer, 43),
      VSLOT(RendImp, ReleaseVertexBuffer, 44), VSLOT(RendImp, LockVertexBuffer, 45),
      VSLOT(RendImp, UnlockVertexBuffer, 46), VSLOT(RendImp, CreateIndexBuffer, 47),
      VSLOT(RendImp, ReleaseIndexBuffer, 48), VSLOT(RendImp, LockIndexBuffer, 49),
      VSLOT(RendImp, UnlockIndexBuffer, 50),
  };
  ExpectVirtualSlots(slots, sizeof slots / sizeof slots[0], 50);
}

TEST(ModuleInterfaces, InputImpOperationsSitInSlotOrder) {
  const VirtualSlot slots[] = {
      VSLOT(InputImp, IsSupported, 1), VSLOT(InputImp, Unused2, 2), VSLOT(InputImp, Init, 3),
      VSLOT(InputImp, Shutdown, 4), VSLOT(InputImp, SetActive, 5),
      VSLOT(InputImp, BeginFrame, 6), VSLOT(InputImp, EndFrame, 7),
      VSLOT(InputImp, Unused8, 8), VSLOT(InputImp, QueryValue, 9),
  };
  ExpectVirtualSlots(slots, sizeof slots / sizeof slots[0], 9);
}

TEST(ModuleInterfaces, SoundImpOperationsSitInSlotOrder) {
  const VirtualSlot slots[] = {
      VSLOT(SoundImp, IsSupported, 1), VSLOT(SoundImp, GetName, 2), VSLOT(SoundImp, Init, 3),
      VSLOT(SoundImp, Shutdown, 4), VSLOT(SoundImp, LoadSound, 5),
      VSLOT(SoundImp, FreeSound, 6), VSLOT(SoundImp, StopSound, 7),
      VSLOT(SoundImp, PlaySound, 8), VSLOT(SoundImp, StopChannel, 9),
      VSLOT(SoundImp, SetChannelParam1, 10), VSLOT(SoundImp, SetChannelParam2, 11),
      VSLOT(SoundImp, SetChannelParam3, 12), VSLOT(SoundImp, SetChannelParam4, 13),
      VSLOT(SoundImp, SetChannelParam5, 14), VSLOT(SoundImp, IsChannelPlaying, 15),
      VSLOT(SoundImp, GetChannelValue, 16), VSLOT(SoundImp, SetSoundParams, 17),
      VSLOT(SoundImp, PlayMusic, 18), VSLOT(SoundImp, StopMusic, 19),
      VSLOT(SoundImp, SetMusicValue, 20), VSLOT(SoundImp, GetMusicValue, 21),
      VSLOT(SoundImp, SlideMusicVolume, 22), VSLOT(SoundImp, Unused23, 23),
      VSLOT(SoundImp, BeginFrame, 24), VSLOT(SoundImp, EndFrame, 25),
      VSLOT(SoundImp, Unused26, 26),
  };
  ExpectVirtualSlots(slots, sizeof slots / sizeof slots[0], 26);
}
#endif  // x86

// ---------------------------------------------------------------------------------
// A program module built against zylem.h alone
// ---------------------------------------------------------------------------------

namespace {

bool FieldIsText(const char *field, size_t size) {
  return field[0] != '\0' && memchr(field, '\0', size) != nullptr;
}

}  // namespace

TEST(ProgramModule, MinimalProgramExportsTheHandshakeAndFillsItsRecord) {
  std::string path = zytest::BuildDir() + "/tests/programs/minimal/prog.so";
  ASSERT_TRUE(zytest::FileExists(path)) << path;
  void *library = ZYH_LoadLibrary(path.c_str());
  ASSERT_NE(library, nullptr) << ZYH_LastErrorText();

  auto entry = reinterpret_cast<ZY_GetProgramInterfaceFunc>(
      ZYH_GetSymbol(library, ZY_GET_PROGRAM_INTERFACE_NAME));
  ASSERT_NE(entry, nullptr) << "ZY_GetProgramInterface is not exported unmangled";

  // The engine hands over a zeroed record and writes its own fields afterwards.
  ZY_ProgramInterface record;
  memset(&record, 0, sizeof record);
  ASSERT_TRUE(entry(&record, ZY_INTERFACE_VERSION));
  EXPECT_EQ(record.interface_version, 1224u);
  EXPECT_TRUE(FieldIsText(record.id, sizeof record.id));
  EXPECT_TRUE(FieldIsText(record.title, sizeof record.title));
  EXPECT_STREQ(record.version, "1.0.0");
  EXPECT_TRUE(FieldIsText(record.developer_name, sizeof record.developer_name));
  EXPECT_EQ(record.zy, nullptr) << "the table pointer is the engine's to write";
  EXPECT_NE(record.init, nullptr);
  EXPECT_NE(record.update, nullptr);
  EXPECT_NE(record.draw, nullptr);
  EXPECT_EQ(record.parms.reference_counting, 1);
  EXPECT_GT(record.parms.width, 0);
  ZYH_FreeLibrary(library);
}
