#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class EditableText;
class FindState;
class LiveStatus;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The content of the find panel: a find row (disclosure, search field, case toggle, match count,
// previous and next) and, in Find and Replace mode, a replace row. It edits the window's
// FindState, searches again when the search text or the case option changes, and performs Replace
// and Replace All on the window's document, each one undoable edit.
class FindDialogView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int width = 460;
    // How long after a mode change the panel fits itself to the new rows.
    static constexpr int fitDelayMilliseconds = 50;
    // How long the match count must hold before screen readers are told: a search typed letter
    // by letter is announced once, and a search that takes longer says "Searching" first.
    static constexpr int countSettleMilliseconds = 400;

    // `findState` and `documentText` must stay alive until the dialog is destroyed or detached.
    FindDialogView(FindState *findState, EditableText *documentText, QWidget *parent = nullptr);

    FindState *findState() const { return m_state; }
    // Puts the keyboard focus in the search field with its text selected, ready to type over.
    void focusSearchField();
    // Stops following the state and acting on the text, for a dialog that is being replaced.
    void detach();

signals:
    // A moment after the mode changed, once the rows have been laid out again.
    void fitRequested();

private:
    QWidget *createFindRow();
    QWidget *createReplaceRow();
    QToolButton *createStepButton(Qt::ArrowType arrow, const QString &toolTip,
        const QString &objectName, const QString &accessibleName, const QString &hint);
    void connectState();
    void connectControls();
    void refresh();
    void searchAgain();
    void replaceCurrent();
    void replaceAll();

    QPointer<FindState> m_state;
    EditableText *m_text = nullptr;
    QToolButton *m_disclosure = nullptr;
    QLineEdit *m_searchField = nullptr;
    QToolButton *m_caseToggle = nullptr;
    QLabel *m_matchCount = nullptr;
    LiveStatus *m_countStatus = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QWidget *m_replaceRow = nullptr;
    QLineEdit *m_replaceField = nullptr;
    QPushButton *m_replace = nullptr;
    QPushButton *m_replaceAll = nullptr;
    QTimer m_fitTimer;
};
