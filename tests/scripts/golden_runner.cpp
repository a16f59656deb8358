// Runs one golden script through the real program and compares its standard
// output with the script's own expectations.
//
// Directives inside the script (anywhere, usually in comment lines):
//   // expect: TEXT       the next output line must be exactly TEXT
//   // steps: N          run N simulation steps after start-up (default 0)
//   // exit: N           the expected exit status (default 0)
//   // needs: program files   copy the program folder's scripts, pictures and
//                             font into the working folder first, so that the
//                             script can INCLUDE the start script
// The program's welcome line is not compared, and the script's absolute path
// in the output is replaced by its file name so that expectations stay short.
//
// Usage: golden_runner PROGRAM SCRIPT

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Expectations {
    std::vector<std::string> lines;
    std::string steps = "0";
    int exitStatus = 0;
    bool programFiles = false;
};

Expectations readExpectations(const std::string& path) {
    Expectations expected;
    std::ifstream file(path);
    std::string line;
    auto valueAfter = [&](const std::string& marker, std::string& value) {
        std::size_t at = line.find(marker);
        if (at == std::string::npos) return false;
        value = line.substr(at + marker.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
        return true;
    };
    std::string value;
    while (std::getline(file, line)) {
        if (valueAfter("// expect: ", value)) {
            expected.lines.push_back(value);
        } else if (line.size() >= 10 && line.substr(line.size() - 10) == "// expect:") {
            expected.lines.push_back("");
        } else if (valueAfter("// steps: ", value)) {
            expected.steps = value;
        } else if (valueAfter("// exit: ", value)) {
            expected.exitStatus = std::atoi(value.c_str());
        } else if (valueAfter("// needs: ", value)) {
            expected.programFiles = value == "program files";
        }
    }
    return expected;
}

// Runs the program and returns its standard output; `status` gets the exit status.
std::string run(const std::vector<std::string>& arguments, int& status) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string output;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int raw = 0;
    waitpid(child, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return output;
}

// The start script and what it uses: every script, the pictures and the font
// beside the program. The build folder holds much else, which stays out.
void copyProgramFiles(const std::string& program, const std::string& workdir) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(program).parent_path();
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const fs::path& path = entry.path();
        const std::string name = path.filename().string();
        if (entry.is_regular_file() &&
            (path.extension() == ".ef2" || name == "font.ttf" || name == "icon.bmp")) {
            fs::copy_file(path, fs::path(workdir) / name);
        } else if (entry.is_directory() && name == "img") {
            fs::copy(path, fs::path(workdir) / name, fs::copy_options::recursive);
        }
    }
}

std::vector<std::string> outputLines(std::string output, const std::string& scriptPath) {
    std::string name = scriptPath.substr(scriptPath.rfind('/') + 1);
    for (std::size_t at; (at = output.find(scriptPath)) != std::string::npos;)
        output.replace(at, scriptPath.size(), name);
    std::vector<std::string> lines;
    std::istringstream stream(output);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    if (!lines.empty() && lines.front() == "Welcome to Emberfall 2") lines.erase(lines.begin());
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: golden_runner PROGRAM SCRIPT\n";
        return 2;
    }
    std::string program = argv[1];
    char resolved[4096];
    if (!realpath(argv[2], resolved)) {
        std::cerr << "no such script: " << argv[2] << "\n";
        return 2;
    }
    std::string script = resolved;
    Expectations expected = readExpectations(script);

    char workTemplate[] = "/tmp/ef2-golden-XXXXXX";
    std::string workdir = mkdtemp(workTemplate);
    if (expected.programFiles) copyProgramFiles(program, workdir);
    int status = 0;
    std::string output =
        run({program, "--headless", "--steps", expected.steps, "--workdir", workdir, script}, status);
    std::system(("rm -rf '" + workdir + "'").c_str());
    std::vector<std::string> actual = outputLines(output, script);

    bool same = actual == expected.lines && status == expected.exitStatus;
    if (same) return 0;
    std::cout << "FAILED " << script << "\n";
    if (status != expected.exitStatus) {
        std::cout << "expected exit status " << expected.exitStatus << ", saw " << status << "\n";
    }
    std::size_t count = std::max(actual.size(), expected.lines.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::string want = i < expected.lines.size() ? expected.lines[i] : "<nothing>";
        const std::string saw = i < actual.size() ? actual[i] : "<nothing>";
        std::cout << (want == saw ? "   " : "!! ") << "line " << i + 1 << ": expected [" << want << "]";
        if (want != saw) std::cout << " saw [" << saw << "]";
        std::cout << "\n";
    }
    return 1;
}
