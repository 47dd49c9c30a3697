// The modal login box the desktop program shows when a news server asks for a
// login that ~/.netrc does not hold: user name, password (hidden) and
// "Remember in ~/.netrc". GUI thread only; the typed password lives in the
// box's control and in the answer, never in a log.
#pragma once
#include "login_answer.h"

#include <string>
#include <wx/dialog.h>

class wxCheckBox;
class wxTextCtrl;

class kvLoginBox : public wxDialog {
  public:
    kvLoginBox(wxWindow* parent, const std::string& host);
    // What the controls hold now.
    void Read(kvLoginAnswer& answer) const;
    // Fills the controls (tests).
    void Fill(const std::string& user, const std::string& password, bool remember);

  private:
    wxTextCtrl* user_;
    wxTextCtrl* password_;
    wxCheckBox* remember_;
};

// Shows the box for host; true with the answer on OK, false on Cancel or close.
bool AskLoginBox(wxWindow* parent, const std::string& host, kvLoginAnswer& answer);
