// The help book (where it is found, that it opens, that every page it names
// is in it), the help window, the About box and the window icons.
#include <unistd.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/html/helpdata.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

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

// A working folder of its own, without a display.
class HelpBookSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        folder = fs::temp_directory_path() /
                 (std::string("tandrel-help-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                  std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "work");
        fs::current_path(folder / "work");
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    fs::path previous;
    fs::path folder;
};

TEST_F(HelpBookSearch, BuiltBookIsFoundBesideTheProgramFromAnotherFolder) {
    ASSERT_TRUE(fs::exists(kBuiltBook)) << kBuiltBook;
    EXPECT_EQ(Canonical(FindHelpBook(Path(kProgram))), fs::canonical(kBuiltBook));
}

TEST_F(HelpBookSearch, WorkingFolderFirstThenBesideTheProgramThenItsShareFolder) {
    // An installed layout: prefix/bin/tandrel and prefix/share/tandrel/Tandrel.htb.
    const fs::path program = folder / "prefix" / "bin" / "tandrel";
    const fs::path shared = folder / "prefix" / "share" / "tandrel" / "Tandrel.htb";
    fs::create_directories(program.parent_path());
    fs::create_directories(shared.parent_path());

    // Nowhere: the working folder's name, so the viewer reports it missing.
    EXPECT_EQ(Canonical(FindHelpBook(Path(program))),
              fs::canonical(folder / "work") / "Tandrel.htb");

    fs::copy_file(kBuiltBook, shared);
    const wxString found = FindHelpBook(Path(program));
    EXPECT_TRUE(wxFileName(found).IsAbsolute());
    EXPECT_EQ(found.Find(wxT("..")), wxNOT_FOUND) << found;
    EXPECT_EQ(Canonical(found), fs::canonical(shared));

    fs::copy_file(kBuiltBook, program.parent_path() / "Tandrel.htb");
    EXPECT_EQ(Canonical(FindHelpBook(Path(program))),
              fs::canonical(program.parent_path() / "Tandrel.htb"));

    fs::copy_file(kBuiltBook, folder / "work" / "Tandrel.htb");
    EXPECT_EQ(Canonical(FindHelpBook(Path(program))),
              fs::canonical(folder / "work" / "Tandrel.htb"));
}

// Reads a file inside the book as the help viewer does.
wxString ReadFromBook(wxFileSystem& files, const wxString& location) {
    std::unique_ptr<wxFSFile> file(files.OpenFile(location));
    if (!file) return wxString();
    wxString text;
    wxInputStream* stream = file->GetStream();
    char buffer[4096];
    while (!stream->Eof()) {
        stream->Read(buffer, sizeof buffer);
        text += wxString::FromUTF8(buffer, stream->LastRead());
    }
    return text;
}

std::vector<const wxHtmlHelpDataItem*> Items(const wxHtmlHelpDataItems& items) {
    std::vector<const wxHtmlHelpDataItem*> all;
    for (size_t i = 0; i < items.GetCount(); ++i) all.push_back(&items[i]);
    return all;
}

using HelpBook = FrameTest;

TEST_F(HelpBook, OpensWithItsContentsIndexAndEveryPageTheyName) {
    Start();  // registers the archive reader
    wxHtmlHelpData data;
    ASSERT_TRUE(data.AddBook(Path(kBuiltBook)));
    ASSERT_EQ(data.GetBookRecArray().size(), 1u);
    const wxHtmlBookRecord& book = data.GetBookRecArray()[0];
    EXPECT_EQ(book.GetTitle(), wxT("Tandrel Help"));
    EXPECT_EQ(book.GetStart(), wxT("index.html"));

    std::set<wxString> chapters;
    std::set<wxString> pages;
    for (const wxHtmlHelpDataItem* item : Items(data.GetContentsArray())) {
        if (item->level == 1) chapters.insert(item->name);
        pages.insert(item->page.BeforeFirst(wxT('#')));
    }
    for (const wxChar* chapter :
         {wxT("Getting started"), wxT("Writing, loading and saving programs"),
          wxT("The instruction set"), wxT("The three datapaths"), wxT("Dependences and branches"),
          wxT("Definition files"), wxT("Number formats"), wxT("Options, menus and keys"),
          wxT("Parse messages")})
        EXPECT_EQ(chapters.count(chapter), 1u) << chapter;
    EXPECT_GT(data.GetIndexArray().size(), 40u);
    for (const wxHtmlHelpDataItem* item : Items(data.GetIndexArray()))
        pages.insert(item->page.BeforeFirst(wxT('#')));
    EXPECT_EQ(pages.size(), 9u);

    wxFileSystem files;
    for (const wxString& page : pages) {
        SCOPED_TRACE(page.ToStdString());
        const wxString text = ReadFromBook(files, book.GetFullPath(page));
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.Find(wxT("<title>")), wxNOT_FOUND);
        EXPECT_NE(text.Find(wxT("</html>")), wxNOT_FOUND);
        // Anchors the contents and the index point at exist on their pages.
        std::vector<const wxHtmlHelpDataItem*> links = Items(data.GetContentsArray());
        for (const wxHtmlHelpDataItem* item : Items(data.GetIndexArray())) links.push_back(item);
        for (const wxHtmlHelpDataItem* item : links) {
            if (item->page.BeforeFirst(wxT('#')) != page || !item->page.Contains(wxT("#")))
                continue;
            const wxString anchor = item->page.AfterFirst(wxT('#'));
            EXPECT_NE(text.Find(wxT("name=\"") + anchor + wxT("\"")), wxNOT_FOUND)
                << anchor.ToStdString();
        }
    }
    // The encodings the pages teach are the ones the program produces.
    const wxString instructions = ReadFromBook(files, book.GetFullPath(wxT("instructions.html")));
    for (const wxChar* word : {wxT("0x00221820"), wxT("0x8D280004"), wxT("0x10410003"),
                               wxT("0xAD28FFFC"), wxT("0x2001FFFF")})
        EXPECT_NE(instructions.Find(word), wxNOT_FOUND) << word;
}

TEST_F(HelpBook, ContentsOpenTheHelpWindowAtTheFirstPage) {
    fs::copy_file(kBuiltBook, folder / "Tandrel.htb");
    MyFrame& frame = Start();
    wxCommandEvent contents(wxEVT_MENU, ID_HELP_CONTENTS);
    frame.ProcessWindowEvent(contents);
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

using AboutAndIcons = FrameTest;

std::vector<unsigned char> Pixels(const wxIcon& icon) {
    const wxImage image = wxBitmap(icon).ConvertToImage();
    std::vector<unsigned char> pixels(image.GetData(),
                                      image.GetData() + 3 * image.GetWidth() * image.GetHeight());
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            pixels.push_back(image.IsTransparent(x, y) ? 0 : 1);
    return pixels;
}

TEST_F(AboutAndIcons, AboutShowsNameDescriptionOneDeveloperAndTheFirstIcon) {
    Start();
    const wxAboutDialogInfo info = AboutInfo();
    EXPECT_EQ(info.GetName(), wxT("Tandrel"));
    EXPECT_EQ(info.GetDescription(), wxT("Graphical Tandrel Simulator."));
    ASSERT_EQ(info.GetDevelopers().size(), 1u);
    EXPECT_FALSE(info.GetDevelopers()[0].empty());
    EXPECT_FALSE(info.HasVersion());
    EXPECT_FALSE(info.HasCopyright());
    EXPECT_FALSE(info.HasLicence());
    EXPECT_FALSE(info.HasWebSite());
    EXPECT_FALSE(info.HasDocWriters() || info.HasArtists() || info.HasTranslators());
    ASSERT_TRUE(info.HasIcon());
    EXPECT_EQ(Pixels(info.GetIcon()), Pixels(WindowIcons()[0]));
}

TEST_F(AboutAndIcons, EightIconsTwoShadesOfEachSizeAndTheFrameKeepsTheLaterOne) {
    MyFrame& frame = Start();
    const std::vector<wxIcon> icons = WindowIcons();
    ASSERT_EQ(icons.size(), 8u);
    const int sizes[] = {48, 32, 24, 16};
    for (int pair = 0; pair < 4; ++pair) {
        SCOPED_TRACE(sizes[pair]);
        const wxImage light = wxBitmap(icons[2 * pair]).ConvertToImage();
        const wxImage dark = wxBitmap(icons[2 * pair + 1]).ConvertToImage();
        for (const wxImage* image : {&light, &dark}) {
            EXPECT_EQ(image->GetWidth(), sizes[pair]);
            EXPECT_EQ(image->GetHeight(), sizes[pair]);
        }
        // Same shape, the same corners see-through; only the shade differs.
        long lighter = 0;
        long transparent = 0;
        for (int y = 0; y < sizes[pair]; ++y) {
            for (int x = 0; x < sizes[pair]; ++x) {
                ASSERT_EQ(light.IsTransparent(x, y), dark.IsTransparent(x, y)) << x << "," << y;
                if (light.IsTransparent(x, y)) {
                    ++transparent;
                    continue;
                }
                const int a = light.GetRed(x, y) + light.GetGreen(x, y) + light.GetBlue(x, y);
                const int b = dark.GetRed(x, y) + dark.GetGreen(x, y) + dark.GetBlue(x, y);
                EXPECT_GE(a, b);
                lighter += a > b;
            }
        }
        EXPECT_TRUE(light.IsTransparent(0, 0));
        EXPECT_GT(transparent, 0);
        EXPECT_GT(lighter, sizes[pair] * sizes[pair] / 2);
        // The bundle keeps one icon per size: the later of the pair.
        const wxIcon kept =
            frame.GetIcons().GetIcon(wxSize(sizes[pair], sizes[pair]), wxIconBundle::FALLBACK_NONE);
        ASSERT_TRUE(kept.IsOk());
        EXPECT_EQ(Pixels(kept), Pixels(icons[2 * pair + 1]));
    }
    EXPECT_EQ(frame.GetIcons().GetIconCount(), 4u);
}

}  // namespace
}  // namespace tandrel::test
