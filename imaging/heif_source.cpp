// The HEIF and AVIF reader, on libheif: the primary image, with its rotation and mirror applied.
#include <lcms2.h>
#include <libheif/heif.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "imaging/source_decoders.h"

namespace picaxo {

namespace {

using TContext = std::unique_ptr<heif_context, void (*)(heif_context*)>;
using THandle = std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)>;
using TImage = std::unique_ptr<heif_image, void (*)(const heif_image*)>;

void Check(const heif_error& error) {
  if (error.code == heif_error_Ok) return;
  if (error.code == heif_error_Memory_allocation_error) throw std::bad_alloc();
  const std::string reason = error.message ? OneLine(error.message) : std::string();
  throw ESourceFormatError("Damaged HEIF file: " + (reason.empty() ? "unknown error" : reason));
}

TContext NewContext() {
  // Once per process: without it every context sets up libheif's codecs again (a millisecond,
  // which a listing of thousands of files feels).
  static const bool initialised = [] { return heif_init(nullptr).code == heif_error_Ok; }();
  (void)initialised;
  TContext context(heif_context_alloc(), heif_context_free);
  if (!context) throw std::bad_alloc();
  return context;
}

THandle PrimaryImage(heif_context* context) {
  heif_image_handle* handle = nullptr;
  Check(heif_context_get_primary_image_handle(context, &handle));
  return THandle(handle, heif_image_handle_release);
}

// The EXIF block of the image as a TIFF structure: libheif's blocks start with the 4-byte offset
// of the TIFF header within the rest.
std::string ExifOf(const heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
  std::string block(heif_image_handle_get_metadata_size(handle, id), '\0');
  if (block.size() < 4 || heif_image_handle_get_metadata(handle, id, block.data()).code) return {};
  const auto u8 = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(block[i])); };
  const uint64_t offset = u8(0) << 24 | u8(1) << 16 | u8(2) << 8 | u8(3);
  if (offset > block.size() - 4) return {};
  return block.substr(4 + offset);
}

// The XMP packet: a "mime" item of the RDF content type.
std::string XmpOf(const heif_image_handle* handle) {
  std::vector<heif_item_id> ids(static_cast<size_t>(
      std::max(0, heif_image_handle_get_number_of_metadata_blocks(handle, "mime"))));
  if (ids.empty()) return {};
  const int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, "mime", ids.data(),
                                                                     static_cast<int>(ids.size()));
  for (int i = 0; i < count; ++i) {
    const char* type = heif_image_handle_get_metadata_content_type(handle, ids[i]);
    if (!type || std::strcmp(type, "application/rdf+xml") != 0) continue;
    std::string packet(heif_image_handle_get_metadata_size(handle, ids[i]), '\0');
    if (!packet.empty() && !heif_image_handle_get_metadata(handle, ids[i], packet.data()).code)
      return packet;
  }
  return {};
}

// A matrix profile for the primaries and transfer curve a colr "nclx" box names, when they are
// not sRGB's; empty for sRGB and for curves without a profile form (PQ, HLG, logarithmic). The
// BT.709 family of camera curves counts as the sRGB curve: viewers show such pictures as sRGB.
std::string ProfileOfNclx(const heif_color_profile_nclx& nclx) {
  cmsToneCurve* curve = nullptr;
  switch (nclx.transfer_characteristics) {
    case heif_transfer_characteristic_ITU_R_BT_709_5:
    case heif_transfer_characteristic_unspecified:
    case heif_transfer_characteristic_ITU_R_BT_601_6:
    case heif_transfer_characteristic_IEC_61966_2_1:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
      if (nclx.color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
          nclx.color_primaries == heif_color_primaries_unspecified)
        return {};
      {
        const double srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
        curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
      }
      break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
      curve = cmsBuildGamma(nullptr, 2.2);
      break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
      curve = cmsBuildGamma(nullptr, 2.8);
      break;
    case heif_transfer_characteristic_linear:
      curve = cmsBuildGamma(nullptr, 1.0);
      break;
    default:
      return {};
  }
  if (!curve) return {};
  const cmsCIExyY white{nclx.color_primary_white_x, nclx.color_primary_white_y, 1.0};
  const cmsCIExyYTRIPLE primaries{{nclx.color_primary_red_x, nclx.color_primary_red_y, 1.0},
                                  {nclx.color_primary_green_x, nclx.color_primary_green_y, 1.0},
                                  {nclx.color_primary_blue_x, nclx.color_primary_blue_y, 1.0}};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  if (!profile) return {};
  std::string data;
  cmsUInt32Number size = 0;
  if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    data.resize(size);
    if (!cmsSaveProfileToMem(profile, data.data(), &size)) data.clear();
  }
  cmsCloseProfile(profile);
  return data;
}

// The embedded ICC profile, else the profile of the colour description (see ProfileOfNclx).
std::string IccOf(const heif_image_handle* handle) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type == heif_color_profile_type_nclx) {
    heif_color_profile_nclx* nclx = nullptr;
    // libheif hands out the structure also when it refuses a value in it (found by the fuzzer).
    const bool read = heif_image_handle_get_nclx_color_profile(handle, &nclx).code == 0;
    std::string profile = read && nclx ? ProfileOfNclx(*nclx) : std::string();
    if (nclx) heif_nclx_color_profile_free(nclx);
    return profile;
  }
  if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
  std::string profile(heif_image_handle_get_raw_color_profile_size(handle), '\0');
  if (profile.empty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code)
    return {};
  return profile;
}

// The boxes of an ISO media file, read from memory. Every read is bounds-checked: a box that
// does not fit ends the walk.
struct TBox {
  std::string_view Type;
  std::string_view Body;  // after the header (and, for full boxes, not yet past version/flags)
};

struct TBoxReader {
  std::string_view data;
  size_t at = 0;
  bool ok = true;

  uint64_t Number(int bytes) {
    if (bytes == 0) return 0;
    if (bytes < 0 || data.size() - at < static_cast<size_t>(bytes) || at > data.size()) {
      ok = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
      v = v << 8 | static_cast<uint8_t>(data[at++]);
    return v;
  }
  std::string_view Bytes(size_t n) {
    if (at > data.size() || data.size() - at < n) {
      ok = false;
      return {};
    }
    const std::string_view v = data.substr(at, n);
    at += n;
    return v;
  }
  bool Next(TBox& box) {
    if (!ok || at + 8 > data.size()) return false;
    uint64_t size = Number(4);
    box.Type = Bytes(4);
    size_t header = 8;
    if (size == 1) {
      size = Number(8);
      header = 16;
    } else if (size == 0) {
      size = data.size() - (at - 8);
    }
    if (!ok || size < header || size - header > data.size() - at) return ok = false;
    box.Body = Bytes(static_cast<size_t>(size - header));
    return ok;
  }
};

std::string_view ChildBody(std::string_view parent, std::string_view type) {
  TBoxReader r{parent};
  TBox box;
  while (r.Next(box))
    if (box.Type == type) return box.Body;
  return {};
}

// The output size a primary "grid" or overlay ("iovl") image states in its own data, which is
// what libheif allocates and fills; nothing when the primary image is neither or the boxes cannot
// be read.
std::optional<std::pair<uint64_t, uint64_t>> PrimaryGridSize(std::string_view file) {
  const std::string_view meta = ChildBody(file, "meta");
  if (meta.size() < 4) return std::nullopt;
  const std::string_view boxes = meta.substr(4);  // past version and flags
  TBoxReader pitm{ChildBody(boxes, "pitm")};
  const uint64_t version = pitm.Number(1);
  pitm.Number(3);
  const uint64_t primary = pitm.Number(version == 0 ? 2 : 4);
  if (!pitm.ok) return std::nullopt;

  // The primary item must be of type "grid" or "iovl".
  TBoxReader iinf{ChildBody(boxes, "iinf")};
  const uint64_t iinfVersion = iinf.Number(1);
  iinf.Number(3);
  iinf.Number(iinfVersion == 0 ? 2 : 4);
  if (!iinf.ok) return std::nullopt;
  std::string_view type;
  TBox box;
  while (type.empty() && iinf.Next(box)) {
    if (box.Type != "infe") continue;
    TBoxReader infe{box.Body};
    const uint64_t infeVersion = infe.Number(1);
    infe.Number(3);
    if (infeVersion < 2) continue;
    const uint64_t id = infe.Number(infeVersion == 2 ? 2 : 4);
    infe.Number(2);  // protection index
    const std::string_view itemType = infe.Bytes(4);
    if (infe.ok && id == primary) type = itemType;
  }
  if (type != "grid" && type != "iovl") return std::nullopt;

  // Its data: the first extent of its location, in the file or in the "idat" box.
  TBoxReader iloc{ChildBody(boxes, "iloc")};
  const uint64_t ilocVersion = iloc.Number(1);
  iloc.Number(3);
  const uint64_t sizes = iloc.Number(2);
  const int offsetSize = static_cast<int>(sizes >> 12 & 15),
            lengthSize = static_cast<int>(sizes >> 8 & 15);
  const int baseSize = static_cast<int>(sizes >> 4 & 15);
  const int indexSize = ilocVersion == 1 || ilocVersion == 2 ? static_cast<int>(sizes & 15) : 0;
  const uint64_t count = iloc.Number(ilocVersion < 2 ? 2 : 4);
  for (uint64_t i = 0; i < count && iloc.ok; ++i) {
    const uint64_t id = iloc.Number(ilocVersion < 2 ? 2 : 4);
    const uint64_t method = ilocVersion == 1 || ilocVersion == 2 ? iloc.Number(2) & 15 : 0;
    iloc.Number(2);  // data reference index
    const uint64_t base = iloc.Number(baseSize);
    const uint64_t extents = iloc.Number(2);
    uint64_t offset = 0, length = 0;
    for (uint64_t e = 0; e < extents && iloc.ok; ++e) {
      iloc.Number(indexSize);
      const uint64_t o = iloc.Number(offsetSize), l = iloc.Number(lengthSize);
      if (e == 0) offset = base + o, length = l;
    }
    if (!iloc.ok || id != primary || extents == 0) continue;
    const std::string_view source = method == 1 ? ChildBody(boxes, "idat") : file;
    if (method > 1 || offset > source.size()) return std::nullopt;
    TBoxReader data{source.substr(offset, length == 0 ? std::string_view::npos : length)};
    data.Number(1);  // version
    const bool wide = (data.Number(1) & 1) != 0;
    data.Number(type == "grid" ? 2 : 8);  // rows and columns less one; the canvas colour
    const uint64_t width = data.Number(wide ? 4 : 2), height = data.Number(wide ? 4 : 2);
    if (!data.ok) return std::nullopt;
    return std::make_pair(width, height);
  }
  return std::nullopt;
}

}  // namespace

TOutputExtras HeifExtras(std::string_view file) {
  TOutputExtras out;
  TContext context = NewContext();
  if (heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr)
          .code)
    return out;
  heif_image_handle* primary = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &primary).code) return out;
  const THandle handle(primary, heif_image_handle_release);
  out.IccProfile = IccOf(handle.get());
  out.Exif = ExifOf(handle.get());
  out.Xmp = XmpOf(handle.get());
  return out;
}

TDecodedPicture DecodeHeif(std::string_view file, uint32_t background, int64_t maxPixels) {
  // A grid's image size property may understate the size its tiles are pasted into, which libheif
  // allocates whole before decoding: the grid's own size is held to the limit before libheif
  // sees the file.
  if (const auto grid = PrimaryGridSize(file);
      grid && static_cast<double>(grid->first) * static_cast<double>(grid->second) >
                  static_cast<double>(maxPixels))
    throw ERasterTooLarge(RasterTooLargeMessage(static_cast<int64_t>(grid->first),
                                                static_cast<int64_t>(grid->second), maxPixels));
  TContext context = NewContext();
  Check(
      heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr));
  const THandle handle = PrimaryImage(context.get());
  const int storedWidth = heif_image_handle_get_width(handle.get());
  const int storedHeight = heif_image_handle_get_height(handle.get());
  if (int64_t{storedWidth} * storedHeight > maxPixels || storedWidth < 0 || storedHeight < 0)
    throw ERasterTooLarge(RasterTooLargeMessage(storedWidth, storedHeight, maxPixels));

  TDecodedPicture out;
  out.Exif = ExifOf(handle.get());
  out.Icc = IccOf(handle.get());
  out.HadAlpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  const bool premultiplied = heif_image_handle_is_premultiplied_alpha(handle.get()) != 0;
  const bool wide = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
  const heif_chroma chroma =
      wide
          ? (out.HadAlpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
          : (out.HadAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);

  std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options*)> options(
      heif_decoding_options_alloc(), heif_decoding_options_free);
  if (!options) throw std::bad_alloc();
  options->ignore_transformations = 0;
  heif_image* decoded = nullptr;
  Check(heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, chroma, options.get()));
  const TImage image(decoded, heif_image_release);
  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (!plane || width <= 0 || height <= 0) throw ESourceFormatError("Damaged HEIF file: no pixels");
  CheckRasterSize(width, height);
  if (int64_t{width} * height > maxPixels)
    throw ERasterTooLarge(RasterTooLargeMessage(width, height, maxPixels));
  const int bits =
      wide ? heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) : 8;
  if (bits < 1 || bits > 16) throw ESourceFormatError("Damaged HEIF file: bad sample depth");
  const uint32_t top = (1u << bits) - 1;
  const int channels = out.HadAlpha ? 4 : 3;

  out.Picture = TRasterImage(width, height);
  const uint32_t bb = background >> 16 & 0xFF, bg = background >> 8 & 0xFF, br = background & 0xFF;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = plane + static_cast<ptrdiff_t>(stride) * y;
    uint8_t* q = out.Picture.ScanLine(y);
    if (!wide && !out.HadAlpha) {
      // The common case: the channels swapped, nothing else.
      for (int x = 0; x < width; ++x, p += 3, q += 3)
        q[0] = p[2], q[1] = p[1], q[2] = p[0];
      continue;
    }
    for (int x = 0; x < width; ++x, q += 3) {
      uint32_t c[4] = {0, 0, 0, 255};
      for (int k = 0; k < channels; ++k) {
        if (wide) {
          const uint32_t v = std::min<uint32_t>(p[0] | p[1] << 8, top);
          c[k] = (v * 255 + top / 2) / top;
          p += 2;
        } else {
          c[k] = *p++;
        }
      }
      if (c[3] != 255) {
        if (premultiplied) {
          c[0] = std::min<uint32_t>(255, c[0] + OverBackground(0, c[3], br));
          c[1] = std::min<uint32_t>(255, c[1] + OverBackground(0, c[3], bg));
          c[2] = std::min<uint32_t>(255, c[2] + OverBackground(0, c[3], bb));
        } else {
          c[0] = OverBackground(c[0], c[3], br);
          c[1] = OverBackground(c[1], c[3], bg);
          c[2] = OverBackground(c[2], c[3], bb);
        }
      }
      q[0] = static_cast<uint8_t>(c[2]);
      q[1] = static_cast<uint8_t>(c[1]);
      q[2] = static_cast<uint8_t>(c[0]);
    }
  }
  return out;
}

namespace {

// libheif reads the boxes a few bytes at a time: the file is read in blocks of 64 KB instead.
struct TFdReader {
  int fd;
  int64_t size;
  int64_t at = 0;
  std::vector<char> block = std::vector<char>(64 << 10);
  int64_t blockStart = 0;
  int64_t blockLength = 0;

  bool Read(char* out, size_t count) {
    if (count == 0) return true;  // libheif asks for nothing with a null buffer
    const auto n = static_cast<int64_t>(count);
    if (at < blockStart || at + n > blockStart + blockLength) {
      if (n > static_cast<int64_t>(block.size())) return ReadDirect(out, count);
      const ssize_t got = ::pread(fd, block.data(), block.size(), at);
      if (got < n) return false;
      blockStart = at;
      blockLength = got;
    }
    std::memcpy(out, block.data() + (at - blockStart), count);
    at += n;
    return true;
  }
  bool ReadDirect(char* out, size_t count) {
    size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(fd, out + done, count - done, at + static_cast<int64_t>(done));
      if (got <= 0) return false;
      done += static_cast<size_t>(got);
    }
    at += static_cast<int64_t>(count);
    return true;
  }
};

heif_reader FdReader() {
  heif_reader reader{};
  reader.reader_api_version = 1;
  reader.get_position = [](void* user) { return static_cast<TFdReader*>(user)->at; };
  reader.read = [](void* data, size_t size, void* user) {
    return static_cast<TFdReader*>(user)->Read(static_cast<char*>(data), size) ? 0 : 1;
  };
  reader.seek = [](int64_t position, void* user) {
    auto* r = static_cast<TFdReader*>(user);
    if (position < 0 || position > r->size) return 1;
    r->at = position;
    return 0;
  };
  reader.wait_for_file_size = [](int64_t target, void* user) {
    return target <= static_cast<TFdReader*>(user)->size ? heif_reader_grow_status_size_reached
                                                         : heif_reader_grow_status_size_beyond_eof;
  };
  return reader;
}

}  // namespace

// The size of the primary image, from the boxes before the pixel data of the open file fd.
TPictureSize HeifSizeOfFile(int fd, int64_t size) {
  TContext context = NewContext();
  TFdReader state{fd, size};
  const heif_reader reader = FdReader();
  Check(heif_context_read_from_reader(context.get(), &reader, &state, nullptr));
  const THandle handle = PrimaryImage(context.get());
  return {heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get())};
}

}  // namespace picaxo
