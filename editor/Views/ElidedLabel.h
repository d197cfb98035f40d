#pragma once

#include <QLabel>

// A one-line plain-text label that shortens its text to the width it gets, with the whole text
// in its tooltip. The size hint asks for the whole text and the minimum for an ellipsis, so a
// layout shrinks it before anything else that cannot shrink. Copying a selection of everything
// shown copies the whole text, not the shortened one.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(Qt::TextElideMode mode = Qt::ElideMiddle, QWidget *parent = nullptr);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString &text);
    bool isElided() const { return text() != m_singleLineText; }

    // With middle elision, the text from the last `separator` on stays whole while it fits, so a
    // path keeps its file name and loses its folders first; see elideKeepingTail().
    void setWholeTailAfter(QChar separator);

    // `text` shortened to `width`: whole if it fits; else the part before the last `separator`
    // cut at its end, keeping its start and the whole tail ("/home/wr…/notes.txt"); and only when
    // the tail alone does not fit next to an ellipsis, the tail cut in its middle.
    static QString elideKeepingTail(
        const QString &text, QChar separator, const QFontMetrics &metrics, int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateShownText();
    QString elided(int width) const;
    int horizontalPadding() const;

    Qt::TextElideMode m_mode;
    QChar m_tailSeparator;
    QString m_fullText;
    QString m_singleLineText;
};
