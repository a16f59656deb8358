// Loading the script of a web page whose code sits in thousands of table
// cells (the layout of a code listing with line numbers).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/runtime.h"
#include "io/script_file.h"
#include "io/web_page.h"

namespace ef2 {
namespace {

std::string pageOfCells(int cells) {
    std::string page = "<html><body><table>\n";
    for (int i = 0; i < cells; ++i) {
        page += "<tr><td class=\"num\">" + std::to_string(i + 1) + "</td><td class=\"code\">SET A" +
                std::to_string(i) + " &#40;B &amp;lt; " + std::to_string(i) +
                "&#41; &quot;x&quot;</td></tr>\n";
    }
    return page + "</table></body></html>\n";
}

void BM_WebPageTableCells(benchmark::State& state) {
    const std::string page = pageOfCells(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto runtime = std::make_unique<Runtime>();
        state.ResumeTiming();
        const bool whole = forEachCodeBlock(
            page, [&](std::string_view content) { parseLinesOf(*runtime, content, 0, "page.html"); });
        benchmark::DoNotOptimize(whole);
        benchmark::DoNotOptimize(runtime->variables.find("A0"));
        state.PauseTiming();
        runtime.reset();
        state.ResumeTiming();
    }
    state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_WebPageTableCells)->Arg(1000)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ef2
