#pragma once

#include "DocumentStatistics.h"
#include "TextAccess.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class FindState;
class LongLineLayout;
class QFrame;
class QTimer;
class ScrivletTextView;
class Settings;
class StatusBarView;
class TextEditorView;
class TextStatisticsTracker;

// The content of a document window: the editor with its gutter, and below it, while the
// "showStatusBar" setting is on, a divider and the status bar. It owns the window's search for
// the window's whole life, follows the appearance setting, and tells the find panel which
// document to work on whenever its window becomes active.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(Settings &settings, QWidget *parent = nullptr);
    ~ContentView() override;

    ScrivletTextView *textView() const { return m_textView; }
    FindState *findState() const { return m_findState; }
    StatusBarView *statusBar() const { return m_statusBar; }
    TextEditorView *editor() const { return m_editor; }
    TextStatisticsTracker *statistics() const { return m_statistics; }

    QString filePath() const { return m_filePath; }
    // The document's file, or "" for a document never saved.
    void setFilePath(const QString &path);

    // The view shows `layout`, a read-only display of `original`: the status bar counts the
    // original and find searches it. Both must outlive the display; nullptr ends it.
    void setLongLineDisplay(const LongLineLayout *layout, const QString *original);
    bool showsLongLineDisplay() const { return m_originalText != nullptr; }
    // The document's text as it is saved and searched: the original while the long-line display
    // shows, the editor's document otherwise.
    EditableText &documentText();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void applySettings();
    void applyAppearance();
    void registerWithFindPanel();
    void scheduleStatusUpdate();
    void watchWindow();

    Settings &m_settings;
    FindState *m_findState = nullptr;
    ScrivletTextView *m_textView = nullptr;
    TextEditorView *m_editor = nullptr;
    QFrame *m_divider = nullptr;
    StatusBarView *m_statusBar = nullptr;
    TextStatisticsTracker *m_statistics = nullptr;
    QTimer *m_statusUpdate = nullptr;
    QPointer<QWidget> m_watchedWindow;
    std::unique_ptr<EditableText> m_originalText;
    std::optional<DocumentStatistics::TextCounts> m_fixedCounts;
    QString m_filePath;
    QString m_appliedAppearance;
};
