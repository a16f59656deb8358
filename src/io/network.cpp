#include "io/network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>  // getaddrinfo_a is a GNU extension
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

namespace ef2 {

namespace {

constexpr std::string_view kGreeting = "Emberfall2";
constexpr int kListenBacklog = 64;
constexpr unsigned char kTlsHandshake = 0x16;

bool setNonBlocking(int socket) {
    int flags = fcntl(socket, F_GETFL, 0);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

void closeSocket(int socket) {
    if (socket >= 0) ::close(socket);
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool isLoopback(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        return (ntohl(v4.sin_addr.s_addr) >> 24) == 127;
    }
    if (address.ss_family == AF_INET6) {
        auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr)) return true;
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) return v6.sin6_addr.s6_addr[12] == 127;
    }
    return false;
}

// The local machine's own address, as "localhost" resolves: 127.0.0.1 or ::1
// (or 127.0.0.1 mapped into IPv6 on a dual-stack listener).
bool isLocalAddress(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr == htonl(INADDR_LOOPBACK);
    }
    if (address.ss_family == AF_INET6) {
        auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr)) return true;
        static const unsigned char mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1};
        return std::memcmp(v6.sin6_addr.s6_addr, mapped, 16) == 0;
    }
    return false;
}

// An address and port as the kernel writes them in /proc/net/tcp and tcp6:
// the address's 32-bit words in host order as hex, then the port in hex.
std::string procNetKey(const sockaddr_storage& address) {
    char text[64] = {};
    if (address.ss_family == AF_INET) {
        auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        std::snprintf(text, sizeof text, "%08X:%04X", v4.sin_addr.s_addr, ntohs(v4.sin_port));
    } else {
        auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        uint32_t words[4];
        std::memcpy(words, v6.sin6_addr.s6_addr, sizeof words);
        std::snprintf(text, sizeof text, "%08X%08X%08X%08X:%04X", words[0], words[1], words[2], words[3],
                      ntohs(v6.sin6_port));
    }
    return text;
}

// The user owning the socket whose local end is `address`, looked up in the
// kernel's socket tables; nothing when no such socket is listed.
std::optional<long> socketOwner(const sockaddr_storage& address) {
    const std::string key = procNetKey(address);
    const char* table = address.ss_family == AF_INET ? "/proc/net/tcp" : "/proc/net/tcp6";
    std::ifstream file(table);
    std::string line;
    std::getline(file, line);  // the heading
    while (std::getline(file, line)) {
        char local[64] = {}, remote[64] = {};
        unsigned state = 0;
        long uid = -1;
        if (std::sscanf(line.c_str(), " %*d: %63s %63s %x %*s %*s %*s %ld", local, remote, &state, &uid) != 4)
            continue;
        if (key == local) return uid;
    }
    return std::nullopt;
}

// A name look-up that gives up at `deadline`, so that a slow name server
// cannot hold the toy longer than a connection attempt may take. A look-up
// that cannot be cancelled keeps its request block: the resolver's thread
// still writes into it.
addrinfo* resolveBefore(const std::string& host, const std::string& service, int64_t deadline) {
    struct Request {
        std::string host, service;
        addrinfo hints{};
        gaicb block{};
    };
    auto* request = new Request{host, service};
    request->hints.ai_family = AF_UNSPEC;
    request->hints.ai_socktype = SOCK_STREAM;
    request->hints.ai_flags = AI_NUMERICSERV;
    request->block.ar_name = request->host.c_str();
    request->block.ar_service = request->service.c_str();
    request->block.ar_request = &request->hints;
    gaicb* list[1] = {&request->block};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
        delete request;
        return nullptr;
    }
    while (gai_error(&request->block) == EAI_INPROGRESS) {
        const int64_t left = deadline - nowMs();
        if (left <= 0) break;
        timespec wait{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000L};
        gai_suspend(list, 1, &wait);
    }
    if (gai_error(&request->block) == EAI_INPROGRESS && gai_cancel(&request->block) != EAI_CANCELED)
        return nullptr;
    addrinfo* found = gai_error(&request->block) == 0 ? request->block.ar_result : nullptr;
    delete request;
    return found;
}

}  // namespace

bool looksLikeHttpRequest(std::string_view line) {
    // METHOD SP target SP "HTTP/" digit
    std::size_t at = 0;
    while (at < line.size() && line[at] >= 'A' && line[at] <= 'Z') ++at;
    if (at == 0 || at >= line.size() || line[at] != ' ') return false;
    std::size_t target = ++at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r' && line[at] != '\n')
        ++at;
    if (at == target || at >= line.size() || line[at] != ' ') return false;
    std::string_view rest = line.substr(at + 1);
    return rest.size() >= 6 && rest.starts_with("HTTP/") && rest[5] >= '0' && rest[5] <= '9';
}

Network::Network(NetworkContext& context) : context_(context) {}

Network::~Network() {
    for (Slot& slot : slots_) closeSocket(slot.socket);
    closeSocket(listener_);
}

bool Network::listen(const NetworkOptions& options) {
    port_ = options.port;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    if (getaddrinfo(options.listenAddress.c_str(), port.c_str(), &hints, &found) != 0 || !found) return false;
    int socket = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, 0);
    int yes = 1;
    bool opened = socket >= 0 && setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                  bind(socket, found->ai_addr, found->ai_addrlen) == 0 &&
                  ::listen(socket, kListenBacklog) == 0 && setNonBlocking(socket);
    sockaddr_storage bound{};
    std::memcpy(&bound, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    if (!opened) {
        closeSocket(socket);
        return false;
    }
    listenerIsLoopback_ = isLoopback(bound);
    socklen_t length = sizeof bound;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        port_ = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(bound).sin_port
                                                 : reinterpret_cast<sockaddr_in6&>(bound).sin6_port);
    }
    listener_ = socket;
    return true;
}

Network::Slot* Network::slotOf(int32_t connectionId) {
    if (connectionId <= 0) return nullptr;
    for (Slot& slot : slots_) {
        if (slot.id == connectionId) return &slot;
    }
    return nullptr;
}

Network::Slot* Network::highestFreeSlot() {
    for (int index = kConnectionSlots - 1; index >= 0; --index) {
        if (slots_[index].free()) return &slots_[index];
    }
    return nullptr;
}

void Network::closeAll() {
    for (Slot& slot : slots_) close(slot, "");
    closeSocket(listener_);
    listener_ = -1;
}

int Network::openConnections() const {
    int open = 0;
    for (const Slot& slot : slots_) open += slot.free() ? 0 : 1;
    return open;
}

bool Network::isOpen(int32_t connectionId) const {
    for (const Slot& slot : slots_) {
        if (connectionId > 0 && slot.id == connectionId) return true;
    }
    return false;
}

void Network::poll() {
    pollfd fds[kConnectionSlots + 1];
    Slot* owners[kConnectionSlots + 1];
    nfds_t count = 0;
    for (Slot& slot : slots_) {
        if (slot.free()) continue;
        short events = POLLIN;
        if (slot.outboxSent < slot.outbox.size()) events |= POLLOUT;
        fds[count] = pollfd{slot.socket, events, 0};
        owners[count++] = &slot;
    }
    const bool canAccept = listener_ >= 0 && highestFreeSlot() != nullptr;
    if (canAccept) fds[count++] = pollfd{listener_, POLLIN, 0};
    if (count == 0 || ::poll(fds, count, 0) <= 0) return;

    const nfds_t connectionCount = canAccept ? count - 1 : count;
    for (nfds_t index = 0; index < connectionCount; ++index) {
        Slot& slot = *owners[index];
        const int32_t id = slot.id;
        if (fds[index].revents & POLLOUT) writeTo(slot);
        if (slot.id == id && (fds[index].revents & (POLLIN | POLLHUP | POLLERR))) readFrom(slot);
    }
    if (canAccept && (fds[count - 1].revents & POLLIN)) acceptOne();
}

void Network::readFrom(Slot& slot) {
    const int32_t id = slot.id;
    char buffer[16 * 1024];
    std::size_t readThisPoll = 0;
    while (slot.id == id && readThisPoll < kReadPerPoll) {
        ssize_t got = recv(slot.socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            close(slot, "");
            return;
        }
        readThisPoll += static_cast<std::size_t>(got);
        std::string_view chunk(buffer, static_cast<std::size_t>(got));
        if (slot.incoming && !slot.checkedFirstLine && slot.pending.empty() &&
            static_cast<unsigned char>(chunk[0]) == kTlsHandshake) {
            context_.reportLocally("Refused a TLS handshake on connection " + std::to_string(id));
            close(slot, "");
            return;
        }
        if (chunk.find('\0') != std::string_view::npos) {
            close(slot, "it sent a NUL byte");
            return;
        }
        // Complete lines run now, as one text; the unfinished tail waits.
        std::size_t lastFeed = chunk.rfind('\n');
        if (lastFeed == std::string_view::npos) {
            slot.pending.append(chunk);
        } else {
            std::string text = std::move(slot.pending);
            text.append(chunk.substr(0, lastFeed));
            slot.pending.assign(chunk.substr(lastFeed + 1));
            runLines(slot, text);
        }
        if (slot.id == id && slot.pending.size() > kMaxPendingLine) {
            close(slot, "a line longer than " + std::to_string(kMaxPendingLine) + " bytes");
            return;
        }
    }
}

// A browser can be made to post to any port, and its request would otherwise
// run as script; a TLS client would send binary noise. Neither runs at all.
bool Network::refuseForeignProtocol(Slot& slot, std::string_view firstLine) {
    slot.checkedFirstLine = true;
    if (!slot.incoming || !looksLikeHttpRequest(firstLine)) return false;
    context_.reportLocally("Refused an HTTP request on connection " + std::to_string(slot.id));
    close(slot, "");
    return true;
}

// The lines of one read, numbered from 1 as the lines of a file are. A line
// that closes its own connection (its replies overflowed) ends the text.
void Network::runLines(Slot& slot, std::string_view text) {
    const int32_t id = slot.id;
    int lineNumber = 1;
    while (slot.id == id) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!slot.checkedFirstLine && refuseForeignProtocol(slot, line)) return;
        context_.runReceivedLine(line, lineNumber++, id);
        if (end == std::string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

void Network::writeTo(Slot& slot) {
    while (slot.outboxSent < slot.outbox.size()) {
        ssize_t sent = ::send(slot.socket, slot.outbox.data() + slot.outboxSent,
                              slot.outbox.size() - slot.outboxSent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (sent <= 0) {
            // The peer is gone; the next read notices and frees the slot.
            slot.outbox.clear();
            slot.outboxSent = 0;
            return;
        }
        slot.outboxSent += static_cast<std::size_t>(sent);
    }
    if (slot.outboxSent == slot.outbox.size()) {
        slot.outbox.clear();
        slot.outboxSent = 0;
    } else if (slot.outboxSent > slot.outbox.size() / 2) {
        slot.outbox.erase(0, slot.outboxSent);
        slot.outboxSent = 0;
    }
}

void Network::send(std::string_view text, int32_t connectionId) {
    Slot* slot = slotOf(connectionId);
    if (!slot) return;
    slot->outbox.append(text);
    slot->outbox.push_back('\n');
    writeTo(*slot);
    if (slot->outbox.size() - slot->outboxSent > kMaxQueuedReplies) {
        close(*slot, "more than " + std::to_string(kMaxQueuedReplies) + " bytes of replies were not read");
    }
}

void Network::flush(int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    while (true) {
        pollfd fds[kConnectionSlots];
        Slot* owners[kConnectionSlots];
        nfds_t count = 0;
        for (Slot& slot : slots_) {
            if (!slot.free() && slot.outboxSent < slot.outbox.size()) {
                fds[count] = pollfd{slot.socket, POLLOUT, 0};
                owners[count++] = &slot;
            }
        }
        const int64_t left = deadline - nowMs();
        if (count == 0 || left <= 0 || ::poll(fds, count, static_cast<int>(left)) <= 0) return;
        for (nfds_t index = 0; index < count; ++index) {
            if (fds[index].revents) writeTo(*owners[index]);
            if (fds[index].revents & (POLLERR | POLLHUP))
                owners[index]->outbox.clear(), owners[index]->outboxSent = 0;
        }
    }
}

// At most one peer per poll, into the highest-numbered free slot.
void Network::acceptOne() {
    Slot* slot = highestFreeSlot();
    if (!slot) return;
    int socket = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket < 0) return;
    if (!peerAllowed(socket)) {
        closeSocket(socket);
        return;
    }
    adopt(socket);
}

int32_t Network::adopt(int socket) {
    Slot* slot = highestFreeSlot();
    if (!slot || !setNonBlocking(socket)) {
        closeSocket(socket);
        return 0;
    }
    const int32_t id = occupy(*slot, socket, true);
    send(kGreeting, id);
    return id;
}

bool Network::peerAllowed(int socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return false;
    // A listener opened beyond loopback (--listen) takes other hosts only
    // when scripts allow it.
    if (!listenerIsLoopback_ && !isLocalAddress(peer) && !context_.allowAllAddresses()) {
        char text[INET6_ADDRSTRLEN] = "?";
        const void* raw = peer.ss_family == AF_INET
                              ? static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(peer).sin_addr)
                              : static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(peer).sin6_addr);
        inet_ntop(peer.ss_family, raw, text, sizeof text);
        context_.reportLocally("Refused a connection from " + std::string(text) + " (ALLOWALLIPS is 0)");
        return false;
    }
    if (!isLoopback(peer)) return true;
    // Loopback is shared by every user of the machine: only the toy's own
    // user may drive it.
    std::optional<long> owner = socketOwner(peer);
    if (owner && *owner == static_cast<long>(geteuid())) return true;
    context_.reportLocally(owner
                               ? "Refused a connection from another user (uid " + std::to_string(*owner) + ")"
                               : std::string("Refused a connection whose owner is unknown"));
    return false;
}

int32_t Network::occupy(Slot& slot, int socket, bool incoming) {
    slot = Slot{};
    slot.socket = socket;
    slot.id = ++lastId_;
    slot.incoming = incoming;
    int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return slot.id;
}

void Network::close(Slot& slot, std::string_view reason) {
    const int32_t id = slot.id;
    if (id == 0) return;
    if (!reason.empty())
        context_.reportLocally("Closed connection " + std::to_string(id) + ": " + std::string(reason));
    closeSocket(slot.socket);
    slot = Slot{};
    context_.connectionClosed(id);
}

int32_t Network::connect(const std::string& host, int port) {
    Slot* slot = highestFreeSlot();
    if (!slot) {
        context_.reportLocally("Too many connections.");
        return 0;
    }
    if (listening() && host == "localhost" && port == port_) {
        context_.reportLocally("Cannot connect to myself.");
        return 0;
    }
    const int64_t deadline = nowMs() + kConnectTimeoutMs;
    addrinfo* found = resolveBefore(host, std::to_string(port & 0xFFFF), deadline);
    if (!found) {
        context_.reportLocally("Couldn't resolve hostname.");
        return 0;
    }
    int socket = -1;
    for (addrinfo* candidate = found; candidate && socket < 0; candidate = candidate->ai_next) {
        socket = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket < 0) continue;
        bool connected = ::connect(socket, candidate->ai_addr, candidate->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS) {
            pollfd waiting{socket, POLLOUT, 0};
            const int64_t left = deadline - nowMs();
            int error = 0;
            socklen_t length = sizeof error;
            connected = left > 0 && ::poll(&waiting, 1, static_cast<int>(left)) == 1 &&
                        getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (!connected) {
            closeSocket(socket);
            socket = -1;
        }
    }
    freeaddrinfo(found);
    if (socket < 0) {
        context_.reportLocally("Couldn't connect.");
        return 0;
    }
    return occupy(*slot, socket, false);
}

namespace {

// Reads one line (without its line feed) before `deadline`.
bool readLine(int socket, std::string& line, int64_t deadline) {
    line.clear();
    while (line.size() <= kMaxPendingLine) {
        const int64_t left = deadline - nowMs();
        pollfd waiting{socket, POLLIN, 0};
        if (left <= 0 || ::poll(&waiting, 1, static_cast<int>(left)) != 1) return false;
        char c = 0;
        ssize_t got = recv(socket, &c, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got != 1) return false;
        if (c == '\n') return true;
        line += c;
    }
    return false;
}

}  // namespace

bool handOverLink(const std::string& link, int port, std::string& error) {
    constexpr int kAnswerWithinMs = 1000;
    const int64_t deadline = nowMs() + kAnswerWithinMs;
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string greeting;
    if (socket < 0 || ::connect(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        error = "nothing answers on port " + std::to_string(port);
    } else if (!readLine(socket, greeting, deadline) || greeting.substr(0, kGreeting.size()) != kGreeting) {
        error = "the program on port " + std::to_string(port) + " did not greet as Emberfall 2";
    } else {
        std::string line = link + "\n";
        bool sent =
            ::send(socket, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
        if (!sent) error = "the link could not be sent";
        // Give the instance a moment to read it before the connection goes.
        shutdown(socket, SHUT_WR);
        std::string ignored;
        readLine(socket, ignored, std::min(deadline, nowMs() + 500));
        closeSocket(socket);
        return sent;
    }
    closeSocket(socket);
    return false;
}

}  // namespace ef2
