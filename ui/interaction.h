// The modal boxes and file selectors of the desktop program, behind one small
// interface so that every notice, question and selector can be answered by a
// script in tests.
//
// GUI thread only. The controller owns the interaction it is given at
// start-up: kvWxInteraction (real wx dialogs) in the program, a script in tests. Texts are the
// program's bytes (UTF-8 or Latin-1); paths are file-system bytes.
#pragma once
#include "login_answer.h"

#include <string>

enum class kvAnswer { Yes, No, Cancel };

struct kvFileRequest {
    std::string title;     // "Save search results", ...
    std::string directory; // default directory, empty for none
    std::string fileName;  // default file name, empty for none
    std::string wildcard;  // "*.kvx" or "*.txt"
    bool save = false;     // save (asks before overwriting) or open
};

class kvInteraction {
  public:
    virtual ~kvInteraction() = default;
    // A modal OK box captioned "Korvex notice"; returns when it is dismissed.
    virtual void Notice(const std::string& text) = 0;
    // A modal Yes/No/Cancel question; Cancel also when the box is closed.
    virtual kvAnswer Ask(const std::string& text, const std::string& caption) = 0;
    // A file selector; the chosen path, or empty when the user cancelled.
    virtual std::string SelectFile(const kvFileRequest& request) = 0;
    // The modal login box for a news server that asks for a login; true with
    // the answer on OK, false when the user cancelled.
    virtual bool AskLogin(const std::string& host, kvLoginAnswer& answer) = 0;
};

class kvWxInteraction : public kvInteraction {
  public:
    void Notice(const std::string& text) override;
    kvAnswer Ask(const std::string& text, const std::string& caption) override;
    std::string SelectFile(const kvFileRequest& request) override;
    bool AskLogin(const std::string& host, kvLoginAnswer& answer) override;
};
