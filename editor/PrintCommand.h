#pragma once

#include <QString>

class QPlainTextEdit;
class QPrinter;
class QWidget;

// Prints the text of a document window: the first text view found depth first in the window,
// in the editor's own font and size. Without a window or a text view nothing happens.
class PrintCommand
{
public:
    static QPlainTextEdit *findTextView(QWidget *view);
    // Shows the print dialog for the window's text view.
    static void printWindow(QWidget *window);
    // The name the printed document goes by: the window's file name, else its title ("Untitled").
    static QString documentName(const QWidget &window);
    static void print(const QPlainTextEdit &textView, QPrinter &printer);
};
