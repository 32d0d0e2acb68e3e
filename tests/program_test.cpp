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

// A command to run the program under, such as a memory checker or an emulator, one word a line, so
// that a path with spaces stays one word. It must add nothing to standard error or the exit
// status unless it finds a fault.
std::vector<std::string> LauncherWords() {
  std::vector<std::string> words;
  if (const char* launcher = std::getenv("SIMPLE_ENCRYPTION_TEST_LAUNCHER")) {
    std::istringstream split(launcher);
    for (std::string word; std::getline(split, word);) {
      if (!word.empty()) words.push_back(word);
    }
  }
  return words;
}

// Standard input as a pipe that the test fills with the row's input and then holds open: the
// program can only finish by not reading on.
const std::string kInputNeverEnds = "<pipe held open>";
// The same pipe, closed after the input.
const std::string kInputPipe = "<pipe>";

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

// One row: the program's arguments and standard input, and what it must write and return.
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
  // With arguments, expectedOut is the whole output. "@in" stands for the file holding `input`.
  Case& Args(std::vector<std::string> words) {
    args = std::move(words);
    return *this;
  }
  Case& Err(std::string text) {
    expectedErr = std::move(text);
    return *this;
  }
  // Runs the program under prlimit with this address-space limit: not under a launcher or a
  // sanitizer, which need far more address space than the program does.
  Case& AddressSpace(std::size_t bytes) {
    addressSpace = bytes;
    return *this;
  }
  // Adds to the input a line of this many letters, made only when the row runs: every test
  // process builds the whole table.
  Case& LineOf(std::size_t letters) {
    lineLength = letters;
    return *this;
  }
  const char* name;
  std::string input;
  std::string expectedOut;  // after the demonstration, the heading and the first prompt
  int expectedStatus;
  std::string inPath;       // instead of a file holding `input`, when set
  std::string outPath;      // standard output not captured, when set
  std::size_t outputLimit;  // bytes of output; only the part of expectedOut before it is written
  std::vector<std::string> args;
  std::string expectedErr;
  std::size_t addressSpace = 0;
  std::size_t lineLength = 0;
};

// Runs the program with standard input and output redirected from and to the row's paths; a path
// left empty means a fresh temporary file (holding the input, for standard input). A non-zero
// output limit caps, in bytes, the files the program may write, as a full disk would.
Outcome RunProgram(const Case& c) {
  std::string inPath = c.inPath;
  std::string outPath = c.outPath;
  const std::size_t outputLimit = c.outputLimit;
  const std::string& input = c.input;
  // Named after this process, so that the plain and the Valgrind runs can go in parallel.
  const std::string dir = ::testing::TempDir() + "program_test_" + std::to_string(getpid()) + "_";
  const bool captureOut = outPath.empty();
  std::array<int, 2> heldPipe = {-1, -1};
  if (inPath.empty()) {
    inPath = dir + "in";
    std::ofstream file(inPath, std::ios::binary);
    file << input;
    if (c.lineLength > 0) file << std::string(c.lineLength, 'a') << '\n';
  }
  if (captureOut) outPath = dir + "out";
  const std::string errPath = dir + "err";

  // Close-on-exec, so that the child holds no write end of its own input.
  const bool pipeIn = inPath == kInputNeverEnds || inPath == kInputPipe;
  if (pipeIn) {
    if (pipe(heldPipe.data()) != 0 || fcntl(heldPipe[0], F_SETFD, FD_CLOEXEC) != 0 ||
        fcntl(heldPipe[1], F_SETFD, FD_CLOEXEC) != 0 ||
        write(heldPipe[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
      ADD_FAILURE() << "cannot make a pipe holding the input";
      return {};
    }
    if (inPath == kInputPipe) {
      close(heldPipe[1]);
      heldPipe[1] = -1;
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipeIn) {
    posix_spawn_file_actions_adddup2(&actions, heldPipe[0], 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> words = LauncherWords();
  if (c.addressSpace > 0) words = {"prlimit", "--as=" + std::to_string(c.addressSpace), "--"};
  words.emplace_back(SIMPLE_ENCRYPTION_EXE);
  std::transform(c.args.begin(), c.args.end(), std::back_inserter(words),
                 [&inPath](const std::string& arg) { return arg == "@in" ? inPath : arg; });
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

// Names the row when GoogleTest reports it as failed.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const std::string kLongLine = Repeat("Zebra-123 xyz\xFF\0"s, 20000);  // 300 kB, one line

// The output limit that falls `early` bytes before the end of the whole transcript.
std::size_t LimitBeforeEnd(const std::string& expectedOut, std::size_t early) {
  return kDemo.size() + kPrompt.size() + expectedOut.size() - early;
}
const std::string kZebraBlock = Block(Repeat("Zebra", 40), Repeat("Cheud", 40));

// Every byte value, ending without a line feed, and the same with its letters moved by 3.
std::string AllBytes(const std::string& upper, const std::string& lower) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes.replace('A', 26, upper).replace('a', 26, lower);
}
const std::string kAllBytes = AllBytes("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz");
const std::string kAllBytesEncrypted =
    AllBytes("DEFGHIJKLMNOPQRSTUVWXYZABC", "defghijklmnopqrstuvwxyzabc");

const std::string kTryHelp = "Try 'simple_encryption --help' for more information.\n";
Case UsageError(const char* name, std::vector<std::string> args, const std::string& problem) {
  return Case(name, "", "", 2)
      .Args(std::move(args))
      .Err("simple_encryption: " + problem + "\n" + kTryHelp);
}

// One test per row, so that ctest can run the rows side by side.
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
    Case("standard input is a directory", "", "", 1, "/")
        .Err("simple_encryption: read error: Is a directory\n"),
    // Output that cannot be written must not end with a success status, even when only the last
    // line fails ...
    Case("disk full in Goodbye", "abc\nquit\n", Block("abc", "def") + kGoodbye, 1, "", "",
         LimitBeforeEnd(Block("abc", "def") + kGoodbye, 4))
        .Err("simple_encryption: write error: File too large\n"),
    // ... nor leave the program waiting for input after the output has already failed.
    Case("standard output is full, input never ends", "", "", 1, kInputNeverEnds, "/dev/full")
        .Err("simple_encryption: write error: No space left on device\n"),
    // A prompt is only flushed by the next read unless the program flushes it itself.
    Case("disk full in the second prompt, input never ends", Repeat("Zebra", 40) + "\n",
         kZebraBlock, 1, kInputNeverEnds, "", LimitBeforeEnd(kZebraBlock, 20))
        .Err("simple_encryption: write error: File too large\n"),
    // Out of memory while a line is encrypted, the runtime would abort the program.
    Case("memory runs out", "", "", 1)
        .LineOf(std::size_t{24} << 20)
        .AddressSpace(std::size_t{64} << 20)
        .Err("simple_encryption: memory exhausted\n"),

    // ---- Options
    Case("a shift chosen for the session", "Zebra\nquit\n",
         kDemoWithShift25 + "\nInteractive Mode:\n" + kPrompt + Block("Zebra", "Ydaqz") + kGoodbye)
        .Args({"--shift=-27"}),
    // Nothing but the bytes: no labels, no end at "quit", no line feed added, NUL and CR kept.
    Case("encrypting a file", "quit\r\n" + kAllBytes, "txlw\r\n" + kAllBytesEncrypted)
        .Args({"-e", "@in"}),
    Case("decrypting standard input", kAllBytesEncrypted, kAllBytes).Args({"-ds3"}),
    Case("help", "", "Usage: simple_encryption [-s N]\n").Args({"--help"}),
    Case("version", "", "simple_encryption " SIMPLE_ENCRYPTION_VERSION "\n").Args({"--version"}),
    UsageError("an unknown option", {"-e", "--bogus"}, "unrecognized option '--bogus'"),
    UsageError("a shift that is not a number", {"-s", "3x"}, "invalid shift: '3x'"),
    UsageError("an empty shift", {"--shift="}, "invalid shift: ''"),
    UsageError("a shift out of range", {"-s", "2147483648"}, "shift out of range: '2147483648'"),
    UsageError("a file without a mode", {"notes.txt"}, "extra operand 'notes.txt'"),
    UsageError("both directions", {"-ed"},
               "options --encrypt and --decrypt cannot be used together"),
    UsageError("a guess and a shift", {"--guess", "-s3"},
               "option --guess cannot be used with --shift"),
    UsageError("a guess and encryption", {"--guess", "-e"},
               "option --guess cannot be used with --encrypt"),

    // ---- The filters' failures
    Case("standard output is full in a filter", "abc", "", 1, "", "/dev/full")
        .Args({"-e"})
        .Err("simple_encryption: write error: No space left on device\n"),
    // Named and skipped, as cat does, and the good files still written.
    Case("files that cannot be read among good ones", "Zebra", "CheudCheud", 1)
        .Args({"-e", "@in", "/nonexistent", "/", "@in"})
        .Err("simple_encryption: /nonexistent: No such file or directory\n"
             "simple_encryption: /: Is a directory\n"),

    // ---- Guessing the shift
    Case("a guess from three letters", "Wkh\n", "3\n")
        .Args({"--guess"})
        .Err("simple_encryption: uncertain guess: shift 2 scores almost as well\n"),
    Case("a guess without letters", "12:30, 4-5 !\n", "", 1)
        .Args({"--guess"})
        .Err("simple_encryption: no letters to guess the shift from\n"),
    Case("decrypting a pipe with the shift guessed", "Khoor Zruog! Wklv lv d whvw phvvdjh.\n",
         "Hello World! This is a test message.\n", 0, kInputPipe)
        .Args({"-d", "--guess"}),
};

class Transcript : public ::testing::TestWithParam<Case> {};

TEST_P(Transcript, MatchesByteForByte) {
  const Case& c = GetParam();
  // Only the start of a long text such as --help's.
  const bool startOnly = c.args == std::vector<std::string>{"--help"};
#ifdef __SANITIZE_ADDRESS__
  if (c.addressSpace > 0) GTEST_SKIP() << "AddressSanitizer reserves more address space";
#endif
  if (c.addressSpace > 0 && !LauncherWords().empty()) GTEST_SKIP() << "under a launcher";
  const Outcome run = RunProgram(c);
  EXPECT_EQ(run.status, c.expectedStatus);
  EXPECT_EQ(run.err, c.expectedErr);
  if (c.outPath.empty()) {
    const std::string whole = c.args.empty() ? kDemo + kPrompt + c.expectedOut : c.expectedOut;
    EXPECT_EQ(startOnly ? run.out.substr(0, whole.size()) : run.out,
              c.outputLimit > 0 ? whole.substr(0, c.outputLimit) : whole);
  }
}

INSTANTIATE_TEST_SUITE_P(Program, Transcript, ::testing::ValuesIn(kCases));

}  // namespace
