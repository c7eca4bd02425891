#pragma once

#include <wx/aboutdlg.h>
#include <wx/icon.h>
#include <wx/string.h>

#include <vector>

namespace tandrel {

// The help book's file name.
inline const wxChar* const kHelpBook = wxT("Tandrel.htb");

// Where the help book is read from: the working directory when it holds the
// book, else beside the program (the executable's own directory, then
// ../share/tandrel from it, as an installation lays it out). When none holds
// it, the name in the working directory, so the help viewer reports it
// missing. The result is an absolute path.
wxString FindHelpBook(const wxString& executablePath);

// The folder the Load dialog opens in: the working directory (an empty
// name) when it holds a definition file; otherwise the example programs, in
// examples/ of the working directory, beside the program, or in
// ../share/tandrel/examples from it, as an installation lays them out.
wxString LoadFolder(const wxString& executablePath);

// The example programs (*.def, sorted by name) from the first of those
// examples/ folders that exists; none when there is none.
std::vector<wxString> ExampleFiles(const wxString& executablePath);

// The eight window icons in the order the frame's bundle receives them:
// 48 x 48 twice, then 32, 24 and 16 pixels, each size light then dark.
std::vector<wxIcon> WindowIcons();

// What the About box shows.
wxAboutDialogInfo AboutInfo();

}  // namespace tandrel
