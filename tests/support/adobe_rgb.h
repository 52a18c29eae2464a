#pragma once
// An Adobe RGB (1998) profile made with Little CMS, so that a source's true colours are known.
#include <lcms2.h>

#include <string>

namespace picaxo::testing {

inline cmsHPROFILE CreateAdobeRgb() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  return profile;
}

inline std::string SaveProfile(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string data(size, '\0');
  cmsSaveProfileToMem(profile, data.data(), &size);
  return data;
}

// The profile's bytes, as a file embeds them.
inline std::string AdobeRgbProfileBytes() {
  cmsHPROFILE profile = CreateAdobeRgb();
  std::string data = SaveProfile(profile);
  cmsCloseProfile(profile);
  return data;
}

}  // namespace picaxo::testing
