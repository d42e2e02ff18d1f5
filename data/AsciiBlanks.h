#pragma once

// The ASCII trim lives at the bottom of the tree, where the settings reader uses it too; the
// screens reach it under the data layer's name as well.
#include "settings/AsciiBlanks.h"

namespace glimora::data {

using app::isAsciiBlank;
using app::withoutAsciiBlanks;
using app::withoutTrailingAsciiBlanks;

} // namespace glimora::data
