#pragma once
// The main() of the window benchmarks: the offscreen platform unless another is chosen, a
// settings folder of their own, and the freed-photo memory kept as the program keeps it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ui/application.h"

namespace picaxo::bench {

inline int RunWindowBenchmarks(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The window keeps its settings per user: not the user's own while measuring.
  const std::filesystem::path config = std::filesystem::temp_directory_path() /
                                       ("picaxo_bench_config_" + std::to_string(::getpid()));
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  KeepFreedPhotoMemory();  // as the program does at start-up
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(config, ec);
  return 0;
}

}  // namespace picaxo::bench
