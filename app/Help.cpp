// The help book, the About box and the window icons.
#include "app/Help.h"

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

wxString LoadFolder(const wxString& executablePath) {
    const wxString cwd = wxFileName::GetCwd();
    if (!wxFindFirstFile(wxFileName(cwd, wxT("*.def")).GetFullPath(), wxFILE).empty())
        return wxString();
    const wxString programFolder = wxFileName(executablePath).GetPath();
    for (wxFileName candidate : {wxFileName::DirName(cwd), wxFileName::DirName(programFolder),
                                 wxFileName::DirName(programFolder + wxT("/../share/tandrel"))}) {
        candidate.AppendDir(wxT("examples"));
        candidate.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
        if (!programFolder.empty() && candidate.DirExists()) return candidate.GetPath();
    }
    return wxString();
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

void MyFrame::BuildHelp() {
    help = new wxHtmlHelpController(wxHF_CONTENTS | wxHF_SEARCH, this);
    // Once per process: every frame reads its book through the same handler.
    static const bool archivesReadable = [] {
        wxFileSystem::AddHandler(new wxArchiveFSHandler);
        return true;
    }();
    (void)archivesReadable;
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
    help->DisplayContents();
}

void MyFrame::OnAbout(wxCommandEvent&) {
    wxAboutBox(AboutInfo(), nullptr);
}

}  // namespace tandrel
