// Runs the picture generator into a scratch folder and reads back what it
// wrote with small, strict readers of the .bmp/.ico/.cur formats written
// here, independent of the generator's encoders. What the pictures look like
// on the screen is checked where they are drawn (the Win32 self-test and the
// end-to-end tests); here: that every file is well formed, and the generator's
// refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/asset_ids.h"
#include "assets/glyphs.h"

namespace fs = std::filesystem;
using tarvex::Asset;

namespace {

using Rgb = std::uint32_t;                // 0xRRGGBB
constexpr Rgb kTransparent = 0xFF000000;  // marker for a masked-out pixel

struct Picture {
  int width = 0, height = 0, bpp = 0, hotX = -1, hotY = -1;
  std::vector<Rgb> px;  // top row first; kTransparent where the mask is set
  Rgb at(int x, int y) const { return px[y * width + x]; }
};

void Expect(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

struct Reader {
  std::vector<std::uint8_t> b;
  explicit Reader(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    Expect(bool(f), "cannot open");
    b.assign(std::istreambuf_iterator<char>(f), {});
  }
  unsigned u8(size_t o) const { Expect(o < b.size(), "truncated"); return b[o]; }
  unsigned u16(size_t o) const { return u8(o) | u8(o + 1) << 8; }
  std::uint32_t u32(size_t o) const { return u16(o) | std::uint32_t(u16(o + 2)) << 16; }

  // A BITMAPINFOHEADER DIB at `off`, `len` bytes long. With `masked`, the
  // stored height is doubled and a 1-bit AND mask follows the colour rows.
  Picture Dib(size_t off, size_t len, bool masked) const {
    Expect(u32(off) == 40 && u16(off + 12) == 1 && u32(off + 16) == 0, "header");
    Picture p;
    p.width = int(u32(off + 4));
    const int h = int(u32(off + 8));
    p.bpp = u16(off + 14);
    Expect(p.width > 0 && h > 0 && (!masked || h % 2 == 0), "dimensions");
    Expect(p.bpp == 24 || p.bpp == 4, "bit depth");
    p.height = masked ? h / 2 : h;
    const size_t colours = p.bpp == 4 ? (u32(off + 32) ? u32(off + 32) : 16) : 0;
    Expect(colours <= 16, "palette size");
    const size_t pal = off + 40, bits = pal + 4 * colours;
    const size_t stride = ((size_t(p.width) * p.bpp + 31) / 32) * 4, maskStride = ((size_t(p.width) + 31) / 32) * 4;
    const size_t total = stride * p.height + (masked ? maskStride * p.height : 0);
    Expect(u32(off + 20) == 0 || u32(off + 20) == total, "image size field");
    Expect(bits + total <= off + len && bits + total <= b.size(), "pixel data beyond the image");
    for (int y = 0; y < p.height; ++y) {
      const size_t row = bits + stride * (p.height - 1 - y);  // bottom-up
      const size_t mrow = bits + stride * p.height + maskStride * (p.height - 1 - y);
      for (int x = 0; x < p.width; ++x) {
        size_t o = row + 3 * x;
        if (p.bpp == 4) {
          const unsigned idx = (u8(row + x / 2) >> (x % 2 ? 0 : 4)) & 15;
          Expect(idx < colours, "palette index");
          o = pal + 4 * idx;
        }
        const Rgb c = u8(o + 2) << 16 | u8(o + 1) << 8 | u8(o);
        const bool clear = masked && (u8(mrow + x / 8) & (0x80 >> (x % 8)));
        // A masked-out pixel must be black in the colour plane, or the XOR
        // step of icon drawing tints the background.
        if (clear) Expect(c == 0, "transparent pixel not black");
        p.px.push_back(clear ? kTransparent : c);
      }
    }
    return p;
  }

  Picture Bmp() const {
    Expect(u16(0) == 0x4D42 && u32(2) == b.size() && u32(10) == 54, "file header");
    return Dib(14, b.size() - 14, false);
  }

  // An .ico (type 1) or .cur (type 2): every image of its directory.
  std::vector<Picture> Icons(unsigned type) const {
    Expect(u16(0) == 0 && u16(2) == type && u16(4) > 0, "icon directory");
    std::vector<Picture> out;
    for (unsigned i = 0, n = u16(4); i < n; ++i) {
      const size_t e = 6 + 16 * i, len = u32(e + 8), off = u32(e + 12);
      Expect(off >= 6 + 16 * n && off + len <= b.size(), "image outside the file");
      Picture p = Dib(off, len, true);
      Expect(int(u8(e)) == p.width % 256 && int(u8(e + 1)) == p.height % 256, "directory size differs from the image");
      if (type == 2) p.hotX = u16(e + 4), p.hotY = u16(e + 6);
      out.push_back(p);
    }
    return out;
  }
};

int RunGenerator(const fs::path& out, const fs::path& art = {}) {
  std::string cmd = "python3 '" TARVEX_SOURCE_DIR "/src/assets/make_assets.py' --out '" + out.string() + "'";
  if (!art.empty()) cmd += " --art '" + art.string() + "'";
  cmd += " 2>'" + (out.parent_path() / "stderr.txt").string() + "'";
  return std::system(cmd.c_str());
}

class Assets : public testing::Test {
 protected:
  static inline fs::path root;
  static inline std::map<int, std::vector<Picture>> pics;  // resource id -> its images

  static void SetUpTestSuite() {
    root = fs::temp_directory_path() / ("tarvex-assets-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    ASSERT_EQ(RunGenerator(root / "out"), 0);
    std::ifstream f(root / "out" / "tarvex.rc");
    std::string line, type, path;
    int id;
    while (std::getline(f, line)) {
      std::istringstream s(line);
      if (!(s >> id >> type >> std::quoted(path))) continue;
      EXPECT_EQ(pics.count(id), 0u) << "id " << id << " twice";
      try {
        // A bitmap is 24-bit, an icon 24-bit with its mask, a cursor 16 colours.
        pics[id] = type == "BITMAP" ? std::vector<Picture>{Reader(path).Bmp()}
                                    : Reader(path).Icons(type == "CURSOR" ? 2 : 1);
        for (const Picture& p : pics[id]) EXPECT_EQ(p.bpp, type == "CURSOR" ? 4 : 24) << id;
      } catch (const std::exception& e) {
        ADD_FAILURE() << "id " << id << " (" << path << "): " << e.what();
      }
    }
  }
  static void TearDownTestSuite() { fs::remove_all(root); }
};

TEST_F(Assets, EveryPictureIsWrittenAndWellFormed) {
  for (int id : {101, 102, 201, 208, 300, 309, 315, 401, 402, 501, 508}) EXPECT_EQ(pics.count(id), 1u) << id;
  ASSERT_EQ(pics[int(Asset::AppIcon)].size(), 2u);
  EXPECT_EQ(pics[int(Asset::AppIcon)][0].width, 16);
  EXPECT_EQ(pics[int(Asset::AppIcon)][1].width, 32);
}

TEST_F(Assets, DigitGlyphsAreTheGlyphTablePixelForPixel) {
  for (int d = 0; d < 10; ++d) {
    const Picture& p = pics.at(int(tarvex::DigitAsset(d))).at(0);
    ASSERT_EQ(p.width * p.height, tarvex::kGlyphWidth * tarvex::kGlyphHeight);
    for (int y = 0; y < tarvex::kGlyphHeight; ++y)
      for (int x = 0; x < tarvex::kGlyphWidth; ++x)
        EXPECT_EQ(p.at(x, y), tarvex::GlyphPixelLit(d, x, y) ? tarvex::kGlyphLit : kTransparent)
            << "digit " << d << " pixel " << x << "," << y;
  }
}

TEST_F(Assets, HandCursorsHotSpotIsItsTopmostDrawnPixel) {
  const Picture& p = pics.at(int(Asset::HandCursor)).at(0);
  ASSERT_TRUE(p.hotX >= 0 && p.hotX < p.width && p.hotY >= 0 && p.hotY < p.height);
  EXPECT_NE(p.at(p.hotX, p.hotY), kTransparent);
  for (int y = 0; y < p.hotY; ++y)
    for (int x = 0; x < p.width; ++x) EXPECT_EQ(p.at(x, y), kTransparent) << x << "," << y;
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
      {"Hide1.txt", "", "", "Hide1, Hide2"},  // a missing picture is named
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path dir = root / ("bad" + std::to_string(n++));
    fs::create_directories(dir / "art");
    for (auto& e : fs::directory_iterator(art))
      if (c.from.size() || e.path().filename() != c.file) fs::copy(e.path(), dir / "art" / e.path().filename());
    if (c.from.size()) {
      std::ifstream f(dir / "art" / c.file);
      std::string text(std::istreambuf_iterator<char>(f), {});
      const size_t at = text.find(c.from);
      ASSERT_NE(at, std::string::npos) << c.file;
      std::ofstream(dir / "art" / c.file) << text.replace(at, c.from.size(), c.to);
    }
    EXPECT_NE(RunGenerator(dir / "out", dir / "art"), 0) << c.file;
    EXPECT_FALSE(fs::exists(dir / "out")) << c.file;
    std::ifstream err(dir / "stderr.txt");
    const std::string msg((std::istreambuf_iterator<char>(err)), {});
    EXPECT_NE(msg.find(c.message), std::string::npos) << c.file << ": " << msg;
    if (c.from.size()) {
      EXPECT_NE(msg.find(c.file), std::string::npos) << msg;
    }
  }
}

}  // namespace
