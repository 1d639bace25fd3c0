#pragma once
// Runs a built program of the kit the way an author does, in a scratch
// folder, and collects its exit status and what it printed.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/test_files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace kit::testing {

inline std::string binPath(const std::string& program) { return std::string(KIT_BIN_DIR) + "/" + program; }
inline std::string sourcePath(const std::string& rel) { return std::string(KIT_SOURCE_DIR) + "/" + rel; }

using Scratch = TempDir;
inline Bytes readBytes(const std::string& path) { return readFile(path); }
inline std::string readText(const std::string& path) {
  Bytes b = readFile(path);
  return std::string(b.begin(), b.end());
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs program with args in folder cwd, feeding input on standard input. The
// environment is the test's own, less the kit's variables, plus env (a value
// of "\x01" unsets a variable). HOME and XDG_CONFIG_HOME point into cwd unless
// env says otherwise, so no test touches the real settings.
inline Result run(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                  const std::map<std::string, std::string>& env = {}, const std::string& input = "") {
  std::string in = cwd + "/.stdin", out = cwd + "/.stdout", err = cwd + "/.stderr";
  std::ofstream(in, std::ios::binary) << input;
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    unsetenv("AdventuresPath");
    unsetenv("TMIIDEV");
    unsetenv("SOURCE_DATE_EPOCH");
    setenv("HOME", cwd.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (cwd + "/.config").c_str(), 1);
    for (auto& [k, v] : env) {
      if (v == "\x01")
        unsetenv(k.c_str());
      else
        setenv(k.c_str(), v.c_str(), 1);
    }
    if (!freopen(in.c_str(), "rb", stdin) || !freopen(out.c_str(), "wb", stdout) ||
        !freopen(err.c_str(), "wb", stderr))
      _exit(126);
    std::string exe = binPath(program);
    std::vector<char*> argv;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  Result r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.out = readText(out);
  r.err = readText(err);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

}  // namespace kit::testing
