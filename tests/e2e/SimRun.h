// Running blubbi-sim on a script in a data folder of the test's own, and reading its dumps.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace blubbi::e2e {

struct TSimResult {
    int Status = -1;
    std::vector<nlohmann::json> Dumps;
    std::string Err;
};

// A program folder with the built pictures beside fresh levels/ of the test.
inline std::string DataDir(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("blubbi-e2e-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "levels");
    std::error_code ec;
    fs::create_directory_symlink(fs::path(BLUBBI_DATA) / "grafiken", dir / "grafiken", ec);
    return dir.string() + "/";
}

// Runs on the program folder `dataDir`; the script and its error output are kept in `workDir`.
// `shellFirst` runs in the same shell just before, for limits such as "ulimit -f 2;".
inline TSimResult RunSimIn(const std::string& workDir, const std::string& dataDir, const std::string& script,
                           const std::string& options = "", const std::string& shellFirst = "") {
    const std::string scriptPath = workDir + "script.txt", errPath = workDir + "stderr.txt";
    std::ofstream(scriptPath) << script;
    const std::string command = shellFirst + std::string(BLUBBI_SIM) + " --data " + dataDir + " " + options + " " +
                                scriptPath + " 2>" + errPath;
    TSimResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    std::string out;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) result.Dumps.push_back(nlohmann::json::parse(line));
    std::ifstream err(errPath);
    result.Err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return result;
}

inline TSimResult RunSim(const std::string& dataDir, const std::string& script, const std::string& options = "") {
    return RunSimIn(dataDir, dataDir, script, options);
}

}  // namespace blubbi::e2e
