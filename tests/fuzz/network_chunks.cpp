// Bytes a peer sends, cut into chunks of the sizes the input's first byte
// chooses, through a socket pair into a fresh runtime's network: line
// assembly, the first-line checks, the limits, and the lines run as a
// peer's script (its own blocks, its refused statements).

#include <sys/socket.h>
#include <unistd.h>

#include "app/exit_request.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return ef2::fuzz::initialize(true);
}

namespace {

void drain(int socket) {
    char sink[4096];
    while (recv(socket, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    ef2::fuzz::clearScratchFolder();
    auto runtime = ef2::fuzz::freshRuntime();
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
    const int peer = ends[1];
    if (runtime->network.adopt(ends[0]) == 0) {
        close(peer);
        return 0;
    }
    const unsigned cut = data[0] % 64 + 1;  // 1 to 64 bytes a chunk
    std::size_t at = 1;
    try {
        while (at < size && runtime->network.openConnections() > 0) {
            const std::size_t length = std::min<std::size_t>(cut, size - at);
            if (send(peer, data + at, length, MSG_NOSIGNAL) < 0) break;
            at += length;
            runtime->network.poll();
            drain(peer);
        }
        shutdown(peer, SHUT_WR);
        for (int round = 0; round < 4 && runtime->network.openConnections() > 0; ++round) {
            runtime->network.poll();
            drain(peer);
        }
    } catch (const ef2::ExitRequest&) {
        // A peer's EXIT ends the run.
    }
    close(peer);
    return 0;
}
