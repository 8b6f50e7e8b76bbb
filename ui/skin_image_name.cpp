#include "ui/skin_image_name.h"

#include <cctype>

namespace qm {

std::string ImageResourceName(const std::string& imagePath) {
    std::string name = imagePath;
    std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace qm
