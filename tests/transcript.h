#ifndef SIMPLE_ENCRYPTION_TESTS_TRANSCRIPT_H
#define SIMPLE_ENCRYPTION_TESTS_TRANSCRIPT_H

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "LanguageModels.h"
#include "expected_output.h"

// The end-to-end table's rows, and what the files of rows share: a row is run by
// program_test.cpp's runner, whichever file lists it.
namespace transcript {

// One row: the program's arguments and standard input, and what it must write and return,
// each field set by the method of its name.
struct Case {
  explicit Case(std::string caseName) : name(std::move(caseName)) {}
  // Standard input, as a file "@in" unless StdinFrom says otherwise.
  Case& In(std::string text) {
    input = std::move(text);
    return *this;
  }
  // Standard output: after the demonstration, the heading and the first prompt, or with
  // arguments the whole output.
  Case& Out(std::string text) {
    expectedOut = std::move(text);
    return *this;
  }
  Case& Status(int status) {
    expectedStatus = status;
    return *this;
  }
  // Standard input from this path, or a pipe (kInputPipe, kInputNeverEnds), or closed.
  Case& StdinFrom(std::string path) {
    inPath = std::move(path);
    return *this;
  }
  // Standard output to this path, not captured, or appended to "@in", or closed.
  Case& StdoutTo(std::string path) {
    outPath = std::move(path);
    return *this;
  }
  // Files the program writes capped at this many bytes, as a full disk would: only the part of
  // the expected output before it is written.
  Case& OutputLimit(std::size_t bytes) {
    outputLimit = bytes;
    return *this;
  }
  // The output, a long text such as --help's or --list's, must fit an 80-column terminal.
  Case& FitsTerminal() {
    fitsTerminal = true;
    return *this;
  }
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
  // Runs the program under prlimit with at most this many descriptors, not under a launcher,
  // which opens its own.
  Case& OpenFiles(int most) {
    openFiles = most;
    return *this;
  }
  // Adds to the input a line of this many letters, made only when the row runs: every test
  // process builds the whole table.
  Case& LineOf(std::size_t letters) {
    lineLength = letters;
    return *this;
  }
  // What "@in" must hold after the run, and the mode it has before and must keep.
  Case& File(std::string text, mode_t bits = 0) {
    expectedFile = std::move(text);
    mode = bits;
    return *this;
  }
  // Runs the program with a system call made to fail by the fault shim.
  Case& Fault(std::string call) {
    fault = std::move(call);
    return *this;
  }
  // Compares only the start of the output with expectedOut.
  Case& Start() {
    startOnly = true;
    return *this;
  }
  // Looks for expectedOut anywhere in the output.
  Case& Within() {
    withinOnly = true;
    return *this;
  }
  // Runs the program under this umask; "@new" must then have these permission bits.
  Case& NewFileMode(mode_t mask, mode_t bits) {
    umask = mask;
    newMode = bits;
    return *this;
  }
  // Runs the program with standard error closed.
  Case& ErrClosed() {
    errClosed = true;
    return *this;
  }
  // Makes the row one of those that the developer build also runs under Valgrind.
  // Gives "@in" an access control list that keeps user 1 out (and users 2 to `users`), or none,
  // in a folder whose default list lets user 1 read: "@in" must keep its own list, or none.
  Case& Acl(bool own = true, int users = 1) {
    acl = true;
    ownAcl = own;
    aclUsers = users;
    return *this;
  }
  // Runs the program with SIGTERM ignored, as nohup leaves it.
  Case& IgnoringSigterm() {
    ignoreTerm = true;
    return *this;
  }
  // Runs the program with this variable in its environment, as NAME=VALUE.
  Case& Env(std::string variable) {
    environment.push_back(std::move(variable));
    return *this;
  }
  // Skips the row for root, whom no permission stops.
  Case& NotRoot() {
    notRoot = true;
    return *this;
  }
  Case& Representative() {
    representative = true;
    return *this;
  }
  std::string name;
  std::string input;
  std::string expectedOut;
  int expectedStatus = 0;
  std::string inPath;
  std::string outPath;
  std::size_t outputLimit = 0;
  bool fitsTerminal = false;
  std::vector<std::string> args;
  std::string expectedErr;
  std::size_t addressSpace = 0;
  int openFiles = 0;
  std::size_t lineLength = 0;
  std::optional<std::string> expectedFile;
  mode_t mode = 0;
  std::string fault;
  bool startOnly = false;
  bool withinOnly = false;
  mode_t umask = 022;
  mode_t newMode = 0;
  bool errClosed = false;
  bool representative = false;
  bool acl = false;
  bool ownAcl = false;
  int aclUsers = 1;
  bool ignoreTerm = false;
  bool notRoot = false;
  std::vector<std::string> environment;
};

inline std::string Repeat(const std::string& piece, int times) {
  std::string whole;
  for (int i = 0; i < times; ++i) whole += piece;
  return whole;
}

// A Russian sentence, and shifted by 7 in Russian's 33 letters.
inline const std::string kRussianPlain =
    "Съешь же ещё этих мягких французских булок, да выпей чаю.\n";
inline const std::string kRussianCipher =
    "Шбляг нл лам дщпь уёйспь ычжфэъошспь зътхс, кж ивцлр юже.\n";

// Every byte value, ending without a line feed, and the same with its letters moved by 3.
inline std::string AllBytes(const std::string& upper, const std::string& lower) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes.replace('A', 26, upper).replace('a', 26, lower);
}
inline const std::string kAllBytes =
    AllBytes("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz");

inline const std::string kEnemy = "Wkh hqhpb dwwdfnv dw gdzq\n";
// Just enough letters to be refused.
inline const std::string kNoCaesar = "Xqzv bkjw tpmf yrhg lcnd oesu aixq zv\n";

// The codes of the guess's languages, each once, as the tables list them: "en, de, ru".
inline std::string LanguageCodes() {
  std::string list;
  for (const LanguageModel& language : kLanguageModels) {
    if ((", " + list + ",").find(", " + std::string(language.code) + ",") == std::string::npos) {
      list += (list.empty() ? "" : ", ") + std::string(language.code);
    }
  }
  return list;
}

inline const std::string kTryHelp = "Try 'simple_encryption --help' for more information.\n";
inline Case UsageError(const char* name, std::vector<std::string> args,
                       const std::string& problem) {
  return Case(name)
      .Status(2)
      .Args(std::move(args))
      .Err("simple_encryption: " + problem + "\n" + kTryHelp);
}

// Names the row when GoogleTest reports it as failed.
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class Transcript : public ::testing::TestWithParam<Case> {};

// The row's name in the letters and underscores that GoogleTest takes, and that a filter can pick
// the representative rows by.
inline std::string RowName(const ::testing::TestParamInfo<Case>& row) {
  std::string name;
  for (const char c : row.param.name) {
    const bool alphanumeric =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alphanumeric) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  if (!name.empty() && name.back() == '_') name.pop_back();
  return name + (row.param.representative ? "_representative" : "");
}

}  // namespace transcript

#endif  // SIMPLE_ENCRYPTION_TESTS_TRANSCRIPT_H
