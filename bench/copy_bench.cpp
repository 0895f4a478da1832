// verlado's copy engine against cp on the same files in the same run: one
// 1 GiB file, and 5 000 files of 4 KiB.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "verlado_app/copy_engine.h"

namespace fs = std::filesystem;

namespace {
const fs::path& Work() {
  static const fs::path dir = [] {
    fs::path d = fs::path(BenchTempDir()) / "verlado-bench";
    fs::remove_all(d);
    fs::create_directories(d / "small");
    return d;
  }();
  return dir;
}

void WriteFile(const fs::path& path, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> chunk(std::min<std::size_t>(size, 1 << 20));
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = char(i * 31 + i / 4096);
  for (std::size_t done = 0; done < size; done += chunk.size())
    out.write(chunk.data(), std::streamsize(std::min(chunk.size(), size - done)));
}

// The copy list for the case; the sources are made once.
std::string ListFor(bool big) {
  const fs::path list = Work() / (big ? "big.lst" : "small.lst");
  if (fs::exists(list)) return list;
  std::vector<TCopyInfo> entries;
  if (big) {
    WriteFile(Work() / "big.bin", std::size_t(1) << 30);
    entries.push_back({Work() / "big.bin", Work() / "out-verlado" / "big.bin", 0});
  } else {
    for (int i = 0; i < 5000; ++i) {
      std::string name = "f";
      name += std::to_string(i);
      WriteFile(Work() / "small" / name, 4096);
      entries.push_back({Work() / "small" / name, Work() / "out-verlado" / "small" / name, 0});
    }
  }
  WriteCopyListFile(list.c_str(), entries);
  return list;
}

void BM_Verlado(benchmark::State& state) {
  const std::string list = ListFor(state.range(0) == 1);
  for (auto _ : state) {
    TCopyManager manager;
    manager.ReadCopyList(list.c_str());
    if (!manager.Run()) state.SkipWithError("copy failed");
    state.PauseTiming();
    fs::remove_all(Work() / "out-verlado");
    state.ResumeTiming();
  }
}

void BM_Cp(benchmark::State& state) {
  const bool big = state.range(0) == 1;
  ListFor(big);
  const std::string command = big ? "cp " + (Work() / "big.bin").string() + " " +
                                        (Work() / "out-cp").string() + "/"
                                  : "cp -r " + (Work() / "small").string() + " " +
                                        (Work() / "out-cp").string() + "/";
  for (auto _ : state) {
    state.PauseTiming();
    fs::create_directories(Work() / "out-cp");
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    state.PauseTiming();
    fs::remove_all(Work() / "out-cp");
    state.ResumeTiming();
  }
}

// Arg 1: one 1 GiB file; arg 0: 5 000 files of 4 KiB.
BENCHMARK(BM_Verlado)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Cp)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}  // namespace
