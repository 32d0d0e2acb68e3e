#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "expected_output.h"

namespace {

using namespace std::string_literals;  // "..."s keeps embedded NUL bytes

const std::string kDemo = kDemoWithShift3 + "\nInteractive Mode:\n";
const std::string kPrompt = "Enter text to encrypt (or 'quit' to exit): ";
const std::string kGoodbye = "Goodbye!\n";

// The output for one line that is not a command: the block, then the next prompt.
std::string Block(const std::string& line, const std::string& encrypted) {
  return "Original:  " + line + "\nEncrypted: " + encrypted + "\nDecrypted: " + line + "\n\n" +
         kPrompt;
}

std::string Repeat(const std::string& piece, int times) {
  std::string whole;
  for (int i = 0; i < times; ++i) whole += piece;
  return whole;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A command to run the program under, such as a memory checker or an emulator, as words separated
// by semicolons (a CMake list), so that a path with spaces stays one word. It must add nothing to
// standard error or the exit status unless it finds a fault.
std::vector<std::string> LauncherWords() {
  std::vector<std::string> words;
  if (const char* launcher = std::getenv("SIMPLE_ENCRYPTION_TEST_LAUNCHER")) {
    std::istringstream split(launcher);
    for (std::string word; std::getline(split, word, ';');) {
      if (!word.empty()) words.push_back(word);
    }
  }
  return words;
}

// Standard input as a pipe that the test fills with the row's input and then holds open: the
// program can only finish by not reading on.
const std::string kInputNeverEnds = "<pipe held open>";

// Long enough for Valgrind or an emulator; a program that waits for input never gets there.
constexpr auto kDeadline = std::chrono::seconds(30);

// Waits for the child up to the deadline, then kills it. Returns its exit status, or -1 if it
// did not exit normally in time.
int WaitWithDeadline(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  int wstatus = 0;
  while (waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      ADD_FAILURE() << "the program was still running after " << kDeadline.count() << " s";
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 if the program did not exit normally
};

// Runs the program with standard input and output redirected from and to the given paths; a
// path left empty means a fresh temporary file (holding `input`, for standard input). A non-zero
// `outputLimit` caps, in bytes, the files the program may write, as a full disk would.
Outcome RunProgram(const std::string& input, std::string inPath, std::string outPath,
                   std::size_t outputLimit) {
  // Named after this process, so that the plain and the Valgrind runs can go in parallel.
  const std::string dir = ::testing::TempDir() + "program_test_" + std::to_string(getpid()) + "_";
  const bool captureOut = outPath.empty();
  std::array<int, 2> heldPipe = {-1, -1};
  if (inPath.empty()) {
    inPath = dir + "in";
    std::ofstream(inPath, std::ios::binary) << input;
  }
  if (captureOut) outPath = dir + "out";
  const std::string errPath = dir + "err";

  // Close-on-exec, so that the child holds no write end of its own input.
  if (inPath == kInputNeverEnds) {
    if (pipe(heldPipe.data()) != 0 || fcntl(heldPipe[0], F_SETFD, FD_CLOEXEC) != 0 ||
        fcntl(heldPipe[1], F_SETFD, FD_CLOEXEC) != 0 ||
        write(heldPipe[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
      ADD_FAILURE() << "cannot make a pipe holding the input";
      return {};
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (inPath == kInputNeverEnds) {
    posix_spawn_file_actions_adddup2(&actions, heldPipe[0], 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> words = LauncherWords();
  words.emplace_back(SIMPLE_ENCRYPTION_EXE);
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  std::transform(words.begin(), words.end(), std::back_inserter(argv),
                 [](std::string& word) { return word.data(); });
  argv.push_back(nullptr);
  std::array<char*, 1> envp = {nullptr};
  pid_t pid = 0;
  Outcome run;
  // The child inherits the limit and the ignored SIGXFSZ, so that a write past the limit fails
  // with EFBIG instead of killing it. Both are restored at once: the test writes files too.
  rlimit savedLimit{};
  getrlimit(RLIMIT_FSIZE, &savedLimit);
  const auto savedHandler = std::signal(SIGXFSZ, outputLimit > 0 ? SIG_IGN : SIG_DFL);
  if (outputLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(outputLimit), savedLimit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  setrlimit(RLIMIT_FSIZE, &savedLimit);
  static_cast<void>(std::signal(SIGXFSZ, savedHandler));
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) {
    run.status = WaitWithDeadline(pid);
  } else {
    ADD_FAILURE() << "cannot start " << argv[0];
  }
  for (const int fd : heldPipe) {
    if (fd >= 0) close(fd);
  }
  if (captureOut) run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  for (const char* file : {"in", "out", "err"})
    static_cast<void>(std::remove((dir + file).c_str()));
  return run;
}

struct Case {
  Case(const char* caseName, std::string stdinText, std::string out, int status = 0,
       std::string stdinPath = "", std::string stdoutPath = "", std::size_t limit = 0)
      : name(caseName),
        input(std::move(stdinText)),
        expectedOut(std::move(out)),
        expectedStatus(status),
        inPath(std::move(stdinPath)),
        outPath(std::move(stdoutPath)),
        outputLimit(limit) {}
  const char* name;
  std::string input;
  std::string expectedOut;  // after the demonstration, the heading and the first prompt
  int expectedStatus;
  std::string inPath;       // instead of a file holding `input`, when set
  std::string outPath;      // standard output not captured, when set
  std::size_t outputLimit;  // bytes of output; only the part of expectedOut before it is written
};

// Names the row when GoogleTest reports it as failed.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const std::string kLongLine = Repeat("Zebra-123 xyz\xFF\0"s, 20000);  // 300 kB, one line

// The output limit that falls `early` bytes before the end of the whole transcript.
std::size_t LimitBeforeEnd(const std::string& expectedOut, std::size_t early) {
  return kDemo.size() + kPrompt.size() + expectedOut.size() - early;
}
const std::string kZebraBlock = Block(Repeat("Zebra", 40), Repeat("Cheud", 40));

// One test per row, so that a slow run (under Valgrind, say) can be split across processes.
const std::vector<Case> kCases = {
    {"example session", "Zebra-123 xyz\nquit\n",
     Block("Zebra-123 xyz", "Cheud-123 abc") + kGoodbye},
    {"exit as the first line", "exit\n", kGoodbye},
    // Commands match only exactly: case, spaces, a CR from CR LF input or extra text would
    // wrongly end the session if the comparison were loose.
    {"text that only looks like a command", "Quit\n quit\nquit \nquit\r\nQUIT\nquitting\nexit!\n",
     Block("Quit", "Txlw") + Block(" quit", " txlw") + Block("quit ", "txlw ") +
         Block("quit\r", "txlw\r") + Block("QUIT", "TXLW") + Block("quitting", "txlwwlqj") +
         Block("exit!", "halw!") + kGoodbye},
    // Spaces and tabs kept; an empty line still gives a block.
    {"blank and padded lines", "\n\t a \t\nexit\n",
     Block("", "") + Block("\t a \t", "\t d \t") + kGoodbye},
    // NUL must not end the line, and high bytes must not be taken for letters.
    {"binary line", "a\0b\x7F\x80\xC3\xA9\xFFZ@[`{\nquit\n"s,
     Block("a\0b\x7F\x80\xC3\xA9\xFF"s
           "Z@[`{",
           "d\0e\x7F\x80\xC3\xA9\xFF"s
           "C@[`{") +
         kGoodbye},
    {"line longer than any stream buffer", kLongLine + "\nquit\n",
     Block(kLongLine, Repeat("Cheud-123 abc\xFF\0"s, 20000)) + kGoodbye},
    // End of input must end the program as quit does, not repeat the last pass forever.
    {"last line without a line feed", "abc", Block("abc", "def") + kGoodbye},
    {"quit without a line feed", "quit", kGoodbye},
    {"empty input", "", kGoodbye},
    // A read error must not pass for end of input and a normal exit.
    {"standard input is a directory", "", "", 1, "/"},
    // Output that cannot be written must not end with a success status, even when only the last
    // line fails ...
    {"disk full in Goodbye", "abc\nquit\n", Block("abc", "def") + kGoodbye, 1, "", "",
     LimitBeforeEnd(Block("abc", "def") + kGoodbye, 4)},
    // ... nor leave the program waiting for input after the output has already failed.
    {"standard output is full, input never ends", "", "", 1, kInputNeverEnds, "/dev/full"},
    // A prompt is only flushed by the next read unless the program flushes it itself.
    {"disk full in the second prompt, input never ends", Repeat("Zebra", 40) + "\n", kZebraBlock, 1,
     kInputNeverEnds, "", LimitBeforeEnd(kZebraBlock, 20)},
};

class Transcript : public ::testing::TestWithParam<Case> {};

TEST_P(Transcript, MatchesByteForByte) {
  const Case& c = GetParam();
  const Outcome run = RunProgram(c.input, c.inPath, c.outPath, c.outputLimit);
  EXPECT_EQ(run.status, c.expectedStatus);
  EXPECT_EQ(run.err, "");
  if (c.outPath.empty()) {
    const std::string whole = kDemo + kPrompt + c.expectedOut;
    EXPECT_EQ(run.out, c.outputLimit > 0 ? whole.substr(0, c.outputLimit) : whole);
  }
}

INSTANTIATE_TEST_SUITE_P(Program, Transcript, ::testing::ValuesIn(kCases));

}  // namespace
