// Conversions between the program's bytes and wx strings, GUI thread.
//
// Header values, bodies and server replies arrive as raw bytes that may be
// UTF-8 or Latin-1. Shown text is decoded as UTF-8 when the bytes are valid
// UTF-8 and as Latin-1 otherwise, so no text ever shows as blank. Text the user
// types goes back as UTF-8, cut at a character boundary to fit its field.
#pragma once
#include <cstddef>
#include <string>
#include <wx/string.h>

wxString ToDisplay(const char* bytes);
// A header field as a reader reads it: encoded words decoded, control
// characters made visible (ReadableHeader).
wxString HeaderToDisplay(const char* raw);
wxString ToDisplay(const std::string& bytes);
// Longer text whose lines may differ in encoding (UTF-8 headers over a Latin-1
// body): each line is decoded on its own when the whole is not valid UTF-8.
wxString ToDisplayLines(const std::string& bytes);

// The control text as UTF-8 in a field of `capacity` bytes (NUL included),
// never ending in a partial character.
void CopyDisplayText(char* field, std::size_t capacity, const wxString& text);
template <std::size_t N> void CopyDisplayText(char (&field)[N], const wxString& text) {
    CopyDisplayText(field, N, text);
}

// A path chosen in a file selector, as the program's file names (the file
// system's bytes on POSIX, UTF-8 on Windows), and back: path_text_posix.cpp
// or path_text_windows.cpp.
std::string PathBytes(const wxString& path);
wxString PathString(const std::string& path);
