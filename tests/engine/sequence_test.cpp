// Bitmap sequences: the gap rule of numbered frames, repeated frames, building a .bms
// from numbered images and drawing its frames from one atlas texture, and .bms files
// that are damaged, truncated or hostile.
#include "engine/bitmaps_sequence.h"
#include "engine_test.h"
#include "image/bms_format.h"

class Sequences : public EngineTest {
 protected:
  // Numbered 2x2 frames data/f_NNNN.png of one colour each (16 red levels apart).
  void Frames(std::initializer_list<int> numbers) {
    for (int n : numbers) {
      char name[64];
      snprintf(name, sizeof name, "data/f_%04d.png", n);
      WriteImage(name, 2, 2, 0xFF000000u | (uint32_t)(n * 16 & 0xFF));
    }
  }
  std::vector<int> Numbers(const ZY_Bitmap &b) {
    std::vector<int> out;
    for (int i = 0; i < b.frame_count; i++) out.push_back(ZYI_FrameNumber(&b.frames[i]));
    return out;
  }
  ZY_Bitmap seq = {};
  void TearDown() override {
    ZYI_BitmapDropFrames(&seq);
    EngineTest::TearDown();
  }
};

namespace {

struct GapCase {
  std::vector<int> present, loaded;
};
void PrintTo(const GapCase &c, std::ostream *out) { *out << testing::PrintToString(c.present); }

// A sequence file made by hand: header, ATLAS tag, entries of 4x2 frames, then `tail`.
std::string Bms(int32_t count, const std::string &tail, const char *tag = "ATLAS") {
  std::string b("ZY_Bm_Seq_v1", 13);
  auto word = [&](uint32_t v) { for (int i = 0; i < 4; i++) b += (char)(v >> (8 * i)); };
  word((uint32_t)count), b += "RGBA", b += std::string(tag) + std::string(8 - strlen(tag), '\0');
  word(0);
  for (int i = 0; i < count && i < 4; i++) {
    const float place[4] = {0, 0, 1, 1};
    word(4), word(2), word((uint32_t)i), word(0x41F00000u);  // 30.0f
    for (float f : place) { uint32_t w; memcpy(&w, &f, 4); word(w); }
  }
  return b + tail;
}
// An RLE atlas of 4x2: runs of 3 blue (B, G, R, A = 255, 0, 0, 255), then 255 red pixels
// (cut at the end of the picture).
const std::string RLE_ATLAS = std::string("RLE\0\4\0\0\0\2\0\0\0", 12) +
                              std::string("\3\377\0\0\377\377\0\0\377\377", 10);

}  // namespace

class GapRule : public Sequences, public testing::WithParamInterface<GapCase> {};

TEST_P(GapRule, CountsFromTheFirstFrameAndStopsAfterTooManyMissingNumbers) {
  for (int n : GetParam().present) Frames({n});
  EXPECT_TRUE(LoadNumberedFrames(&seq, "data/f_*.png"));
  EXPECT_EQ(Numbers(seq), GetParam().loaded);
  ASSERT_GT(seq.frame_count, 0);
  EXPECT_EQ(seq.pixels, seq.frames[0].pixels);  // frame 0 is shown
  EXPECT_EQ(seq.frames[0].frame_rate, 30.0f);
}

INSTANTIATE_TEST_SUITE_P(Numbers, GapRule, testing::Values(
    GapCase{{0, 1, 2, 10}, {0, 1, 2}},          // 3..8 missing: more than 5
    GapCase{{3, 4, 9}, {3, 4, 9}},              // a gap of exactly 5 is bridged
    GapCase{{0, 2, 4, 11}, {0, 2, 4}},          // equal gaps keep the limit at 5
    GapCase{{0, 2, 5, 50, 152}, {0, 2, 5, 50}}  // gaps of 1 and 2: the limit becomes 100
));

TEST_F(Sequences, MissingFramesAndUnreadableFramesFailTheSequence) {
  EXPECT_FALSE(LoadNumberedFrames(&seq, "data/f_*.png"));
  EXPECT_EQ(Popups("Bitmap files 'data/f_*.png' not found."), 1);
  Frames({0});
  zytest::WriteFile(world.game() + "/data/f_0001.png", "not a png");
  EXPECT_FALSE(LoadNumberedFrames(&seq, "data/f_*.png"));
  EXPECT_TRUE(seq.frames == nullptr && seq.frame_count == 0);
}

TEST_F(Sequences, RepeatedFramesPointAtTheFirstMatchWithinThreeLevels) {
  // 8x1 frames. 0-2 alike; 3 off by 3 levels in every byte (block sums as far apart as
  // the tolerance allows); 4 off by 4 in one byte from frame 0, within 3 of frame 3; 5
  // frame 0 with two pixels of one block swapped (equal sums); 6 the same bytes as 4x2.
  std::vector<uint32_t> base;
  for (uint32_t i = 0; i < 8; i++) base.push_back(0x80402010u + (i << 12));
  std::vector<std::vector<uint32_t>> pictures(7, base);
  for (uint32_t &p : pictures[3]) p += 0x03030303u;
  pictures[4][2] += 4;
  std::swap(pictures[5][0], pictures[5][1]);
  ZY_Bitmap frames[7] = {};
  for (int i = 0; i < 7; i++) {
    frames[i].width = i == 6 ? 4 : 8, frames[i].height = i == 6 ? 2 : 1;
    frames[i].pixels = pictures[(size_t)i].data();
  }
  seq.name = (char *)"walk", seq.frames = frames, seq.frame_count = 7;
  OptimizeSequence(&seq);
  const ZY_Bitmap *want[7] = {nullptr, &frames[0], &frames[0], &frames[0], &frames[3], nullptr, nullptr};
  for (int i = 0; i < 7; i++) EXPECT_EQ(frames[i].duplicate_of, want[i]) << "frame " << i;
  EXPECT_EQ(Logged("Frames #0002 and #0000 match."), 1);
  EXPECT_EQ(Logged("Saved 0.00MB by removing similar frames from sequence walk."), 1);
  seq = {};
}

TEST_F(Sequences, ABmsIsBuiltFromNumberedImagesAndItsFramesDrawFromOneAtlasTexture) {
  Frames({0, 1, 2});
  WriteImage("data/f_0003.png", 2, 2, 0xFF000010u);  // repeats frame 1
  ZY_Bitmap *b = ZY_LoadBitmap("data/f.bms", CACHE_GPU);
  ASSERT_TRUE(b && b->frame_count == 4 && b->state == ZY_BITMAP_STATE_READY);
  EXPECT_TRUE(zytest::FileExists(world.data() + "/TestDev/TestGame/data/data/f.bms"));
  EXPECT_EQ(BitmapCalls(), "load data/f.bms (atlas)");  // one texture for every frame
  EXPECT_EQ(ZYI_SequenceAtlas(b)->pixels, nullptr);      // kept on the GPU only
  EXPECT_EQ(b->frames[3].hw.left, b->frames[1].hw.left);
  EXPECT_NE(b->frames[2].hw.left, b->frames[1].hw.left);
  for (int i = 0; i < 4; i++) EXPECT_EQ(b->frames[i].hw.texture, b->hw.texture);
  ZY_SelectBitmapFrame(b, 6);  // wraps to frame 2
  EXPECT_EQ(b->hw.left, b->frames[2].hw.left);
  EXPECT_EQ(b->width, 2);
  ZY_SelectBitmapFrame(b, -3);
  EXPECT_EQ(b->hw.left, b->frames[0].hw.left);
  ZY_ReleaseBitmap(b);  // hibernates: the atlas texture goes once
  EXPECT_EQ(BitmapCalls(), "load data/f.bms (atlas), free");
  EXPECT_TRUE(rec.live.empty() && rec.misuse == 0 && !b->frames);
  ZY_LoadBitmap("data/f.bms", CACHE_SYSMEM | CACHE_GPU);  // built again, read again
  EXPECT_TRUE(b->frame_count == 4 && ZYI_SequenceAtlas(b)->pixels);
}

TEST_F(Sequences, SavingReportsInvalidSequencesFramesTooLargeAndUnwritableFiles) {
  EXPECT_FALSE(ZYI_SaveBitmapSequence(&seq, "user://x.bms"));
  EXPECT_EQ(Popups("ZYI_SaveBitmapSequence: trying to save invalid bitmap to 'user://x.bms'."), 1);
  std::vector<uint32_t> wide(5000, 0xFFFFFFFFu);
  ZY_Bitmap frame = {};
  frame.width = 5000, frame.height = 1, frame.pixels = wide.data();
  seq.name = (char *)"s", seq.frames = &frame, seq.frame_count = 1;
  EXPECT_FALSE(ZYI_SaveBitmapSequence(&seq, "user://x.bms"));
  EXPECT_EQ(Popups("ZYI_SaveBitmapSequence: bitmaps didn't fit into atlas, not creating file 'user://x.bms'."), 1);
  frame.width = 50;
  EXPECT_FALSE(ZYI_SaveBitmapSequence(&seq, "user://no/such/folder/x.bms"));
  EXPECT_EQ(Popups("Unable to save bitmap sequence 's' to file 'user://no/such/folder/x.bms'"), 1);
  EXPECT_TRUE(ZYI_SaveBitmapSequence(&seq, "user://x.bms"));
  seq = {};
}

struct HostileCase {
  const char *what;
  std::string bytes;
  const char *popup;
};
void PrintTo(const HostileCase &c, std::ostream *out) { *out << c.what; }

class HostileBms : public Sequences, public testing::WithParamInterface<HostileCase> {};

TEST_P(HostileBms, IsRefusedWithItsMessageAndLeavesNoFrames) {
  zytest::WriteFile(world.game() + "/x.bms", GetParam().bytes);
  EXPECT_FALSE(ReadBitmapSequence(&seq, "x.bms"));
  EXPECT_EQ(Popups(GetParam().popup), 1);
  EXPECT_TRUE(seq.frames == nullptr && seq.pending_source == nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileBms, testing::Values(
    HostileCase{"magic", "ZY_Bm_Seq_v2" + Bms(1, RLE_ATLAS).substr(12), "Bad header in bitmap sequence 'x.bms'"},
    HostileCase{"short", "ZY_Bm", "Bad header in bitmap sequence 'x.bms'"},
    HostileCase{"frame_chunk", Bms(1, RLE_ATLAS, "FRAME"), "unimplemented chunk: 'FRAME'"},
    HostileCase{"encoding", Bms(1, std::string("JPG\0", 4)), "encoding: 'JPG'"},
    HostileCase{"huge_count", Bms(0x7FFFFFFF, RLE_ATLAS), "Bitmap sequence 'x.bms' is damaged: it claims 2147483647 frames."},
    HostileCase{"cut_table", Bms(9, RLE_ATLAS), "Bitmap sequence 'x.bms' is damaged: its frame table is cut short."},
    HostileCase{"no_frames", Bms(0, RLE_ATLAS), "Bitmap sequence 'x.bms' is damaged: it claims 0 frames."},
    HostileCase{"rle_huge", Bms(1, std::string("RLE\0\0\0\1\0\0\0\1\0\1\1\1\1\1", 17)),
                "Bitmap sequence 'x.bms' is damaged: its RLE image is larger than the file."},
    HostileCase{"png_size", Bms(1, std::string("PNG\0\377\377\0\0\211PNG", 12)),
                "Bitmap sequence 'x.bms' is damaged: its PNG image is missing or larger than the file."}),
    [](const testing::TestParamInfo<HostileCase> &info) { return std::string(info.param.what); });

TEST_F(Sequences, AnRleAtlasReadsAndEveryTruncationOfItFails) {
  const std::string file = Bms(2, RLE_ATLAS);
  zytest::WriteFile(world.game() + "/x.bms", file);
  ASSERT_TRUE(ReadBitmapSequence(&seq, "x.bms"));
  const uint32_t *atlas = ZYI_SequenceAtlas(&seq)->pixels;
  EXPECT_EQ(atlas[0], 0xFFFF0000u);  // blue as R, G, B, A bytes
  EXPECT_EQ(atlas[7], 0xFF0000FFu);  // red, the long run cut at the picture's end
  EXPECT_EQ(Numbers(seq), (std::vector<int>{0, 1}));
  for (size_t cut = 0; cut < file.size(); cut++) {
    zytest::WriteFile(world.game() + "/x.bms", file.substr(0, cut));
    EXPECT_FALSE(ReadBitmapSequence(&seq, "x.bms")) << "cut at " << cut;
  }
}

class SequenceThreads : public Sequences {};

TEST_F(SequenceThreads, ASequenceBuiltOnAProgramThreadIsUploadedByTheFrame) {
  Frames({0, 1, 2});
  ZY_Bitmap *b = nullptr;
  std::thread([&] { b = ZY_LoadBitmap("data/f.bms", CACHE_GPU); }).join();
  ASSERT_TRUE(b && b->frame_count == 3 && !b->hw.on_gpu && rec.bitmap_calls.empty());
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(BitmapCalls(), "load data/f.bms (atlas)");
  EXPECT_TRUE(b->hw.on_gpu && b->frames[2].hw.texture == b->hw.texture && !ZYI_SequenceAtlas(b)->pixels);
}

TEST_F(Sequences, ReadingBackTakesTheWrittenAtlasOnlyWhenTheFileHoldsItsVeryPng) {
  uint32_t pixels[4] = {0xFF0000FFu, 0x80FF0000u, 0x00000000u, 0xFF00FF00u};
  ZY_Bitmap atlas = {};
  atlas.width = atlas.height = 2, atlas.pixels = pixels, atlas.flags = ZY_BITMAP_HAS_ALPHA;
  const ZyBmsFrame entry = {2, 2, 0, 30.0f, 0, 0, 1, 1};
  char *file = nullptr;
  size_t size = 0;
  FILE *memory = open_memstream(&file, &size);
  ZyBmsWrittenAtlas written = {};
  ASSERT_TRUE(ZYI_BmsWrite(memory, &entry, 1, &atlas, true, &written));
  fclose(memory);
  char why[256];
  for (bool same : {true, false}) {
    written.atlas = atlas;  // stands for the pixels; marked so a take shows
    written.atlas.pixels = (uint32_t *)calloc(4, 4);
    written.png[written.png_size - 1] ^= same ? 0 : 1;
    ZyBmsContents got;
    ASSERT_TRUE(ZYI_BmsParseReusing("x.bms", (const uint8_t *)file, size, true, &written, &got,
                                    why, sizeof why));
    const std::vector<uint32_t> want = same ? std::vector<uint32_t>(4, 0)
                                            : std::vector<uint32_t>(pixels, pixels + 4);
    EXPECT_EQ(std::vector<uint32_t>(got.atlas.pixels, got.atlas.pixels + 4), want) << same;
    EXPECT_EQ(written.atlas.pixels == nullptr, same);
    ZYI_BmsFree(&got);
    free(written.atlas.pixels);
  }
  written.atlas.pixels = nullptr;
  ZYI_BmsFreeWritten(&written);
  free(file);
}
