// The front door of image reading: the reader picked by the file name's extension.
#include "textures/ImageRead.h"

namespace textures {
namespace {

// The last four characters, upper-cased (ASCII letters only); a shorter name is taken whole and
// so matches no extension.
std::string UpperExtension(const std::string& name) {
  std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : name;
  for (char& c : tail)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return tail;
}

}  // namespace

std::optional<TReadImage> ReadImage(const std::string& imageFileName, bool fromResource,
                                    TLargestSide largestSide) {
  const std::string extension = UpperExtension(imageFileName);
  if (extension == ".BMP") return ReadBMPImage(imageFileName, fromResource, largestSide);
  if (extension == ".JPG") return ReadJPGImage(imageFileName, fromResource, largestSide);
  if (extension == ".TGA") return ReadTGAImage(imageFileName, fromResource, largestSide);
  return std::nullopt;
}

}  // namespace textures
