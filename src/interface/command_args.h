// Reading the host's text commands, shared by both engines' command tables.
#pragma once

#include <cstdint>

namespace tarnvel {

// Formats a reply into the host's buffer, at most TARNVEL_REPLY_CAPACITY bytes.
void writeReply(char* reply, const char* format, ...);

// A command with an argument matches on its first strlen(word) characters;
// the argument starts after one more (normally a blank). When the command
// ends there, the argument is empty rather than past the text's end.
bool matchesPrefix(const char* command, const char* word, const char** argument);

// Reads an unsigned decimal number the way "%u" does with a 32-bit
// unsigned long (leading blanks, a sign, digits; a minus sign negates
// modulo 2^32), except that a magnitude beyond 32 bits saturates instead
// of being undefined. False when there are no digits.
bool readUnsigned(const char* text, uint32_t* value);

// "set dbmbytes N": records the request (applied at the next move) and
// writes the confirmation.
void setDbMegabytes(const char* argument, char* reply);

}  // namespace tarnvel
