#include "login_box.h"

#include "display_text.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

std::string Utf8(const wxString& text) {
    const wxScopedCharBuffer bytes = text.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

} // namespace

kvLoginBox::kvLoginBox(wxWindow* parent, const std::string& host)
    : wxDialog(parent, wxID_ANY, "Korvex login", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE, "login") {
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY,
                              "The news server " + ToDisplay(host) + " asks for a login."),
             0, wxALL, 10);
    auto* grid = new wxFlexGridSizer(2, 6, 8);
    grid->AddGrowableCol(1);
    user_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(220, -1), 0,
                           wxDefaultValidator, "user");
    password_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(220, -1),
                               wxTE_PASSWORD, wxDefaultValidator, "password");
    grid->Add(new wxStaticText(this, wxID_ANY, "User name:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(user_, 1, wxEXPAND);
    grid->Add(new wxStaticText(this, wxID_ANY, "Password:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(password_, 1, wxEXPAND);
    top->Add(grid, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    remember_ = new wxCheckBox(this, wxID_ANY, "Remember in ~/.netrc", wxDefaultPosition,
                               wxDefaultSize, 0, wxDefaultValidator, "remember");
    top->Add(remember_, 0, wxALL, 10);
    top->Add(CreateButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);
    user_->SetFocus();
}

void kvLoginBox::Read(kvLoginAnswer& answer) const {
    answer.login.user = Utf8(user_->GetValue());
    answer.login.password = Utf8(password_->GetValue());
    answer.remember = remember_->GetValue();
}

void kvLoginBox::Fill(const std::string& userName, const std::string& secret, bool keep) {
    user_->ChangeValue(ToDisplay(userName));
    password_->ChangeValue(ToDisplay(secret));
    remember_->SetValue(keep);
}

bool AskLoginBox(wxWindow* parent, const std::string& host, kvLoginAnswer& answer) {
    kvLoginBox box(parent, host);
    bool ok = box.ShowModal() == wxID_OK;
    if (ok) box.Read(answer);
    // The password control's text is not kept around after the box closes.
    box.Fill("", "", false);
    return ok && !answer.login.user.empty();
}
