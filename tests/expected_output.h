#ifndef SIMPLE_ENCRYPTION_TESTS_EXPECTED_OUTPUT_H
#define SIMPLE_ENCRYPTION_TESTS_EXPECTED_OUTPUT_H

#include <string>

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

#endif  // SIMPLE_ENCRYPTION_TESTS_EXPECTED_OUTPUT_H
