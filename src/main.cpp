#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "SimpleEncryption.h"

int main() {
  // Speed, not correctness: synchronised with C stdio, libstdc++'s std::cin fetches every byte
  // with its own call to getc, while unsynchronised it reads into a buffer that getline searches
  // a block at a time, several times faster on long lines. libc++ reads through stdio either way.
  std::ios::sync_with_stdio(false);

  const SimpleEncryption cipher(3);
  cipher.DemoEncryption();

  std::cout << "\nInteractive Mode:" << std::endl;
  std::string line;
  for (;;) {
    // Checked before every prompt, so that a failed write (in the demonstration on the first
    // pass, in the last block after that) ends the run with a failure status at once, rather
    // than after waiting for input that may never come. The stream records the failure.
    if (!std::cout) return EXIT_FAILURE;
    // No line end: the reply goes on the same line. Reading flushes it, as cin is tied to cout.
    std::cout << "Enter text to encrypt (or 'quit' to exit): ";
    const bool gotLine = static_cast<bool>(std::getline(std::cin, line));
    // A read error must not pass for the end of input. Where std::cin reads through C stdio
    // (libc++ always, libstdc++ when synchronised), getline sees an error as the end of input
    // and only the C stream records it; where std::cin reads the descriptor itself, only its
    // badbit does.
    if (!std::cout || std::cin.bad() || std::ferror(stdin) != 0) return EXIT_FAILURE;
    // End of input ends the session as "quit" does; there is no other line left to wait for.
    if (!gotLine || line == "quit" || line == "exit") {
      std::cout << "Goodbye!" << std::endl;
      return std::cout ? EXIT_SUCCESS : EXIT_FAILURE;
    }

    const std::string encrypted = cipher.EncryptString(line);
    const std::string decrypted = cipher.DecryptString(encrypted);
    std::cout << "Original:  " << line << std::endl;
    std::cout << "Encrypted: " << encrypted << std::endl;
    std::cout << "Decrypted: " << decrypted << std::endl;
    std::cout << std::endl;
  }
}
