// A HEIF whose primary image is a grid: the size the grid itself states is what gets allocated,
// so it is held to the pixel limit before anything is decoded, whatever the image size property
// claims.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "imaging/pipeline.h"
#include "imaging/raster.h"

namespace picaxo {
namespace {

std::string Be(uint64_t v, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i)
    out += static_cast<char>(v >> (8 * i) & 0xFF);
  return out;
}

std::string Box(const std::string& type, const std::string& body) {
  return Be(8 + body.size(), 4) + type + body;
}

std::string FullBox(const std::string& type, int version, const std::string& body) {
  return Box(type, Be(version, 1) + Be(0, 3) + body);
}

// A 1 x 1 grid (item 1) of one tile (item 2) whose image size property says 16 x 12 for both,
// while the grid's own data says width x height; or an overlay ("iovl") of that canvas.
std::string GridHeif(uint32_t width, uint32_t height, const std::string& type = "grid") {
  const std::string gridData = Be(0, 1) + Be(1, 1) + Be(0, type == "grid" ? 2 : 8) + Be(width, 4) +
                               Be(height, 4) + (type == "grid" ? "" : Be(0, 4) + Be(0, 4));
  const std::string tile(64, '\x11');
  const std::string ftyp = Box("ftyp", "heic" + Be(0, 4) + "mif1heic");
  const auto metaWith = [&](uint64_t tileOffset) {
    const std::string iinf =
        FullBox("iinf", 0,
                Be(2, 2) + FullBox("infe", 2, Be(1, 2) + Be(0, 2) + type + std::string(1, '\0')) +
                    FullBox("infe", 2, Be(2, 2) + Be(0, 2) + "hvc1" + std::string(1, '\0')));
    const std::string iref = FullBox("iref", 0, Box("dimg", Be(1, 2) + Be(1, 2) + Be(2, 2)));
    const std::string ipco = Box("ipco", FullBox("ispe", 0, Be(16, 4) + Be(12, 4)));
    const std::string ipma =
        FullBox("ipma", 0,
                Be(2, 4) + Be(1, 2) + Be(1, 1) + Be(0x81, 1) + Be(2, 2) + Be(1, 1) + Be(0x81, 1));
    // Version 1: offsets and lengths of 4 bytes, no base offset or index; the grid's data in
    // the "idat" box, the tile's in the file.
    const std::string iloc =
        FullBox("iloc", 1,
                Be(0x4400, 2) + Be(2, 2) + Be(1, 2) + Be(1, 2) + Be(0, 2) + Be(1, 2) + Be(0, 4) +
                    Be(gridData.size(), 4) + Be(2, 2) + Be(0, 2) + Be(0, 2) + Be(1, 2) +
                    Be(tileOffset, 4) + Be(tile.size(), 4));
    return FullBox("meta", 0,
                   FullBox("hdlr", 0, Be(0, 4) + "pict" + std::string(13, '\0')) +
                       FullBox("pitm", 0, Be(1, 2)) + iinf + iref + Box("iprp", ipco + ipma) +
                       iloc + Box("idat", gridData));
  };
  const size_t metaSize = metaWith(0).size();
  return ftyp + metaWith(ftyp.size() + metaSize + 8) + Box("mdat", tile);
}

TEST(HeifGrid, AGridLargerThanItsSizePropertyIsRefusedBeforeDecoding) {
  constexpr int64_t kLimit = 4'000'000;
  for (const EImageFormat format : {EImageFormat::Heif, EImageFormat::Avif}) {
    for (const char* kind : {"grid", "iovl"}) {
      try {
        LoadSourceBytes(GridHeif(27648, 4608, kind), format, TSourceOptions{}, kLimit);
        ADD_FAILURE() << kind << " decoded";
      } catch (const ERasterTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), RasterTooLargeMessage(27648, 4608, kLimit));
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
      }
    }
  }
  // A grid within the limit is left to the decoder (which finds the tile unreadable).
  try {
    LoadSourceBytes(GridHeif(16, 12), EImageFormat::Heif, TSourceOptions{}, kLimit);
    ADD_FAILURE() << "decoded";
  } catch (const ERasterTooLarge& e) {
    ADD_FAILURE() << e.what();
  } catch (const EPicaxoError&) {
  }
}

}  // namespace
}  // namespace picaxo
