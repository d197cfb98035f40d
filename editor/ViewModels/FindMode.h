#pragma once

// Whether the find panel shows the replace row; matching is the same in both modes.
enum class FindMode {
    Find,
    FindAndReplace,
};
