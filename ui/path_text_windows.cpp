#include "display_text.h"

// File names are UTF-8 throughout the program and go to the system through
// the wide-character API, so every name a selector returns can be opened.
std::string PathBytes(const wxString& path) {
    const wxScopedCharBuffer bytes = path.utf8_str();
    return bytes.data() ? std::string(bytes.data(), bytes.length()) : std::string();
}

wxString PathString(const std::string& path) {
    return wxString::FromUTF8(path.data(), path.size());
}
