#include "interaction.h"

#include "display_text.h"
#include "login_box.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>

void kvWxInteraction::Notice(const std::string& text) {
    wxMessageDialog box(nullptr, ToDisplay(text), "Korvex notice", wxOK | wxCENTRE,
                        wxPoint(150, 150));
    box.ShowModal();
}

kvAnswer kvWxInteraction::Ask(const std::string& text, const std::string& caption) {
    wxMessageDialog box(nullptr, ToDisplay(text), ToDisplay(caption),
                        wxYES_NO | wxCANCEL | wxCENTRE, wxPoint(300, 300));
    switch (box.ShowModal()) {
    case wxID_YES:
        return kvAnswer::Yes;
    case wxID_NO:
        return kvAnswer::No;
    default:
        return kvAnswer::Cancel;
    }
}

std::string kvWxInteraction::SelectFile(const kvFileRequest& request) {
    long style = request.save ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN;
    wxString path = wxFileSelector(ToDisplay(request.title), PathString(request.directory),
                                   PathString(request.fileName), wxEmptyString,
                                   ToDisplay(request.wildcard), style, nullptr);
    return PathBytes(path);
}

bool kvWxInteraction::AskLogin(const std::string& host, kvLoginAnswer& answer) {
    return AskLoginBox(nullptr, host, answer);
}
