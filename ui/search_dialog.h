// kvSearchDialog: the search-parameters dialog, a frame without a close box,
// built once and hidden. Every control writes its value into the search
// request it edits as the user changes it, so the request always mirrors the
// dialog; OK and Cancel hide the dialog and are reported through `onDone`.
//
// GUI thread only. The request and the setup belong to the caller and must
// outlive the dialog.
#pragma once
#include "description_file.h"
#include "frame.h"

#include <functional>

class wxTextCtrl;
class wxChoice;
class wxRadioBox;
class wxCheckBox;
class wxSlider;
class wxButton;

// The dialog's controls; a choice is null when its list was empty.
struct kvSearchControls {
    wxTextCtrl* patternText = nullptr;
    wxChoice* patternChoice = nullptr;
    wxTextCtrl* serverText = nullptr;
    wxChoice* serverChoice = nullptr;
    wxTextCtrl* newsgroupText = nullptr;
    wxChoice* newsgroupChoice = nullptr;
    wxRadioBox* matchBox = nullptr;
    wxRadioBox* caseBox = nullptr;
    wxCheckBox* findCheck = nullptr;
    wxSlider* findSlider = nullptr;
    wxCheckBox* scanCheck = nullptr;
    wxSlider* scanSlider = nullptr;
    wxCheckBox* wholeCheck = nullptr; // "Scan the whole group"
    wxChoice* headerChoice = nullptr;
    wxButton* okButton = nullptr;
    wxButton* cancelButton = nullptr;
};

class kvSearchDialog : public kvFrame {
  public:
    // Built hidden, its controls set from `setup` and the request's fields.
    kvSearchDialog(wxWindow* parent, const kvDialogSetup& setup, kvSearchRequest& request,
                   std::function<void(bool ok)> onDone);

    // Shows the dialog on top.
    void Open();

    bool OnClose() override; // the dialog never closes: false

  private:
    friend class kvUiProbe;

    void Finish(bool ok);

    kvSearchControls controls_;
    std::function<void(bool ok)> onDone_;
};
