#include "cli/Picture.h"

namespace tandrel {
namespace cli {

std::string PictureFileName(const std::string& pattern, long long step) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, "%d") == 0) {
            name += std::to_string(step);
            ++i;
        } else {
            name += pattern[i];
        }
    }
    return name;
}

}  // namespace cli
}  // namespace tandrel
