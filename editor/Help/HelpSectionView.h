#pragma once

#include "HelpContent.h"
#include "HelpStyle.h"

#include <QWidget>

class HelpTextLabel;
class QGridLayout;
class QVBoxLayout;

// One section of the help page: its title and its items, drawn once. A search only hides or
// shows the whole section and moves the highlight in its texts.
class HelpSectionView : public QWidget
{
    Q_OBJECT

public:
    explicit HelpSectionView(const HelpSection &section, QWidget *parent = nullptr);

    QUuid sectionId() const { return m_sectionId; }
    HelpTextLabel *titleLabel() const { return m_title; }
    // Every text of the section in reading order, the title first.
    const QList<HelpTextLabel *> &textLabels() const { return m_labels; }

    void setHighlightTerm(const QString &term);

private:
    // A text that follows the search highlight.
    HelpTextLabel *addLabel(
        const QString &text, HelpStyle::Tone tone, const QFont &font, QWidget *parent);
    QWidget *createBullet(const QString &term, const QString &text);
    QWidget *createShortcutGrid(const QList<HelpShortcut> &shortcuts);
    void addItem(const HelpItem &item, QVBoxLayout *layout);

    QUuid m_sectionId;
    HelpTextLabel *m_title = nullptr;
    QList<HelpTextLabel *> m_labels;
};
