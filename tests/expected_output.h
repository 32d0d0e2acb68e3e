#ifndef SIMPLE_ENCRYPTION_TESTS_EXPECTED_OUTPUT_H
#define SIMPLE_ENCRYPTION_TESTS_EXPECTED_OUTPUT_H

#include <algorithm>
#include <string>
#include <vector>

#include "LanguageModels.h"

// The demonstration as the program shows it, with the shift of 3, written out by hand.
inline const std::string kDemoWithShift3 =
    "=== Simple Encryption Demo ===\n"
    "Shift Value: 3\n"
    "Original:  Hello World! This is a test message.\n"
    "Encrypted: Khoor Zruog! Wklv lv d whvw phvvdjh.\n"
    "Decrypted: Hello World! This is a test message.\n"
    "Match: YES\n"
    "==============================\n";

// The same with the shift of -1, which is 25.
inline const std::string kDemoWithShift25 =
    "=== Simple Encryption Demo ===\n"
    "Shift Value: 25\n"
    "Original:  Hello World! This is a test message.\n"
    "Encrypted: Gdkkn Vnqkc! Sghr hr z sdrs ldrrzfd.\n"
    "Decrypted: Hello World! This is a test message.\n"
    "Match: YES\n"
    "==============================\n";

// The names of the guess's languages in `script`, or in all, each once, in the tables' order,
// as messages list them: "English, German or Dutch".
inline std::string Languages(const std::string& join, const std::string& script = "") {
  std::vector<std::string> names;
  for (const LanguageModel& language : kLanguageModels) {
    const bool inScript = script.empty() || kAlphabetModels[language.alphabet].script == script;
    if (inScript && std::find(names.begin(), names.end(), language.name) == names.end()) {
      names.emplace_back(language.name);
    }
  }
  std::string list = names.front();
  for (std::size_t i = 1; i < names.size(); ++i) {
    list += (i + 1 == names.size() ? " " + join + " " : ", ") + names[i];
  }
  return list;
}

#endif  // SIMPLE_ENCRYPTION_TESTS_EXPECTED_OUTPUT_H
