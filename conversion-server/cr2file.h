#ifndef GARBWRIGHT_CR2FILE_H
#define GARBWRIGHT_CR2FILE_H

#include "garment.h"
#include "request.h"

#include <string>

namespace ConversionServer {

// The converted garment as a Poser character file: a top-level block holding a version
// block and a figure block, each keyword on its own line and each brace on a line of its
// own. The figure block's first "name" line is the garment's display name; the figure it
// was fitted to, where it came from, its description and its pieces follow.
std::string renderCr2(const Garment& garment, const ConversionRequest& request);

} // namespace ConversionServer

#endif
