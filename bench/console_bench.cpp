// The cost of one console line as a headless run prints it: the console
// picture, console.txt and the copy on standard output (sent to /dev/null
// here, so that the benchmark's own report stays readable).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ui/console.h"
#include "ui/fonts.h"

namespace ef2 {
namespace {

void BM_ConsolePrintLineHeadless(benchmark::State& state) {
    Fonts fonts;
    fonts.open(std::string(EF2_BUILD_DIR) + "/font.ttf");
    const std::string log = (std::filesystem::temp_directory_path() / "ef2-console-bench.txt").string();
    Console console;
    console.setFont(fonts.console());
    console.openLog(log, Confinement::None);
    console.setEchoToStdout(true);
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    int64_t number = 0;
    for (auto _ : state) console.print("line " + std::to_string(++number) + " of a runaway loop that prints");
    std::fflush(stdout);
    dup2(savedOut, STDOUT_FILENO);
    close(savedOut);
    close(devNull);
    // A frame shows the console once, whatever was printed since the last one.
    benchmark::DoNotOptimize(console.picture(true));
    std::filesystem::remove(log);
}
BENCHMARK(BM_ConsolePrintLineHeadless);

}  // namespace
}  // namespace ef2
