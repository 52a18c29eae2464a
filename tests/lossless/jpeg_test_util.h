#pragma once
// Test helpers: small JPEG files made with the library, their decoded coefficients, and the
// jpegtran program as a black-box oracle.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace picaxo::testing {

struct JpegRecipe {
  int width = 48;
  int height = 32;
  int components = 3;  // 1 = grayscale
  int hY = 2;          // luminance sampling; chroma is always 1 x 1
  int vY = 2;
  bool progressive = false;
  int restartInterval = 0;  // in MCUs; 0 = none
  bool rgb = false;         // store RGB (the library then writes an Adobe marker)
  bool jfif = true;
  uint8_t densityUnit = 1;  // a non-default density, which must not survive
  uint16_t density = 300;
  std::vector<std::pair<int, std::string>> markers;  // written after the header, in order
  bool flat = false;      // every sample mid-grey: the least data a picture of its size can have
  bool optimize = false;  // optimised Huffman tables (a progressive file always has them)
};

struct Component {
  int h = 1;
  int v = 1;
  JDIMENSION widthInBlocks = 0;
  JDIMENSION heightInBlocks = 0;
  std::array<uint16_t, 64> quant{};
  std::vector<JCOEF> blocks;  // widthInBlocks x heightInBlocks blocks of 64, row by row
  const JCOEF* Block(JDIMENSION x, JDIMENSION y) const {
    return blocks.data() + (static_cast<size_t>(y) * widthInBlocks + x) * 64;
  }
};

struct Coefficients {
  JDIMENSION width = 0;
  JDIMENSION height = 0;
  int maxH = 1;
  int maxV = 1;
  std::vector<Component> components;
};

namespace detail {

// Fatal library errors in a helper are a broken test, not a case under test.
inline void FailHard(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, message);
  std::fprintf(stderr, "test helper: libjpeg error: %s\n", message);
  std::abort();
}

// Busy but smooth enough picture so that every frequency, odd and even, carries values.
inline uint8_t Sample(int x, int y, int c) {
  const uint32_t hash = (static_cast<uint32_t>(x / 3) * 73856093u) ^
                        (static_cast<uint32_t>(y / 2) * 19349663u) ^ (c * 83492791u);
  return static_cast<uint8_t>((x * (3 + c) + y * (5 - c) + (hash >> 7) % 61) & 0xFF);
}

}  // namespace detail

inline std::string MakeJpeg(const JpegRecipe& recipe) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  err.error_exit = detail::FailHard;
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(recipe.width);
  cinfo.image_height = static_cast<JDIMENSION>(recipe.height);
  cinfo.input_components = recipe.components;
  cinfo.in_color_space = recipe.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (recipe.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  jpeg_set_quality(&cinfo, 90, TRUE);
  cinfo.comp_info[0].h_samp_factor = recipe.hY;
  cinfo.comp_info[0].v_samp_factor = recipe.vY;
  for (int c = 1; c < cinfo.num_components; ++c)
    cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  if (recipe.progressive) jpeg_simple_progression(&cinfo);
  if (recipe.optimize) cinfo.optimize_coding = TRUE;
  cinfo.restart_interval = static_cast<unsigned>(recipe.restartInterval);
  cinfo.write_JFIF_header = recipe.jfif && !recipe.rgb ? TRUE : FALSE;
  cinfo.density_unit = recipe.densityUnit;
  cinfo.X_density = cinfo.Y_density = recipe.density;
  jpeg_start_compress(&cinfo, TRUE);
  for (const auto& [code, payload] : recipe.markers)
    jpeg_write_marker(&cinfo, code, reinterpret_cast<const JOCTET*>(payload.data()),
                      static_cast<unsigned>(payload.size()));
  std::vector<JSAMPLE> row(static_cast<size_t>(recipe.width * recipe.components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < recipe.width; ++x)
      for (int c = 0; c < recipe.components; ++c)
        row[static_cast<size_t>(x * recipe.components + c)] =
            recipe.flat ? JSAMPLE{128} : detail::Sample(x, y, c);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

inline Coefficients ReadCoefficients(std::string_view jpeg) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  err.error_exit = detail::FailHard;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
  Coefficients result;
  result.width = cinfo.image_width;
  result.height = cinfo.image_height;
  result.maxH = cinfo.max_h_samp_factor;
  result.maxV = cinfo.max_v_samp_factor;
  for (int ci = 0; ci < cinfo.num_components; ++ci) {
    const jpeg_component_info& comp = cinfo.comp_info[ci];
    Component out;
    out.h = comp.h_samp_factor;
    out.v = comp.v_samp_factor;
    out.widthInBlocks = comp.width_in_blocks;
    out.heightInBlocks = comp.height_in_blocks;
    for (int i = 0; i < 64; ++i)
      out.quant[static_cast<size_t>(i)] = comp.quant_table->quantval[i];
    out.blocks.resize(static_cast<size_t>(out.widthInBlocks) * out.heightInBlocks * 64);
    const auto v = static_cast<JDIMENSION>(comp.v_samp_factor);
    for (JDIMENSION y0 = 0; y0 < comp.height_in_blocks; y0 += v) {
      JBLOCKARRAY band = cinfo.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&cinfo),
                                                       arrays[ci], y0, v, FALSE);
      for (JDIMENSION dy = 0; dy < v && y0 + dy < comp.height_in_blocks; ++dy)
        for (JDIMENSION x = 0; x < comp.width_in_blocks; ++x)
          std::copy(band[dy][x], band[dy][x] + 64,
                    out.blocks.begin() +
                        static_cast<std::ptrdiff_t>(((y0 + dy) * out.widthInBlocks + x) * 64));
    }
    result.components.push_back(std::move(out));
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return result;
}

// Small files whose frame header claims 22000 x 22000 pixels (just under the pixel limit): a
// baseline 4:2:0 colour file, a progressive one (whose decoder holds every coefficient) and a
// one-component grayscale file (the fewest blocks for its size), a few hundred bytes each.
inline std::vector<std::pair<std::string, std::string>> JpegBombs() {
  std::vector<std::pair<std::string, std::string>> bombs;
  for (const char* shape : {"baseline", "progressive", "grayscale"}) {
    JpegRecipe recipe;
    recipe.width = recipe.height = 16;
    recipe.flat = true;
    recipe.progressive = std::string(shape) == "progressive";
    if (std::string(shape) == "grayscale") recipe.components = 1;
    std::string file = MakeJpeg(recipe);
    const size_t sof = file.find(recipe.progressive ? "\xFF\xC2" : "\xFF\xC0");
    file[sof + 5] = file[sof + 7] = static_cast<char>(22000 >> 8);
    file[sof + 6] = file[sof + 8] = static_cast<char>(22000 & 0xFF);
    bombs.emplace_back(shape, std::move(file));
  }
  return bombs;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

inline void WriteFile(const std::string& path, std::string_view data) {
  std::ofstream(path, std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Runs jpegtran with the given arguments on the bytes and returns its output file.
inline std::string RunJpegtran(std::string_view jpeg, const std::string& args) {
  const auto dir = std::filesystem::temp_directory_path();
  const std::string stem = (dir / ("picaxo_jt_" + std::to_string(::getpid()))).string();
  const std::string in = stem + "_in.jpg";
  const std::string out = stem + "_out.jpg";
  WriteFile(in, jpeg);
  const std::string command = "jpegtran " + args + " -outfile '" + out + "' '" + in + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << command;
  std::string result = ReadFile(out);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  return result;
}

// The markers from SOI up to the first table, frame or scan: (code, payload without length).
inline std::vector<std::pair<int, std::string>> HeaderMarkers(std::string_view jpeg) {
  std::vector<std::pair<int, std::string>> markers;
  size_t pos = 2;  // after SOI
  while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
    const int code = static_cast<uint8_t>(jpeg[pos + 1]);
    if (code == 0xDB || code == 0xC4 || code == 0xDA || (code >= 0xC0 && code <= 0xCF)) break;
    const size_t length = static_cast<size_t>(static_cast<uint8_t>(jpeg[pos + 2]) << 8 |
                                              static_cast<uint8_t>(jpeg[pos + 3]));
    markers.emplace_back(code, std::string(jpeg.substr(pos + 4, length - 2)));
    pos += 2 + length;
  }
  return markers;
}

}  // namespace picaxo::testing
