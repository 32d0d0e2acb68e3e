#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LanguageModels.h"
#include "expected_output.h"
#include "transcript.h"

namespace {

using transcript::AllBytes;
using transcript::Case;
using transcript::kAllBytes;
using transcript::kEnemy;
using transcript::kNoCaesar;
using transcript::kRussianCipher;
using transcript::kRussianPlain;
using transcript::Repeat;
using transcript::RowName;
using transcript::Transcript;
using transcript::UsageError;

using namespace std::string_literals;  // "..."s keeps embedded NUL bytes

const std::string kDemo = kDemoWithShift3 + "\nInteractive Mode:\n";
const std::string kPrompt = "Enter text to encrypt (or 'quit' to exit): ";
const std::string kGoodbye = "Goodbye!\n";

// The output for one line that is not a command: the block, then the next prompt.
std::string Block(const std::string& line, const std::string& encrypted) {
  return "Original:  " + line + "\nEncrypted: " + encrypted + "\nDecrypted: " + line + "\n\n" +
         kPrompt;
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
// Standard output appended to the file holding the input, as `>>` does.
const std::string kAppendToInput = "<append to @in>";
// Standard input or output closed, as `<&-` and `>&-` do.
const std::string kClosed = "<closed>";

// Long enough for Valgrind or an emulator; a program that waits for input never gets there.
constexpr auto kDeadline = std::chrono::seconds(30);

// Waits for the child up to the deadline, then kills it. Returns its exit status, 128 + the
// signal that ended it, as a shell says, or -1 if it did not end in time.
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
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
  std::string dir;        // the folder the run had to itself, for "@in" in the expectations
  std::string file;       // what "@in" holds after the run
  mode_t mode = 0;        // and its permission bits
  mode_t newMode = 0;     // those of "@new", if the run made it
  bool linkKept = false;  // whether "@link" is still a symbolic link to it
  bool aclsWork = false;  // whether the folder took the default list the row asks for
  std::string aclBefore;  // the access control list "@in" had before the run
  std::string aclAfter;   // and the one it has after it
  std::string leftovers;  // names of files the program left in the folder
};

// "@second" holds this, beside "@in" holding the row's input, "@link" pointing to "@in" through
// "i", a link whose target is as short as one can be, and "@abs" to "@in" too, by an absolute
// path longer than the room first given to read a link in. "@new" is left for the program to
// make.
const std::string kSecond = "Gur rarzl nggnpxf ng qnja\n";
const std::string kSecondEncrypted = "Jxu uduco qjjqsai qj tqmd\n";

constexpr const char* kAccessAcl = "system.posix_acl_access";

// An access control list in the kernel's form: version 2, then each entry's tag, permissions and
// id, little-endian: the owner rw, users 1 to `users` with `permissions`, the group and the mask
// r, others nothing.
std::string AclGiving(char permissions, int users = 1) {
  const std::string none = "\xFF\xFF\xFF\xFF";
  std::string acl = "\2\0\0\0"s + "\1\0\6\0"s + none;
  for (int user = 1; user <= users; ++user) {
    acl += "\2\0"s + permissions + '\0' + static_cast<char>(user) + "\0\0\0"s;
  }
  return acl + "\4\0\4\0"s + none + "\x10\0\4\0"s + none + "\x20\0\0\0"s + none;
}

std::string ReadAcl(const std::string& path) {
  std::string value(1024, '\0');
  const ssize_t size = getxattr(path.c_str(), kAccessAcl, value.data(), value.size());
  return size > 0 ? value.substr(0, static_cast<std::size_t>(size)) : std::string();
}

// The expectation with the placeholders for the run's files filled in.
// "@held" is a descriptor of this test process, not of the program: a file in the run's folder,
// removed while it is held open, which /proc shows as "<folder>held (deleted)".
constexpr int kHeldDescriptor = 200;
std::string HeldPath() {
  return "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(kHeldDescriptor);
}

std::string Expand(std::string text, const std::string& dir) {
  for (const char* name : {"in", "second", "link", "abs", "new", "held"}) {
    const std::string placeholder = std::string("@") + name;
    const std::string path = placeholder == "@held" ? HeldPath() : dir + name;
    for (std::size_t at = 0; (at = text.find(placeholder, at)) != std::string::npos;) {
      text.replace(at, placeholder.size(), path);
      at += path.size();
    }
  }
  return text;
}

// Runs the program in a folder of its own, with standard input and output redirected from and
// to the row's paths; a path left empty means a file in the folder ("@in", holding the input, for
// standard input). A non-zero output limit caps, in bytes, the files the program may write, as a
// full disk would.
Outcome RunProgram(const Case& c) {
  std::string inPath = c.inPath;
  std::string outPath = c.outPath;
  const std::size_t outputLimit = c.outputLimit;
  const std::string& input = c.input;
  std::string folder = ::testing::TempDir() + "program_test_XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a folder in " << ::testing::TempDir();
    return {};
  }
  Outcome run;
  run.dir = folder + "/";
  const std::string& dir = run.dir;
  {
    std::ofstream file(dir + "in", std::ios::binary);
    file << input;
    if (c.lineLength > 0) file << std::string(c.lineLength, 'a') << '\n';
  }
  if (c.mode != 0) chmod((dir + "in").c_str(), c.mode);
  if (c.acl) {
    const std::string none = AclGiving(0, c.aclUsers);
    const std::string read = AclGiving(4);
    // Not where the file system takes no access control lists.
    run.aclsWork =
        setxattr(dir.c_str(), "system.posix_acl_default", read.data(), read.size(), 0) == 0 &&
        (!c.ownAcl || setxattr((dir + "in").c_str(), kAccessAcl, none.data(), none.size(), 0) == 0);
    run.aclBefore = ReadAcl(dir + "in");
  }
  std::ofstream(dir + "second", std::ios::binary) << kSecond;
  if (symlink("in", (dir + "i").c_str()) != 0 || symlink("i", (dir + "link").c_str()) != 0 ||
      symlink((dir + Repeat("./", 150) + "in").c_str(), (dir + "abs").c_str()) != 0) {
    ADD_FAILURE() << "cannot make the links in " << dir;
  }
  if (inPath.empty()) inPath = dir + "in";
  const bool captureOut = outPath.empty();
  if (captureOut) outPath = dir + "out";
  if (outPath == "@in") outPath = dir + "in";
  const std::string errPath = dir + "err";
  std::array<int, 2> heldPipe = {-1, -1};

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
  } else if (inPath == kClosed) {
    posix_spawn_file_actions_addclose(&actions, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  }
  if (outPath == kAppendToInput) {
    posix_spawn_file_actions_addopen(&actions, 1, (dir + "in").c_str(), O_WRONLY | O_APPEND, 0);
  } else if (outPath == kClosed) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  }
  if (c.errClosed) {
    posix_spawn_file_actions_addclose(&actions, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  }
  // Not the program's: close-on-exec.
  const int held = open((dir + "held").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (held < 0 || dup3(held, kHeldDescriptor, O_CLOEXEC) < 0 ||
      unlink((dir + "held").c_str()) != 0) {
    ADD_FAILURE() << "cannot hold a removed file open";
  }
  close(held);
  std::vector<std::string> words = LauncherWords();
  if (c.addressSpace > 0) words = {"prlimit", "--as=" + std::to_string(c.addressSpace), "--"};
  if (c.openFiles > 0) words = {"prlimit", "--nofile=" + std::to_string(c.openFiles), "--"};
  words.emplace_back(SIMPLE_ENCRYPTION_EXE);
  std::transform(c.args.begin(), c.args.end(), std::back_inserter(words),
                 [&dir](const std::string& arg) { return Expand(arg, dir); });
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  std::transform(words.begin(), words.end(), std::back_inserter(argv),
                 [](std::string& word) { return word.data(); });
  argv.push_back(nullptr);
  std::vector<std::string> environment;
#ifdef SIMPLE_ENCRYPTION_FAULT_SHIM
  // AddressSanitizer wants to come first among the preloaded libraries, and need not.
  // By its bare name, since LD_PRELOAD splits its list at spaces, and the path may hold one.
  if (!c.fault.empty()) {
    environment = {"LD_PRELOAD=" SIMPLE_ENCRYPTION_FAULT_SHIM,
                   "LD_LIBRARY_PATH=" SIMPLE_ENCRYPTION_FAULT_SHIM_DIR,
                   "SIMPLE_ENCRYPTION_FAULT=" + c.fault, "ASAN_OPTIONS=verify_asan_link_order=0"};
  }
#endif
  environment.insert(environment.end(), c.environment.begin(), c.environment.end());
  std::vector<char*> envp;
  std::transform(environment.begin(), environment.end(), std::back_inserter(envp),
                 [](std::string& variable) { return variable.data(); });
  envp.push_back(nullptr);
  pid_t pid = 0;
  // The child inherits the limit and the umask, both restored at once: the test writes files
  // too. SIGXFSZ stays at its default, so that the program must see to it itself that a write
  // past the limit fails rather than ends it; only a launcher, which writes files of its own
  // before the program starts, gets it ignored. No core files from the rows that end the
  // program by a signal.
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  const mode_t savedMask = umask(c.umask);
  rlimit savedLimit{};
  getrlimit(RLIMIT_FSIZE, &savedLimit);
  const bool launched = !LauncherWords().empty();
  const auto savedHandler = std::signal(SIGXFSZ, outputLimit > 0 && launched ? SIG_IGN : SIG_DFL);
  const auto savedTerm = std::signal(SIGTERM, c.ignoreTerm ? SIG_IGN : SIG_DFL);
  if (outputLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(outputLimit), savedLimit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  setrlimit(RLIMIT_FSIZE, &savedLimit);
  static_cast<void>(std::signal(SIGXFSZ, savedHandler));
  static_cast<void>(std::signal(SIGTERM, savedTerm));
  umask(savedMask);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) {
    run.status = WaitWithDeadline(pid);
  } else {
    ADD_FAILURE() << "cannot start " << argv[0];
  }
  close(kHeldDescriptor);
  for (const int fd : heldPipe) {
    if (fd >= 0) close(fd);
  }
  if (captureOut) run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  run.file = ReadFile(dir + "in");
  namespace fs = std::filesystem;
  run.mode = static_cast<mode_t>(fs::status(dir + "in").permissions());
  if (fs::exists(dir + "new"))
    run.newMode = static_cast<mode_t>(fs::status(dir + "new").permissions());
  run.aclAfter = ReadAcl(dir + "in");
  run.linkKept = fs::is_symlink(dir + "link") && fs::read_symlink(dir + "link") == "i";
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename();
    if (name != "in" && name != "i" && name != "second" && name != "link" && name != "abs" &&
        name != "new" && name != "out" && name != "err") {
      run.leftovers += name + " ";
    }
  }
  fs::remove_all(folder);
  return run;
}

const std::string kLongLine = Repeat("Zebra-123 xyz\xFF\0"s, 20000);  // 300 kB, one line

// The output limit that falls `early` bytes before the end of the whole transcript.
std::size_t LimitBeforeEnd(const std::string& expectedOut, std::size_t early) {
  return kDemo.size() + kPrompt.size() + expectedOut.size() - early;
}
const std::string kZebraBlock = Block(Repeat("Zebra", 40), Repeat("Cheud", 40));

const std::string kAllBytesEncrypted =
    AllBytes("DEFGHIJKLMNOPQRSTUVWXYZABC", "defghijklmnopqrstuvwxyzabc");

const std::string kLongKhoor = Repeat("Khoor, zruog! ", 15);
// More than one 128 KiB block, for a file, and less than a pipe holds, for a pipe.
const std::string kManyBlocks = Repeat("Zebra-123 xyz\n", 12000);
const std::string kManyBlocksEncrypted = Repeat("Cheud-123 abc\n", 12000);
const std::string kManyLines = Repeat("Zebra-123 xyz\n", 4000);
const std::string kManyLinesEncrypted = Repeat("Cheud-123 abc\n", 4000);

// A replacement that fails at its last steps, which must leave the file as it was.
Case FailedReplacement(const char* call) {
  return Case(std::string("a failed ") + call + " leaves the file as it was")
      .In("Khoor")
      .Status(1)
      .Args({"-d", "-o", "@in", "@in"})
      .Fault(call)
      .Err("simple_encryption: @in: Input/output error\n")
      .File("Khoor");
}

Case MissingFile(const std::string& holding, const std::string& name, const std::string& quoted) {
  return Case("a missing file whose name holds " + holding)
      .Status(1)
      .Args({"-e", name})
      .Err("simple_encryption: " + quoted + ": No such file or directory\n");
}

// The names of the presets, as the tables list them: "latin, es, ru".
std::string Presets() {
  std::string list;
  for (const AlphabetModel& alphabet : kAlphabetModels) {
    list += (list.empty() ? "" : ", ") + std::string(alphabet.name);
  }
  return list;
}

// `text` in lines of at most 78 columns, as many words to a line as fit.
std::string Wrapped(const std::string& text) {
  std::istringstream words(text);
  std::string wrapped;
  std::string line;
  for (std::string word; words >> word;) {
    if (!line.empty() && line.size() + 1 + word.size() > 78) {
      wrapped += line + '\n';
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return wrapped + line + '\n';
}

const std::string kRefused =
    "simple_encryption: no shift makes the text read as " + Languages("or", "Latin") + "\n";

// One test per row, so that ctest can run the rows side by side, and one instantiation per
// group, so that ctest's names say what a row checks.
// The session: the demonstration, then each line typed
const std::vector<Case> kSession = {
    Case("example session")
        .In("Zebra-123 xyz\nquit\n")
        .Out(Block("Zebra-123 xyz", "Cheud-123 abc") + kGoodbye),
    Case("exit as the first line").In("exit\n").Out(kGoodbye),
    // Commands match only exactly: case, spaces, a CR from CR LF input or extra text would
    // wrongly end the session if the comparison were loose.
    Case("text that only looks like a command")
        .In("Quit\n quit\nquit \nquit\r\nQUIT\nquitting\nexit!\n")
        .Out(Block("Quit", "Txlw") + Block(" quit", " txlw") + Block("quit ", "txlw ") +
             Block("quit\r", "txlw\r") + Block("QUIT", "TXLW") + Block("quitting", "txlwwlqj") +
             Block("exit!", "halw!") + kGoodbye),
    // Spaces and tabs kept; an empty line still gives a block.
    Case("blank and padded lines")
        .In("\n\t a \t\nexit\n")
        .Out(Block("", "") + Block("\t a \t", "\t d \t") + kGoodbye),
    // NUL must not end the line, and high bytes must not be taken for letters.
    Case("binary line")
        .In("a\0b\x7F\x80\xC3\xA9\xFFZ@[`{\nquit\n"s)
        .Out(Block("a\0b\x7F\x80\xC3\xA9\xFF"s
                   "Z@[`{",
                   "d\0e\x7F\x80\xC3\xA9\xFF"s
                   "C@[`{") +
             kGoodbye)
        .Representative(),
    Case("line longer than any stream buffer")
        .In(kLongLine + "\nquit\n")
        .Out(Block(kLongLine, Repeat("Cheud-123 abc\xFF\0"s, 20000)) + kGoodbye)
        .Representative(),
    // End of input must end the program as quit does, not repeat the last pass forever.
    Case("last line without a line feed").In("abc").Out(Block("abc", "def") + kGoodbye),
    Case("quit without a line feed").In("quit").Out(kGoodbye),
    Case("empty input").Out(kGoodbye),
    // A read error must not pass for end of input and a normal exit.
    Case("standard input is a directory")
        .Status(1)
        .StdinFrom("/")
        .Err("simple_encryption: read error: Is a directory\n"),
    // Output that cannot be written must not end with a success status, even when only the last
    // line fails ...
    Case("disk full in Goodbye")
        .In("abc\nquit\n")
        .Out(Block("abc", "def") + kGoodbye)
        .Status(1)
        .OutputLimit(LimitBeforeEnd(Block("abc", "def") + kGoodbye, 4))
        .Representative()
        .Err("simple_encryption: write error: File too large\n"),
    // ... nor leave the program waiting for input after the output has already failed.
    Case("standard output is full, input never ends")
        .Status(1)
        .StdinFrom(kInputNeverEnds)
        .StdoutTo("/dev/full")
        .Err("simple_encryption: write error: No space left on device\n"),
    // A prompt is only flushed by the next read unless the program flushes it itself.
    Case("disk full in the second prompt, input never ends")
        .In(Repeat("Zebra", 40) + "\n")
        .Out(kZebraBlock)
        .Status(1)
        .StdinFrom(kInputNeverEnds)
        .OutputLimit(LimitBeforeEnd(kZebraBlock, 20))
        .Err("simple_encryption: write error: File too large\n"),
    // Out of memory while a line is encrypted, the runtime would abort the program.
    Case("memory runs out")
        .Status(1)
        .LineOf(std::size_t{24} << 20)
        .AddressSpace(std::size_t{64} << 20)
        .Err("simple_encryption: memory exhausted\n"),
};

// Options
const std::vector<Case> kOptions = {
    Case("a shift chosen for the session")
        .In("Zebra\nquit\n")
        .Out(kDemoWithShift25 + "\nInteractive Mode:\n" + kPrompt + Block("Zebra", "Ydaqz") +
             kGoodbye)
        .Args({"--shift=-27"}),
    // Nothing but the bytes: no labels, no end at "quit", no line feed added, NUL and CR kept.
    Case("encrypting a file")
        .In("quit\r\n" + kAllBytes)
        .Out("txlw\r\n" + kAllBytesEncrypted)
        .Representative()
        .Args({"-e", "@in"}),
    Case("decrypting standard input").In(kAllBytesEncrypted).Out(kAllBytes).Args({"-ds3"}),
    Case("help").Out("Usage: simple_encryption [-s N]\n").Args({"--help"}).Start().FitsTerminal(),
    // Help acts where it is read, as in the core utilities.
    Case("help before a bad option")
        .Out("Usage: simple_encryption [-s N]\n")
        .Args({"--help", "--bogus"})
        .Start()
        .FitsTerminal(),
    // The lists that the tables make are wrapped under the text of their option.
    Case("help lines up the presets")
        .Out("  -a, --alphabet=NAME  move the letters of the alphabet NAME instead of the\n"
             "                         ASCII ones: latin (the default),")
        .Args({"--help"})
        .Within(),
    // The languages as the tables have them, in lines that fit.
    Case("help names the languages")
        .Out("\n" +
             Wrapped("The guess knows " + Languages("and") +
                     ", and is refused when no shift makes the text read as one of them.") +
             "\n")
        .Args({"--help"})
        .Within()
        .FitsTerminal(),
    // And the codes --lang takes.
    Case("help gives the languages' codes")
        .Out(std::string("such as --lang=de,fr: ") + kLanguageModels[0].code + ", ")
        .Args({"--help"})
        .Within(),
    Case("version")
        .Out("simple_encryption " SIMPLE_ENCRYPTION_VERSION
             "\nCopyright (C) 2026 The simple_encryption authors.\n"
             "License MIT: <https://opensource.org/licenses/MIT>.\n"
             "This is free software: you are free to change and redistribute it.\n"
             "There is NO WARRANTY, to the extent permitted by law.\n")
        .Args({"--version"}),
    // A sign the parser must skip, and not take for part of the number.
    Case("a shift with a plus sign").In("abc").Out("def").Args({"-e", "-s", "+3"}),
    UsageError("an unknown option", {"-e", "--bogus"}, "unrecognized option '--bogus'"),
    UsageError("a shift that is not a number", {"-s", "3x"}, "invalid shift: '3x'"),
    // The first invalid shift is the error, whatever follows it.
    UsageError("a valid shift after an invalid one", {"-e", "-s", "3x", "-s", "4"},
               "invalid shift: '3x'"),
    // Control characters in a message are quoted, so that it stays on one line.
    UsageError("a shift with a line feed", {"-s", "1\n2"}, "invalid shift: '1'$'\\n''2'"),
    UsageError("a shift with two signs", {"-s", "+-3"}, "invalid shift: '+-3'"),
    UsageError("a short option without its argument", {"-s"}, "option requires an argument -- 's'"),
    UsageError("a long option without its argument", {"--shift"},
               "option '--shift' requires an argument"),
    UsageError("an abbreviated option with an argument", {"--hel=1"},
               "option '--help' doesn't allow an argument"),
    // A short option's fault is not the long option before it.
    UsageError("an unknown option bundled after a long one", {"--guess", "-xe"},
               "invalid option -- 'x'"),
    UsageError("an empty shift", {"--shift="}, "invalid shift: ''"),
    UsageError("a shift out of range", {"-s", "2147483648"}, "shift out of range: '2147483648'"),
    UsageError("a file without a mode", {"notes.txt"}, "extra operand 'notes.txt'"),
    UsageError("both directions", {"-ed"},
               "options --encrypt and --decrypt cannot be used together"),
    UsageError("a guess and a shift", {"--guess", "-s3"},
               "option --guess cannot be used with --shift"),
    UsageError("a guess and encryption", {"--guess", "-e"},
               "option --guess cannot be used with --encrypt"),
    UsageError("a list and decryption", {"--list", "-d"},
               "option --list cannot be used with --decrypt"),
    UsageError("a list and a guess", {"--list", "--guess"},
               "option --list cannot be used with --guess"),
    UsageError("an output file in the session", {"-o", "out"},
               "option --output needs --encrypt, --decrypt, --guess or --list"),
};

// The filters' failures
const std::vector<Case> kFilterFailures = {
    Case("standard output is full in a filter")
        .In("abc")
        .Status(1)
        .StdoutTo("/dev/full")
        .Args({"-e"})
        .Err("simple_encryption: write error: No space left on device\n"),
    // In another alphabet too, whose letters are written from a buffer of their own.
    Case("standard output is full in another alphabet")
        .In("abc")
        .Status(1)
        .StdoutTo("/dev/full")
        .Args({"-e", "-a", "ru"})
        .Err("simple_encryption: write error: No space left on device\n"),
    // Named and skipped, as cat does, and the good files still written.
    Case("files that cannot be read among good ones")
        .In("Zebra")
        .Out("CheudCheud")
        .Status(1)
        .Representative()
        .Args({"-e", "@in", "/nonexistent", "/", "@in"})
        .Err("simple_encryption: /nonexistent: No such file or directory\n"
             "simple_encryption: /: Is a directory\n"),
    Case("a missing file alone, with control characters in its name")
        .Status(1)
        .Representative()
        .Args({"-e", "no\a\nsu\1ch\r"})
        .Err("simple_encryption: 'no'$'\\a\\n''su'$'\\001''ch'$'\\r': No such file or directory\n"),
    // Quoted as cat quotes them, byte for byte, in the C locale.
    MissingFile("a space", "a b", "'a b'"),
    MissingFile("a quote", "it's", "\"it's\""),
    MissingFile("a tab", "a\tb", "'a'$'\\t''b'"),
    MissingFile("a line feed", "a\nb", "'a'$'\\n''b'"),
    MissingFile("0x9B", "\x9B", "''$'\\233'"),
    MissingFile("invalid UTF-8", "\xFF\xFE", "''$'\\377\\376'"),
    MissingFile("UTF-8", "caf\xC3\xA9", "'caf'$'\\303\\251'"),
    MissingFile("nothing", "", "''"),
    MissingFile("a quote and a tab", "it's\tx", "'it'\\''s'$'\\t''x'"),
    MissingFile("a quote, digits and capitals", "it's 0-9 A-Z a-z", "\"it's 0-9 A-Z a-z\""),
    // Between double quotes a shell would expand these.
    MissingFile("a quote and a dollar", "it's $x", "'it'\\''s $x'"),
    MissingFile("a quote and a backquote", "it's `x`", "'it'\\''s `x`'"),
    // In a UTF-8 locale its characters print, and need no escapes.
    Case("a missing file whose name holds UTF-8, in a UTF-8 locale")
        .Status(1)
        .Env("LC_ALL=C.UTF-8")
        .Args({"-e", "caf\xC3\xA9"})
        .Err("simple_encryption: caf\xC3\xA9: No such file or directory\n"),
    // A file that one read gives whole, however short, is not taken for one that ended empty.
    Case("a file of one byte, then another")
        .In("K")
        .Out("N" + kSecondEncrypted)
        .Args({"-e", "@in", "@second"}),
    // Each file is closed before the next is opened: else the descriptors run out.
    Case("more files than descriptors").In("Khoor").Out(Repeat("Nkrru", 40)).OpenFiles(16).Args([] {
      std::vector<std::string> args(41, "@in");
      args[0] = "-e";
      return args;
    }()),
    // Standard input read to its end once, and then empty, as cat reads it, not closed between.
    Case("standard input named twice").In("Khoor").Out("Nkrru").Args({"-e", "-", "-"}),
    // A filter that read standard input only once would stop at the first block.
    Case("more than one block on standard input")
        .In(kManyBlocks)
        .Out(kManyBlocksEncrypted)
        .Representative()
        .Args({"-e"}),
    // `>>` onto its own input would read back what it writes, and fill the disk ...
    Case("appending to its own input")
        .In("Khoor")
        .Status(1)
        .StdoutTo(kAppendToInput)
        .Args({"-e", "-"})
        .Err("simple_encryption: -: input file is output file\n")
        .File("Khoor"),
    // However little is left to read.
    Case("appending to its own input of one byte")
        .In("K")
        .Status(1)
        .StdoutTo(kAppendToInput)
        .Args({"-e", "-"})
        .Err("simple_encryption: -: input file is output file\n")
        .File("K"),
    // ... but a file that `>` has emptied has nothing to read back, as cat knows.
    Case("an input that is the emptied output")
        .In("Khoor")
        .StdoutTo("@in")
        .Args({"-e", "@in"})
        .File(""),
    Case("the emptied output, then another input")
        .In("Khoor")
        .StdoutTo("@in")
        .Args({"-e", "-s", "0", "@in", "@second"})
        .File(kSecond),
    // A closed descriptor must fail as itself, and not be taken by a file the program opens.
    Case("standard input closed")
        .In("Khoor")
        .Status(1)
        .StdinFrom(kClosed)
        .Representative()
        .Args({"-d", "-o", "@in"})
        .Err("simple_encryption: read error: Bad file descriptor\n")
        .File("Khoor"),
    Case("standard output closed")
        .In("Khoor")
        .Status(1)
        .StdoutTo(kClosed)
        .Args({"-d", "@in"})
        .Err("simple_encryption: write error: Bad file descriptor\n"),
    Case("standard error closed, with a note to give")
        .In("Khoor\n")
        .Args({"-d", "--guess", "-o", "@in", "@in"})
        .ErrClosed()
        .File("Hello\n"),
};

// Writing a file with -o: replaced only when everything went well
const std::vector<Case> kWritingAFile = {
    // In place, the mode kept, and the symbolic link too, not replaced by a file.
    Case("decrypting a file in place")
        .In("Khoor, zruog!")
        .Representative()
        .Args({"-d", "-o", "@link", "@link"})
        .File("Hello, world!", 0640),
    // Its own list, not the folder's default one, which would let user 1 read it.
    Case("a file with an access control list replaced in place")
        .In("Khoor")
        .Args({"-d", "-o", "@in", "@in"})
        .File("Hello", 0640)
        .Acl(),
    // Longer than the room first given to read it in.
    Case("a file with a long access control list replaced in place")
        .In("Khoor")
        .Args({"-d", "-o", "@in", "@in"})
        .File("Hello", 0640)
        .Acl(true, 40),
    Case("a file without an access control list replaced in place")
        .In("Khoor")
        .Args({"-d", "-o", "@in", "@in"})
        .File("Hello", 0640)
        .Acl(false),
    // The name itself is at fault, not the folder a new file would be made in.
    Case("an output inside a file")
        .In("Khoor")
        .Status(1)
        .Args({"-d", "-o", "@in/x", "@in"})
        .Err("simple_encryption: @in/x: Not a directory\n")
        .File("Khoor"),
    // Renaming over it would bypass its permissions.
    Case("a file the user may not write")
        .In("Khoor")
        .Status(1)
        .Args({"-d", "-o", "@in", "@in"})
        .Err("simple_encryption: @in: Permission denied\n")
        .File("Khoor", 0444)
        .NotRoot(),
    Case("memory runs out while a file is replaced")
        .In("Khoor")
        .Status(1)
        .Args({"-d", "-o", "@in", "@in"})
        .Fault("nomem")
        .Err("simple_encryption: memory exhausted\n")
        .File("Khoor"),
    // The text of another process's link there, "<folder>held (deleted)", is no name to make.
    Case("-o another process's descriptor of a removed file")
        .Status(1)
        .Args({"-e", "-o", "@held"})
        .Err("simple_encryption: cannot create a file in '/proc/" + std::to_string(getpid()) +
             "/fd/': No such file or directory\n"),
    Case("a numbered file in a folder that does not exist")
        .Status(1)
        .Args({"-e", "-o", "/nonexistent/1"})
        .Err("simple_encryption: cannot create a file in '/nonexistent/': No such file or "
             "directory\n"),
    // The owner's own file keeps its set-ID bits, which only a change of owner may drop.
    Case("a set-user-ID file replaced by its owner")
        .In("Khoor")
        .Args({"-d", "-o", "@in", "@in"})
        .File("Hello", 04755),
    Case("decrypting in place through an absolute link")
        .In("Khoor")
        .Args({"-d", "-o", "@abs", "@abs"})
        .File("Hello"),
    // Made as a redirection makes a file, not with the new file's own 0600.
    Case("a new file under a umask of 027")
        .In("Khoor")
        .Args({"-d", "-o", "@new", "@in"})
        .NewFileMode(027, 0640),
    // Written through the caller's descriptor, which must go on writing to the same file.
    Case("-o /dev/stdout appending to a file")
        .In("start\n")
        .StdoutTo(kAppendToInput)
        .Args({"-e", "-o", "/dev/stdout", "@second"})
        .File("start\nJxu uduco qjjqsai qj tqmd\n"),
    // Made open to its creator alone, or the fault shim refuses to make it: anyone who opened it
    // before it had the old mode could read the new contents.
    Case("a replaced file is made open to its creator alone")
        .In("Khoor")
        .Args({"-d", "-o", "@in", "@in"})
        .Fault("private")
        .File("Hello", 0644),
    Case("-o a device").In("Khoor").Args({"-d", "-o", "/dev/null", "@in"}),
    // The descriptor decided by what the name reaches, not by how it is spelled.
    Case("-o standard output spelled another way")
        .In("start\n")
        .StdoutTo(kAppendToInput)
        .Args({"-e", "-o", "//dev/./fd/1", "@second"})
        .File("start\nJxu uduco qjjqsai qj tqmd\n"),
    // Through the descriptor, after what was written there already, not over it.
    Case("-o /dev/stderr after a message")
        .Status(1)
        .Args({"-e", "-o", "/dev/stderr", "/nonexistent", "@second"})
        .Err("simple_encryption: /nonexistent: No such file or directory\n"
             "Jxu uduco qjjqsai qj tqmd\n"),
    // What the program opened in place of a closed descriptor must not swallow the output.
    Case("-o standard input, closed")
        .In("Khoor")
        .Status(1)
        .StdinFrom(kClosed)
        .Args({"-e", "-o", "/dev/stdin", "@in"})
        .Err("simple_encryption: /dev/stdin: Bad file descriptor\n"),
    // Only the descriptors that were closed are: standard error, open, is written.
    Case("-o standard error, with standard input closed")
        .StdinFrom(kClosed)
        .Args({"-e", "-o", "/dev/stderr", "@second"})
        .Err(kSecondEncrypted),
    Case("-o a descriptor that is not open")
        .Status(1)
        .Args({"-e", "-o", "/dev/fd/99"})
        .Err("simple_encryption: /dev/fd/99: No such file or directory\n"),
    UsageError("an empty output file name", {"-e", "-o", ""}, "invalid output file: ''"),
    Case("a closed descriptor where /dev/null cannot be opened")
        .In("Khoor")
        .Status(1)
        .StdinFrom(kClosed)
        .Args({"-e", "@in"})
        .Fault("devnull")
        .Err("simple_encryption: cannot open /dev/null in place of a closed standard "
             "descriptor: No such file or directory\n"),
    Case("a folder where no file can be made")
        .Status(1)
        .Args({"-e", "-o", "/nonexistent/f"})
        .Err("simple_encryption: cannot create a file in '/nonexistent/': No such file or "
             "directory\n"),
    Case("a failing input leaves the file as it was")
        .In("Khoor")
        .Status(1)
        .Args({"-d", "-o", "@in", "@in", "/nonexistent"})
        .Err("simple_encryption: /nonexistent: No such file or directory\n")
        .File("Khoor"),
    Case("a full disk leaves the file as it was")
        .In(kLongKhoor)
        .Status(1)
        .OutputLimit(100)
        .Representative()
        .Args({"-d", "-o", "@in", "@in"})
        .Err("simple_encryption: @in: File too large\n")
        .File(kLongKhoor),
    Case("SIGTERM while input is coming leaves the file as it was")
        .In("Khoor")
        .Status(128 + SIGTERM)
        .StdinFrom(kInputPipe)
        .Args({"-d", "-o", "@in", "-"})
        .Fault("sigterm")
        .File("Khoor"),
    // Ignored from the start, as under nohup, it stays ignored.
    Case("SIGTERM ignored from the start")
        .In("Khoor")
        .StdinFrom(kInputPipe)
        .Args({"-d", "-o", "@in", "-"})
        .Fault("sigterm")
        .IgnoringSigterm()
        .File("Hello"),
    Case("SIGQUIT while input is coming leaves the file as it was")
        .In("Khoor")
        .Status(128 + SIGQUIT)
        .StdinFrom(kInputPipe)
        .Args({"-d", "-o", "@in", "-"})
        .Fault("sigquit")
        .File("Khoor"),
    // Another run's new file has the name first picked: another name is tried.
    Case("a new file's name already taken")
        .In("Khoor")
        .Args({"-d", "-o", "@in", "@in"})
        .Fault("exist")
        .File("Hello"),
    FailedReplacement("fsync"),
    FailedReplacement("rename"),
    // A link that cannot be read, though it was just found, is not replaced by a file.
    Case("a link that cannot be read leaves it as it was")
        .In("Khoor")
        .Status(1)
        .Args({"-d", "-o", "@link", "@in"})
        .Fault("readlink")
        .Err("simple_encryption: @link: Input/output error\n")
        .File("Khoor"),
    FailedReplacement("close"),
};

// Faults that no file system gives on demand
const std::vector<Case> kInjectedFaults = {
    Case("a failed close of standard output")
        .In("Khoor")
        .Out("Hello")
        .Status(1)
        .Args({"-d"})
        .Fault("close")
        .Err("simple_encryption: write error: Input/output error\n"),
    Case("a failed close of standard output after the session")
        .In("quit\n")
        .Out(kGoodbye)
        .Status(1)
        .Fault("close")
        .Err("simple_encryption: write error: Input/output error\n"),
    Case("a write that writes nothing")
        .In("Khoor")
        .Status(1)
        .Args({"-d"})
        .Fault("write0")
        .Err("simple_encryption: write error: No space left on device\n"),
    // Interrupted reads of a few hundred bytes, as from a slow pipe: none may pass for its end;
    // and writes as short, each of which must be taken up where it stopped.
    Case("a pipe read and written in pieces, with interruptions")
        .In(kManyLines)
        .Out(kManyLinesEncrypted)
        .StdinFrom(kInputPipe)
        .Args({"-e"})
        .Fault("eintr"),
};

// Guessing the shift
const std::vector<Case> kGuessing = {
    Case("a guess from three letters")
        .In("Wkh\n")
        .Out("3\n")
        .Args({"--guess"})
        .Err("simple_encryption: uncertain guess: shift 3 at 92.5%, then shift 18 at 3.0%\n"),
    // Text of no language is weighed on every letter it has, the alphabet's first included.
    Case("a guess from a word of a and n")
        .In("Nanana\n")
        .Out("Ananan\n")
        .Args({"-d", "--guess"})
        .Err("simple_encryption: uncertain guess: shift 13 at 59.7%, then shift 22 at 18.7%\n"),
    Case("a guess without letters")
        .In("12:30, 4-5 !\n")
        .Status(1)
        .Args({"--guess"})
        .Err("simple_encryption: no letters to guess the shift from\n"),
    Case("decrypting a pipe with the shift guessed")
        .In("Khoor Zruog! Wklv lv d whvw phvvdjh.\n")
        .Out("Hello World! This is a test message.\n")
        .StdinFrom(kInputPipe)
        .Args({"-d", "--guess"}),
    // Letters gathered across blocks: the first block holds only "Wk".
    Case("a guess from past the first block")
        .In(std::string(131070, '\0') + kEnemy)
        .Out(std::string(131070, '\0') + "The enemy attacks at dawn\n")
        .Representative()
        .Args({"-d", "--guess"}),
    Case("a letterless guessed decryption to a full disk")
        .In("123\n")
        .Status(1)
        .StdoutTo("/dev/full")
        .Args({"-d", "--guess"})
        .Err("simple_encryption: write error: No space left on device\n"),
    // The first failed write ends the run: the next file is not guessed, nor its line tried.
    Case("guesses for two files to a full disk")
        .In(kEnemy)
        .Status(1)
        .StdoutTo("/dev/full")
        .Args({"--guess", "@in", "@in"})
        .Err("simple_encryption: write error: No space left on device\n"),
    Case("a guessed decryption to a full disk")
        .In(kEnemy)
        .Status(1)
        .StdoutTo("/dev/full")
        .Args({"-d", "--guess"})
        .Err("simple_encryption: write error: No space left on device\n"),
    Case("text that no shift makes English")
        .In(kNoCaesar)
        .Status(1)
        .Args({"--guess"})
        .Err(kRefused),
    Case("decrypting text that no shift makes English")
        .In(kNoCaesar)
        .Status(1)
        .Args({"-d", "--guess"})
        .Err(kRefused),
    Case("a guess for one named file").In(kEnemy).Out("3\n").Args({"--guess", "@in"}),
    // Each file a message of its own, and every operand opened, past the guess's prefix too; a
    // read error is a file's one message, not followed by "no letters".
    Case("a guess for each file")
        .In(kEnemy)
        .Out("3  @in\n13  @second\n")
        .Status(1)
        .Representative()
        .Args({"--guess", "@in", "@second", "/nonexistent", "/"})
        .Err("simple_encryption: /nonexistent: No such file or directory\n"
             "simple_encryption: /: Is a directory\n"),
    // A file without letters decrypts to itself under every shift, and needs no guess.
    Case("each file decrypted with its own guess")
        .In(kEnemy)
        .Out("The enemy attacks at dawn\nThe enemy attacks at dawn\n")
        .Representative()
        .Args({"-d", "--guess", "@in", "/dev/null", "@second"}),
    // Tabs and escape bytes shown, not sent to the terminal, and the line cut to fit.
    Case("every shift listed")
        .In("Wkh\thqhpb\x1b[31m dwwdfnv dw gdzq, dqg wkh fdvwoh pxvw krog xqwlo wkh uholhi\n")
        .Out("==> @in <==\n3\t99.9%\tThe^Ienemy^[[31j attacks at dawn, and the castle must hold "
             "until\n"
             "25\t0.0%\tXli^Iiriqc^[[31n")
        .Representative()
        .Args({"--list", "@in", "@second"})
        .Start()
        .FitsTerminal(),
    // Capitals without word gaps, and text of no language that a shift can make look like some.
    Case("a pangram in capitals without gaps")
        .In("AOLXBPJRIYVDUMVEQBTWZVCLYAOLSHGFKVN\n")
        .Out("THEQUICKBROWNFOXJUMPSOVERTHELAZYDOG\n")
        .Args({"-d", "--guess"}),
    Case("gibberish of 25 letters")
        .In("KGCCLYKQLWLFAYPXPNECEQNOI\n")
        .Status(1)
        .Args({"--guess"})
        .Err(kRefused),
    // Refused from 20 letters on, and only noted below.
    Case("gibberish of 20 letters")
        .In("kemu bcrdl sbq gbcnnchc\n")
        .Status(1)
        .Args({"--guess"})
        .Err(kRefused),
    Case("gibberish of 19 letters")
        .In("kemu bcrdl sbq gbcnnch\n")
        .Out("24\n")
        .Args({"--guess"})
        .Err("simple_encryption: uncertain guess: shift 24 at 0.0%, then shift 14 at 0.0%, and no "
             "language at 99.9%\n"),
    // Groups of one length are letters without gaps, whether the last is full or not.
    Case("groups of five, the last one full")
        .In("WKHTX LFNEU RZQIR AMXPS\n")
        .Out("3\n")
        .Args({"--guess"}),
    Case("groups of five, the last one short")
        .In("WKHTX LFNEU RZQIR AMXP\n")
        .Out("3\n")
        .Args({"--guess"}),
    // Groups of four are common too; the probability shows how the text was read.
    Case("groups of four")
        .In("WKHH QHPB DWWD FNVD WGDZ Q\n")
        .Out(R"({"file": "-", "status": "answered", "shift": 3, "alphabet": "latin", )"
             R"("language": "en", "probability": 0.9996})"
             "\n")
        .Args({"--guess", "--json"}),
    // Its letters taken, the guess reads no more, so that it answers an input that goes on.
    Case("a guess from an input that goes on")
        .In(Repeat("Wkh hqhpb dwwdfnv dw gdzq\n", 250))
        .Out("3\n")
        .StdinFrom(kInputNeverEnds)
        .Args({"--guess"}),
    // What is read while no letter has come is bounded, or this would never end.
    Case("an endless input without letters")
        .Status(1)
        .StdinFrom("/dev/zero")
        .Args({"--guess"})
        .Err("simple_encryption: no letters to guess the shift from\n"),
    Case("a text without a line feed listed")
        .In("Wkh hqhpb")
        .Out("3\t99.7%\tThe enemy\n")
        .Args({"--list"})
        .Start()
        .FitsTerminal(),
    // Each list after the first set apart by an empty line.
    Case("two files listed")
        .In(kEnemy)
        .Out("\n\n==> @second <==\n13\t")
        .Args({"--list", "@in", "@second"})
        .Within()
        .FitsTerminal(),
    Case("a CR LF file listed")
        .In("Wkh hqhpb\r\n")
        .Out("3\t99.9%\tThe enemy\n")
        .Args({"--list"})
        .Start()
        .FitsTerminal(),
    // The line's first letter lies further on than a preview shows: the preview starts there.
    Case("a line whose letters come late listed")
        .In(std::string(70, '0') + " " + kEnemy)
        .Out("3\t99.9%\t...The enemy attacks at dawn\n")
        .Args({"--list"})
        .Start()
        .FitsTerminal(),
};

// Other alphabets, in UTF-8
const std::vector<Case> kOtherAlphabets = {
    // Capitals found for the letters given; y with diaeresis is no letter of this one.
    Case("a custom alphabet")
        .In("Bäcker über Öl ÿ\n")
        .Out("Cöäker acer Ül ÿ\n")
        .Args({"-e", "-s", "1", "--letters", "abcäöü"}),
    Case("a shift taken modulo the alphabet's size")
        .In("б\n")
        .Out("а\n")
        .Args({"-d", "-s", "34", "-a", "ru"}),
    // The letter's two bytes come in two reads.
    Case("a letter split between two blocks")
        .In(std::string(131071, '-') + "яЯ\n")
        .Out(std::string(131071, '-') + "аА\n")
        .Args({"-e", "-a", "ru", "-s", "1"}),
    // The guess's first letter split between two reads, with nothing but its lead byte before:
    // from a file whose first block ends inside it, replaced in place, and from a pipe read a
    // few hundred bytes at a time.
    Case("a first letter split between two blocks, decrypted with its guess")
        .In(std::string(131071, '-') + kRussianCipher)
        .Out(std::string(131071, '-') + kRussianPlain)
        .Args({"-d", "--guess"}),
    Case("a first letter split between two blocks, decrypted in place")
        .In(std::string(131071, '-') + kRussianCipher)
        .Args({"-d", "--guess", "-o", "@in", "@in"})
        .File(std::string(131071, '-') + kRussianPlain),
    Case("a first letter split between two reads of a pipe")
        .In(std::string(299, '-') + kRussianCipher)
        .Out(std::string(299, '-') + kRussianPlain)
        .StdinFrom(kInputPipe)
        .Args({"-d", "--guess"})
        .Fault("eintr"),
    // A message the guess's sample holds whole ends with a character cut short, which is
    // written as it came.
    Case("a text that ends inside a letter, decrypted with its guess")
        .In(kRussianCipher + "\xD0")
        .Out(kRussianPlain + "\xD0")
        .Args({"-d", "--guess"}),
    // Far past the guess's sample and the first block, every letter decrypted.
    Case("a long Russian text decrypted with its guess")
        .In(Repeat(kRussianCipher, 3000))
        .Out(Repeat(kRussianPlain, 3000))
        .Args({"-d", "--guess"}),
    // Without -a, the guess finds the alphabet too, and names it for -d -s.
    Case("a Russian sentence guessed").In(kRussianCipher).Out("7 ru\n").Args({"--guess"}),
    // A letter that one alphabet of the script has and another lacks, as ы or є, is in none of
    // the other's languages: without that, each of these was noted as uncertain.
    Case("short Russian read in the alphabet that has its letters")
        .In("оз ьэмоз\n")
        .Out("вы правы\n")
        .Args({"-d", "--guess"}),
    Case("short Ukrainian read in the alphabet that has its letters")
        .In("зхфє шцозєк\n")
        .Out("вона співає\n")
        .Args({"-d", "--guess"}),
    // Under -a no other alphabet is read: a word quoted from another language costs no more.
    Case("a letter of another alphabet under -a")
        .In("Ємт цпдкдє: «Сы фхлоарл».\n")
        .Out("Він сказав: «Мы прийшли».\n")
        .Args({"-d", "--guess", "-a", "uk"}),
    // With -a, the text is read in that alphabet alone.
    Case("a guess in the alphabet -a names, and no other")
        .In(kEnemy)
        .Status(1)
        .Args({"--guess", "-a", "ru"})
        .Err("simple_encryption: no letters to guess the shift from\n"),
    // The preview's line is the first with a letter: a line ending inside a character starts
    // none on the next.
    Case("a preview after a line that ends inside a letter")
        .In("\xD0\n\xA8\n" + kRussianCipher)
        .Out("7\t99.9%\t" + kRussianPlain)
        .Args({"--list", "--crib=чаю"}),
    Case("a Greek sentence decrypted with its guess")
        .In("Νζ φάρκ ψωμ νάπζψψζ ζύχξυ ωυ φχεί ρκ ωυας βίπυας ρζς.\n")
        .Out("Θα πάμε στη θάλασσα αύριο το πρωί με τους φίλους μας.\n")
        .Args({"-d", "--guess"}),
    // Letters beyond ASCII shown as they are, not as M- escapes.
    Case("Greek listed")
        .In("Νζ φάρκ ψωμ νάπζψψζ ζύχξυ ωυ φχεί ρκ ωυας βίπυας ρζς.\n")
        .Out("5\t99.9%\tΘα πάμε στη θάλασσα αύριο το πρωί με τους φίλους μας.\n19\t0.0%\t")
        .Args({"--list"})
        .Start()
        .FitsTerminal(),
    Case("Cyrillic letters that no shift makes a language")
        .In("Щгйъщ жрнх юм кюпъцжю йшлвфжф, хьу юэщнс хю жэйжшжшв.\n")
        .Status(1)
        .Args({"--guess"})
        .Err("simple_encryption: no shift makes the text read as " + Languages("or", "Cyrillic") +
             "\n"),
    UsageError("an alphabet of one letter", {"-e", "--letters", "a"},
               "invalid alphabet 'a': fewer than two letters"),
    UsageError("an alphabet with a letter twice", {"-e", "--letters", "abca"},
               "invalid alphabet 'abca': 'a' more than once"),
    UsageError("an alphabet that is not UTF-8", {"-e", "--letters", "ab\xC3"},
               "invalid alphabet 'ab'$'\\303': not UTF-8"),
    UsageError("an alphabet with a byte that begins no character",
               {"-e", "--letters",
                "a\xFF"
                "b"},
               "invalid alphabet 'a'$'\\377''b': not UTF-8"),
    UsageError("a guess in a custom alphabet", {"--guess", "--letters", "abc"},
               "option --guess knows no language in the alphabet 'abc'"),
    // A typo of a preset is no alphabet of its own, which would move other letters than meant.
    UsageError("a misspelt preset", {"-e", "-a", "RU"},
               "unknown alphabet 'RU'; did you mean 'ru'?\nThe alphabets are " + Presets() +
                   "; --letters takes letters of your own."),
    UsageError("letters that are no letters", {"-e", "--letters", "e\u0301a"},
               "invalid alphabet 'e'$'\\314\\201''a': U+0301 is a combining mark, which cannot "
               "stand for a letter; write the letter it marks precomposed"),
    // The first fault is named, not a later one.
    UsageError("a mark and then a letter twice", {"-e", "--letters", "e\u0301e"},
               "invalid alphabet 'e'$'\\314\\201''e': U+0301 is a combining mark, which cannot "
               "stand for a letter; write the letter it marks precomposed"),
    UsageError("a preset and letters", {"-e", "-a", "ru", "--letters", "ab"},
               "options --alphabet and --letters cannot be used together"),
    UsageError("an alphabet in the session", {"-a", "ru"},
               "option --alphabet needs --encrypt, --decrypt, --guess or --list"),
};

TEST_P(Transcript, MatchesByteForByte) {
  const Case& c = GetParam();
#ifdef __SANITIZE_ADDRESS__
  if (c.addressSpace > 0) GTEST_SKIP() << "AddressSanitizer reserves more address space";
#endif
  if ((c.addressSpace > 0 || c.openFiles > 0) && !LauncherWords().empty()) {
    GTEST_SKIP() << "under a launcher";
  }
  // Valgrind will not start without a standard error of its own.
  if (c.errClosed && !LauncherWords().empty()) GTEST_SKIP() << "under a launcher";
#ifndef SIMPLE_ENCRYPTION_FAULT_SHIM
  if (!c.fault.empty()) GTEST_SKIP() << "no fault shim in this build";
#endif
  // The fault would strike the launcher, a shell script in Valgrind's case, and not the program.
  if (!c.fault.empty() && !LauncherWords().empty()) GTEST_SKIP() << "under a launcher";
  if (c.notRoot && geteuid() == 0) GTEST_SKIP() << "root may write any file";
  // An emulated target's C library may not read this machine's locales: big-endian s390x's
  // cannot, since glibc's locale files are in the byte order of the machine that made them.
  const std::vector<std::string> launcher = LauncherWords();
  if (!c.environment.empty() && !launcher.empty() &&
      launcher.front().find("qemu") != std::string::npos) {
    GTEST_SKIP() << "under an emulator";
  }
  const Outcome run = RunProgram(c);
  if (c.acl && !run.aclsWork) GTEST_SKIP() << "no access control lists here";
  if (c.acl) {
    EXPECT_EQ(run.aclAfter, run.aclBefore) << "the access control list";
  }
  EXPECT_EQ(run.status, c.expectedStatus);
  EXPECT_EQ(run.err, Expand(c.expectedErr, run.dir));
  EXPECT_EQ(run.leftovers, "") << "files left behind";
  EXPECT_TRUE(run.linkKept) << "a symbolic link replaced";
  if (c.expectedFile) {
    EXPECT_EQ(run.file, Expand(*c.expectedFile, run.dir));
  }
  if (c.mode != 0) {
    EXPECT_EQ(run.mode, c.mode);
  }
  if (c.newMode != 0) {
    EXPECT_EQ(run.newMode, c.newMode) << "the mode of a new file";
  }
  if (c.outPath.empty()) {
    const std::string whole =
        Expand(c.args.empty() ? kDemo + kPrompt + c.expectedOut : c.expectedOut, run.dir);
    if (c.withinOnly) {
      EXPECT_NE(run.out.find(whole), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(c.startOnly ? run.out.substr(0, whole.size()) : run.out,
                c.outputLimit > 0 ? whole.substr(0, c.outputLimit) : whole);
    }
  }
  // Tabs expanded, a column a character: UTF-8's continuation bytes take none.
  std::size_t column = 0;
  for (const char byte : c.fitsTerminal ? run.out : "") {
    const bool continuation = (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
    column = byte == '\n'   ? 0
             : byte == '\t' ? (column / 8 + 1) * 8
                            : column + (continuation ? 0 : 1);
    ASSERT_LE(column, 80U) << run.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Session, Transcript, ::testing::ValuesIn(kSession), RowName);
INSTANTIATE_TEST_SUITE_P(Options, Transcript, ::testing::ValuesIn(kOptions), RowName);
INSTANTIATE_TEST_SUITE_P(FilterFailures, Transcript, ::testing::ValuesIn(kFilterFailures), RowName);
INSTANTIATE_TEST_SUITE_P(WritingAFile, Transcript, ::testing::ValuesIn(kWritingAFile), RowName);
INSTANTIATE_TEST_SUITE_P(InjectedFaults, Transcript, ::testing::ValuesIn(kInjectedFaults), RowName);
INSTANTIATE_TEST_SUITE_P(Guessing, Transcript, ::testing::ValuesIn(kGuessing), RowName);
INSTANTIATE_TEST_SUITE_P(OtherAlphabets, Transcript, ::testing::ValuesIn(kOtherAlphabets), RowName);

}  // namespace
