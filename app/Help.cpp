// The help book, the About box and the window icons.
#include "app/Help.h"

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/image.h>
#include <wx/stdpaths.h>

#include "app/MyFrame.h"
#include "resources/tandrel16a.xpm"
#include "resources/tandrel16b.xpm"
#include "resources/tandrel24a.xpm"
#include "resources/tandrel24b.xpm"
#include "resources/tandrel32a.xpm"
#include "resources/tandrel32b.xpm"
#include "resources/tandrel48a.xpm"
#include "resources/tandrel48b.xpm"

namespace tandrel {

wxString FindHelpBook(const wxString& executablePath) {
    wxFileName here(wxFileName::GetCwd(), kHelpBook);
    if (here.FileExists()) return here.GetFullPath();
    const wxString programFolder = wxFileName(executablePath).GetPath();
    if (!programFolder.empty()) {
        wxFileName beside(programFolder, kHelpBook);
        if (beside.FileExists()) return beside.GetFullPath();
        wxFileName installed(programFolder, kHelpBook);
        installed.AppendDir(wxT(".."));
        installed.AppendDir(wxT("share"));
        installed.AppendDir(wxT("tandrel"));
        if (installed.FileExists()) {
            installed.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
            return installed.GetFullPath();
        }
    }
    return here.GetFullPath();
}

namespace {

// examples/ in the working directory, beside the program, or installed.
wxString ExamplesFolder(const wxString& executablePath) {
    const wxString programFolder = wxFileName(executablePath).GetPath();
    if (programFolder.empty()) return wxString();
    for (wxFileName candidate :
         {wxFileName::DirName(wxFileName::GetCwd()), wxFileName::DirName(programFolder),
          wxFileName::DirName(programFolder + wxT("/../share/tandrel"))}) {
        candidate.AppendDir(wxT("examples"));
        candidate.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
        if (candidate.DirExists()) return candidate.GetPath();
    }
    return wxString();
}

}  // namespace

wxString LoadFolder(const wxString& executablePath) {
    const wxString cwd = wxFileName::GetCwd();
    if (!wxFindFirstFile(wxFileName(cwd, wxT("*.def")).GetFullPath(), wxFILE).empty())
        return wxString();
    return ExamplesFolder(executablePath);
}

std::vector<wxString> ExampleFiles(const wxString& executablePath) {
    std::vector<wxString> files;
    const wxString folder = ExamplesFolder(executablePath);
    if (folder.empty()) return files;
    wxArrayString found;
    wxDir::GetAllFiles(folder, &found, wxT("*.def"), wxDIR_FILES);
    found.Sort();
    for (const wxString& file : found) files.push_back(file);
    return files;
}

std::vector<wxIcon> WindowIcons() {
    return {wxIcon(tandrel48a_xpm), wxIcon(tandrel48b_xpm), wxIcon(tandrel32a_xpm),
            wxIcon(tandrel32b_xpm), wxIcon(tandrel24a_xpm), wxIcon(tandrel24b_xpm),
            wxIcon(tandrel16a_xpm), wxIcon(tandrel16b_xpm)};
}

wxAboutDialogInfo AboutInfo() {
    wxAboutDialogInfo info;
    info.SetName(wxT("Tandrel"));
    info.SetDescription(wxT("Graphical Tandrel Simulator."));
    info.AddDeveloper(wxT("The Tandrel developers"));
    info.SetIcon(wxIcon(tandrel48a_xpm));
    return info;
}

void MyFrame::BuildHelp(bool openBook) {
    // Once per process: every frame reads its book through the same handler.
    // Registering it is cheap and done at start; reading the book waits for
    // the first request (OnHelpContents).
    static const bool archivesReadable = [] {
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        return true;
    }();
    (void)archivesReadable;
    if (!openBook) return;
    help = new wxHtmlHelpController(wxHF_CONTENTS | wxHF_SEARCH, this);
    help->AddBook(wxFileName(FindHelpBook(wxStandardPaths::Get().GetExecutablePath())), true);
}

void MyFrame::BuildIcons() {
    // Once per process, as for the archive reader.
    static const bool imagesReadable = [] {
        wxInitAllImageHandlers();
        return true;
    }();
    (void)imagesReadable;
    icons = new wxIconBundle;
    for (const wxIcon& icon : WindowIcons()) icons->AddIcon(icon);
    SetIcons(*icons);
}

void MyFrame::OnHelpContents(wxCommandEvent&) {
    // Reading the book (and the system's MIME tables with it) is left to the
    // first request: it would hold up the window's first picture.
    if (help == nullptr) BuildHelp(true);
    help->DisplayContents();
}

void MyFrame::OnAbout(wxCommandEvent&) {
    wxAboutBox(AboutInfo(), nullptr);
}

}  // namespace tandrel
