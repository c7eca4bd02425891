// Placeholder until the options dialog is built.
#include "app/MyFrame.h"

namespace tandrel {

void MyFrame::OnOptions(wxCommandEvent&) {}

}  // namespace tandrel
