#pragma once

#include <QString>

class QPrinter;
class QWidget;
class TextView;

// Prints the text of a document window: the first text view found depth first in the window,
// in the editor's own font and size. Without a window or a text view nothing happens.
class PrintCommand
{
public:
    static TextView *findTextView(QWidget *view);
    // Shows the print dialog for the window's text view.
    static void printWindow(QWidget *window);
    // The name the printed document goes by: the window's file name, else its title ("Untitled").
    static QString documentName(const QWidget &window);
    // The view's text (its selection only, when the printer asks for it), laid out for the page.
    static void print(const TextView &textView, QPrinter &printer);
};
