// The step table of `make bench`: every scene of step_scenes.cpp, timed in CPU
// time of this thread as the median of several rounds (taken in turn across
// the scenes), beside a reference figure measured in the same run (one draw of the
// program's random generator, a serial chain of a multiply and an add). The ratio
// of a scene to the reference compares across machines and loads far better than nanoseconds.
//
//   ef2_step_table [--rounds N] [--seconds S] [--only KEY,KEY] [--cpu MODEL]
//                  [--results FILE] [--quote FILE] [--committed FILE] [--no-pin]
//     Each round runs on the core that ran a short probe fastest just before
//     (a shared machine's cores do not run alike); --no-pin leaves the thread
//     wherever the system puts it.
//   ef2_step_table --scene KEY --steps N      one scene, no timing: prints its checksum
//                                             (under callgrind with --collect-atstart=no,
//                                             only the N steps are counted)
//   ef2_step_table --checksums                every scene's checksum after a fixed run
//
// A scene whose ratio is more than 20 % above the committed table's is flagged
// with a warning; the exit status stays 0.

#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define EF2_CALLGRIND_TOGGLE() CALLGRIND_TOGGLE_COLLECT
#else
#define EF2_CALLGRIND_TOGGLE()
#endif

#include "app/program.h"
#include "step_scenes.h"
#include "world/random.h"

namespace ef2::bench {
namespace {

constexpr double kWorseThreshold = 1.2;

struct Options {
    int rounds = 5;
    double seconds = 0.25;
    std::vector<std::string> only;
    std::string cpu = "unknown CPU";
    std::string results;
    std::string quote;
    std::string committed;
    std::string scene;
    int steps = 0;
    bool checksums = false;
    bool pin = true;
};

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nanoseconds per draw of the generator. Each draw depends on the one before,
// so this is the latency of a multiply and an add: it follows the clock speed
// the step runs at, and nothing else.
double referenceNanoseconds() {
    constexpr int kDraws = 20'000'000;
    Random random;
    random.seed(12345);
    uint32_t sum = 0;
    double started = threadSeconds();
    for (int i = 0; i < kDraws; ++i) sum += static_cast<uint32_t>(random.next());
    double seconds = threadSeconds() - started;
    asm volatile("" : : "r"(sum));
    return seconds * 1e9 / kDraws;
}

// Seconds per step, over at least `minimum` seconds of steps.
double timeRound(SceneRun& run, double minimum) {
    double total = 0;
    int64_t steps = 0;
    int batch = 1;
    while (total < minimum) {
        run.restoreIfDue();
        double started = threadSeconds();
        int ran = run.run(batch);
        double seconds = threadSeconds() - started;
        total += seconds;
        steps += ran;
        if (seconds < minimum / 8) batch = std::min(batch * 2, 1 << 20);
    }
    return total / static_cast<double>(steps);
}

// On a shared machine one core may run at half speed for a minute while a
// neighbour keeps its sibling busy, and which core that is changes. Before each
// round the table times a short probe on every core it may use and takes the
// round on the fastest one.
class CorePicker {
public:
    CorePicker() {
        if (sched_getaffinity(0, sizeof allowed_, &allowed_) != 0) return;
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &allowed_)) cpus_.push_back(cpu);
        }
        const StepScene* scene = findStepScene("sand-moving");
        if (cpus_.size() > 1 && scene) probe_ = std::make_unique<SceneRun>(*scene);
    }
    ~CorePicker() { sched_setaffinity(0, sizeof allowed_, &allowed_); }

    // Pins the thread to the core that ran the probe fastest; returns it, or
    // -1 when there is no choice to make.
    int pinFastest() {
        if (!probe_) return -1;
        int best = -1;
        double bestSeconds = 0;
        for (int cpu : cpus_) {
            if (!pin(cpu)) continue;
            timeRound(*probe_, 0.01);
            double seconds = timeRound(*probe_, 0.04);
            if (best < 0 || seconds < bestSeconds) {
                best = cpu;
                bestSeconds = seconds;
            }
        }
        if (best >= 0) pin(best);
        ++picks_[best];
        return best;
    }

    // "core 0 in 3 rounds, core 1 in 6", or "" when nothing was pinned.
    std::string summary() const {
        std::string text;
        for (const auto& [cpu, rounds] : picks_) {
            if (cpu < 0) continue;
            if (!text.empty()) text += ", ";
            text += "core " + std::to_string(cpu) + " in " + std::to_string(rounds) +
                    (rounds == 1 ? " round" : " rounds");
        }
        return text;
    }

private:
    static bool pin(int cpu) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return sched_setaffinity(0, sizeof one, &one) == 0;
    }

    cpu_set_t allowed_{};
    std::vector<int> cpus_;
    std::unique_ptr<SceneRun> probe_;
    std::map<int, int> picks_;
};

int checksumSteps(const StepScene& scene) {
    return scene.size > 1000 ? 20 : 200;
}

uint64_t checksumAfter(const StepScene& scene, int steps) {
    SceneRun run(scene);
    for (int done = 0; done < steps;) {
        run.restoreIfDue();
        done += run.run(steps - done);
    }
    return worldChecksum(run.runtime().world);
}

struct Row {
    const StepScene* scene;
    double nsPerCell;
    double stepsPerSecond;
    double ratio;
    uint64_t checksum;
};

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string today() {
    std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d", std::localtime(&now));
    return text;
}

std::string sizeText(int size) {
    return std::to_string(size) + "²";
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// Ratios of the committed table, by row label and size.
std::map<std::string, double> committedRatios(const std::string& path) {
    std::map<std::string, double> ratios;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, '|')) {
            std::size_t first = cell.find_first_not_of(' '), last = cell.find_last_not_of(' ');
            cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
        }
        // "| scene | size | ns | steps/s | ratio |" splits into 6 fields, the first empty.
        if (cells.size() < 6 || !cells[0].empty()) continue;
        char* end = nullptr;
        double ratio = std::strtod(cells[5].c_str(), &end);
        if (end != cells[5].c_str() && ratio > 0) ratios[cells[1] + "|" + cells[2]] = ratio;
    }
    return ratios;
}

std::string table(const std::vector<Row>& rows, double reference) {
    std::ostringstream out;
    out << "| scene | world | ns per cell-step | steps/s | ratio to reference |\n";
    out << "|---|---|---|---|---|\n";
    for (const Row& row : rows) {
        out << "| " << row.scene->title << " | " << sizeText(row.scene->size) << " | "
            << format("%.3f", row.nsPerCell) << " | " << format("%.0f", row.stepsPerSecond) << " | "
            << format("%.3f", row.ratio) << " |\n";
    }
    out << "| reference: one draw of the random generator (serial chain) | – | " << format("%.3f", reference)
        << " ns per draw | – | 1 |\n";
    return out.str();
}

int runTable(const Options& options) {
    std::string loadBefore = loadAverage();
    std::map<std::string, double> committed = committedRatios(options.committed);
    std::vector<Row> rows;
    std::vector<double> allReferences;
    std::vector<std::string> warnings;
    // The rounds go round the scenes (round 1 of every scene, then round 2, ...),
    // so that a spell in which the machine runs slower, as a shared machine
    // does for half a minute at a time, reaches every scene's rounds alike
    // instead of the scenes measured during it.
    struct Measured {
        const StepScene* scene;
        std::unique_ptr<SceneRun> run;
        std::vector<double> seconds, ratios;
    };
    std::vector<Measured> measured;
    for (const StepScene& scene : stepScenes()) {
        if (!options.only.empty() &&
            std::find(options.only.begin(), options.only.end(), scene.key) == options.only.end()) {
            continue;
        }
        measured.push_back({&scene, std::make_unique<SceneRun>(scene), {}, {}});
    }
    CorePicker cores;
    for (int round = 0; round < options.rounds; ++round) {
        if (options.pin) cores.pinFastest();
        for (Measured& entry : measured) {
            SceneRun& run = *entry.run;
            timeRound(run, options.seconds / 8);  // brings the scene back into the caches
            double reference = referenceNanoseconds();
            double perStep = timeRound(run, options.seconds);
            allReferences.push_back(reference);
            entry.seconds.push_back(perStep);
            entry.ratios.push_back(perStep * 1e9 / static_cast<double>(run.cellsPerStep()) / reference);
        }
    }
    for (Measured& entry : measured) {
        const StepScene& scene = *entry.scene;
        double perStep = median(entry.seconds);
        Row row{&scene, perStep * 1e9 / static_cast<double>(entry.run->cellsPerStep()), 1 / perStep,
                median(entry.ratios), checksumAfter(scene, checksumSteps(scene))};
        std::printf("%-55s %6s %8.3f ns/cell-step %9.0f steps/s  ratio %7.3f\n", scene.title.c_str(),
                    sizeText(scene.size).c_str(), row.nsPerCell, row.stepsPerSecond, row.ratio);
        std::fflush(stdout);
        auto previous = committed.find(scene.title + "|" + sizeText(scene.size));
        if (previous != committed.end() && row.ratio > previous->second * kWorseThreshold) {
            warnings.push_back("warning: " + scene.title + " (" + sizeText(scene.size) + ") ratio " +
                               format("%.3f", row.ratio) + " is more than 20 % above the committed " +
                               format("%.3f", previous->second));
        }
        rows.push_back(row);
    }
    double reference = median(allReferences);
    std::printf("%-55s %6s %8.3f ns per draw\n", "reference: one draw of the random generator", "",
                reference);
    for (const std::string& warning : warnings) std::printf("%s\n", warning.c_str());

    std::ostringstream quote;
    quote << "Measured with `make bench` on " << today() << ", " << options.cpu << " ("
          << "load average " << loadBefore << " before the run, " << loadAverage()
          << " after), release build (`-O2`), one core: "
          << "CPU time of the measuring thread, median of " << options.rounds << " rounds of at least "
          << format("%.2f", options.seconds) << " s per scene"
          << (cores.summary().empty()
                  ? std::string()
                  : ", each round on the core that ran a short probe fastest (" + cores.summary() + ")")
          << ".\n\n"
          << table(rows, reference);
    if (!options.quote.empty()) std::ofstream(options.quote) << quote.str();
    if (!options.results.empty()) {
        std::ofstream out(options.results);
        out << "# Physics step benchmarks\n\n"
            << "Generated by `make bench` (scripts/bench.sh runs build/bench/ef2_step_table); do not "
               "edit.\n\n"
            << quote.str() << "\n"
            << "The ratio is the scene's time per cell-step over the reference measured beside it; "
            << "compare ratios, not nanoseconds, between machines or runs under load.\n\n"
            << "Checksums of the world after a fixed run (200 steps at 420², 20 at 4096²; the same "
            << "FNV-1a as `--bench`): a change means the physics changed.\n\n"
            << "| scene | world | checksum |\n|---|---|---|\n";
        for (const Row& row : rows) {
            char text[20];
            std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(row.checksum));
            out << "| " << row.scene->title << " | " << sizeText(row.scene->size) << " | " << text << " |\n";
        }
        for (const std::string& warning : warnings) out << "\n" << warning << "\n";
    }
    return 0;
}

int runOneScene(const Options& options) {
    const StepScene* scene = findStepScene(options.scene);
    if (!scene) {
        std::fprintf(stderr, "ef2_step_table: no scene \"%s\"\n", options.scene.c_str());
        return 2;
    }
    // Under `valgrind --tool=callgrind --collect-atstart=no` only the steps
    // count, not the building of the scene or its warm-up.
    SceneRun run(*scene);
    for (int done = 0; done < options.steps;) {
        run.restoreIfDue();
        EF2_CALLGRIND_TOGGLE();
        done += run.run(options.steps - done);
        EF2_CALLGRIND_TOGGLE();
    }
    std::printf("%s %d steps %016llx\n", scene->key.c_str(), options.steps,
                static_cast<unsigned long long>(worldChecksum(run.runtime().world)));
    return 0;
}

int runChecksums() {
    for (const StepScene& scene : stepScenes()) {
        std::printf("%-20s %5d steps  %016llx\n", scene.key.c_str(), checksumSteps(scene),
                    static_cast<unsigned long long>(checksumAfter(scene, checksumSteps(scene))));
        std::fflush(stdout);
    }
    return 0;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) items.push_back(item);
    return items;
}

}  // namespace
}  // namespace ef2::bench

int main(int argc, char** argv) {
    using namespace ef2::bench;
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool hasValue = i + 1 < argc;
        if (argument == "--checksums") {
            options.checksums = true;
        } else if (argument == "--no-pin") {
            options.pin = false;
        } else if (hasValue && argument == "--rounds") {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (hasValue && argument == "--seconds") {
            options.seconds = std::max(0.01, std::atof(argv[++i]));
        } else if (hasValue && argument == "--only") {
            options.only = splitList(argv[++i]);
        } else if (hasValue && argument == "--cpu") {
            options.cpu = argv[++i];
        } else if (hasValue && argument == "--results") {
            options.results = argv[++i];
        } else if (hasValue && argument == "--quote") {
            options.quote = argv[++i];
        } else if (hasValue && argument == "--committed") {
            options.committed = argv[++i];
        } else if (hasValue && argument == "--scene") {
            options.scene = argv[++i];
        } else if (hasValue && argument == "--steps") {
            options.steps = std::max(0, std::atoi(argv[++i]));
        } else {
            std::fprintf(
                stderr,
                "ef2_step_table: unknown argument \"%s\" (see the comment at the top of step_table.cpp)\n",
                argument.c_str());
            return 2;
        }
    }
    if (!options.scene.empty()) return runOneScene(options);
    if (options.checksums) return runChecksums();
    return runTable(options);
}
