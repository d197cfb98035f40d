#include "HelpContent.h"

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

// The help writes every shortcut with "Cmd+", the product's one name for its command modifier
// (Ctrl on a PC keyboard), in the prose and in the table alike, so that a search for a shortcut
// finds both.

QList<HelpShortcut> shortcutRows()
{
    return {
        {u"Cmd+N"_s, u"New document"_s},
        {u"Cmd+O"_s, u"Open file"_s},
        {u"Cmd+S"_s, u"Save"_s},
        {u"Cmd+Shift+S"_s, u"Save As"_s},
        {u"Cmd+W"_s, u"Close window"_s},
        {u"Cmd+P"_s, u"Print"_s},
        {u"Cmd+Z"_s, u"Undo"_s},
        {u"Cmd+Shift+Z"_s, u"Redo"_s},
        {u"Cmd+X"_s, u"Cut"_s},
        {u"Cmd+C"_s, u"Copy"_s},
        {u"Cmd+V"_s, u"Paste"_s},
        {u"Cmd+A"_s, u"Select All"_s},
        {u"Cmd+F"_s, u"Find"_s},
        {u"Cmd+Option+F"_s, u"Find & Replace"_s},
        {u"Cmd+G"_s, u"Find Next"_s},
        {u"Cmd+Shift+G"_s, u"Find Previous"_s},
        {u"ESC"_s, u"Dismiss Find"_s},
        {u"Cmd+Shift+L"_s, u"Toggle line numbers"_s},
        {u"Cmd+/"_s, u"Toggle status bar"_s},
        {u"Cmd++"_s, u"Increase font size"_s},
        {u"Cmd+-"_s, u"Decrease font size"_s},
        {u"Cmd+,"_s, u"Preferences"_s},
    };
}

HelpSection gettingStarted()
{
    return section(u"Getting Started"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet is a fast, focused plain-text editor. It opens .txt files, provides "
                u"essential editing features, and stays out of your way."_s),
            HelpItem::paragraph(
                u"When you launch Scrivlet, a new blank document opens automatically. You can "
                u"start typing right away, or open an existing file with Cmd+O."_s),
        });
}

HelpSection workingWithDocuments()
{
    return section(u"Working with Documents"_s,
        {
            HelpItem::bullet(
                u"New Document"_s, u"Cmd+N creates a new blank document in its own window."_s),
            HelpItem::bullet(u"Open"_s,
                u"Cmd+O opens the file picker. You can also drag .txt files onto the app icon, "
                u"double-click them in Finder, or right-click and choose \"Open With\" > "
                u"Scrivlet."_s),
            HelpItem::bullet(u"Save"_s,
                u"Cmd+S saves the current document. If it\u2019s new, you\u2019ll be prompted "
                u"to choose a location."_s),
            HelpItem::bullet(
                u"Save As"_s, u"Cmd+Shift+S saves a copy with a new name or location."_s),
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
    return section(u"Editing"_s,
        {
            HelpItem::bullet(u"Undo / Redo"_s,
                u"Cmd+Z undoes your last change. Cmd+Shift+Z redoes it. Multiple levels of undo "
                u"are supported."_s),
            HelpItem::bullet(u"Cut / Copy / Paste"_s,
                u"Standard clipboard operations (Cmd+X, Cmd+C, Cmd+V) work with the system "
                u"clipboard."_s),
            HelpItem::bullet(u"Select All"_s, u"Cmd+A selects all text in the document."_s),
        });
}

HelpSection findAndReplace()
{
    return section(u"Find & Replace"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet has a floating Find & Replace dialog that stays on top of your "
                u"document."_s),
            HelpItem::bullet(u"Find"_s,
                u"Cmd+F opens the Find dialog. Type your search text and matches are "
                u"highlighted in the document. Press Return to jump to the next match."_s),
            HelpItem::bullet(u"Find & Replace"_s,
                u"Cmd+Option+F opens Find with the Replace row visible. You can also click the "
                u"disclosure chevron in the Find dialog to toggle the Replace row."_s),
            HelpItem::bullet(u"Navigate Matches"_s,
                u"Cmd+G moves to the next match. Cmd+Shift+G moves to the previous. Navigation "
                u"wraps around."_s),
            HelpItem::bullet(u"Case Sensitive"_s,
                u"Click the \"Aa\" button to toggle case-sensitive matching."_s),
            HelpItem::bullet(u"Replace"_s,
                u"Click Replace to replace the current match, or Replace All to replace every "
                u"match at once."_s),
            HelpItem::bullet(u"Dismiss"_s,
                u"Press ESC or close the dialog. Your search text is preserved \u2014 reopening "
                u"the dialog shows your last search."_s),
        });
}

HelpSection viewOptions()
{
    return section(u"View Options"_s,
        {
            HelpItem::bullet(u"Line Numbers"_s,
                u"Cmd+Shift+L toggles the line number gutter on the left side of the editor. On "
                u"by default."_s),
            HelpItem::bullet(u"Status Bar"_s,
                u"Cmd+/ toggles the status bar at the bottom, which shows the word count, "
                u"character count, and the file path of the current document. The file path is "
                u"selectable and copyable."_s),
            HelpItem::bullet(
                u"Increase Font Size"_s, u"Cmd++ (Cmd and plus) makes the text larger."_s),
            HelpItem::bullet(
                u"Decrease Font Size"_s, u"Cmd+- (Cmd and minus) makes the text smaller."_s),
            HelpItem::bulletPlain(u"Font sizes range from 8pt to 72pt."_s),
        });
}

HelpSection preferences()
{
    return section(u"Preferences"_s,
        {
            HelpItem::paragraph(
                u"Open Preferences with Cmd+, (comma). Changes apply immediately to all open "
                u"documents."_s),
            HelpItem::bullet(u"Font Family"_s, u"Choose any installed font. Default: Menlo."_s),
            HelpItem::bullet(u"Font Size"_s,
                u"Set the size from 8 to 72 points. Default: 13pt. You can type a number or use "
                u"the stepper."_s),
            HelpItem::bullet(u"Appearance"_s,
                u"Choose System Default (follows your Mac\u2019s setting), Light, or Dark."_s),
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
            HelpItem::bullet(u"Finder Extension"_s,
                u"Configure the Finder extension: set the default filename for new files, "
                u"choose whether to automatically open new files in Scrivlet after creation, "
                u"and manage authorized folders where the extension can create files directly."_s),
            HelpItem::bullet(u"Reset to Defaults"_s,
                u"Click to restore all preferences to their original values (Menlo 13pt, bold "
                u"off, System appearance, system colors, line numbers on)."_s),
            HelpItem::bulletPlain(
                u"The Preferences window is resizable, so you can adjust it to see all settings "
                u"comfortably."_s),
        });
}

HelpSection appearance()
{
    return section(u"Appearance"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet follows your Mac\u2019s Light or Dark mode by default. You can "
                u"override this in Preferences to always use Light or Dark mode within "
                u"Scrivlet, regardless of your system setting."_s),
        });
}

HelpSection printing()
{
    return section(u"Printing"_s,
        {
            HelpItem::paragraph(
                u"Press Cmd+P to print the current document using the standard macOS print "
                u"dialog. The printout uses your current font and size settings."_s),
        });
}

HelpSection finderExtension()
{
    return section(u"Finder Extension"_s,
        {
            HelpItem::paragraph(
                u"Scrivlet can add a \"New Text Document\" option to Finder\u2019s right-click "
                u"context menu, letting you create text files directly from any folder."_s),
            HelpItem::bullet(u"Enable the Extension"_s,
                u"Go to System Settings > General > Login Items & Extensions and enable the "
                u"Scrivlet extension."_s),
            HelpItem::bullet(u"Authorize Folders"_s,
                u"In Scrivlet Preferences > Finder Extension, click \"Add Folder\" to authorize "
                u"folders where the extension can create files directly."_s),
            HelpItem::bullet(u"Create Files"_s,
                u"Right-click on blank space in a Finder folder and select \"New Text "
                u"Document\" to create a new .txt file."_s),
            HelpItem::bullet(u"Smart Naming"_s,
                u"Files are named Untitled.txt, Untitled 2.txt, Untitled 3.txt, etc., to avoid "
                u"conflicts."_s),
            HelpItem::bullet(u"Auto-Open"_s,
                u"Optionally, Scrivlet can automatically open newly created files for editing. "
                u"Configure this in Preferences > Finder Extension."_s),
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
    return section(u"Help"_s,
        {
            HelpItem::paragraph(
                u"Press Cmd+? to open the Scrivlet Help window. Help is searchable \u2014 type "
                u"in the search bar at the top to filter sections and highlight matching text."_s),
        });
}

HelpSection technicalNotes()
{
    return section(u"Technical Notes"_s,
        {
            HelpItem::bullet(u"File Format"_s,
                u"Scrivlet works with plain text (.txt) files encoded in UTF-8. It can also "
                u"read files in ISO Latin 1, Windows CP1252, and macOS Roman encodings."_s),
            HelpItem::bullet(u"Line Endings"_s,
                u"All files are saved with Unix (LF) line endings. Windows (CRLF) and classic "
                u"Mac (CR) line endings are automatically converted on save."_s),
            HelpItem::bullet(u"Accessibility"_s,
                u"Scrivlet supports VoiceOver and full keyboard navigation. All controls have "
                u"accessibility labels and hints."_s),
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
