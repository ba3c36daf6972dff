#pragma once
#include <cstdint>

#include "edit/edit_view.h"

namespace tandrel {

/** Copies `count` rendered bytes of the view's Edit from `from` into `out` through its
    render window. A range outside the window moves the window over it and back to the
    cursor afterwards; the cursor stays. 0, or the render's error (the bytes it could not
    render are silence). UI thread. */
int ReadRendered(EditView& view, uint64_t from, uint32_t count, uint8_t* out);

} // namespace tandrel
