// Placeholder until help, About and the icons are built.
#include "app/MyFrame.h"

namespace tandrel {

void MyFrame::BuildHelp() {}
void MyFrame::BuildIcons() {}
void MyFrame::OnHelpContents(wxCommandEvent&) {}
void MyFrame::OnAbout(wxCommandEvent&) {}

}  // namespace tandrel
