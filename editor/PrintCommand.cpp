#include "PrintCommand.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>

#include <memory>

QPlainTextEdit *PrintCommand::findTextView(QWidget *view)
{
    if (!view)
        return nullptr;
    if (auto *textView = qobject_cast<QPlainTextEdit *>(view))
        return textView;
    for (QObject *child : view->children()) {
        if (auto *childView = qobject_cast<QWidget *>(child)) {
            if (QPlainTextEdit *found = findTextView(childView))
                return found;
        }
    }
    return nullptr;
}

QString PrintCommand::documentName(const QWidget &window)
{
    if (!window.windowFilePath().isEmpty())
        return QFileInfo(window.windowFilePath()).fileName();
    QString title = window.windowTitle();
    return title.remove(QStringLiteral("[*]"));
}

void PrintCommand::printWindow(QWidget *window)
{
    QPlainTextEdit *textView = findTextView(window);
    if (!textView)
        return;
    QPrinter printer(QPrinter::HighResolution);
    // The print dialog proposes the document's name, its extension replaced, for a PDF file.
    printer.setDocName(documentName(*window));
    auto *dialog = new QPrintDialog(&printer, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    const std::unique_ptr<QPrintDialog> owner(dialog);
    if (textView->textCursor().hasSelection())
        dialog->setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog->exec() == QDialog::Accepted)
        print(*textView, printer);
}

// The view prints a copy of its document (the selection only, when the dialog asked for it),
// laid out for the page in the document's default font, which the view keeps equal to its own.
void PrintCommand::print(const QPlainTextEdit &textView, QPrinter &printer)
{
    textView.print(&printer);
}
