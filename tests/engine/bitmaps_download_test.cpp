// Bitmaps named by http:// URLs: loaded through the download cache, refreshed from the
// server again.
#include "engine_test.h"
#include "net/net.h"

TEST_F(EngineTest, DownloadedBitmapsLoadThroughTheCacheAndRefreshFetchesAgain) {
  zytest::Image picture(3, 2);
  picture.At(0, 0)[0] = 0x11, picture.At(0, 0)[3] = 0xff;  // first pixel: R 0x11, opaque
  zytest::LoopbackServer server([&](const std::string &) {
    return zytest::Answer{zytest::HttpAnswer("200 OK", zytest::PngBytes(picture))};
  });
  ZYI_NetInit();
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/pic";
  ZY_Bitmap *b = ZY_LoadBitmap(url.c_str(), CACHE_SYSMEM);  // finds pic.png on the server
  ASSERT_TRUE(b && b->pixels);
  EXPECT_TRUE(b->width == 3 && b->pixels[0] == 0xff000011u && server.Requests().size() == 1);
  picture.At(0, 0)[0] = 0x22;
  ASSERT_TRUE(ZY_RefreshBitmap(b));
  EXPECT_TRUE(b->pixels[0] == 0xff000022u && server.Requests().size() == 2);
}
