#include "CaretKeys.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace {

struct Binding
{
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    CaretMove caretMove;
};

constexpr Binding Bindings[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, CaretMove::NextCharacter},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
        CaretMove::PreviousCharacter},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, CaretMove::NextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, CaretMove::PreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, CaretMove::NextRow},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, CaretMove::PreviousRow},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, CaretMove::NextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, CaretMove::PreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, CaretMove::RowStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, CaretMove::RowEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
        CaretMove::TextStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, CaretMove::TextEnd},
};

} // namespace

std::optional<CaretKeys::Key> CaretKeys::forEvent(const QKeyEvent *event)
{
    for (const Binding &binding : Bindings) {
        if (event->matches(binding.select))
            return Key {binding.caretMove, true};
        if (event->matches(binding.move))
            return Key {binding.caretMove, false};
    }
    return std::nullopt;
}

bool CaretKeys::isVertical(CaretMove move)
{
    return move == CaretMove::NextRow || move == CaretMove::PreviousRow
        || move == CaretMove::NextPage || move == CaretMove::PreviousPage;
}
