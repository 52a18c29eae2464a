// The coefficient transforms, checked three ways: against jpegtran as a black box, against the
// block rules written out per destination block (edge blocks of partial iMCUs included), and by
// their algebra (right then left is the identity, two rights are a half turn).
#include "lossless/transupp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/error.h"
#include "lossless/jpeg_rotate.h"
#include "lossless/jpeg_test_util.h"

namespace picaxo {
namespace {

using testing::Coefficients;
using testing::Component;
using testing::JpegRecipe;
using testing::MakeJpeg;
using testing::ReadCoefficients;

constexpr TTransformCode kAllCodes[] = {TransformNone,      TransformFlipH,      TransformFlipV,
                                        TransformTranspose, TransformTransverse, TransformRot90,
                                        TransformRot180,    TransformRot270};

std::string JpegtranArgs(TTransformCode code) {
  switch (code) {
    case TransformNone:
      return "-copy all";
    case TransformFlipH:
      return "-copy all -flip horizontal";
    case TransformFlipV:
      return "-copy all -flip vertical";
    case TransformTranspose:
      return "-copy all -transpose";
    case TransformTransverse:
      return "-copy all -transverse";
    case TransformRot90:
      return "-copy all -rotate 90";
    case TransformRot180:
      return "-copy all -rotate 180";
    case TransformRot270:
      return "-copy all -rotate 270";
  }
  return {};
}

// Where destination block (X, Y) comes from and how: source block column `col`, row `row`,
// D[r][k] = S[k][r] when transposed, times (-1)^(negR * r + negK * k).
struct BlockRule {
  JDIMENSION col;
  JDIMENSION row;
  bool transpose;
  int negR;
  int negK;
};

// The rules per destination block, written out from the transform tables.
BlockRule RuleFor(TTransformCode code, JDIMENSION x, JDIMENSION y, JDIMENSION cw, JDIMENSION ch) {
  const bool xIn = x < cw;
  const bool yIn = y < ch;
  switch (code) {
    case TransformNone:
      return {x, y, false, 0, 0};
    case TransformFlipH:
      return xIn ? BlockRule{cw - 1 - x, y, false, 0, 1} : BlockRule{x, y, false, 0, 0};
    case TransformFlipV:
      return yIn ? BlockRule{x, ch - 1 - y, false, 1, 0} : BlockRule{x, y, false, 0, 0};
    case TransformTranspose:
      return {y, x, true, 0, 0};
    case TransformTransverse:
      if (xIn && yIn) return {ch - 1 - y, cw - 1 - x, true, 1, 1};
      if (yIn) return {ch - 1 - y, x, true, 1, 0};
      if (xIn) return {y, cw - 1 - x, true, 0, 1};
      return {y, x, true, 0, 0};
    case TransformRot90:
      return xIn ? BlockRule{y, cw - 1 - x, true, 0, 1} : BlockRule{y, x, true, 0, 0};
    case TransformRot180:
      if (xIn && yIn) return {cw - 1 - x, ch - 1 - y, false, 1, 1};
      if (yIn) return {x, ch - 1 - y, false, 1, 0};
      if (xIn) return {cw - 1 - x, y, false, 0, 1};
      return {x, y, false, 0, 0};
    case TransformRot270:
      return yIn ? BlockRule{ch - 1 - y, x, true, 1, 0} : BlockRule{y, x, true, 0, 0};
  }
  return {};
}

// Number of destination blocks that break the rules (0 when the output is exactly as stated).
int CountRuleBreaks(TTransformCode code, const Coefficients& src, const Coefficients& dst) {
  int breaks = 0;
  for (size_t ci = 0; ci < dst.components.size(); ++ci) {
    const Component& s = src.components[ci];
    const Component& d = dst.components[ci];
    const JDIMENSION cw = dst.width / static_cast<JDIMENSION>(dst.maxH * 8) * d.h;
    const JDIMENSION ch = dst.height / static_cast<JDIMENSION>(dst.maxV * 8) * d.v;
    for (JDIMENSION y = 0; y < d.heightInBlocks; ++y) {
      for (JDIMENSION x = 0; x < d.widthInBlocks; ++x) {
        const BlockRule rule = RuleFor(code, x, y, cw, ch);
        const JCOEF* in = s.Block(rule.col, rule.row);
        const JCOEF* out = d.Block(x, y);
        bool same = true;
        for (int r = 0; r < 8; ++r) {
          for (int k = 0; k < 8; ++k) {
            int value = rule.transpose ? in[k * 8 + r] : in[r * 8 + k];
            if ((rule.negR * r + rule.negK * k) % 2 != 0) value = -value;
            same = same && out[r * 8 + k] == value;
          }
        }
        breaks += same ? 0 : 1;
      }
    }
  }
  return breaks;
}

bool SameBlocks(const Coefficients& a, const Coefficients& b) {
  if (a.width != b.width || a.height != b.height || a.components.size() != b.components.size())
    return false;
  for (size_t ci = 0; ci < a.components.size(); ++ci) {
    const Component& x = a.components[ci];
    const Component& y = b.components[ci];
    if (x.h != y.h || x.v != y.v || x.quant != y.quant || x.blocks != y.blocks) return false;
  }
  return true;
}

std::array<uint16_t, 64> Transposed(const std::array<uint16_t, 64>& table) {
  std::array<uint16_t, 64> out{};
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 8; ++k)
      out[static_cast<size_t>(r * 8 + k)] = table[static_cast<size_t>(k * 8 + r)];
  return out;
}

struct Layout {
  const char* name;
  int components;
  int hY;
  int vY;
};

constexpr Layout kLayouts[] = {{"420", 3, 2, 2},  {"422", 3, 2, 1}, {"444", 3, 1, 1},
                               {"gray", 1, 1, 1}, {"440", 3, 1, 2}, {"411", 3, 4, 1}};

struct Shape {
  const char* name;
  int width;
  int height;
  bool progressive;
  int restartInterval;
};

// Whole iMCUs for every layout; partial ones in either or both directions; a partial-only axis;
// progressive and restart-marker sources.
constexpr Shape kShapes[] = {{"whole", 48, 32, false, 0},
                             {"partial", 53, 37, false, 0},
                             {"progressive", 100, 75, true, 0},
                             {"restart", 41, 33, false, 1},
                             {"thin", 130, 9, true, 2}};

void PrintTo(const Layout& layout, std::ostream* os) {
  *os << layout.name;
}
void PrintTo(const Shape& shape, std::ostream* os) {
  *os << shape.name << " " << shape.width << "x" << shape.height;
}

class EveryCode : public ::testing::TestWithParam<std::tuple<Layout, Shape>> {
 protected:
  std::string Source() const {
    const auto& [layout, shape] = GetParam();
    JpegRecipe recipe;
    recipe.width = shape.width;
    recipe.height = shape.height;
    recipe.components = layout.components;
    recipe.hY = layout.hY;
    recipe.vY = layout.vY;
    recipe.progressive = shape.progressive;
    recipe.restartInterval = shape.restartInterval;
    return MakeJpeg(recipe);
  }
};

TEST_P(EveryCode, MatchesJpegtranAndTheBlockRules) {
  const std::string source = Source();
  const Coefficients src = ReadCoefficients(source);
  for (TTransformCode code : kAllCodes) {
    SCOPED_TRACE("code " + std::to_string(code));
    const TTransformedJPEG ours = TransformJPEGData(source, code);
    EXPECT_EQ(ours.warnings, 0);
    const Coefficients dst = ReadCoefficients(ours.data);
    const Coefficients oracle = ReadCoefficients(testing::RunJpegtran(source, JpegtranArgs(code)));
    // jpegtran keeps partial iMCUs by default and treats them by the same rules: every block,
    // table and sampling factor agrees.
    EXPECT_TRUE(SameBlocks(dst, oracle));
    EXPECT_EQ(CountRuleBreaks(code, src, dst), 0);
    const bool transposing = IsTransposing(code);
    EXPECT_EQ(dst.width, transposing ? src.height : src.width);
    EXPECT_EQ(dst.height, transposing ? src.width : src.height);
    for (size_t ci = 0; ci < src.components.size(); ++ci) {
      const Component& s = src.components[ci];
      const Component& d = dst.components[ci];
      EXPECT_EQ(d.h, transposing ? s.v : s.h);
      EXPECT_EQ(d.v, transposing ? s.h : s.v);
      EXPECT_EQ(d.quant, transposing ? Transposed(s.quant) : s.quant);
    }
  }
}

TEST_P(EveryCode, RightThenLeftRestoresAndTwoRightsMakeAHalfTurn) {
  const std::string source = Source();
  const std::string right = TransformJPEGData(source, TransformRot90).data;
  EXPECT_TRUE(SameBlocks(ReadCoefficients(TransformJPEGData(right, TransformRot270).data),
                         ReadCoefficients(source)));
  EXPECT_TRUE(SameBlocks(ReadCoefficients(TransformJPEGData(right, TransformRot90).data),
                         ReadCoefficients(TransformJPEGData(source, TransformRot180).data)));
  // Each mirror undoes itself, partial iMCUs included.
  for (TTransformCode code :
       {TransformFlipH, TransformFlipV, TransformTranspose, TransformTransverse}) {
    const std::string once = TransformJPEGData(source, code).data;
    EXPECT_TRUE(
        SameBlocks(ReadCoefficients(TransformJPEGData(once, code).data), ReadCoefficients(source)))
        << "code " << code;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryCode,
                         ::testing::Combine(::testing::ValuesIn(kLayouts),
                                            ::testing::ValuesIn(kShapes)),
                         [](const ::testing::TestParamInfo<EveryCode::ParamType>& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

// The five steps by hand, as a caller of the module would run them, with the destination filled
// into a workspace or computed on demand as the compressor reads it.
std::string TransformByHand(const std::string& jpeg, TTransformCode code, bool onDemand) {
  jpeg_decompress_struct src{};
  jpeg_compress_struct dst{};
  jpeg_error_mgr srcErr{};
  jpeg_error_mgr dstErr{};
  src.err = jpeg_std_error(&srcErr);
  dst.err = jpeg_std_error(&dstErr);
  srcErr.error_exit = dstErr.error_exit = testing::detail::FailHard;
  jpeg_create_decompress(&src);
  jpeg_create_compress(&dst);
  jpeg_mem_src(&src, reinterpret_cast<const unsigned char*>(jpeg.data()),
               static_cast<unsigned long>(jpeg.size()));
  TTransformInfo info;
  info.Transform = code;
  info.OnDemand = onDemand;
  SetupMarkerCopy(&src, CopyAll);
  jpeg_read_header(&src, TRUE);
  RequestWorkspace(&src, info);
  jvirt_barray_ptr* srcCoefs = jpeg_read_coefficients(&src);
  jpeg_copy_critical_parameters(&src, &dst);
  jvirt_barray_ptr* dstCoefs = AdjustParameters(&src, &dst, srcCoefs, info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&dst, &buffer, &size);
  jpeg_write_coefficients(&dst, dstCoefs);
  ExecuteMarkerCopy(&src, &dst);
  ExecuteTransform(&src, &dst, srcCoefs, info);
  jpeg_finish_compress(&dst);
  jpeg_destroy_compress(&dst);
  jpeg_finish_decompress(&src);
  jpeg_destroy_decompress(&src);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

// Partial iMCUs in both directions (the compressor's last band is short), chroma bands of another
// height than luminance bands, a progressive source, and a one-component image.
TEST(OnDemand, WritesTheSameFileAsTheWorkspace) {
  struct Case {
    int components, hY, vY, width, height;
    bool progressive;
  };
  for (const Case& c : {Case{3, 2, 2, 53, 37, false}, Case{3, 2, 2, 100, 75, true},
                        Case{3, 4, 1, 70, 9, false}, Case{1, 1, 1, 41, 33, false}}) {
    JpegRecipe recipe;
    recipe.components = c.components;
    recipe.hY = c.hY;
    recipe.vY = c.vY;
    recipe.width = c.width;
    recipe.height = c.height;
    recipe.progressive = c.progressive;
    recipe.markers = {{JPEG_COM, "kept"}};
    const std::string source = MakeJpeg(recipe);
    for (TTransformCode code : kAllCodes) {
      const std::string workspace = TransformByHand(source, code, false);
      EXPECT_EQ(TransformByHand(source, code, true), workspace)
          << c.width << "x" << c.height << " code " << code;
      if (code != TransformNone) {  // the workspace really is transformed
        EXPECT_NE(workspace, TransformByHand(source, TransformNone, false));
      }
    }
  }
}

// 100 x 75 with 2 x 2 luminance, turned right: 8 of the 10 luminance block columns are rotated;
// columns 8 and 9 hold source block rows 8 and 9, transposed but not mirrored.
TEST(PartialIMcu, QuarterTurnTransposesTheBottomStrip) {
  JpegRecipe recipe;
  recipe.width = 100;
  recipe.height = 75;
  const std::string source = MakeJpeg(recipe);
  const Coefficients src = ReadCoefficients(source);
  const Coefficients dst = ReadCoefficients(TransformJPEGData(source, TransformRot90).data);
  ASSERT_EQ(dst.width, 75u);
  ASSERT_EQ(dst.height, 100u);
  const Component& s = src.components[0];
  const Component& d = dst.components[0];
  ASSERT_EQ(d.widthInBlocks, 10u);
  for (JDIMENSION y = 0; y < d.heightInBlocks; ++y) {
    for (JDIMENSION x = 8; x < 10; ++x) {
      const JCOEF* in = s.Block(y, x);
      const JCOEF* out = d.Block(x, y);
      for (int r = 0; r < 8; ++r)
        for (int k = 0; k < 8; ++k)
          ASSERT_EQ(out[r * 8 + k], in[k * 8 + r]) << x << "," << y;
    }
    // Column 0 is the mirror of source row 7 (the last whole one), odd k negated.
    const JCOEF* in = s.Block(y, 7);
    const JCOEF* out = d.Block(0, y);
    for (int r = 0; r < 8; ++r)
      for (int k = 0; k < 8; ++k)
        ASSERT_EQ(out[r * 8 + k], (k % 2 ? -1 : 1) * in[k * 8 + r]) << y;
  }
}

// 4:4:4 and 33 pixels high: after a right turn, block column 4 (pixel column 32) is beyond CW = 4.
TEST(PartialIMcu, ThirtyThreeHighTurnedRightHasOneTransposedColumn) {
  for (int components : {1, 3}) {
    JpegRecipe recipe;
    recipe.width = 40;
    recipe.height = 33;
    recipe.components = components;
    recipe.hY = recipe.vY = 1;
    const std::string source = MakeJpeg(recipe);
    const Coefficients src = ReadCoefficients(source);
    const Coefficients dst = ReadCoefficients(TransformJPEGData(source, TransformRot90).data);
    ASSERT_EQ(dst.width, 33u);
    const Component& s = src.components[0];
    const Component& d = dst.components[0];
    ASSERT_EQ(d.widthInBlocks, 5u);
    for (JDIMENSION y = 0; y < d.heightInBlocks; ++y)
      for (int i = 0; i < 64; ++i)
        ASSERT_EQ(d.Block(4, y)[i], s.Block(y, 4)[(i % 8) * 8 + i / 8]);
  }
}

// CW = 3: flip H swaps blocks 0 and 2 and mirrors block 1.
TEST(PartialIMcu, FlipHWithOddBlockCountMirrorsTheMiddleBlock) {
  JpegRecipe recipe;
  recipe.width = 24 + 5;  // three whole 8-pixel columns and a partial one
  recipe.height = 16;
  recipe.components = 1;
  recipe.hY = recipe.vY = 1;
  const std::string source = MakeJpeg(recipe);
  const Coefficients src = ReadCoefficients(source);
  const Coefficients dst = ReadCoefficients(TransformJPEGData(source, TransformFlipH).data);
  const Component& s = src.components[0];
  const Component& d = dst.components[0];
  for (JDIMENSION y = 0; y < 2; ++y) {
    for (int i = 0; i < 64; ++i) {
      const int sign = (i % 8) % 2 ? -1 : 1;
      EXPECT_EQ(d.Block(0, y)[i], sign * s.Block(2, y)[i]);
      EXPECT_EQ(d.Block(2, y)[i], sign * s.Block(0, y)[i]);
      EXPECT_EQ(d.Block(1, y)[i], sign * s.Block(1, y)[i]);
      EXPECT_EQ(d.Block(3, y)[i], s.Block(3, y)[i]);  // beyond CW: untouched
    }
  }
}

TEST(Sampling, QuarterTurnExchangesSamplingFactors) {
  JpegRecipe recipe;
  recipe.hY = 2;
  recipe.vY = 1;
  const Coefficients dst =
      ReadCoefficients(TransformJPEGData(MakeJpeg(recipe), TransformRot270).data);
  EXPECT_EQ(dst.components[0].h, 1);
  EXPECT_EQ(dst.components[0].v, 2);
  EXPECT_EQ(dst.components[1].h, 1);
  EXPECT_EQ(dst.components[1].v, 1);
}

TEST(Directions, MapToTheQuarterAndHalfTurns) {
  EXPECT_EQ(TransformForDirection(kRotateRight), TransformRot90);
  EXPECT_EQ(TransformForDirection(kRotateHalf), TransformRot180);
  EXPECT_EQ(TransformForDirection(kRotateLeft), TransformRot270);
  EXPECT_THROW(TransformForDirection(3), EPicaxoError);
}

}  // namespace
}  // namespace picaxo
