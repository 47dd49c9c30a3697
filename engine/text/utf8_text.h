// UTF-8 helpers shared by the decoders and every output: validation, the
// raw-byte rule (UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise),
// and readable text in which no control character survives.
//
// Pure functions, callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

bool IsValidUtf8(const char* bytes, std::size_t length);

// Appends one code point as UTF-8.
void AppendCodePoint(std::string& out, std::uint32_t codePoint);

// Reads the code point at `at` of valid UTF-8 and moves `at` past it.
std::uint32_t NextCodePoint(const char*& at);

// Appends the bytes as UTF-8: unchanged when they are valid UTF-8, else each
// byte taken as a Latin-1 character.
void AppendRawAsUtf8(std::string& out, const char* bytes, std::size_t length);

// Appends UTF-8 text, each byte that does not start a valid sequence becoming
// U+FFFD. An incomplete sequence at the very end is dropped when dropCutEnd is
// set (text that was cut short), else replaced too.
void AppendUtf8Repaired(std::string& out, const char* bytes, std::size_t length, bool dropCutEnd);

// Text safe to show or write: valid UTF-8 (the raw-byte rule, applied to each
// line on its own when the whole is not valid UTF-8) in which every control
// character is made visible: C0 controls and DEL as their Unicode control
// pictures, C1 controls as U+FFFD. Tab stays; with multiLine set LF stays and
// a CR right before an LF is dropped.
std::string ReadableText(const char* bytes, std::size_t length, bool multiLine);
std::string ReadableText(const char* text, bool multiLine = false);
