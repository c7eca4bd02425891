#pragma once

#include <ostream>
#include <string>

#include "cli/Options.h"
#include "sim/Simulator.h"

namespace tandrel {
namespace cli {

// Whether this build can draw pictures.
bool PictureSupported();

// The file name of the picture after `step` steps: every "%d" in the
// pattern becomes the step number.
std::string PictureFileName(const std::string& pattern, long long step);

// Draws the loaded program after 0..N steps (one picture per step when the
// output name holds %d, else the one after N steps). Returns an exit status;
// failures are told on `err` in one line.
int DrawPictures(Simulator& sim, const Options& options, std::ostream& err);

}  // namespace cli
}  // namespace tandrel
