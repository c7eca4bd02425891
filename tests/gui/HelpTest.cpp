// The help book: where it is found, and that the help window opens it at its
// first page.
#include <wx/filename.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>

#include <filesystem>
#include <string>

#include "app/Help.h"
#include "app/Ids.h"
#include "tests/gui/GuiTest.h"

namespace tandrel::test {
namespace {

namespace fs = std::filesystem;

const fs::path kProgram = TANDREL_PROGRAM_PATH;
const fs::path kBuiltBook = kProgram.parent_path() / "Tandrel.htb";

wxString Path(const fs::path& path) {
    return wxString::FromUTF8(path.string());
}

fs::path Canonical(const wxString& path) {
    return fs::weakly_canonical(fs::path(path.utf8_string()));
}

using HelpBook = FrameTest;

TEST_F(HelpBook, IsFoundInTheWorkingFolderThenBesideTheProgramThenItsShareFolder) {
    fs::create_directories(folder / "work");
    fs::current_path(folder / "work");
    // An installed layout: prefix/bin/tandrel and prefix/share/tandrel/Tandrel.htb.
    const fs::path program = folder / "prefix" / "bin" / "tandrel";
    const fs::path shared = folder / "prefix" / "share" / "tandrel" / "Tandrel.htb";
    fs::create_directories(program.parent_path());
    fs::create_directories(shared.parent_path());

    // Nowhere: the working folder's name, so the viewer reports it missing.
    // Then each place added is found before the ones added earlier.
    for (const fs::path& place : {fs::path(), shared, program.parent_path() / "Tandrel.htb",
                                  folder / "work" / "Tandrel.htb"}) {
        if (!place.empty()) fs::copy_file(kBuiltBook, place);
        const wxString found = FindHelpBook(Path(program));
        EXPECT_EQ(found.Find(wxT("..")), wxNOT_FOUND) << found;
        EXPECT_EQ(Canonical(found), place.empty() ? fs::canonical(folder / "work") / "Tandrel.htb"
                                                  : fs::canonical(place));
    }
}

TEST_F(HelpBook, ContentsOpenTheHelpWindowAtTheFirstPage) {
    fs::copy_file(kBuiltBook, folder / "Tandrel.htb");
    MyFrame& frame = Start();
    Command(frame, ID_HELP_CONTENTS);
    Settle();
    wxHtmlHelpFrame* window = nullptr;
    for (wxWindow* top : wxTopLevelWindows)
        if (auto* help = dynamic_cast<wxHtmlHelpFrame*>(top)) window = help;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->IsShown());
    EXPECT_EQ(window->GetParent(), &frame);
    EXPECT_EQ(window->GetHelpWindow()->GetHtmlWindow()->GetOpenedPageTitle(),
              wxT("Getting started"));
}

}  // namespace
}  // namespace tandrel::test
