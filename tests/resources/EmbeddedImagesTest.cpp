// The embedded images: found by id with their names and sizes, and the
// properties the editor relies on when it draws them over each other.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "graphics/raster/LicePng.h"
#include "resources/EmbeddedImages.h"

namespace {

std::unique_ptr<LICE_MemBitmap> Decode(int id) {
  const quarv::EmbeddedImage* image = quarv::FindEmbeddedImage(id);
  if (!image) return nullptr;
  return std::unique_ptr<LICE_MemBitmap>(LICE_DecodePNG(image->data, image->size));
}

LICE_pixel Pixel(LICE_IBitmap* bm, int x, int y) { return LICE_Row(bm, y)[x]; }

struct Expected {
  int id;
  const char* name;
  int w, h;
};
constexpr Expected kImages[] = {
    {100, "img/bg.png", 600, 490},  {101, "img/knob.png", 132, 66},  {102, "img/knob2.png", 116, 58},
    {103, "img/knob3.png", 116, 58}, {104, "img/knob4.png", 132, 66}, {105, "img/lock.png", 20, 18},
    {106, "img/reset.png", 23, 18}, {107, "img/target.png", 18, 20}, {108, "img/when_play.png", 18, 18},
};

TEST(EmbeddedImages, EveryIdDecodesToItsSize) {
  for (const Expected& e : kImages) {
    const quarv::EmbeddedImage* image = quarv::FindEmbeddedImage(e.id);
    ASSERT_NE(image, nullptr) << e.id;
    EXPECT_EQ(image->id, e.id);
    EXPECT_STREQ(image->name, e.name);
    const auto bm = Decode(e.id);
    ASSERT_TRUE(bm) << e.name;
    EXPECT_EQ(bm->Width(), e.w) << e.name;
    EXPECT_EQ(bm->Height(), e.h) << e.name;
  }
  for (int id : {-2, 0, 99, 109, 1000}) EXPECT_EQ(quarv::FindEmbeddedImage(id), nullptr) << id;
}

// Each lit icon is drawn over the background's idle one and must hide it: it
// is opaque wherever the background in its footprint differs from the
// footprint's most common (panel) colour.
TEST(Artwork, LitIconsHideTheIdleOnes) {
  const auto bg = Decode(100);
  ASSERT_TRUE(bg);
  struct Spot {
    int id, x, y;
  };
  for (const Spot& s : {Spot{105, 35, 205}, Spot{106, 57, 205}, Spot{108, 83, 204}}) {
    const auto icon = Decode(s.id);
    ASSERT_TRUE(icon);
    std::map<LICE_pixel, int> counts;
    for (int y = 0; y < icon->Height(); ++y)
      for (int x = 0; x < icon->Width(); ++x) ++counts[Pixel(bg.get(), s.x + x, s.y + y)];
    LICE_pixel panel = 0;
    int most = 0;
    for (const auto& [p, n] : counts)
      if (n > most) most = n, panel = p;
    int idleInk = 0;
    for (int y = 0; y < icon->Height(); ++y)
      for (int x = 0; x < icon->Width(); ++x) {
        if (Pixel(bg.get(), s.x + x, s.y + y) == panel) continue;
        ++idleInk;
        EXPECT_EQ(LICE_A(Pixel(icon.get(), x, y)), 255) << "image " << s.id << " at " << x << ", " << y;
      }
    EXPECT_GT(idleInk, 20) << "no idle icon under image " << s.id;
  }
}

// Knob images: the right square is the body with transparent corners, the
// left one a white dot on a transparent ground, centred left to right in the
// upper half, so that it turns about the knob's centre.
TEST(Artwork, KnobsHaveABodyAndACentredPointerDot) {
  for (int id = 101; id <= 104; ++id) {
    const auto bm = Decode(id);
    ASSERT_TRUE(bm);
    const int s = bm->Height();
    for (int x : {s, 2 * s - 1})
      for (int y : {0, s - 1}) EXPECT_EQ(LICE_A(Pixel(bm.get(), x, y)), 0) << id;
    EXPECT_EQ(LICE_A(Pixel(bm.get(), s + s / 2, s / 2)), 255) << id;
    double sumX = 0, sumY = 0, weight = 0;
    for (int y = 0; y < s; ++y)
      for (int x = 0; x < s; ++x) {
        const LICE_pixel p = Pixel(bm.get(), x, y);
        if (LICE_R(p) < 128) continue;  // the dot, not its dark halo
        sumX += (x + 0.5) * LICE_A(p);
        sumY += (y + 0.5) * LICE_A(p);
        weight += LICE_A(p);
      }
    ASSERT_GT(weight, 255 * 8) << id;
    EXPECT_NEAR(sumX / weight, s * 0.5, 0.05) << id;
    EXPECT_LT(sumY / weight, s * 0.35) << id;
    EXPECT_EQ(LICE_A(Pixel(bm.get(), s / 2, s - 2)), 0) << id;
  }
}

// The slider: orange ticks where the handle's centre rests (x = 123, 143, ...
// 283) and none between; the handle symmetric about its centre column line.
TEST(Artwork, SliderTicksSitUnderTheHandleCentres) {
  const auto bg = Decode(100);
  ASSERT_TRUE(bg);
  auto orange = [](LICE_pixel p) { return LICE_R(p) > 200 && LICE_G(p) > 90 && LICE_G(p) < 190 && LICE_B(p) < 90; };
  for (int i = 0; i < 9; ++i) {
    const int x = 123 + 20 * i;
    EXPECT_TRUE(orange(Pixel(bg.get(), x, 224))) << x;
    EXPECT_FALSE(orange(Pixel(bg.get(), x + 10, 224))) << x;
  }
  const auto handle = Decode(107);
  ASSERT_TRUE(handle);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(LICE_A(Pixel(handle.get(), x, y)), LICE_A(Pixel(handle.get(), 17 - x, y))) << x << ", " << y;
  EXPECT_TRUE(orange(Pixel(handle.get(), 9, 12)));
}

}  // namespace
