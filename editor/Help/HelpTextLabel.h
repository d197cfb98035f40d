#pragma once

#include "HelpStyle.h"

#include <QAccessible>
#include <QLabel>

// A text of the help page. It keeps its plain text and shows it with the current search term
// highlighted, in its tone's colour; screen readers get the plain text and, for titles, the
// heading role, so they can move from section to section.
class HelpTextLabel : public QLabel
{
    Q_OBJECT

public:
    HelpTextLabel(const QString &plainText, HelpStyle::Tone tone,
        QAccessible::Role accessibleRole = QAccessible::StaticText, QWidget *parent = nullptr);

    QString plainText() const { return m_plainText; }
    void setPlainText(const QString &text);

    QString highlightTerm() const { return m_highlightTerm; }
    void setHighlightTerm(const QString &term);

    QAccessible::Role accessibleRole() const { return m_accessibleRole; }

    // The label's rich text for a plain text with the hits of `term` marked.
    static QString highlightedHtml(const QString &plainText, const QString &term, QColor color);

protected:
    void changeEvent(QEvent *event) override;

private:
    void render();

    QString m_plainText;
    QString m_highlightTerm;
    HelpStyle::Tone m_tone;
    QAccessible::Role m_accessibleRole;
};
