// Writes palette pictures as 8-bit GIF files with giflib.
#pragma once

#include "Xpm.h"

#include <string>

namespace sheets {

// The palette is padded to 256 entries so every file is an 8-bit GIF. With `keyed`, the picture's
// transparent palette entry is also named in the file as the GIF's transparent colour.
void writeGif(const IndexedPicture& picture, const std::string& path, bool keyed = true);

}  // namespace sheets
