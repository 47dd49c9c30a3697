// The help window and the about box.
//
// GUI thread only. The help window is made by the first Help command, loaded
// once from the help file, and afterwards only hidden and shown again; it is
// destroyed with the main frame.
#pragma once
#include <string>

// Makes the help window when it does not exist yet and loads the file into it
// ("Error loading help file." when the file cannot be read).
void LoadHelpFile(const std::string& path);

// The Help, Close help window and About commands (after the status refresh).
void CommandHelp();
void CommandCloseHelp();
void CommandAbout();

// Hides the help window and disables "Close help window"; also its close box.
void CloseHelpWindow();

// Destroys the help window, if it was made (the main frame's close).
void DestroyHelpWindow();

// The about box's text; its first line is the program's name and version.
std::string AboutText();
