// The INI-based files at the sizes users reach: a profile index of 1000 names listed, and a
// macro action file of 10,000 records (about 1 MB) read. Each iteration reads from disk.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/macro/macro_file.h"
#include "core/profile/profile_store.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, removed at the end.
struct Scratch {
    fs::path dir;
    Scratch() {
        dir = fs::temp_directory_path() / ("vq-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

void ListThousandProfiles(benchmark::State& state) {
    Scratch scratch;
    vq::ProfileStore store(scratch.dir, scratch.dir);
    const auto folder = store.KindFolder(vq::DeviceKind::Mouse);
    if (!folder) {
        state.SkipWithError("no kind folder");
        return;
    }
    {
        std::ofstream index(store.IndexPath(vq::DeviceKind::Mouse), std::ios::binary);
        index << "[PROFILEDEVICECOUNT]\r\ncount=1000\r\n[PROFILEDEVICENAME]\r\n";
        for (int i = 0; i < 1000; ++i)
            index << i << "=profile number " << i << "\r\n";
        index << "[PROFILEDEVICESELECT]\r\nselect=0\r\n[PROFILELIKEDEVICEEXE]\r\n";
        for (int i = 0; i < 1000; ++i)
            index << i << "=0\r\n";
    }
    size_t names = 0;
    for (auto _ : state) {
        const vq::FamilyIndex index =
            store.ReadIndex(vq::DeviceKind::Mouse, vq::ProfileFamily::Device);
        names = index.names.size();
        benchmark::DoNotOptimize(index);
    }
    if (names != 1000) state.SkipWithError("the index did not list 1000 names");
    state.counters["names"] = static_cast<double>(names);
}
BENCHMARK(ListThousandProfiles)->Unit(benchmark::kMillisecond)->MinTime(0.5);

void ReadLargeMacroFile(benchmark::State& state) {
    Scratch scratch;
    const fs::path file = scratch.dir / "big.mac";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[MACROACTIONCOUNT]\r\ncount=10000\r\n[MACROSELECTNAME]\r\nname=big\r\n"
               "[MACROACTION]\r\n";
        for (int i = 0; i < 10000; ++i)
            out << i << "=" << (i * 7) % 256 << "," << (i % 3) << "," << (i % 2 ? 138 : 10) << ","
                << (4 + i % 40) << "," << (i % 2) << ",macro_text_key_label_number_" << (i % 97)
                << "_with_some_padding_to_reach_one_megabyte_in_all___\r\n";
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(file));
    size_t records = 0;
    for (auto _ : state) {
        const auto actions = vq::ReadActionFile(file);
        records = actions.size();
        benchmark::DoNotOptimize(actions);
    }
    if (records != 10000) state.SkipWithError("the file did not read as 10,000 records");
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(ReadLargeMacroFile)->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace
