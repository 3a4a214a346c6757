// Cost of the settings store at start and close: reading and writing every setting through the
// locked, atomically replaced store file, and parsing a larger store.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/Settings.h"
#include "platform/RegFile.h"

namespace {

struct Store {
  std::string dir;
  quil::TSettingsContext ctx;
  Store() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/quil-bench-XXXXXX";
    dir = mkdtemp(tmpl.data());
    ctx.RegistryFile = dir + "/registry.reg";
    ctx.ProgramFile = "/usr/bin/quillet";
  }
  ~Store() { std::filesystem::remove_all(dir); }
};

void BM_LoadSettings(benchmark::State& state) {
  Store store;
  quil::TSettings s;
  quil::LoadSettings(s, store.ctx);  // first run writes the store
  for (auto _ : state) benchmark::DoNotOptimize(quil::LoadSettings(s, store.ctx));
}
BENCHMARK(BM_LoadSettings);

void BM_SaveSettings(benchmark::State& state) {
  Store store;
  quil::TSettings s = quil::DefaultSettings(store.ctx);
  for (auto _ : state) benchmark::DoNotOptimize(quil::SaveSettings(s, store.ctx));
}
BENCHMARK(BM_SaveSettings);

void BM_ParseStore(benchmark::State& state) {
  quil::TRegTree tree;
  for (int k = 0; k < 10; ++k) {
    std::string key = "HKEY_CURRENT_USER\\Software\\Quillet\\K" + std::to_string(k);
    for (int v = 0; v < state.range(0) / 10; ++v) {
      quil::TRegValue val;
      val.Name = "value " + std::to_string(v);
      val.Type = v % 2 ? quil::rdString : quil::rdInteger;
      val.Data = "/home/ann/Some \"folder\"/" + std::to_string(v);
      val.Number = static_cast<uint32_t>(v);
      tree.SetValue(key, val);
    }
  }
  std::string text = quil::FormatRegFile(tree);
  for (auto _ : state) benchmark::DoNotOptimize(quil::ParseRegFile(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseStore)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
