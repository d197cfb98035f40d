#pragma once

#include <optional>

class QKeyEvent;

// A move of the caret a key asks for.
enum class CaretMove {
    NextCharacter,
    PreviousCharacter,
    NextWord,
    PreviousWord,
    NextRow,
    PreviousRow,
    NextPage,
    PreviousPage,
    RowStart,
    RowEnd,
    TextStart,
    TextEnd,
};

// The keys that move the caret as the platform binds them (QKeySequence's standard keys, so that
// a desktop's own bindings hold), with Shift selecting.
class CaretKeys
{
public:
    struct Key
    {
        CaretMove move;
        bool select = false;
    };

    static std::optional<Key> forEvent(const QKeyEvent *event);
    // Up, Down, Page Up and Page Down keep aiming at the same x across rows.
    static bool isVertical(CaretMove move);
};
