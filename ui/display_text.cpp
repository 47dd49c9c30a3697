#include "display_text.h"

#include "mime_header.h"

#include <cstring>
#include <wx/strconv.h>

wxString ToDisplay(const char* bytes) {
    if (!bytes || !*bytes) return wxString();
    wxString text = wxString::FromUTF8(bytes);
    if (text.empty()) text = wxString(bytes, wxConvISO8859_1);
    return text;
}

wxString HeaderToDisplay(const char* raw) {
    return ToDisplay(ReadableHeader(raw));
}

wxString ToDisplay(const std::string& bytes) {
    return ToDisplay(bytes.c_str());
}

wxString ToDisplayLines(const std::string& bytes) {
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (!text.empty() || bytes.empty()) return text;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        std::size_t stop = end == std::string::npos ? bytes.size() : end + 1;
        std::string line = bytes.substr(start, stop - start);
        wxString shown = wxString::FromUTF8(line.data(), line.size());
        if (shown.empty()) shown = wxString(line.data(), wxConvISO8859_1, line.size());
        text += shown;
        start = stop;
    }
    return text;
}

void CopyDisplayText(char* field, std::size_t capacity, const wxString& text) {
    if (capacity == 0) return;
    const wxScopedCharBuffer utf8 = text.utf8_str();
    std::size_t length = std::strlen(utf8.data());
    if (length >= capacity) {
        length = capacity - 1;
        // Step back over continuation bytes so no character is cut in two.
        while (length > 0 && (static_cast<unsigned char>(utf8.data()[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memcpy(field, utf8.data(), length);
    field[length] = '\0';
}
