// Header values as a reader reads them: RFC 2047 encoded words
// ("=?charset?Q?...?=", "=?charset?B?...?=") decoded to UTF-8, the other bytes
// by the raw-byte rule (UTF-8 when valid, else Latin-1).
//
// An encoded word that does not decode (unknown charset, broken base64, bytes
// the charset does not have) stays as it was. Blanks between two adjacent
// encoded words are dropped; adjacent words of one charset are converted
// together, so a character split between them still reads whole.
#pragma once

#include <cstddef>
#include <string>

// ReadableHeader's text is never longer than this many bytes for each byte of
// the raw value: a raw byte becomes at most three (Latin-1 or a control
// picture), and an encoded word never grows more than a byte of a charset
// that spells one byte as up to four characters (TSCII does) of three bytes each.
constexpr std::size_t KV_READABLE_HEADER_FACTOR = 12;

// Writes the decoded value into out (replacing its text). True when at least
// one encoded word was decoded; out then is valid UTF-8 that may still hold
// control characters.
bool DecodeEncodedWords(const char* raw, std::string& out);

// The value ready to show or write: decoded as above, valid UTF-8, every
// control character made visible (ReadableText), at most
// KV_READABLE_HEADER_FACTOR times as long as raw.
std::string ReadableHeader(const char* raw);
