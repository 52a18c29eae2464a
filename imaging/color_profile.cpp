#include "imaging/color_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <list>
#include <mutex>
#include <utility>

namespace picaxo {

namespace {

constexpr std::string_view kIccId{"ICC_PROFILE\0", 12};
constexpr size_t kIccChunkData = 65533 - 14;  // payload less identifier, number and count
constexpr size_t kIccHeaderSize = 128;

// Little CMS reports refused profiles through a process-wide handler; its messages are not ours
// to print.
void SilenceLittleCms() {
  static std::once_flag once;
  std::call_once(once, [] { cmsSetLogErrorHandler(nullptr); });
}

struct TProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using TProfile = std::unique_ptr<void, TProfileCloser>;

class TLcmsTransform final : public TColorTransform {
 public:
  TLcmsTransform(cmsHTRANSFORM direct, cmsHTRANSFORM inverted, bool cmyk)
      : direct_(direct), inverted_(inverted), cmyk_(cmyk) {}
  ~TLcmsTransform() override {
    if (direct_) cmsDeleteTransform(direct_);
    if (inverted_) cmsDeleteTransform(inverted_);
  }
  TLcmsTransform(const TLcmsTransform&) = delete;
  TLcmsTransform& operator=(const TLcmsTransform&) = delete;

  void ConvertBgr(uint8_t* pixels, int count) const override {
    if (count > 0 && !cmyk_)
      cmsDoTransform(direct_, pixels, pixels, static_cast<cmsUInt32Number>(count));
  }
  void ConvertCmyk(const uint8_t* cmyk, uint8_t* bgr, int count, bool inverted) const override {
    if (count > 0 && cmyk_)
      cmsDoTransform(inverted ? inverted_ : direct_, cmyk, bgr,
                     static_cast<cmsUInt32Number>(count));
  }
  bool Cmyk() const override { return cmyk_; }

 private:
  cmsHTRANSFORM direct_;
  cmsHTRANSFORM inverted_;
  bool cmyk_;
};

// Whether converting through transform (RGB in, RGB out, 8 bits) leaves every colour of the
// 16 x 16 x 16 grid within one level.
bool NearIdentity(cmsHTRANSFORM transform) {
  std::vector<uint8_t> in, out(16 * 16 * 16 * 3);
  in.reserve(out.size());
  for (int r = 0; r < 16; ++r)
    for (int g = 0; g < 16; ++g)
      for (int b = 0; b < 16; ++b) {
        in.push_back(static_cast<uint8_t>(b * 17));
        in.push_back(static_cast<uint8_t>(g * 17));
        in.push_back(static_cast<uint8_t>(r * 17));
      }
  cmsDoTransform(transform, in.data(), out.data(), 16 * 16 * 16);
  for (size_t i = 0; i < in.size(); ++i)
    if (std::abs(int{in[i]} - int{out[i]}) > 1) return false;
  return true;
}

// One made transform per profile (and pixel kind); null stands for "sRGB, nothing to do".
struct TCacheEntry {
  std::string Key;
  std::shared_ptr<const TColorTransform> Transform;
  std::string Problem;  // set when the profile cannot be used
};

TCacheEntry MakeEntry(const std::string& data, TDecodedColors colors) {
  SilenceLittleCms();
  TCacheEntry entry;
  TProfile source(cmsOpenProfileFromMem(data.data(), static_cast<cmsUInt32Number>(data.size())));
  if (!source) {
    entry.Problem = "the colour profile cannot be read";
    return entry;
  }
  const cmsColorSpaceSignature space = cmsGetColorSpace(source.get());
  const bool cmyk = colors == TDecodedColors::Cmyk;
  if (colors == TDecodedColors::Gray) return entry;  // one-channel pictures stay as they are
  if ((cmyk && space != cmsSigCmykData) || (!cmyk && space != cmsSigRgbData)) {
    entry.Problem = "the colour profile does not fit the picture's colours";
    return entry;
  }
  TProfile srgb(cmsCreate_sRGBProfile());
  const cmsUInt32Number flags = cmyk ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0;
  cmsHTRANSFORM direct = cmsCreateTransform(source.get(), cmyk ? TYPE_CMYK_8 : TYPE_BGR_8,
                                            srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, flags);
  if (!direct) {
    entry.Problem = "the colour profile cannot be used";
    return entry;
  }
  cmsHTRANSFORM inverted = nullptr;
  if (cmyk) {
    inverted = cmsCreateTransform(source.get(), TYPE_CMYK_8_REV, srgb.get(), TYPE_BGR_8,
                                  INTENT_PERCEPTUAL, flags);
    if (!inverted) {
      cmsDeleteTransform(direct);
      entry.Problem = "the colour profile cannot be used";
      return entry;
    }
  }
  auto transform = std::make_shared<TLcmsTransform>(direct, inverted, cmyk);
  if (!cmyk && NearIdentity(direct)) return entry;  // sRGB
  entry.Transform = std::move(transform);
  return entry;
}

// The few profiles of the last photos: a folder of one camera's photos makes its transform once.
TCacheEntry CachedEntry(const std::string& data, TDecodedColors colors) {
  static std::mutex mutex;
  static std::list<TCacheEntry> cache;
  constexpr size_t kCacheSize = 8;
  std::string key = data;
  key += static_cast<char>(colors);
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = cache.begin(); it != cache.end(); ++it)
      if (it->Key == key) {
        cache.splice(cache.begin(), cache, it);
        return cache.front();
      }
  }
  TCacheEntry entry = MakeEntry(data, colors);
  entry.Key = std::move(key);
  std::lock_guard<std::mutex> lock(mutex);
  cache.push_front(entry);
  if (cache.size() > kCacheSize) cache.pop_back();
  return entry;
}

}  // namespace

TIccProfile AssembleIccProfile(const std::vector<TJpegSegment>& segments) {
  TIccProfile profile;
  std::vector<std::string_view> chunks;
  int count = -1;
  bool consistent = true;
  for (const TJpegSegment& s : segments) {
    if (s.Marker != 0xE2 || !PayloadStartsWith(s.Payload, kIccId)) continue;
    if (s.Payload.size() < kIccId.size() + 2) {
      consistent = false;
      continue;
    }
    const int number = static_cast<uint8_t>(s.Payload[kIccId.size()]);
    const int total = static_cast<uint8_t>(s.Payload[kIccId.size() + 1]);
    if (count < 0) {
      count = total;
      chunks.assign(static_cast<size_t>(total), std::string_view());
    }
    if (total != count || number < 1 || number > count || chunks[number - 1].data()) {
      consistent = false;
      continue;
    }
    chunks[static_cast<size_t>(number - 1)] = s.Payload.substr(kIccId.size() + 2);
  }
  if (count < 0) return profile;
  profile.State = TIccProfile::TState::Broken;
  if (!consistent || count == 0 ||
      std::any_of(chunks.begin(), chunks.end(), [](std::string_view c) { return !c.data(); })) {
    profile.Problem = "its chunks are missing or inconsistent";
    return profile;
  }
  for (std::string_view chunk : chunks)
    profile.Data.append(chunk);
  size_t declared = 0;
  if (profile.Data.size() >= kIccHeaderSize)
    for (int i = 0; i < 4; ++i)
      declared = (declared << 8) | static_cast<uint8_t>(profile.Data[static_cast<size_t>(i)]);
  if (profile.Data.size() < kIccHeaderSize || declared < kIccHeaderSize ||
      declared > profile.Data.size()) {
    profile.Data.clear();
    profile.Problem = "it is truncated";
    return profile;
  }
  profile.Data.resize(declared);
  profile.State = TIccProfile::TState::Present;
  return profile;
}

std::shared_ptr<const TColorTransform> ColorTransformFor(const TIccProfile& profile,
                                                         TDecodedColors colors,
                                                         std::string* warning) {
  if (profile.State == TIccProfile::TState::Absent) return nullptr;
  if (profile.State == TIccProfile::TState::Broken) {
    if (warning) *warning = "the colour profile was ignored: " + profile.Problem;
    return nullptr;
  }
  TCacheEntry entry = CachedEntry(profile.Data, colors);
  if (!entry.Problem.empty() && warning) *warning = entry.Problem + "; it was ignored";
  return entry.Transform;
}

bool IsSrgbProfile(std::string_view profile) {
  TIccProfile p;
  p.State = TIccProfile::TState::Present;
  p.Data = std::string(profile);
  const TCacheEntry entry = CachedEntry(p.Data, TDecodedColors::Rgb);
  return entry.Problem.empty() && !entry.Transform;
}

std::string IccProfileSegments(std::string_view profile) {
  const size_t count = (profile.size() + kIccChunkData - 1) / kIccChunkData;
  if (count == 0 || count > 255) return {};
  std::string segments;
  for (size_t i = 0; i < count; ++i) {
    std::string payload(kIccId);
    payload += static_cast<char>(i + 1);
    payload += static_cast<char>(count);
    payload.append(profile.substr(i * kIccChunkData, kIccChunkData));
    segments += MakeSegment(0xE2, payload);
  }
  return segments;
}

std::shared_ptr<const TColorTransform> SourceColorTransform(std::string_view file,
                                                            TColorProfilePolicy policy,
                                                            std::string* warning) {
  if (policy != TColorProfilePolicy::Convert) return nullptr;
  const std::vector<TJpegSegment> segments = ReadJpegSegments(file);
  const int components = JpegComponentCount(segments);
  const TDecodedColors colors = components == 4   ? TDecodedColors::Cmyk
                                : components == 1 ? TDecodedColors::Gray
                                                  : TDecodedColors::Rgb;
  return ColorTransformFor(AssembleIccProfile(segments), colors, warning);
}

}  // namespace picaxo
