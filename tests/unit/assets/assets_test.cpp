// Runs the picture generator into a scratch folder and reads back what it
// wrote with small, strict readers of the .bmp/.ico/.cur formats written
// here, independent of the generator's encoders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/asset_ids.h"
#include "assets/glyphs.h"

namespace fs = std::filesystem;
using tarvex::Asset;

namespace {

using Rgb = std::uint32_t;  // 0xRRGGBB
constexpr Rgb kWhite = 0xFFFFFF, kEdgeGrey = 0x9D9DA1, kFace = 0xA2B5FF;
constexpr Rgb kTransparent = 0xFF000000;  // marker for a masked-out pixel

struct Picture {
  int width = 0, height = 0, bpp = 0;
  std::vector<Rgb> px;  // top row first; kTransparent where the mask is set
  Rgb at(int x, int y) const { return px[y * width + x]; }
};

struct IconEntry {
  Picture pic;
  int hotX = -1, hotY = -1;  // cursors only
};

std::vector<std::uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) throw std::runtime_error("cannot open " + p.string());
  return {std::istreambuf_iterator<char>(f), {}};
}

struct Reader {
  const std::vector<std::uint8_t>& b;
  void need(size_t off, size_t n) const {
    if (off + n > b.size()) throw std::runtime_error("truncated");
  }
  unsigned u8(size_t o) const { need(o, 1); return b[o]; }
  unsigned u16(size_t o) const { return u8(o) | u8(o + 1) << 8; }
  std::uint32_t u32(size_t o) const { return u16(o) | std::uint32_t(u16(o + 2)) << 16; }
  std::int32_t i32(size_t o) const { return static_cast<std::int32_t>(u32(o)); }
};

void Expect(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

// A BITMAPINFOHEADER DIB at `off`, `len` bytes long. With `masked`, the
// stored height is doubled and a 1-bit AND mask follows the colour rows.
Picture ReadDib(const Reader& r, size_t off, size_t len, bool masked) {
  Expect(r.u32(off) == 40, "header size");
  Picture p;
  p.width = r.i32(off + 4);
  int h = r.i32(off + 8);
  Expect(r.u16(off + 12) == 1, "planes");
  p.bpp = r.u16(off + 14);
  Expect(r.u32(off + 16) == 0, "compression");
  Expect(p.width > 0 && h > 0 && (!masked || h % 2 == 0), "dimensions");
  p.height = masked ? h / 2 : h;
  Expect(p.bpp == 24 || p.bpp == 4, "bit depth");
  size_t colours = p.bpp == 4 ? (r.u32(off + 32) ? r.u32(off + 32) : 16) : 0;
  Expect(colours <= 16, "palette size");
  size_t pal = off + 40, bits = pal + 4 * colours;
  size_t stride = ((size_t(p.width) * p.bpp + 31) / 32) * 4;
  size_t maskStride = ((size_t(p.width) + 31) / 32) * 4;
  size_t total = stride * p.height + (masked ? maskStride * p.height : 0);
  Expect(r.u32(off + 20) == 0 || r.u32(off + 20) == total, "image size field");
  Expect(bits + total <= off + len, "pixel data beyond the image");
  r.need(bits, total);
  p.px.resize(size_t(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    size_t row = bits + stride * (p.height - 1 - y);  // bottom-up
    size_t mrow = bits + stride * p.height + maskStride * (p.height - 1 - y);
    for (int x = 0; x < p.width; ++x) {
      Rgb c;
      if (p.bpp == 24) {
        size_t o = row + 3 * x;
        c = r.u8(o + 2) << 16 | r.u8(o + 1) << 8 | r.u8(o);
      } else {
        unsigned idx = (r.u8(row + x / 2) >> (x % 2 ? 0 : 4)) & 15;
        Expect(idx < colours, "palette index");
        size_t o = pal + 4 * idx;
        c = r.u8(o + 2) << 16 | r.u8(o + 1) << 8 | r.u8(o);
      }
      bool clear = masked && (r.u8(mrow + x / 8) & (0x80 >> (x % 8)));
      // A masked-out pixel must be black in the colour plane, or the XOR
      // step of icon drawing tints the background.
      if (clear) Expect(c == 0, "transparent pixel not black");
      p.px[size_t(y) * p.width + x] = clear ? kTransparent : c;
    }
  }
  return p;
}

Picture ReadBmp(const fs::path& file) {
  auto bytes = ReadBytes(file);
  Reader r{bytes};
  Expect(r.u16(0) == 0x4D42, "BM signature");
  Expect(r.u32(2) == bytes.size(), "file size field");
  size_t bits = r.u32(10);
  Expect(bits == 54, "pixel offset");
  return ReadDib(r, 14, bytes.size() - 14, false);
}

// An .ico (type 1) or .cur (type 2) file: directory and every image.
std::vector<IconEntry> ReadIconFile(const fs::path& file, unsigned type) {
  auto bytes = ReadBytes(file);
  Reader r{bytes};
  Expect(r.u16(0) == 0 && r.u16(2) == type, "icon directory type");
  unsigned count = r.u16(4);
  Expect(count > 0, "empty icon");
  std::vector<IconEntry> out;
  for (unsigned i = 0; i < count; ++i) {
    size_t e = 6 + 16 * i;
    IconEntry entry;
    size_t len = r.u32(e + 8), off = r.u32(e + 12);
    Expect(off >= 6 + 16 * count && off + len <= bytes.size(), "image outside the file");
    entry.pic = ReadDib(r, off, len, true);
    Expect(r.u8(e) == entry.pic.width % 256 && r.u8(e + 1) == entry.pic.height % 256,
           "directory size differs from the image");
    if (type == 2) {
      entry.hotX = r.u16(e + 4);
      entry.hotY = r.u16(e + 6);
    } else {
      Expect(r.u16(e + 6) == entry.pic.bpp, "directory bit count");
    }
    out.push_back(entry);
  }
  return out;
}

int RunGenerator(const fs::path& out, const fs::path& art = {}) {
  std::string cmd = "python3 '" TARVEX_SOURCE_DIR "/src/assets/make_assets.py' --out '" + out.string() + "'";
  if (!art.empty()) cmd += " --art '" + art.string() + "'";
  cmd += " 2>'" + (out.parent_path() / "stderr.txt").string() + "'";
  return std::system(cmd.c_str());
}

class Assets : public testing::Test {
 protected:
  static inline fs::path root, out;
  static inline std::map<int, std::pair<std::string, fs::path>> rc;  // id -> (type, file)

  static void SetUpTestSuite() {
    root = fs::temp_directory_path() / ("tarvex-assets-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    out = root / "out";
    ASSERT_EQ(RunGenerator(out), 0);
    std::ifstream f(out / "tarvex.rc");
    std::string line;
    while (std::getline(f, line)) {
      std::istringstream s(line);
      int id;
      std::string type, path;
      if (!(s >> id >> type >> std::quoted(path))) continue;
      EXPECT_EQ(rc.count(id), 0u) << "id " << id << " twice";
      rc[id] = {type, path};
    }
  }
  static void TearDownTestSuite() { fs::remove_all(root); }

  static Picture Bmp(Asset a) { return ReadBmp(rc.at(int(a)).second); }
  static Picture Icon(Asset a) { return ReadIconFile(rc.at(int(a)).second, 1).at(0).pic; }
};

TEST_F(Assets, EveryIdIsCompiledAsItsKindAtItsSize) {
  struct Want { Asset id; const char* type; int w, h; };
  const Want want[] = {
      {Asset::HandCursor, "CURSOR", 32, 32}, {Asset::Close1, "BITMAP", 17, 17},
      {Asset::Close2, "BITMAP", 17, 17},     {Asset::Hide1, "BITMAP", 17, 17},
      {Asset::Hide2, "BITMAP", 17, 17},      {Asset::Settings1, "BITMAP", 35, 25},
      {Asset::Settings2, "BITMAP", 35, 25},  {Asset::Extract1, "BITMAP", 35, 47},
      {Asset::Extract2, "BITMAP", 35, 47},   {Asset::Dot, "ICON", 3, 7},
      {Asset::Slash, "ICON", 3, 7},          {Asset::Colon, "ICON", 3, 7},
      {Asset::LevelTotal, "ICON", 20, 7},    {Asset::LevelFree, "ICON", 20, 7},
      {Asset::Logo, "ICON", 16, 88},         {Asset::DatePanel, "BITMAP", 89, 24},
      {Asset::MemoryPanel, "BITMAP", 89, 37},
  };
  std::vector<Want> all(std::begin(want), std::end(want));
  for (int d = 0; d < 10; ++d) all.push_back({tarvex::DigitAsset(d), "ICON", 6, 7});
  for (int f = int(Asset::FrameLT); f <= int(Asset::FrameRB); ++f) all.push_back({Asset(f), "BITMAP", 2, 2});

  std::set<int> expected;
  for (const Want& w : all) {
    int id = int(w.id);
    expected.insert(id);
    ASSERT_TRUE(rc.count(id)) << "id " << id << " missing from tarvex.rc";
    EXPECT_EQ(rc[id].first, w.type) << id;
    std::vector<Picture> pics;
    if (rc[id].first == "BITMAP") pics.push_back(ReadBmp(rc[id].second));
    else for (auto& e : ReadIconFile(rc[id].second, w.type == std::string("CURSOR") ? 2 : 1)) pics.push_back(e.pic);
    ASSERT_EQ(pics.size(), 1u) << id;
    EXPECT_EQ(pics[0].width, w.w) << id;
    EXPECT_EQ(pics[0].height, w.h) << id;
    EXPECT_EQ(pics[0].bpp, w.type == std::string("CURSOR") ? 4 : 24) << id;
  }
  expected.insert(int(Asset::AppIcon));
  for (auto& [id, entry] : rc) EXPECT_TRUE(expected.count(id)) << "unexpected id " << id;

  auto icon = ReadIconFile(rc.at(int(Asset::AppIcon)).second, 1);
  ASSERT_EQ(icon.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    int n = i == 0 ? 16 : 32;
    EXPECT_EQ(icon[i].pic.width, n);
    EXPECT_EQ(icon[i].pic.height, n);
    EXPECT_EQ(icon[i].pic.bpp, 24);
  }
}

TEST_F(Assets, DigitGlyphsAreTheGlyphTablePixelForPixel) {
  for (int d = 0; d < 10; ++d) {
    Picture p = Icon(tarvex::DigitAsset(d));
    for (int y = 0; y < tarvex::kGlyphHeight; ++y)
      for (int x = 0; x < tarvex::kGlyphWidth; ++x)
        EXPECT_EQ(p.at(x, y), tarvex::GlyphPixelLit(d, x, y) ? tarvex::kGlyphLit : kTransparent)
            << "digit " << d << " pixel " << x << "," << y;
  }
}

TEST_F(Assets, SeparatorsLightTheirPixelsOnly) {
  auto lit = [](const Picture& p) {
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        if (p.at(x, y) != kTransparent) {
          EXPECT_EQ(p.at(x, y), tarvex::kGlyphLit);
          s.insert({x, y});
        }
    return s;
  };
  EXPECT_EQ(lit(Icon(Asset::Dot)), (std::set<std::pair<int, int>>{{1, 6}}));
  EXPECT_EQ(lit(Icon(Asset::Colon)), (std::set<std::pair<int, int>>{{1, 1}, {1, 5}}));
  // The slash: one lit pixel per row, leaning right towards the top.
  Picture slash = Icon(Asset::Slash);
  int prev = slash.width;
  for (int y = 0; y < slash.height; ++y) {
    int count = 0, col = -1;
    for (int x = 0; x < slash.width; ++x)
      if (slash.at(x, y) != kTransparent) ++count, col = x;
    EXPECT_EQ(count, 1) << "row " << y;
    EXPECT_LE(col, prev) << "row " << y;
    prev = col;
  }
  EXPECT_EQ(slash.at(2, 0), tarvex::kGlyphLit);
  EXPECT_EQ(slash.at(0, 6), tarvex::kGlyphLit);
}

TEST_F(Assets, FramePiecesHaveTheExactBevelColours) {
  const std::map<Asset, std::array<Rgb, 4>> want = {  // top-left, top-right, bottom-left, bottom-right
      {Asset::FrameLT, {0xD2DAFF, 0xD2DAFF, 0xD2DAFF, 0xB3C1FF}},
      {Asset::FrameMT, {0xD2DAFF, 0xD2DAFF, 0xB3C1FF, 0xB3C1FF}},
      {Asset::FrameRT, {0xD2DAFF, 0x6886FF, 0x8EA5FF, 0x6886FF}},
      {Asset::FrameLM, {0xD2DAFF, 0xB3C1FF, 0xD2DAFF, 0xB3C1FF}},
      {Asset::FrameRM, {0x8EA5FF, 0x6886FF, 0x8EA5FF, 0x6886FF}},
      {Asset::FrameLB, {0xD2DAFF, 0x8EA5FF, 0x6886FF, 0x6886FF}},
      {Asset::FrameMB, {0x8EA5FF, 0x8EA5FF, 0x6886FF, 0x6886FF}},
      {Asset::FrameRB, {0x8EA5FF, 0x6886FF, 0x6886FF, 0x6886FF}},
  };
  for (auto& [id, c] : want) {
    Picture p = Bmp(id);
    std::array<Rgb, 4> got = {p.at(0, 0), p.at(1, 0), p.at(0, 1), p.at(1, 1)};
    EXPECT_EQ(got, c) << "frame piece " << int(id);
  }
}

TEST_F(Assets, ButtonPairsDifferOnlyInTheInnerHighlight) {
  for (int normal : {201, 203, 205, 207}) {
    Picture a = Bmp(Asset(normal)), b = Bmp(Asset(normal + 1));
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    const int w = a.width, h = a.height;
    int highlight = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        bool inner = (y == 1 && x >= 1 && x <= w - 2) || (x == 1 && y >= 1 && y <= h - 2);
        if (inner && a.at(x, y) == kWhite) {
          EXPECT_EQ(b.at(x, y), kFace) << normal << " at " << x << "," << y;
          ++highlight;
        } else {
          EXPECT_EQ(a.at(x, y), b.at(x, y)) << normal << " at " << x << "," << y;
        }
        bool outer = x == 0 || y == 0 || x == w - 1 || y == h - 1;
        if (outer) EXPECT_TRUE(a.at(x, y) == kWhite || a.at(x, y) == kEdgeGrey) << normal;
      }
    // The highlight runs along nearly all of the second row and column.
    EXPECT_GE(highlight, (w - 3) + (h - 3) - 1) << normal;
    EXPECT_EQ(a.at(0, 0), kWhite) << normal;
    EXPECT_EQ(a.at(w - 1, h - 1), kEdgeGrey) << normal;
    EXPECT_EQ(a.at(2, 2), kFace) << normal;
  }
}

TEST_F(Assets, HandCursorPointsWithItsFingertipAtTheHotSpot) {
  auto cur = ReadIconFile(rc.at(int(Asset::HandCursor)).second, 2);
  ASSERT_EQ(cur.size(), 1u);
  const Picture& p = cur[0].pic;
  EXPECT_EQ(cur[0].hotX, 12);
  EXPECT_EQ(cur[0].hotY, 1);
  // The hot spot is on the topmost drawn row, and nothing lies above it.
  EXPECT_NE(p.at(12, 1), kTransparent);
  for (int x = 0; x < p.width; ++x) EXPECT_EQ(p.at(x, 0), kTransparent);
  // A finger, not a blob: the rows below the tip stay narrow.
  for (int y = 2; y < 6; ++y) {
    int drawn = 0;
    for (int x = 0; x < p.width; ++x) drawn += p.at(x, y) != kTransparent;
    EXPECT_LE(drawn, 6) << "row " << y;
    EXPECT_NE(p.at(12, y), kTransparent);
  }
}

TEST_F(Assets, PanelsAreBlackFieldsWithASunkenEdge) {
  for (Asset id : {Asset::DatePanel, Asset::MemoryPanel}) {
    Picture p = Bmp(id);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        Rgb want = (x == p.width - 1 || y == p.height - 1) ? kWhite
                   : (x == 0 || y == 0)                   ? 0x716F64
                                                          : 0x000000;
        ASSERT_EQ(p.at(x, y), want) << int(id) << " at " << x << "," << y;
      }
  }
}

TEST_F(Assets, LevelMarksAreBarsInColourGroups) {
  // Run lengths of equal colours, left to right.
  auto runs = [](const Picture& p, std::vector<Rgb>& colours) {
    std::vector<int> lengths;
    for (int x = 0; x < p.width; ++x) {
      Rgb top = p.at(x, 0);
      for (int y = 1; y < p.height; ++y) EXPECT_EQ(p.at(x, y), top) << "bar " << x << " not one colour";
      if (x % 2 == 1 || top == kTransparent) {
        EXPECT_EQ(top, kTransparent) << "column " << x << " should be a gap";
        continue;
      }
      if (!colours.empty() && colours.back() == top) ++lengths.back();
      else colours.push_back(top), lengths.push_back(1);
    }
    return lengths;
  };
  std::vector<Rgb> total, free;
  EXPECT_EQ(runs(Icon(Asset::LevelTotal), total), (std::vector<int>{4, 4, 1, 1}));
  EXPECT_EQ(runs(Icon(Asset::LevelFree), free), (std::vector<int>{2, 2, 3}));
  ASSERT_EQ(total.size(), 4u);
  ASSERT_EQ(free.size(), 3u);
  EXPECT_EQ(std::set<Rgb>(total.begin(), total.end()).size(), 4u);
  EXPECT_EQ(total[0], free[0]);  // light blue
  EXPECT_EQ(total[3], free[1]);  // yellow
  EXPECT_GT(free[2] >> 16, (free[2] >> 8 & 0xFF) + 64);  // red
}

TEST_F(Assets, LogoIsColouredLetteringOnBlack) {
  Picture p = Icon(Asset::Logo);
  int black = 0, lit = 0;
  long top[3] = {}, bottom[3] = {};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      Rgb c = p.at(x, y);
      if (c == kTransparent) continue;
      if (c == 0) { ++black; continue; }
      int r = c >> 16, g = c >> 8 & 0xFF, b = c & 0xFF;
      if (r + g + b < 300) continue;  // shadow
      ++lit;
      long* sum = y < p.height / 3 ? top : y >= 2 * p.height / 3 ? bottom : nullptr;
      if (sum) sum[0] += r, sum[1] += g, sum[2] += b;
    }
  EXPECT_GT(black, p.width * p.height / 2);
  EXPECT_GT(lit, 200);
  EXPECT_GT(top[0], top[2]);        // yellow at the top
  EXPECT_GT(bottom[2], bottom[0]);  // blue at the bottom
}

TEST_F(Assets, GeneratorRefusesBrokenArtAndWritesNothing) {
  const fs::path art = fs::path(TARVEX_SOURCE_DIR) / "src/assets/art";
  struct Case { const char* file; std::string from, to; const char* message; };
  const Case cases[] = {
      {"Close1.txt", "WW.", "WW", "row has"},                    // ragged row
      {"Digit3.txt", "XXXXXX", "XXXXXZ", "not in the palette"},  // unknown pixel
      {"Logo.txt", "kind icon", "kind bitmap", "transparent"},   // bitmap with transparency
      {"HandCursor.txt", "hotspot 12 1", "hotspot 40 1", "hotspot"},
      {"Dot.txt", "asset Dot", "asset Period", "not an Asset id"},
  };
  int n = 0;
  for (const Case& c : cases) {
    fs::path dir = root / ("bad" + std::to_string(n++));
    fs::create_directories(dir / "art");
    for (auto& e : fs::directory_iterator(art)) fs::copy(e.path(), dir / "art" / e.path().filename());
    std::string text;
    {
      std::ifstream f(dir / "art" / c.file);
      text.assign(std::istreambuf_iterator<char>(f), {});
    }
    size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.file;
    text.replace(at, c.from.size(), c.to);
    std::ofstream(dir / "art" / c.file) << text;

    EXPECT_NE(RunGenerator(dir / "out", dir / "art"), 0) << c.file;
    EXPECT_FALSE(fs::exists(dir / "out")) << c.file;
    std::ifstream err(dir / "stderr.txt");
    std::string msg((std::istreambuf_iterator<char>(err)), {});
    EXPECT_NE(msg.find(c.message), std::string::npos) << c.file << ": " << msg;
    EXPECT_NE(msg.find(c.file), std::string::npos) << msg;
  }
  // A missing picture is named.
  fs::path dir = root / "missing";
  fs::create_directories(dir / "art");
  for (auto& e : fs::directory_iterator(art))
    if (e.path().filename() != "Hide1.txt") fs::copy(e.path(), dir / "art" / e.path().filename());
  EXPECT_NE(RunGenerator(dir / "out", dir / "art"), 0);
  std::ifstream err(dir / "stderr.txt");
  std::string msg((std::istreambuf_iterator<char>(err)), {});
  EXPECT_NE(msg.find("Hide1, Hide2"), std::string::npos) << msg;
}

}  // namespace
