#include "HelpContent.h"

#include "CommandShortcuts.h"

using namespace Qt::StringLiterals;

HelpItem HelpItem::paragraph(const QString &text)
{
    return {Kind::Paragraph, {}, text, {}};
}

HelpItem HelpItem::bullet(const QString &term, const QString &text)
{
    return {Kind::Bullet, term, text, {}};
}

HelpItem HelpItem::bulletPlain(const QString &text)
{
    return {Kind::BulletPlain, {}, text, {}};
}

HelpItem HelpItem::shortcutTable(const QList<HelpShortcut> &shortcuts)
{
    return {Kind::Shortcuts, {}, {}, shortcuts};
}

QList<QString> HelpItem::texts() const
{
    switch (kind) {
    case Kind::Paragraph:
    case Kind::BulletPlain:
        return {text};
    case Kind::Bullet:
        return {term, text};
    case Kind::Shortcuts:
        break;
    }
    QList<QString> result;
    result.reserve(shortcuts.size() * 2);
    for (const HelpShortcut &row : shortcuts)
        result << row.shortcut << row.action;
    return result;
}

namespace {

HelpSection section(const QString &title, const QList<HelpItem> &items)
{
    return {QUuid::createUuid(), title, items};
}

// Every shortcut the help names is written from the table the menus take theirs from, in the
// prose and in the table alike, so that a search for a shortcut finds both.
QString keyText(CommandShortcuts::Command command)
{
    return CommandShortcuts::text(command);
}

QList<HelpShortcut> shortcutRows()
{
    using CommandShortcuts::Command;
    return {
        {keyText(Command::New), u"New document"_s},
        {keyText(Command::Open), u"Open file"_s},
        {keyText(Command::Save), u"Save"_s},
        {keyText(Command::SaveAs), u"Save As"_s},
        {keyText(Command::Close), u"Close window"_s},
        {keyText(Command::Print), u"Print"_s},
        {keyText(Command::Undo), u"Undo"_s},
        {keyText(Command::Redo), u"Redo"_s},
        {keyText(Command::Cut), u"Cut"_s},
        {keyText(Command::Copy), u"Copy"_s},
        {keyText(Command::Paste), u"Paste"_s},
        {keyText(Command::SelectAll), u"Select All"_s},
        {keyText(Command::GoToLine), u"Go to line"_s},
        {keyText(Command::Find), u"Find"_s},
        {keyText(Command::FindAndReplace), u"Find & Replace"_s},
        {keyText(Command::FindNext), u"Find Next"_s},
        {keyText(Command::FindPrevious), u"Find Previous"_s},
        {keyText(Command::DismissFind), u"Dismiss Find"_s},
        {keyText(Command::ToggleLineNumbers), u"Toggle line numbers"_s},
        {keyText(Command::ToggleStatusBar), u"Toggle status bar"_s},
        {keyText(Command::IncreaseFontSize), u"Increase font size"_s},
        {keyText(Command::DecreaseFontSize), u"Decrease font size"_s},
        {keyText(Command::Settings), u"Settings"_s},
    };
}

HelpSection gettingStarted()
{
    using CommandShortcuts::Command;
    return section(u"Getting Started"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet is a fast, focused plain-text editor. It opens .txt files, provides "
                u"essential editing features, and stays out of your way."_s),
            HelpItem::paragraph(
                u"When you launch Scrivlet, a new blank document opens automatically. You can "
                u"start typing right away, or open an existing file with %1."_s.arg(
                    keyText(Command::Open))),
        });
}

HelpSection workingWithDocuments()
{
    using CommandShortcuts::Command;
    return section(u"Working with Documents"_s,
        {
            HelpItem::bullet(u"New Document"_s,
                u"%1 creates a new blank document in its own window."_s.arg(keyText(Command::New))),
            HelpItem::bullet(u"Open"_s,
                u"%1 opens the file picker. You can also drag files onto a Scrivlet window, "
                u"double-click them in your file manager, or right-click them and choose "
                u"\"Open With\" > Scrivlet."_s.arg(keyText(Command::Open))),
            HelpItem::bullet(u"Save"_s,
                u"%1 saves the current document. If it\u2019s new, you\u2019ll be prompted "
                u"to choose a location."_s.arg(keyText(Command::Save))),
            HelpItem::bullet(u"Save As"_s,
                u"%1 saves a copy with a new name or location."_s.arg(keyText(Command::SaveAs))),
            HelpItem::bullet(u"Multiple Windows"_s,
                u"Each document opens in its own window. Use the Window menu to switch between "
                u"them."_s),
            HelpItem::bullet(u"Unsaved Changes"_s,
                u"If you close a document with unsaved changes, Scrivlet asks whether to Save, "
                u"Don\u2019t Save, or Cancel."_s),
        });
}

HelpSection editing()
{
    using CommandShortcuts::Command;
    return section(u"Editing"_s,
        {
            HelpItem::bullet(u"Undo / Redo"_s,
                u"%1 undoes your last change. %2 redoes it. Multiple levels of undo are "
                u"supported."_s.arg(keyText(Command::Undo), keyText(Command::Redo))),
            HelpItem::bullet(u"Cut / Copy / Paste"_s,
                u"Standard clipboard operations (%1, %2, %3) work with the system clipboard."_s.arg(
                    keyText(Command::Cut), keyText(Command::Copy), keyText(Command::Paste))),
            HelpItem::bullet(u"Select All"_s,
                u"%1 selects all text in the document."_s.arg(keyText(Command::SelectAll))),
            HelpItem::bullet(u"Go to Line"_s,
                u"%1 asks for a line number (or line:column) and moves the cursor there. A "
                u"number past the end goes to the last line."_s.arg(keyText(Command::GoToLine))),
        });
}

HelpSection findAndReplace()
{
    using CommandShortcuts::Command;
    return section(u"Find & Replace"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet has a floating Find & Replace dialog that stays on top of your "
                u"document."_s),
            HelpItem::bullet(u"Find"_s,
                u"%1 opens the Find dialog. Type your search text and matches are "
                u"highlighted in the document. Press Return to jump to the next match."_s.arg(
                    keyText(Command::Find))),
            HelpItem::bullet(u"Find & Replace"_s,
                u"%1 opens Find with the Replace row visible. You can also click the "
                u"disclosure chevron in the Find dialog to toggle the Replace row."_s.arg(
                    keyText(Command::FindAndReplace))),
            HelpItem::bullet(u"Navigate Matches"_s,
                u"%1 moves to the next match. %2 moves to the previous. Navigation wraps "
                u"around."_s.arg(keyText(Command::FindNext), keyText(Command::FindPrevious))),
            HelpItem::bullet(u"Case Sensitive"_s,
                u"Click the \"Aa\" button to toggle case-sensitive matching."_s),
            HelpItem::bullet(u"Replace"_s,
                u"Click Replace to replace the current match, or Replace All to replace every "
                u"match at once."_s),
            HelpItem::bullet(u"Dismiss"_s,
                u"Press %1 or close the dialog. Your search text is preserved \u2014 reopening "
                u"the dialog shows your last search."_s.arg(keyText(Command::DismissFind))),
        });
}

HelpSection viewOptions()
{
    using CommandShortcuts::Command;
    return section(u"View Options"_s,
        {
            HelpItem::bullet(u"Line Numbers"_s,
                u"%1 toggles the line number gutter on the left side of the editor. On by "
                u"default."_s.arg(keyText(Command::ToggleLineNumbers))),
            HelpItem::bullet(u"Status Bar"_s,
                u"%1 toggles the status bar at the bottom, which shows the word count, "
                u"character count, and the file path of the current document. The file path is "
                u"selectable and copyable."_s.arg(keyText(Command::ToggleStatusBar))),
            HelpItem::bullet(u"Increase Font Size"_s,
                u"%1 (the plus key) makes the text larger."_s.arg(
                    keyText(Command::IncreaseFontSize))),
            HelpItem::bullet(u"Decrease Font Size"_s,
                u"%1 (the minus key) makes the text smaller."_s.arg(
                    keyText(Command::DecreaseFontSize))),
            HelpItem::bulletPlain(u"Font sizes range from 8pt to 72pt."_s),
        });
}

HelpSection preferences()
{
    return section(u"Preferences"_s,
        {
            HelpItem::paragraph(
                u"Open Settings (Edit > Settings\u2026) with %1 (comma). Changes apply "
                u"immediately to all open documents."_s.arg(
                    keyText(CommandShortcuts::Command::Settings))),
            HelpItem::bullet(u"Font Family"_s, u"Choose any installed font. Default: Menlo."_s),
            HelpItem::bullet(u"Font Size"_s,
                u"Set the size from 8 to 72 points. Default: 13pt. You can type a number or use "
                u"the stepper."_s),
            HelpItem::bullet(u"Appearance"_s,
                u"Choose System Default (follows your desktop\u2019s light or dark style), "
                u"Light, or Dark."_s),
            HelpItem::bullet(u"Line Numbers"_s, u"Toggle the line number gutter on or off."_s),
            HelpItem::bullet(u"Bold"_s, u"Toggle bold styling for the editor font."_s),
            HelpItem::bullet(u"Text Color"_s, u"Choose a custom text color for the editor."_s),
            HelpItem::bullet(
                u"Background Color"_s, u"Choose a custom background color for the editor."_s),
            HelpItem::bullet(u"Reopen Documents"_s,
                u"When enabled, Scrivlet reopens your documents from the previous session on "
                u"launch."_s),
            HelpItem::bullet(u"File Associations"_s,
                u"Manage which file extensions Scrivlet handles (.txt, .text by default). Add "
                u"or remove extensions."_s),
            HelpItem::bullet(u"File Manager Extension"_s,
                u"Configure the file-manager extension: set the default filename for new files, "
                u"choose whether to automatically open new files in Scrivlet after creation, "
                u"and manage authorized folders where the extension can create files directly."_s),
            HelpItem::bullet(u"Reset to Defaults"_s,
                u"Click to restore all preferences to their original values (Menlo 13pt, bold "
                u"off, System appearance, system colors, line numbers on)."_s),
            HelpItem::bulletPlain(
                u"The Settings window is resizable, so you can adjust it to see all settings "
                u"comfortably."_s),
        });
}

HelpSection appearance()
{
    return section(u"Appearance"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet follows your desktop\u2019s light or dark style by default. You can "
                u"override this in Settings to always use Light or Dark mode within "
                u"Scrivlet, regardless of your system setting."_s),
        });
}

HelpSection printing()
{
    return section(u"Printing"_s,
        {
            HelpItem::paragraph(
                u"Press %1 to print the current document using the standard print dialog, "
                u"which can also print to a PDF file. The printout uses your current font and "
                u"size settings."_s.arg(keyText(CommandShortcuts::Command::Print))),
        });
}

HelpSection finderExtension()
{
    return section(u"File Manager Extension"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet can add a \"New Text Document\" option to your file manager\u2019s "
                u"right-click menu (Files, Nemo, Dolphin and Thunar), letting you create text "
                u"files directly from any folder."_s),
            HelpItem::bullet(u"Enable the Extension"_s,
                u"In Settings > File Manager Extension, click \"Open Extension Settings\", "
                u"then Install next to your file manager."_s),
            HelpItem::bullet(u"Authorize Folders"_s,
                u"In Settings > File Manager Extension, click \"Add Folder...\" to authorize "
                u"folders where the extension can create files directly."_s),
            HelpItem::bullet(u"Create Files"_s,
                u"Right-click on blank space in a folder in your file manager and select "
                u"\"New Text Document\" to create a new .txt file."_s),
            HelpItem::bullet(u"Smart Naming"_s,
                u"Files are named Untitled.txt, Untitled 2.txt, Untitled 3.txt, etc., to avoid "
                u"conflicts."_s),
            HelpItem::bullet(u"Auto-Open"_s,
                u"Optionally, Scrivlet can automatically open newly created files for editing. "
                u"Configure this in Settings > File Manager Extension."_s),
            HelpItem::bulletPlain(
                u"For folders you haven\u2019t authorized, Scrivlet will open to handle the "
                u"file creation."_s),
        });
}

HelpSection keyboardShortcuts()
{
    return section(u"Keyboard Shortcuts"_s,
        {
            HelpItem::shortcutTable(shortcutRows()),
        });
}

HelpSection help()
{
    QStringList helpKeys;
    for (const QKeySequence &sequence : CommandShortcuts::keys(CommandShortcuts::Command::Help))
        helpKeys << sequence.toString(QKeySequence::NativeText);
    return section(u"Help"_s,
        {
            HelpItem::paragraph(
                u"Press %1 (or %2) to open the Scrivlet Help window. Help is searchable "
                u"\u2014 type in the search bar at the top to filter sections and highlight "
                u"matching text."_s.arg(helpKeys.value(0), helpKeys.value(1))),
        });
}

HelpSection technicalNotes()
{
    return section(u"Technical Notes"_s,
        {
            HelpItem::bullet(u"File Format"_s,
                u"Scrivlet works with plain text (.txt) files encoded in UTF-8. It can also "
                u"read files in UTF-16 (with a byte-order mark), ISO Latin 1, Windows CP1252, "
                u"and Mac OS Roman encodings, and saves them as UTF-8."_s),
            HelpItem::bullet(u"Line Endings"_s,
                u"All files are saved with Unix (LF) line endings. Windows (CRLF) and classic "
                u"Mac (CR) line endings are automatically converted on save."_s),
            HelpItem::bullet(u"Accessibility"_s,
                u"Scrivlet supports screen readers such as Orca and full keyboard navigation. "
                u"All controls have accessibility labels and hints."_s),
        });
}

} // namespace

namespace HelpContent {

QList<HelpSection> buildSections()
{
    return {gettingStarted(), workingWithDocuments(), editing(), findAndReplace(), viewOptions(),
        preferences(), appearance(), printing(), finderExtension(), keyboardShortcuts(), help(),
        technicalNotes()};
}

QString productPageAddress()
{
    return u"https://scrivlet.org/"_s;
}

QString productPageLinkText()
{
    return u"scrivlet.org"_s;
}

} // namespace HelpContent
