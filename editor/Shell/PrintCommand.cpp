#include "PrintCommand.h"

#include "TextView.h"

#include <QFileInfo>
#include <QPlainTextDocumentLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QTextOption>

#include <memory>

TextView *PrintCommand::findTextView(QWidget *view)
{
    if (!view)
        return nullptr;
    if (auto *textView = qobject_cast<TextView *>(view))
        return textView;
    for (QObject *child : view->children()) {
        if (auto *childView = qobject_cast<QWidget *>(child)) {
            if (TextView *found = findTextView(childView))
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
    TextView *textView = findTextView(window);
    if (!textView)
        return;
    QPrinter printer(QPrinter::HighResolution);
    // The print dialog proposes the document's name, its extension replaced, for a PDF file.
    printer.setDocName(documentName(*window));
    auto *dialog = new QPrintDialog(&printer, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    const std::unique_ptr<QPrintDialog> owner(dialog);
    if (textView->hasSelection())
        dialog->setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog->exec() == QDialog::Accepted)
        print(*textView, printer);
}

// Printing lays a copy of the text out for the page, in the view's font; the copy is made only
// for the printer and never shown.
void PrintCommand::print(const TextView &textView, QPrinter &printer)
{
    const bool selectionOnly
        = printer.printRange() == QPrinter::Selection && textView.hasSelection();
    const QString text = selectionOnly ? textView.selectedText() : textView.document()->toString();
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    document.setDefaultFont(textView.font());
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setPlainText(text);
    document.print(&printer);
}
