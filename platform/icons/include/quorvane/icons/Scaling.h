// Scaling icon pictures to the size they are drawn at.
#pragma once

#include "quorvane/icons/IconBitmap.h"

namespace quorvane::icons {

// The picture at width x height. Enlarged, each source pixel becomes a block of whole pixels,
// never blurred; shrunk, areas are averaged, in premultiplied alpha for alpha pictures and,
// for pictures without alpha, over the pixels whose mask is the output pixel's. The mask takes
// the source pixel under each output pixel's centre. TooLarge for a size that
// IconBitmap::create refuses.
Result<IconBitmap> scaleTo(const IconBitmap& bitmap, int width, int height);

} // namespace quorvane::icons
