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
    // Flushed here rather than by the read (cin is tied to cout), so that a prompt that cannot be
    // written ends the run at once instead of after the next line arrives. The stream records a
    // failed write, so this also catches one in the demonstration or the last block.
    std::cout << "Enter text to encrypt (or 'quit' to exit): " << std::flush;
    if (!std::cout) return EXIT_FAILURE;
    const bool gotLine = static_cast<bool>(std::getline(std::cin, line));
    // A read error must not pass for the end of input. Where std::cin reads through C stdio
    // (libc++ always, libstdc++ when synchronised), getline sees an error as the end of input
    // and only the C stream records it; where std::cin reads the descriptor itself, only its
    // badbit does.
    if (std::cin.bad() || std::ferror(stdin) != 0) return EXIT_FAILURE;
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
