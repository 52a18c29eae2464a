#include "settings/picaxo_settings.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <limits>
#include <type_traits>
#include <variant>

#include "base/error.h"
#include "imaging/destination_parameters.h"

namespace picaxo {

namespace fs = std::filesystem;

namespace {

// One settings value of the record; its type decides how the key is stored.
using TFieldRef = std::variant<bool*, uint8_t*, int16_t*, int32_t*, uint32_t*, std::string*>;

// The default a read uses when the key is missing.
enum class TReadDefault {
  Current,        // the value in force, so a missing key changes nothing
  WorkingFolder,  // the folders
  Empty,          // CopyToDir: a folder from an earlier run is no use
  False,          // the batch flags start every run cleared
};

// How a value read is applied to the record.
enum class TApply {
  Plain,       // integers clamped to [Min, Max]
  RuleButton,  // one of the four resize rules, a radio group: true chooses it and clears the
               // others, false clears only this one (no other rule is chosen for it)
  Alignment,   // the low 7 bits; only 1 ... 9 choose an alignment
  FitSize,     // the Fit edits: a value above 0 replaces the size, any other is ignored
};

constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();

struct TSettingKey {
  std::string_view Name;
  TFieldRef (*Field)(TPicaxoSettings&);
  int32_t Min = kIntMin;  // integers: the accepted range; values read outside it are clamped
  int32_t Max = kIntMax;
  TReadDefault Default = TReadDefault::Current;
  TApply Apply = TApply::Plain;
  // A destination parameter: name, field and range are the parameter's.
  const TDestinationParameter* Parameter = nullptr;
};

#define PICAXO_FIELD(member) [](TPicaxoSettings& s) -> TFieldRef { return &s.member; }

// The key of a destination parameter (imaging/destination_parameters.h).
constexpr TSettingKey ResizeKey(std::string_view name, TApply apply = TApply::Plain) {
  const TDestinationParameter& parameter = DestinationParameter(name);
  return {parameter.Key,         nullptr, parameter.Min, parameter.Max,
          TReadDefault::Current, apply,   &parameter};
}

TFieldRef FieldOf(const TSettingKey& key, TPicaxoSettings& settings) {
  if (!key.Parameter) return key.Field(settings);
  return std::visit([](auto* field) -> TFieldRef { return field; },
                    key.Parameter->Field(settings.Resize));
}

// Every key after the placement keys, in the order the files hold them. Types and first-start
// values are those of the members of TPicaxoSettings.
constexpr TSettingKey kSettingKeys[] = {
    {"InputDir", PICAXO_FIELD(InputDir), kIntMin, kIntMax, TReadDefault::WorkingFolder},
    {"OutputDir", PICAXO_FIELD(OutputDir), kIntMin, kIntMax, TReadDefault::WorkingFolder},
    {"Zoom", PICAXO_FIELD(Zoom), 0, 5},
    ResizeKey("JpegQuality"),
    ResizeKey("ResizeEnabled"),
    ResizeKey("FixedLongerEnabled", TApply::RuleButton),
    ResizeKey("FixedAreaEnabled", TApply::RuleButton),
    ResizeKey("PercentEnabled", TApply::RuleButton),
    ResizeKey("FixedFitEnabled", TApply::RuleButton),
    ResizeKey("LongerPixels"),
    ResizeKey("AreaPixels"),
    ResizeKey("Percent"),
    ResizeKey("AllowEnlarge"),
    {"ViewAllowEnlargeInAutoMode", PICAXO_FIELD(ViewAllowEnlargeInAutoMode)},
    ResizeKey("FixedFitWidth", TApply::FitSize),
    ResizeKey("FixedFitHeight", TApply::FitSize),
    ResizeKey("PaddedFitEnabled"),
    ResizeKey("PaddedAlignment", TApply::Alignment),
    ResizeKey("PaddingColor"),
    {"RecursiveInput", PICAXO_FIELD(RecursiveInput)},
    {"LosslessRotate", PICAXO_FIELD(LosslessRotate)},
    ResizeKey("AlwaysRecompress"),
    {"CopyToDir", PICAXO_FIELD(CopyToDir), kIntMin, kIntMax, TReadDefault::Empty},
    {"ShowJobsList", PICAXO_FIELD(ShowJobsList)},
    {"JobsListWidth", PICAXO_FIELD(JobsListWidth), 0, kIntMax},
    {"JobsListColWidth0", PICAXO_FIELD(JobsListColWidths[0]), 0, kIntMax},
    {"JobsListColWidth1", PICAXO_FIELD(JobsListColWidths[1]), 0, kIntMax},
    {"JobsListColWidth2", PICAXO_FIELD(JobsListColWidths[2]), 0, kIntMax},
    {"NormalZoom", PICAXO_FIELD(NormalZoom), 0, 5},
    {"BatchJobOverwriteAll", PICAXO_FIELD(BatchJobOverwriteAll), 0, 0, TReadDefault::False},
    {"BatchJobOverwriteNone", PICAXO_FIELD(BatchJobOverwriteNone), 0, 0, TReadDefault::False},
    {"BatchJobCreateAllDirs", PICAXO_FIELD(BatchJobCreateAllDirs), 0, 0, TReadDefault::False},
    {"AutoOrient", PICAXO_FIELD(AutoOrient)},
    ResizeKey("ColorProfile"),
    ResizeKey("Metadata"),
    ResizeKey("OutputFormat"),
    {"BatchWorkers", PICAXO_FIELD(BatchWorkers), 0, 256},
};

#undef PICAXO_FIELD

// The order in which loading applies the keys. It differs from the writing order, which shows
// when an error ends a load part way: the keys after the failing one keep their values.
constexpr std::string_view kLoadOrder[] = {
    "InputDir",
    "OutputDir",
    "Zoom",
    "JpegQuality",
    "ResizeEnabled",
    "FixedLongerEnabled",
    "FixedAreaEnabled",
    "PercentEnabled",
    "FixedFitEnabled",
    "LongerPixels",
    "AreaPixels",
    "Percent",
    "FixedFitWidth",
    "FixedFitHeight",
    "PaddedFitEnabled",
    "PaddedAlignment",
    "PaddingColor",
    "AllowEnlarge",
    "NormalZoom",
    "ViewAllowEnlargeInAutoMode",
    "RecursiveInput",
    "LosslessRotate",
    "AlwaysRecompress",
    "CopyToDir",
    "JobsListWidth",
    "ShowJobsList",
    "JobsListColWidth0",
    "JobsListColWidth1",
    "JobsListColWidth2",
    "BatchJobOverwriteAll",
    "BatchJobOverwriteNone",
    "BatchJobCreateAllDirs",
    "AutoOrient",
    "ColorProfile",
    "Metadata",
    "OutputFormat",
    "BatchWorkers",
};
static_assert(std::size(kLoadOrder) == std::size(kSettingKeys));

const TSettingKey& KeyNamed(std::string_view name) {
  for (const TSettingKey& key : kSettingKeys) {
    if (key.Name == name) return key;
  }
  throw EPicaxoError("Unknown settings key " + std::string(name) + ".");
}

// Makes rule the one chosen rule of the radio group.
void ChooseRule(TResizeSettings& resize, bool* rule) {
  resize.FixedLongerEnabled = false;
  resize.FixedAreaEnabled = false;
  resize.PercentEnabled = false;
  resize.FixedFitEnabled = false;
  *rule = true;
}

// Stores an integer of any width as the 32-bit integer the files hold (PaddingColor keeps its
// bit pattern).
template <typename T>
int32_t ToStored(T value) {
  return static_cast<int32_t>(value);
}

void WriteKey(TSettingsStore& store, const TSettingKey& key, TPicaxoSettings& settings) {
  std::visit(
      [&](auto* field) {
        using T = std::remove_pointer_t<decltype(field)>;
        if constexpr (std::is_same_v<T, bool>) {
          store.WriteBool(kSettingsSection, key.Name, *field);
        } else if constexpr (std::is_same_v<T, std::string>) {
          store.WriteString(kSettingsSection, key.Name, *field);
        } else {
          int32_t value = ToStored(*field);
          // An alignment outside the nine buttons is written as the centre, none being chosen.
          if (key.Apply == TApply::Alignment && (value < key.Min || value > key.Max)) value = 5;
          store.WriteInteger(kSettingsSection, key.Name, value);
        }
      },
      FieldOf(key, settings));
}

void ReadKey(const TSettingsStore& store, const TSettingKey& key, TPicaxoSettings& settings,
             TMissingKeys missing) {
  const TReadDefault fallbackKind =
      missing == TMissingKeys::KeepCurrent ? TReadDefault::Current : key.Default;
  std::visit(
      [&](auto* field) {
        using T = std::remove_pointer_t<decltype(field)>;
        if constexpr (std::is_same_v<T, bool>) {
          const bool fallback = fallbackKind == TReadDefault::False ? false : *field;
          const bool value = store.ReadBool(kSettingsSection, key.Name, fallback);
          if (key.Apply == TApply::RuleButton && value) {
            ChooseRule(settings.Resize, field);
          } else {
            *field = value;
          }
        } else if constexpr (std::is_same_v<T, std::string>) {
          std::string fallback = *field;
          if (fallbackKind == TReadDefault::WorkingFolder) fallback = WorkingFolder();
          if (fallbackKind == TReadDefault::Empty) fallback.clear();
          *field = store.ReadString(kSettingsSection, key.Name, fallback);
        } else {
          const int32_t value = store.ReadInteger(kSettingsSection, key.Name, ToStored(*field));
          if (key.Apply == TApply::Alignment) {
            const int32_t alignment = value & 0x7F;
            if (alignment >= key.Min && alignment <= key.Max) *field = static_cast<T>(alignment);
          } else if (key.Apply == TApply::FitSize) {
            if (value > 0) *field = static_cast<T>(value);
          } else if constexpr (std::is_same_v<T, uint32_t>) {
            *field = static_cast<uint32_t>(value);
          } else {
            const int32_t low = std::max<int32_t>(key.Min, std::numeric_limits<T>::min());
            const int32_t high = std::min<int32_t>(key.Max, std::numeric_limits<T>::max());
            *field = static_cast<T>(std::clamp(value, low, high));
          }
        }
      },
      FieldOf(key, settings));
}

}  // namespace

std::string WorkingFolder() {
  std::error_code ec;
  std::string folder = fs::current_path(ec).string();
  if (ec || folder.empty()) {
    folder = fs::read_symlink("/proc/self/exe", ec).parent_path().string();
    if (ec || folder.empty()) folder = "/";
  }
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

void SaveSettings(TSettingsStore& store, const TPicaxoSettings& settings, const TRect& workArea) {
  SaveFormState(settings.MainWindow, store, kSettingsSection, kMainFormPrefix, kMainFormPlacement,
                workArea);
  TPicaxoSettings values = settings;  // the key table reaches members through a mutable record
  for (const TSettingKey& key : kSettingKeys)
    WriteKey(store, key, values);
}

void LoadSettings(const TSettingsStore& store, TPicaxoSettings& settings, const TRect& workArea,
                  TMissingKeys missing) {
  try {
    const TRect before = settings.MainWindow.Bounds;
    RestoreFormState(settings.MainWindow, store, kSettingsSection, kMainFormPrefix,
                     kMainFormPlacement, workArea);
    const auto has = [&](const char* word) {
      const std::string key = std::string(kMainFormPrefix) + word;
      return store.ReadInteger(kSettingsSection, key, kIntMin) != kIntMin;
    };
    if (missing == TMissingKeys::KeepCurrent && !(has("Top") && has("Left"))) {
      // A file without a position leaves the window where it is (the first start centres it).
      TRect& bounds = settings.MainWindow.Bounds;
      bounds = RectFromSize(before.Left, before.Top, bounds.Width(), bounds.Height());
    }
    for (std::string_view name : kLoadOrder)
      ReadKey(store, KeyNamed(name), settings, missing);
  } catch (const std::exception&) {
    // Settings errors are never shown; the keys read so far stay applied.
  }
}

void LoadRegistrySettings(TPicaxoSettings& settings, const TRect& workArea) {
  try {
    const TIniSettingsStore store = OpenUserSettingsStore();
    LoadSettings(store, settings, workArea, TMissingKeys::StartDefaults);
  } catch (const std::exception&) {
    // No per-user folder known: the settings stay as they are.
  }
}

void SaveRegistrySettings(const TPicaxoSettings& settings, const TRect& workArea) {
  try {
    TIniSettingsStore store = OpenUserSettingsStore();
    SaveSettings(store, settings, workArea);
    store.Flush();
  } catch (const std::exception&) {
    // An unwritable store loses this run's settings, never the file of the previous one.
  }
}

void LoadSettingsFile(const std::string& path, TPicaxoSettings& settings, const TRect& workArea) {
  const TIniSettingsStore store(path);
  store.CheckReadable();
  if (!store.FileExists()) throw EPicaxoError("The settings file \"" + path + "\" does not exist.");
  if (!store.HasSection(kSettingsSection))
    throw EPicaxoError("The file \"" + path + "\" holds no [" + std::string(kSettingsSection) +
                       "] section, so it is not a settings file.");
  LoadSettings(store, settings, workArea, TMissingKeys::KeepCurrent);
}

void SaveSettingsFile(const std::string& path, const TPicaxoSettings& settings,
                      const TRect& workArea) {
  TIniSettingsStore store(path);
  try {
    SaveSettings(store, settings, workArea);
  } catch (const EPicaxoError& e) {
    // Nothing has reached the disk yet: the old file stays as it was.
    throw EPicaxoError("The settings file \"" + path + "\" was not written. " + e.what());
  }
  store.Flush();
}

TResizeSettings LoadResizeSettingsFile(const std::string& path, const TResizeSettings& current) {
  TPicaxoSettings settings;
  settings.Resize = current;
  LoadSettingsFile(path, settings);
  return settings.Resize;
}

}  // namespace picaxo
