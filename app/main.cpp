// The desktop program's entry point. --help and --version are answered before
// any window system is touched, so they work without a display; everything
// else goes to wx, which creates the one application object and runs it.
#include "app.h"
#include "credentials.h"
#include "display_text.h"
#include "version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const kUsage = "usage: korvex [--help | --version | FILE.kvx]\n"
                           "Starts the Korvex desktop program, which searches a Usenet newsgroup\n"
                           "for articles whose header matches a pattern; with a results file it\n"
                           "starts with that file loaded. See korvex(1).\n";

// With KORVEX_REPORT_FILES=1 the program tells on standard output which
// settings, description and help files it uses, once its main frame is up
// (installation tests check where an installed program finds them).
class kvDesktopApp : public kvApp {
  public:
    bool OnInit() override {
        if (!kvApp::OnInit()) return false;
        // wx has taken its own options out of argv; what is left is the file.
        if (argc == 2) {
            std::string path = PathBytes(argv[1]);
            CallAfter([path] {
                if (kvController* controller = TheApp().Controller())
                    controller->OpenResultsFile(path);
            });
        }
        const char* report = std::getenv("KORVEX_REPORT_FILES");
        if (report != nullptr && std::strcmp(report, "1") == 0) CallAfter(&ReportFiles);
        return true;
    }

  private:
    static void ReportFiles() {
        const kvController* controller = TheApp().Controller();
        if (controller == nullptr) return;
        const std::string* paths[] = {&controller->SettingsPath(), &controller->DescriptionPath(),
                                      &controller->HelpPath()};
        const char* names[] = {"settings", "description", "help"};
        for (int i = 0; i < 3; ++i)
            std::printf("%s: %s\n", names[i], paths[i]->empty() ? "(none)" : paths[i]->c_str());
        std::fflush(stdout);
    }
};

} // namespace

wxIMPLEMENT_APP_NO_MAIN(kvDesktopApp);

int main(int argc, char** argv) {
    // The login box's password, or a netrc file's, is held while a search runs.
    KeepSecretsOutOfDumps();
    if (argc > 1) {
        const char* arg = argv[1];
        if (argc == 2 && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argc == 2 && (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0)) {
            std::printf("%s\n", KorvexVersionLine());
            return 0;
        }
        if (argc == 2 && arg[0] != '-') return wxEntry(argc, argv); // a results file
        std::fprintf(stderr, "korvex: unexpected argument \"%s\"\n%s", argc == 2 ? arg : argv[2],
                     kUsage);
        return 64;
    }
    return wxEntry(argc, argv);
}
