#include "cli/Commands.h"
#include "cli/Picture.h"

// Built when the drawing library is not part of the build.

namespace tandrel {
namespace cli {

bool PictureSupported() {
    return false;
}

int DrawPictures(Simulator&, const Options&, std::ostream& err) {
    err << "tandrel-cli: this build cannot draw pictures\n";
    return kExitUsage;
}

}  // namespace cli
}  // namespace tandrel
