// kiln's outputs against what happens around a build: a full disk, two
// builds of one adventure at once, Ctrl+C or a build tool's SIGTERM at any
// moment, databases linked into an emulator's folder or made read-only, and
// folders standing where an output goes.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/adventure.h"

namespace {

namespace fs = std::filesystem;
using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;

// The sample adventure, built with -fs -text -hist in the scratch folder.
struct Sample : kit::testing::Adventure {
  Sample() {
    fs::copy(kit::testing::sourcePath("examples/Quest"), quest,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  std::string config() const { return quest + "/pdbs.cfg"; }
  // Every file the build writes.
  std::vector<std::string> outputs() const {
    return {quest + "/QuestData.pdb", quest + "/QuestTiles.pdb", quest + "/QuestWalls.pdb",
            quest + "/QuestMaps.pdb",  adv + "/wallattr.bin",     quest + "/src/Talmoric2/src/textpdb.h",
            s.path("histogram.txt")};
  }
  std::map<std::string, Bytes> snapshot() const {
    std::map<std::string, Bytes> files;
    for (const std::string& path : outputs()) files[path] = readBytes(path);
    return files;
  }
};

// Starts kiln in root without waiting for it, its output in log.out and
// log.err. A non-zero fileLimit caps the size of every file it writes, with
// SIGXFSZ ignored so that a write past the cap fails with EFBIG.
pid_t startKiln(const std::string& root, const std::string& adv, const std::vector<std::string>& args,
                const std::string& log, const std::string& epoch = "0", rlim_t fileLimit = 0) {
  std::string exe = kit::testing::binPath("kiln");
  std::vector<std::string> words = {exe};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::string out = log + ".out", err = log + ".err";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(root.c_str()) != 0) _exit(126);
    setenv("AdventuresPath", adv.c_str(), 1);
    setenv("TMIIDEV", "", 1);
    setenv("SOURCE_DATE_EPOCH", epoch.c_str(), 1);
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/.config").c_str(), 1);
    int in = open("/dev/null", O_RDONLY);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || o < 0 || e < 0 || dup2(in, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
    if (fileLimit) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit;
      getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = fileLimit;
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

int exitStatus(int wstatus) { return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1; }

std::vector<std::string> temporaryFiles(const std::string& root) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.path().extension() == ".tmp") found.push_back(entry.path().string());
  return found;
}

TEST(KilnOutput, AFullDiskIsAWriteFailureThatKeepsThePreviousDatabase) {
  Sample a;
  std::string data = a.path("QuestData.pdb");
  a.write("QuestData.pdb", "previous database");
  // QuestData.pdb is 8724 bytes: more than the cap, while the console output
  // stays far below it.
  pid_t pid = startKiln(a.s.root.string(), a.adv, {"-fs", a.config()}, a.s.path("log"), "0", 4096);
  int status = waitFor(pid);
  EXPECT_EQ(exitStatus(status), 1);
  std::string err = readText(a.s.path("log.err"));
  EXPECT_NE(err.find("ERROR: failed to write " + data + ": File too large\n"), std::string::npos) << err;
  EXPECT_EQ(err.find("Press ENTER"), std::string::npos);
  EXPECT_EQ(readText(data), "previous database");
  EXPECT_EQ(temporaryFiles(a.s.root.string()), std::vector<std::string>{});
  // The first database goes to the disk while the second is compiled; its
  // failure ends the run there, before any later database is put in place.
  EXPECT_FALSE(fs::exists(a.path("QuestTiles.pdb")));
  EXPECT_FALSE(fs::exists(a.path("QuestMaps.pdb")));
  EXPECT_EQ(readText(a.s.path("log.out")).find("Done."), std::string::npos);

  // The same for a side file: the databases (8724 bytes at most) and
  // wallattr.bin fit, the 9838 bytes of the histogram do not.
  a.s.write("histogram.txt", "previous histogram");
  pid = startKiln(a.s.root.string(), a.adv, {"-fs", "-hist", a.config()}, a.s.path("log"), "0", 9000);
  EXPECT_EQ(exitStatus(waitFor(pid)), 1);
  err = readText(a.s.path("log.err"));
  EXPECT_NE(err.find("ERROR: failed to write histogram.txt: File too large\n"), std::string::npos) << err;
  EXPECT_EQ(readText(a.s.path("histogram.txt")), "previous histogram");
  EXPECT_EQ(temporaryFiles(a.s.root.string()), std::vector<std::string>{});
}

TEST(KilnOutput, TwoBuildsOfOneAdventureAtOnceBothSucceedWithWholeFiles) {
  Sample a;
  std::string root = a.s.root.string();
  std::vector<std::string> args = {"-fs", "-text", "-hist", a.config()};
  ASSERT_EQ(exitStatus(waitFor(startKiln(root, a.adv, args, a.s.path("single")))), 0)
      << readText(a.s.path("single.err"));
  auto expected = a.snapshot();
  for (int round = 0; round < 20; ++round) {
    pid_t first = startKiln(root, a.adv, args, a.s.path("first"));
    pid_t second = startKiln(root, a.adv, args, a.s.path("second"));
    int s1 = waitFor(first), s2 = waitFor(second);
    ASSERT_EQ(exitStatus(s1), 0) << "round " << round << ": " << readText(a.s.path("first.err"));
    ASSERT_EQ(exitStatus(s2), 0) << "round " << round << ": " << readText(a.s.path("second.err"));
    for (const auto& [path, bytes] : a.snapshot()) ASSERT_EQ(bytes, expected[path]) << path << ", round " << round;
    ASSERT_EQ(temporaryFiles(root), std::vector<std::string>{});
  }
}

TEST(KilnOutput, InterruptsAtAnyMomentLeaveNoTemporaryFileAndOnlyWholeDatabases) {
  kit::testing::Scratch s;
  std::string adv = s.path("adv");
  std::string command = "python3 " + kit::testing::sourcePath("bench/gen_adventure.py") + " " + adv +
                        " --scale 0.1 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "python3 could not generate the adventure";
  std::string root = s.root.string(), config = adv + "/Bench/pdbs.cfg";
  std::vector<std::string> outputs = {"Bench/BenchData.pdb", "Bench/BenchTiles.pdb", "Bench/BenchWalls.pdb",
                                      "Bench/BenchMaps.pdb", "wallattr.bin"};
  auto snapshot = [&] {
    std::vector<Bytes> files;
    for (const std::string& name : outputs) files.push_back(readBytes(adv + "/" + name));
    return files;
  };

  // The new bytes (dates of epoch 1), then the previous ones (epoch 0), which
  // stay on disk; the interrupted builds stamp epoch 1.
  ASSERT_EQ(exitStatus(waitFor(startKiln(root, adv, {"-fs", config}, s.path("log"), "1"))), 0)
      << readText(s.path("log.err"));
  std::vector<Bytes> fresh = snapshot();
  auto started = std::chrono::steady_clock::now();  // the inputs are in the cache now
  ASSERT_EQ(exitStatus(waitFor(startKiln(root, adv, {"-fs", config}, s.path("log"), "0"))), 0);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::vector<Bytes> previous = snapshot();
  ASSERT_NE(fresh[0], previous[0]);

  std::mt19937 random(20261208);
  std::uniform_real_distribution<double> moment(0, seconds * 1.1);
  int interrupted = 0;
  for (int round = 0; round < 40; ++round) {
    int sig = round % 2 ? SIGTERM : SIGINT;
    pid_t pid = startKiln(root, adv, {"-fs", config}, s.path("log"), "1");
    std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
    kill(pid, sig);
    int status = waitFor(pid);
    if (WIFSIGNALED(status)) {
      ++interrupted;
      EXPECT_EQ(WTERMSIG(status), sig) << "round " << round;
    } else {
      EXPECT_EQ(exitStatus(status), 0) << "round " << round << ": " << readText(s.path("log.err"));
    }
    ASSERT_EQ(temporaryFiles(root), std::vector<std::string>{}) << "round " << round;
    std::vector<Bytes> now = snapshot();
    for (size_t i = 0; i < outputs.size(); ++i)
      ASSERT_TRUE(now[i] == previous[i] || now[i] == fresh[i]) << outputs[i] << ", round " << round;
  }
  EXPECT_GT(interrupted, 10);
}

TEST(KilnOutput, ALinkedDatabaseStaysLinkedAndAReadOnlyOneStaysReadOnly) {
  Sample a;
  std::string root = a.s.root.string();
  ASSERT_EQ(exitStatus(waitFor(startKiln(root, a.adv, {"-fs", a.config()}, a.s.path("log")))), 0);
  auto expected = a.snapshot();

  // Authors link their databases into an emulator's folder.
  std::string emulator = a.s.path("emulator");
  fs::create_directories(emulator);
  a.s.write("emulator/QuestData.pdb", "previous");
  fs::remove(a.path("QuestData.pdb"));
  fs::create_symlink("../../emulator/QuestData.pdb", a.path("QuestData.pdb"));
  a.write("QuestMaps.pdb", "previous");
  chmod(a.path("QuestMaps.pdb").c_str(), 0444);
  chmod(a.path("QuestWalls.pdb").c_str(), 0640);

  ASSERT_EQ(exitStatus(waitFor(startKiln(root, a.adv, {"-fs", a.config()}, a.s.path("log")))), 0)
      << readText(a.s.path("log.err"));
  EXPECT_TRUE(fs::is_symlink(a.path("QuestData.pdb")));
  EXPECT_EQ(readBytes(emulator + "/QuestData.pdb"), expected[a.path("QuestData.pdb")]);
  EXPECT_EQ(readBytes(a.path("QuestMaps.pdb")), expected[a.path("QuestMaps.pdb")]);
  struct stat st;
  ASSERT_EQ(stat(a.path("QuestMaps.pdb").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  ASSERT_EQ(stat(a.path("QuestWalls.pdb").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(temporaryFiles(root), std::vector<std::string>{});
}

TEST(KilnOutput, AFolderWhereAnOutputGoesIsReportedWhenTheFileIsCreated) {
  Sample a;
  fs::create_directories(a.adv + "/wallattr.bin");
  kit::testing::Result r = a.kiln({"-fs", a.config()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: Could not open wall attrib file: Is a directory\n"), std::string::npos) << r.err;

  // A database: at its database line, before any of its data lines.
  fs::remove(a.adv + "/wallattr.bin");
  fs::remove(a.path("QuestTiles.pdb"));
  fs::create_directories(a.path("QuestTiles.pdb"));
  r = a.kiln({"-fs", a.config()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: failed to open " + a.path("QuestTiles.pdb") + "\n: Is a directory\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("Press ENTER"), std::string::npos);
  std::string creating = "Creating QuestTiles.pdb: \"Quest Tiles\" <Tlm2> <TILE> Tiles of the Sunken Keep v1.0\n";
  ASSERT_GE(r.out.size(), creating.size());
  EXPECT_EQ(r.out.substr(r.out.size() - creating.size()), creating);
  EXPECT_EQ(kit::testing::pdbRecords(a.path("QuestData.pdb")).size(), 20u);  // finished before it
  EXPECT_EQ(temporaryFiles(a.s.root.string()), std::vector<std::string>{});
}

}  // namespace
