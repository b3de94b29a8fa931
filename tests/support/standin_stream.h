#pragma once

// The stream the stand-in VM writes on its standard output and error with
// QEL_STANDIN_STREAM, made the same way by the stand-in and by the tests that
// read it back from the service's logs. Plain C++ without the standard
// library: the stand-in stays small.

namespace qel::test {

// Room for one line of the line stream.
constexpr unsigned kStreamLineCapacity = 96;

// Line number (from 0) of the stream of the prefix ("out" or "err"): the
// prefix, " line ", the number, a blank, then number * 7 % 61 letters and a
// line feed; so lines differ in length and in every byte. Gives its length.
inline unsigned streamLine(char* buffer, const char* prefix, unsigned number)
{
    unsigned length = 0;
    for (const char* p = prefix; *p != '\0'; ++p) {
        buffer[length++] = *p;
    }
    for (const char* p = " line "; *p != '\0'; ++p) {
        buffer[length++] = *p;
    }
    char digits[10];
    unsigned count = 0;
    unsigned rest = number;
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count > 0) {
        buffer[length++] = digits[--count];
    }
    buffer[length++] = ' ';
    const unsigned letters = number * 7 % 61;
    for (unsigned i = 0; i < letters; ++i) {
        buffer[length++] = static_cast<char>('a' + (number + i) % 26);
    }
    buffer[length++] = '\n';
    return length;
}

// Byte number (from 0) of the stream without line ends.
inline char streamByte(unsigned number)
{
    return static_cast<char>('A' + number % 26);
}

// The bytes without line ends go out in writes of this many.
constexpr unsigned kStreamChunk = 1000;

}  // namespace qel::test
