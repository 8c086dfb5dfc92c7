#pragma once

namespace orv {

// Which of the palette's two search controls holds keyboard focus.
enum class SearchFocus { field, clear };

}  // namespace orv
