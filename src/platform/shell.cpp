#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/confined_files.h"

extern char** environ;

namespace ef2 {

namespace {

bool programsAllowed = true;

std::vector<char*> argumentVector(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int waitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

void setProgramsAllowed(bool allowed) {
    programsAllowed = allowed;
}

int runProgram(const std::vector<std::string>& arguments, bool wait) {
    if (arguments.empty() || !programsAllowed) return -1;
    std::vector<char*> argv = argumentVector(arguments);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    if (!wait) return 0;
    return waitFor(child);
}

int runProgramWithOutput(const std::vector<std::string>& arguments, std::string& output) {
    output.clear();
    if (arguments.empty() || !programsAllowed) return -1;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    std::vector<char*> argv = argumentVector(arguments);
    pid_t child = 0;
    int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (started != 0) {
        close(pipeEnds[0]);
        return -1;
    }
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    return waitFor(child);
}

int runCommandFile(const std::string& commands) {
    if (!programsAllowed) return -1;
    StreamPtr file =
        openForWriting(kCommandFileName, WriteMode::Replace, Confinement::WorkingFolder).intoStream("w");
    if (!file) return -1;
    bool written = std::fwrite(commands.data(), 1, commands.size(), file.get()) == commands.size();
    written = closeStream(std::move(file)) && written;
    int status = written ? runProgram({"/bin/sh", kCommandFileName}, true) : -1;
    removeFile(kCommandFileName);
    return status;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

}  // namespace ef2
