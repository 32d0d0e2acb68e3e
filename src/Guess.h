#ifndef SIMPLE_ENCRYPTION_GUESS_H
#define SIMPLE_ENCRYPTION_GUESS_H

#include <functional>
#include <string>

#include "Filter.h"
#include "ShiftGuess.h"

// --guess, --guess -d and --list on one message at a time: read its start, rank the shifts,
// judge the ranking, and write the shift, the decryption or the listing.

// What the guess is judged to be worth: refused, or used with a note when it is not sure enough.
struct Judgement {
  bool refused = false;
  std::string message;  // the refusal or the note, or empty
};

// Judges `ranking`: a guess less than 99% likely is noted with the two most likely shifts.
Judgement Judge(const ShiftGuesser::Ranking& ranking);

// Returns `probability` as a percentage with one decimal, rounded down, so that what is shown is
// never more sure than what was found: 0.98996 is 98.9%.
std::string Percent(double probability);

// Returns the lines of --list for `ranking`: each shift, its probability and `line` decrypted
// with it, most likely first.
std::string Listing(const ShiftGuesser::Ranking& ranking, const std::string& line);

enum class GuessOutput { kShift, kDecryption, kListing };
enum class Outcome { kDone, kFailed, kWriteFailed };

// One message and how it stands among the others.
struct Message {
  const Reader& read;
  std::function<bool()> readFailed;  // whether a read failed, and was reported
  std::string name;                  // quoted, for messages and output lines
  bool several = false;              // whether messages and output lines name it
  bool first = true;                 // whether it is the first one listed
};

// Guesses the shift of `message` and writes what `output` asks for with `write`. Reports a
// refusal, a note, or a message without letters; a message without letters is written as it is
// when decrypting. Returns kWriteFailed as soon as a write failed.
Outcome GuessMessage(GuessOutput output, const Message& message, const Writer& write);

#endif  // SIMPLE_ENCRYPTION_GUESS_H
