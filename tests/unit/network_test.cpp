// Remote control through real sockets on loopback: a runtime listens on a free
// port and the test plays its peers, polling the runtime's network the way the
// frame loop does.

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "app/runtime.h"
#include "io/network.h"
#include "script/variables.h"
#include "support/scratch_folder.h"

namespace ef2 {
namespace {

using Clock = std::chrono::steady_clock;

int openDescriptors() {
    int count = 0;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (readdir(folder)) ++count;
        closedir(folder);
    }
    return count;
}

// One peer: a blocking client socket whose reads keep the server polled.
class Peer {
public:
    Peer(Runtime& server, int port, const char* fromAddress = nullptr, int receiveBuffer = 0)
        : server_(server) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer) setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (fromAddress) {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            inet_pton(AF_INET, fromAddress, &source.sin_addr);
            bind(socket_, reinterpret_cast<sockaddr*>(&source), sizeof source);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Peer() { ::close(socket_); }

    bool connected() const { return connected_; }
    void send(std::string_view text) {
        while (!text.empty()) {
            ssize_t sent = ::send(socket_, text.data(), text.size(), MSG_NOSIGNAL);
            if (sent <= 0) return;
            text.remove_prefix(static_cast<std::size_t>(sent));
        }
    }
    // The next line from the server, polling it meanwhile; "<closed>" when
    // the server hung up, "<none>" when nothing came in time.
    std::string line(int timeoutMs = 2000) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            std::size_t feed = received_.find('\n');
            if (feed != std::string::npos) {
                std::string result = received_.substr(0, feed);
                received_.erase(0, feed + 1);
                return result;
            }
            server_.network.poll();
            char buffer[4096];
            ssize_t got = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got == 0) return "<closed>";
            if (got > 0) {
                received_.append(buffer, static_cast<std::size_t>(got));
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        return "<none>";
    }
    // Polls the server for a while and tells whether it hung up on us.
    bool closedByServer(int timeoutMs = 2000) {
        std::string next;
        while ((next = line(timeoutMs)) != "<closed>" && next != "<none>") {
        }
        return next == "<closed>";
    }

private:
    Runtime& server_;
    int socket_ = -1;
    bool connected_ = false;
    std::string received_;
};

class NetworkTest : public test::InScratchFolder {
protected:
    void SetUp() override {
        InScratchFolder::SetUp();
        runtime.desktop = DesktopSettings{true, true, {}};
        ASSERT_TRUE(runtime.network.listen({0, "127.0.0.1"}));
        port = runtime.network.port();
        runtime.console.setEchoToStdout(false);
    }
    int32_t value(const char* name) { return runtime.variables.obtain(name, 0, false)->value; }
    bool consoleHas(std::string_view part) {
        for (const std::string& line : runtime.console.recentLines()) {
            if (line.find(part) != std::string::npos) return true;
        }
        return false;
    }
    void pollFor(int milliseconds) {
        auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (Clock::now() < until) {
            runtime.network.poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    Runtime runtime;
    int port = 0;
};

TEST_F(NetworkTest, GreetsRunsCompleteLinesAndRepliesToTheSender) {
    Peer peer(runtime, port);
    ASSERT_TRUE(peer.connected());
    EXPECT_EQ(peer.line(), "Emberfall2");

    peer.send("SET X 5\nGET X\n");
    EXPECT_EQ(peer.line(), "[X] 5");

    // Lines of one read are numbered from 1, as in a file.
    peer.send("BOGUS one\nBOGUS two\n");
    EXPECT_EQ(peer.line(), "ERROR in file Network in line 1: BOGUS one");
    EXPECT_EQ(peer.line(), "ERROR in file Network in line 2: BOGUS two");

    // A statement split across two sends runs once, when it is complete.
    peer.send("INC SPLIT\nGE");
    EXPECT_EQ(peer.line(300), "<none>");
    peer.send("T SPLIT\r\n");
    EXPECT_EQ(peer.line(), "[SPLIT] 1");
    EXPECT_FALSE(consoleHas("SPLIT")) << "a peer's output goes to the peer, not the console";

    // An error line from the other side is shown on the local console.
    peer.send("ERROR in file Network in line 3: nonsense   \n");
    pollFor(50);
    EXPECT_TRUE(consoleHas("ERROR from 1: in file Network in line 3: nonsense"));
}

TEST_F(NetworkTest, WebRequestsAndHandshakesRunNothing) {
    Peer browser(runtime, port);
    EXPECT_EQ(browser.line(), "Emberfall2");
    browser.send("POST /x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nSET OWNED 1\n");
    EXPECT_TRUE(browser.closedByServer());
    EXPECT_TRUE(consoleHas("Refused an HTTP request on connection 1"));

    Peer tls(runtime, port);
    EXPECT_EQ(tls.line(), "Emberfall2");
    tls.send(std::string("\x16\x03\x01\x02\x00\n", 6) + "SET OWNED 2\n");
    EXPECT_TRUE(tls.closedByServer());
    EXPECT_EQ(value("OWNED"), 0);

    // Only the first line is judged: later lines may say anything.
    Peer later(runtime, port);
    EXPECT_EQ(later.line(), "Emberfall2");
    later.send("SET OK 1\nGET / HTTP/1.1\n");
    EXPECT_EQ(later.line(), "ERROR in file Network in line 2: GET / HTTP/1.1");
    EXPECT_EQ(value("OK"), 1);
}

TEST(NetworkRules, HttpRequestLines) {
    EXPECT_TRUE(looksLikeHttpRequest("GET / HTTP/1.1"));
    EXPECT_TRUE(looksLikeHttpRequest("OPTIONS * HTTP/2\r"));
    EXPECT_FALSE(looksLikeHttpRequest("GET X"));
    EXPECT_FALSE(looksLikeHttpRequest("SET X HTTP/"));
    EXPECT_FALSE(looksLikeHttpRequest("get / HTTP/1.1"));
    EXPECT_FALSE(looksLikeHttpRequest("GET  HTTP/1.1"));
}

TEST_F(NetworkTest, MisbehavingPeersAreClosedAndOthersGoOn) {
    Peer patient(runtime, port);
    EXPECT_EQ(patient.line(), "Emberfall2");

    Peer endless(runtime, port);
    EXPECT_EQ(endless.line(), "Emberfall2");
    endless.send(std::string(70000, 'A'));
    EXPECT_TRUE(endless.closedByServer());
    EXPECT_TRUE(consoleHas("a line longer than 65535 bytes"));

    Peer nul(runtime, port);
    EXPECT_EQ(nul.line(), "Emberfall2");
    nul.send(std::string("SET N 1\0\n", 9));
    EXPECT_TRUE(nul.closedByServer());
    EXPECT_EQ(value("N"), 0);

    // A peer that vanishes mid-stream while replies are on their way does
    // not take the program down with SIGPIPE.
    {
        Peer vanishing(runtime, port, nullptr, 4096);
        EXPECT_EQ(vanishing.line(), "Emberfall2");
        std::string asks;
        for (int i = 0; i < 20000; ++i) asks += "GET X\n";
        vanishing.send(asks);
        pollFor(20);
    }
    pollFor(50);
    patient.send("GET X\n");
    EXPECT_EQ(patient.line(), "[X] 0");

    // A peer that asks for 10 MB of replies and never reads them is dropped
    // once 1 MiB waits beyond what the system buffers; the patient peer is
    // answered all the while.
    Peer deaf(runtime, port, nullptr, 4096);
    EXPECT_EQ(deaf.line(), "Emberfall2");
    const std::string ask = "MESSAGE SENDTEXT " + std::string(1000, 'x') + "\n";
    std::string flood;
    for (int i = 0; i < 10000; ++i) flood += ask;
    std::thread sender([&] { deaf.send(flood); });
    patient.send("GET X\n");
    EXPECT_EQ(patient.line(), "[X] 0");
    EXPECT_EQ(runtime.network.openConnections(), 2) << "the patient peer waited for the whole flood";
    for (int i = 0; i < 1000 && !consoleHas("bytes of replies were not read"); ++i) pollFor(10);
    sender.join();
    EXPECT_TRUE(consoleHas("bytes of replies were not read"));
    EXPECT_EQ(runtime.network.openConnections(), 1);
}

TEST_F(NetworkTest, SixteenSlotsIdsNeverReused) {
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 16; ++i) {
        peers.push_back(std::make_unique<Peer>(runtime, port));
        EXPECT_EQ(peers.back()->line(), "Emberfall2");
        peers.back()->send("GET MESSAGEID\n");
        EXPECT_EQ(peers.back()->line(), "[MESSAGEID] " + std::to_string(i + 1));
    }
    Peer waiting(runtime, port);
    EXPECT_EQ(waiting.line(300), "<none>") << "a 17th peer waits for a free slot";
    EXPECT_EQ(runtime.network.connect("127.0.0.1", port), 0);
    EXPECT_TRUE(consoleHas("Too many connections."));

    peers[3].reset();
    EXPECT_EQ(waiting.line(), "Emberfall2");
    waiting.send("GET MESSAGEID\n");
    EXPECT_EQ(waiting.line(), "[MESSAGEID] 17");
}

TEST_F(NetworkTest, ManyClientsLoseNothingAndRunNothingTwice) {
    constexpr int kClients = 64, kLines = 10000;
    const int descriptorsBefore = openDescriptors();
    std::atomic<int> finished{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < kClients; ++client) {
        clients.emplace_back([&, client] {
            int socket = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                std::string text;
                for (int line = 0; line < kLines; ++line)
                    text += "INC C" + std::to_string(client) + "\nINC TOTAL\n";
                std::mt19937 random(static_cast<unsigned>(client));
                std::size_t at = 0;
                while (at < text.size()) {
                    std::size_t slice = std::min<std::size_t>(text.size() - at, 1 + random() % 3000);
                    ssize_t sent = ::send(socket, text.data() + at, slice, MSG_NOSIGNAL);
                    if (sent <= 0) break;
                    at += static_cast<std::size_t>(sent);
                }
                shutdown(socket, SHUT_WR);
                char sink[4096];
                while (recv(socket, sink, sizeof sink, 0) > 0) {
                }
            }
            ::close(socket);
            ++finished;
        });
    }
    auto deadline = Clock::now() + std::chrono::seconds(120);
    while (finished < kClients && Clock::now() < deadline) runtime.network.poll();
    for (std::thread& client : clients) client.join();
    for (int i = 0; i < 100 && runtime.network.openConnections() > 0; ++i) pollFor(10);

    for (int client = 0; client < kClients; ++client) {
        EXPECT_EQ(value(("C" + std::to_string(client)).c_str()), kLines) << "client " << client;
    }
    EXPECT_EQ(value("TOTAL"), kClients * kLines);
    EXPECT_EQ(runtime.network.openConnections(), 0);
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

TEST_F(NetworkTest, EachOriginHasItsOwnBlocks) {
    Peer peer(runtime, port);
    EXPECT_EQ(peer.line(), "Emberfall2");
    peer.send("TRIGGER PEERS {\nINC P\n");
    pollFor(50);
    // The peer's open block does not take the local user's lines.
    runtime.parser.parseText("SET LOCAL 1\nTRIGGER MINE {\nINC M\n}\nEXEC MINE\n", 0, std::nullopt);
    EXPECT_EQ(value("LOCAL"), 1);
    EXPECT_EQ(value("M"), 1);
    peer.send("}\nEXEC PEERS\nGET P\n");
    EXPECT_EQ(peer.line(), "[P] 1");

    // A peer that leaves a statement waiting on its block takes it along.
    auto leaving = std::make_unique<Peer>(runtime, port);
    EXPECT_EQ(leaving->line(), "Emberfall2");
    leaving->send("IF 1 {\nSET LEFT 1\n");
    pollFor(50);
    leaving.reset();
    pollFor(50);
    runtime.parser.parseText("}\n", 0, std::nullopt);
    EXPECT_EQ(value("LEFT"), 0);
}

TEST_F(NetworkTest, PeersReachOnlyThemselvesAndNeverTheDesktop) {
    Peer other(runtime, port);
    EXPECT_EQ(other.line(), "Emberfall2");
    Peer peer(runtime, port);
    EXPECT_EQ(peer.line(), "Emberfall2");

    // Even with --assume-yes, a peer's commands are refused without a person to ask.
    peer.send("SYSTEM \"echo owned > owned.txt\"\nMESSAGE CLEAR\nMESSAGE ADDTEXT x\nMESSAGE SYSTEM\n");
    pollFor(100);
    EXPECT_NE(access("owned.txt", F_OK), 0);

    peer.send("MESSAGE SENDTEXT hello 1\nREMOTE 1 SET X 1\nMESSAGE SEND 1\nMESSAGE SENDTEXT self 2\n");
    EXPECT_EQ(peer.line(), "self");
    EXPECT_EQ(other.line(300), "<none>");
    EXPECT_TRUE(consoleHas("Refused: connection 2 may not reach connection 1"));

    peer.send("MESSAGE SENDTEXT console 0\nINCLUDE CLIPBOARD\nLOAD SAND FILEDIALOG\n");
    pollFor(100);
    EXPECT_TRUE(consoleHas("console"));
    EXPECT_TRUE(consoleHas("Refused the clipboard for a network connection"));
    EXPECT_TRUE(consoleHas("Refused a file dialog for a network connection"));
}

// A peer may send text to the console's origin and load a world script it
// wrote; neither that text nor a timer it sets may later run as the local
// user's, when --assume-yes would run a command without asking.
TEST_F(NetworkTest, WhatAPeerSetsUpLaterRunsAsThePeer) {
    runtime.parser.parseText("ON MINE SYSTEM \"echo mine > mine.txt\"\n", 0, std::nullopt);
    Peer peer(runtime, port);
    EXPECT_EQ(peer.line(), "Emberfall2");
    peer.send(
        "MESSAGE CLEAR\nMESSAGE ADDTEXT \"ON SENT SYSTEM \\\"echo x > sent.txt\\\"\"\nMESSAGE EXEC 0\n"
        "FILE OPEN \"peer.ef2\"\nMESSAGE CLEAR\n"
        "MESSAGE ADDTEXT \"ON SAVED SYSTEM \\\"echo x > saved.txt\\\"\"\nMESSAGE SAVE\nFILE CLOSE\n"
        "LOAD SAND \"peer.ef2\"\nTIMER 1 FRAMES MINE\nGET DONE\n");
    EXPECT_EQ(peer.line(), "[DONE] 0");

    Interpreter& interpreter = runtime.interpreter;
    ASSERT_EQ(interpreter.triggers().obtain("SENT")->actions.size(), 1u);
    ASSERT_EQ(interpreter.triggers().obtain("SAVED")->actions.size(), 1u);
    interpreter.runTrigger(interpreter.triggers().obtain("SENT"));
    interpreter.runTrigger(interpreter.triggers().obtain("SAVED"));
    runtime.timers.runTimers();
    runtime.timers.runTimers();
    EXPECT_EQ(runtime.timers.size(), 0u);
    for (const char* file : {"sent.txt", "saved.txt", "mine.txt"}) {
        EXPECT_NE(access(file, F_OK), 0) << file << " was written by a command a peer set up";
    }
    // The local user's own trigger still runs its command.
    interpreter.runTrigger(interpreter.triggers().obtain("MINE"));
    EXPECT_EQ(contents("mine.txt"), "mine\n");
}

TEST_F(NetworkTest, OtherHostsOnlyWhenScriptsAllowThem) {
    Runtime wide;
    wide.console.setEchoToStdout(false);
    ASSERT_TRUE(wide.network.listen({0, "0.0.0.0"}));
    wide.variables.obtain("ALLOWALLIPS", 0, true);
    {
        Peer stranger(wide, wide.network.port(), "127.0.0.2");
        EXPECT_TRUE(stranger.closedByServer());
    }
    Peer local(wide, wide.network.port());
    EXPECT_EQ(local.line(), "Emberfall2");
    wide.variables.obtain("ALLOWALLIPS", 1, true);
    Peer allowed(wide, wide.network.port(), "127.0.0.2");
    EXPECT_EQ(allowed.line(), "Emberfall2");
}

TEST_F(NetworkTest, ConnectDrivesAnotherInstance) {
    Runtime other;
    other.console.setEchoToStdout(false);
    ASSERT_TRUE(other.network.listen({0, "127.0.0.1"}));
    other.parser.parseText("TRIGGER T {\nINC RAN\n}\n", 0, std::nullopt);

    std::string script =
        "CONNECT \"127.0.0.1\" " + std::to_string(other.network.port()) +
        " C\nREMOTE C SET Y 7\nREMOTE C EXEC T\nREMOTE C SET BAD (1 / 0\nREMOTE 0 SET LOCALLY 3\n";
    runtime.parser.parseText(script, 0, std::nullopt);
    EXPECT_GT(value("C"), 0);
    EXPECT_TRUE(consoleHas("SET \"LOCALLY\" 3"));
    for (int i = 0; i < 50; ++i) {
        other.network.poll();
        runtime.network.poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(other.variables.obtain("Y", 0, false)->value, 7);
    EXPECT_EQ(other.variables.obtain("RAN", 0, false)->value, 1);

    runtime.parser.parseText("CONNECT \"localhost\" " + std::to_string(port) + " SELF\n", 0, std::nullopt);
    EXPECT_TRUE(consoleHas("Cannot connect to myself."));
    runtime.parser.parseText("CONNECT \"no-such-host.invalid\" 80 D\n", 0, std::nullopt);
    EXPECT_TRUE(consoleHas("Couldn't resolve hostname."));
    int closed = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length);
    runtime.parser.parseText("CONNECT \"127.0.0.1\" " + std::to_string(ntohs(address.sin_port)) + " E\n", 0,
                             std::nullopt);
    ::close(closed);
    EXPECT_TRUE(consoleHas("Couldn't connect."));
    EXPECT_EQ(value("SELF") | value("D") | value("E"), 0);
}

}  // namespace
}  // namespace ef2
