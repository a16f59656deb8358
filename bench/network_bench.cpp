// Remote control: how many short script lines per second the network poll
// runs, through one connection and through sixteen, and what a poll costs the
// frame loop when nothing arrives. Real sockets on loopback; the peers write
// from the benchmark's own thread, so their system calls count against the
// figure too.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/runtime.h"
#include "script/variables.h"

namespace ef2 {
namespace {

struct RemoteScene {
    explicit RemoteScene(int connections) {
        runtime.console.setEchoToStdout(false);
        runtime.interpreter.pushFrame(ParameterFrame{});
        runtime.network.listen({0, "127.0.0.1"});
        counter = runtime.variables.obtain("C", 0, true);
        for (int i = 0; i < connections; ++i) {
            int socket = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(runtime.network.port()));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
            peers.push_back(socket);
            while (runtime.network.openConnections() <= i) runtime.network.poll();
        }
    }
    ~RemoteScene() {
        for (int socket : peers) ::close(socket);
    }
    Runtime runtime;
    Variable* counter = nullptr;
    std::vector<int> peers;
};

// Each peer sends 1,000 lines of "INC C" per iteration; the iteration ends
// when all of them have run.
void BM_RemoteLines(benchmark::State& state) {
    const int connections = static_cast<int>(state.range(0));
    constexpr int kLinesPerPeer = 1000;
    RemoteScene scene(connections);
    std::string block;
    for (int line = 0; line < kLinesPerPeer; ++line) block += "INC C\n";
    for (auto _ : state) {
        const int32_t target = scene.counter->value + connections * kLinesPerPeer;
        for (int socket : scene.peers) ::send(socket, block.data(), block.size(), MSG_NOSIGNAL);
        while (scene.counter->value < target) scene.runtime.network.poll();
    }
    state.counters["lines_per_second"] =
        benchmark::Counter(connections * kLinesPerPeer, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RemoteLines)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);

// The frame loop polls once per redraw; with sixteen quiet peers connected.
void BM_PollWithNothingToRead(benchmark::State& state) {
    RemoteScene scene(16);
    for (auto _ : state) scene.runtime.network.poll();
}
BENCHMARK(BM_PollWithNothingToRead);

}  // namespace
}  // namespace ef2
