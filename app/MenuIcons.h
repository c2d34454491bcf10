// Menu images of items with a check mark.
#pragma once
#include <QIcon>

namespace blubbi {

// `image` as it stands for an unchecked item, and with a bold check mark over its lower right
// part for a checked one. The styles mark a checked item that has an image only by a faint
// frame around it.
QIcon WithCheckMark(const QIcon& image);

}  // namespace blubbi
