#pragma once
// Pictures of the source formats beyond JPEG and BMP made on the spot with the formats' own
// command-line tools (netpbm, cwebp, heif-enc), and their PNM files read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace picaxo::testing {

// A netpbm picture (P5, P6 or P7) with its samples as read, maxval 255 or 65535.
struct TPnm {
  int Width = 0;
  int Height = 0;
  int Depth = 0;  // samples per pixel
  uint32_t MaxVal = 255;
  std::vector<uint32_t> Samples;
  uint32_t At(int x, int y, int c) const {
    return Samples[(static_cast<size_t>(y) * Width + x) * Depth + c];
  }
};

inline TPnm ReadPnm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  in >> magic;
  TPnm pnm;
  if (magic == "P7") {
    std::string key;
    while (in >> key && key != "ENDHDR") {
      if (key == "WIDTH")
        in >> pnm.Width;
      else if (key == "HEIGHT")
        in >> pnm.Height;
      else if (key == "DEPTH")
        in >> pnm.Depth;
      else if (key == "MAXVAL")
        in >> pnm.MaxVal;
      else
        std::getline(in, key);
    }
  } else {
    pnm.Depth = magic == "P6" ? 3 : 1;
    in >> pnm.Width >> pnm.Height >> pnm.MaxVal;
  }
  in.get();
  const size_t count = static_cast<size_t>(pnm.Width) * pnm.Height * pnm.Depth;
  pnm.Samples.resize(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t v = static_cast<uint8_t>(in.get());
    if (pnm.MaxVal > 255) v = v << 8 | static_cast<uint8_t>(in.get());
    pnm.Samples[i] = v;
  }
  if (!in) ADD_FAILURE() << "cannot read " << path;
  return pnm;
}

// Writes a PAM of depth 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA) whose samples are a fixed
// pseudo-random pattern; alpha takes 0, the top value and values between.
inline TPnm WritePam(const std::string& path, int width, int height, int depth, uint32_t maxVal) {
  TPnm pnm{width, height, depth, maxVal, {}};
  uint32_t seed = 12345;
  for (int i = 0; i < width * height; ++i)
    for (int c = 0; c < depth; ++c) {
      seed = seed * 1103515245u + 12345u;
      uint32_t v = (seed >> 8) % (maxVal + 1);
      if ((depth == 2 || depth == 4) && c == depth - 1)
        v = i % 3 == 0 ? maxVal : i % 7 == 0 ? 0 : v;
      pnm.Samples.push_back(v);
    }
  static const char* kTypes[] = {"", "GRAYSCALE", "GRAYSCALE_ALPHA", "RGB", "RGB_ALPHA"};
  std::ofstream out(path, std::ios::binary);
  out << "P7\nWIDTH " << width << "\nHEIGHT " << height << "\nDEPTH " << depth << "\nMAXVAL "
      << maxVal << "\nTUPLTYPE " << kTypes[depth] << "\nENDHDR\n";
  for (uint32_t v : pnm.Samples) {
    if (maxVal > 255) out.put(static_cast<char>(v >> 8));
    out.put(static_cast<char>(v & 0xFF));
  }
  return pnm;
}

// Runs a shell command; a failure fails the test.
inline void Shell(const std::string& command) {
  const int status = std::system(("(" + command + ") >/dev/null 2>&1").c_str());
  ASSERT_EQ(status, 0) << command;
}

}  // namespace picaxo::testing
