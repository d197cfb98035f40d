#pragma once

#include "TextAccess.h"

#include <QPointer>
#include <QWidget>

class FindState;
class QFrame;
class QTimer;
class ScrivletTextView;
class Settings;
class StatusBarView;
class TextEditorView;
class TextDocumentStatistics;

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
    TextDocumentStatistics *statistics() const { return m_statistics; }

    QString filePath() const { return m_filePath; }
    // The document's file, or "" for a document never saved.
    void setFilePath(const QString &path);

    // The document's text as find searches and changes it.
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
    TextDocumentStatistics *m_statistics = nullptr;
    QTimer *m_statusUpdate = nullptr;
    QPointer<QWidget> m_watchedWindow;
    QString m_filePath;
    QString m_appliedAppearance;
};
