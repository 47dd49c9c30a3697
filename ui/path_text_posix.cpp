#include "display_text.h"

#include <wx/filename.h>
#include <wx/strconv.h>

std::string PathBytes(const wxString& path) {
    const wxScopedCharBuffer bytes = path.fn_str();
    return bytes.data() ? std::string(bytes.data()) : std::string();
}

wxString PathString(const std::string& path) {
    wxString text(path.c_str(), *wxConvFileName);
    return text.empty() ? ToDisplay(path) : text;
}
