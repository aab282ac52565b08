// Reading the settings store as the player does at start, for stores of a
// growing number of values: the time per value must stay flat (linear in the
// file). The floor is a syntax check of the same text by the JSON library,
// run on the same file: "SettingsRead/N" over "JsonAccept/N" is the ratio.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/registry.h"
#include "settings/settings_store.h"

namespace {

namespace fs = std::filesystem;

constexpr int kValueCounts[] = {1000, 4000, 12000};

// A store whose saver key holds count values besides its own.
std::string StoreFile(int count) {
  static const fs::path folder = [] {
    std::string templ = (fs::temp_directory_path() / "bench-settings-XXXXXX").string();
    return fs::path(::mkdtemp(templ.data()));
  }();
  const fs::path path = folder / ("registry-" + std::to_string(count) + ".json");
  if (!fs::exists(path)) {
    saver::RegValues values;
    for (int i = 0; i < count; ++i) values.emplace_back("Value" + std::to_string(i), saver::RegValue::Dword(i));
    values.emplace_back("Seconds", saver::RegValue::Dword(9));
    saver::FileRegistry(path.string()).WriteValues(saver::SettingsKeyPath("Ocean Views"), values);
  }
  return path.string();
}

void SettingsRead(benchmark::State& st, int count) {
  saver::FileRegistry registry(StoreFile(count));
  for (auto _ : st) {
    saver::PayloadTrailer trailer;
    std::string effect;
    saver::ReadSettings(registry, "Ocean Views", trailer, effect);
    benchmark::DoNotOptimize(trailer.Seconds);
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * count);
}

void JsonAccept(benchmark::State& st, int count) {
  const std::string path = StoreFile(count);
  for (auto _ : st) {
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    benchmark::DoNotOptimize(nlohmann::json::accept(text));
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * count);
}

}  // namespace

int main(int argc, char** argv) {
  for (int count : kValueCounts) {
    const std::string n = "/" + std::to_string(count);
    benchmark::RegisterBenchmark(("JsonAccept" + n).c_str(), JsonAccept, count)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("SettingsRead" + n).c_str(), SettingsRead, count)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(fs::path(StoreFile(kValueCounts[0])).parent_path());
  return 0;
}
