// Undoing the MIME transfer encodings: base64 and quoted-printable, for
// bodies (RFC 2045) and for the B and Q forms of encoded words (RFC 2047).
#pragma once

#include <cstddef>
#include <string>

// Base64 of a body: line ends and other characters outside the alphabet are
// skipped, decoding stops at the padding. A last group of two or three
// characters still gives its whole bytes, so text cut mid-group decodes as
// far as it goes.
void DecodeBase64Body(const char* text, std::size_t length, std::string& out);

// Quoted-printable of a body with LF line ends: "=XX" gives the byte, "=" at
// the end of a line (blanks after it allowed) joins the line to the next. An
// "=" that starts no valid escape is kept, except an escape cut short by the
// end of the text, which is dropped.
void DecodeQuotedPrintableBody(const char* text, std::size_t length, std::string& out);

// The B form: false when a character is outside the alphabet or the length
// cannot be base64 (one character over a group of four).
bool DecodeBase64Word(const char* text, std::size_t length, std::string& out);

// The Q form: "_" is a blank, "=XX" a byte; an "=" without two hex digits is kept.
void DecodeQWord(const char* text, std::size_t length, std::string& out);
