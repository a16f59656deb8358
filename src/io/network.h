#pragma once
// Remote control over TCP: the listening socket, up to sixteen connections,
// and the lines that travel over them.
//
// Whatever a peer sends is script text. Complete lines run as they arrive;
// the unfinished tail of a read waits for the next one. What a line prints
// goes back to the connection it came from. Everything is non-blocking and
// polled from the frame loop, so a slow or hostile peer can never stall the
// toy: a peer that sends an endless line, a NUL byte, or never reads its
// replies is disconnected, and the others go on.
//
// Safe by default: the listener binds 127.0.0.1 unless told otherwise, a
// loopback peer owned by another user is refused, and a connection that opens
// like a web request (a browser page posting to the port) or a TLS handshake
// is closed before any of it runs.
//
// This file knows nothing of the script engine; it reaches it through
// `NetworkContext`.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ef2 {

// What the network needs from the rest of the program.
class NetworkContext {
public:
    virtual ~NetworkContext() = default;
    // Runs one received line as script text of origin `connectionId`.
    virtual void runReceivedLine(std::string_view line, int lineNumber, int32_t connectionId) = 0;
    // A line for the local console.
    virtual void reportLocally(std::string_view line) = 0;
    // The connection is gone; whatever the origin left unfinished can go too.
    virtual void connectionClosed(int32_t connectionId) = 0;
    // ALLOWALLIPS: peers from other hosts are accepted only when this is true.
    virtual bool allowAllAddresses() = 0;
};

struct NetworkOptions {
    int port = 7777;                          // 0 picks a free port (tests)
    std::string listenAddress = "127.0.0.1";  // a numeric IPv4 or IPv6 address
};

// Sixteen connection slots, as many as the toy serves at once; more peers
// wait in the operating system's queue until a slot frees.
constexpr int kConnectionSlots = 16;
// A line may be at most this long; a peer that sends more without a line
// feed is disconnected (it could otherwise grow the buffer without end).
constexpr std::size_t kMaxPendingLine = 65535;
// Replies waiting for a peer that does not read them; past this the peer is
// disconnected instead of holding the toy's memory.
constexpr std::size_t kMaxQueuedReplies = 1 << 20;
// At most this much is read from one connection in one poll, so that one
// busy peer cannot starve the others or the frame loop.
constexpr std::size_t kReadPerPoll = 64 * 1024;
// An outgoing connection gives up after this long (name look-up included).
constexpr int kConnectTimeoutMs = 5000;

class Network {
public:
    explicit Network(NetworkContext& context);
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // Opens the listening socket. False when the address is invalid or the
    // port is taken (normally by another instance); outgoing connections
    // work either way.
    bool listen(const NetworkOptions& options);
    bool listening() const { return listener_ >= 0; }
    // The port the listener is bound to (useful after asking for port 0), or
    // the requested one when not listening.
    int port() const { return port_; }
    void setPort(int port) { port_ = port; }

    // Reads every connection that has data, runs its complete lines, sends
    // queued replies and accepts at most one new peer. Never blocks.
    void poll();

    // Takes a connected socket as a new peer, as an accepted one is taken:
    // greeted, and its first line judged. Its id, or 0 when all slots are
    // taken (the socket is then closed). For peers that do not come through
    // the listener (tests, fuzzing over a socket pair).
    int32_t adopt(int socket);

    // Opens a connection; its id, or 0 with a console line on failure.
    int32_t connect(const std::string& host, int port);

    // Queues `text` and one line feed for connection `connectionId` and sends
    // what the socket takes now. Nothing happens for id 0 or an id that is
    // not open.
    void send(std::string_view text, int32_t connectionId);

    // Tries for up to `timeoutMs` to hand every queued reply to the system,
    // so that lines sent just before the program ends are not lost.
    void flush(int timeoutMs);

    // Closes the listener and every connection (before a restart hands the
    // port to the new run).
    void closeAll();

    int openConnections() const;
    bool isOpen(int32_t connectionId) const;

private:
    struct Slot {
        int socket = -1;
        int32_t id = 0;         // 0 when free
        bool incoming = false;  // accepted (rather than opened by CONNECT)
        bool checkedFirstLine = false;
        std::string pending;  // received bytes of an unfinished line
        std::string outbox;   // replies not yet taken by the system
        std::size_t outboxSent = 0;
        bool free() const { return id == 0; }
    };

    Slot* slotOf(int32_t connectionId);
    Slot* highestFreeSlot();
    void readFrom(Slot& slot);
    bool refuseForeignProtocol(Slot& slot, std::string_view firstLine);
    void runLines(Slot& slot, std::string_view text);
    void writeTo(Slot& slot);
    void acceptOne();
    bool peerAllowed(int socket);
    int32_t occupy(Slot& slot, int socket, bool incoming);
    // Closes the socket now and frees the slot; the origin's unfinished
    // statements go with it.
    void close(Slot& slot, std::string_view reason);

    NetworkContext& context_;
    Slot slots_[kConnectionSlots];
    int listener_ = -1;
    int port_ = 7777;
    bool listenerIsLoopback_ = true;
    int32_t lastId_ = 0;
};

// Hands `link` to the instance listening on `port` of this machine: waits for
// its greeting, sends the link as one line and waits a moment for it to be
// read. False, with `error` set, when no instance answered within a second.
bool handOverLink(const std::string& link, int port, std::string& error);

// True when `line` reads like the request line of HTTP ("GET / HTTP/1.1").
bool looksLikeHttpRequest(std::string_view line);

}  // namespace ef2
