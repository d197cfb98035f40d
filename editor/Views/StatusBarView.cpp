#include "StatusBarView.h"

#include "ElidedLabel.h"
#include "LiveStatus.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>

namespace {

void setUpLabel(QLabel *label, const QString &objectName, const QString &accessibleName)
{
    label->setObjectName(objectName);
    label->setAccessibleName(accessibleName);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // QLabel takes focus only from a click; Tab reaches the labels too, so the text can be
    // selected and copied without a mouse.
    label->setFocusPolicy(Qt::StrongFocus);
    label->setForegroundRole(QPalette::WindowText);
}

} // namespace

StatusBarView::StatusBarView(QWidget *parent)
    : QWidget(parent)
    , m_statistics(new QLabel(this))
    , m_path(new ElidedLabel(Qt::ElideMiddle, this))
    , m_status(new LiveStatus(this, settleMilliseconds))
{
    setObjectName(QStringLiteral("scrivlet.statusBar"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    setUpLabel(
        m_statistics, QStringLiteral("scrivlet.statusBar.statistics"), tr("Document statistics"));
    m_statistics->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setUpLabel(m_path, QStringLiteral("scrivlet.statusBar.path"), tr("File path"));
    m_path->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_path->setWholeTailAfter(QLatin1Char('/'));
    applyFont();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 4);
    layout->addWidget(m_statistics);
    layout->addStretch(1);
    layout->addWidget(m_path);

    const QString statistics = DocumentStatistics::statusText(m_counts);
    m_statistics->setText(statistics);
    m_statistics->setAccessibleDescription(statistics);
    m_path->setFullText(DocumentStatistics::filePathText(m_filePath));
    updateStatus();
}

// The accessible name stands in for a label's text with screen readers, so the counts go into
// the description; the path label's description is its tooltip, the whole path.
void StatusBarView::setCounts(const DocumentStatistics::TextCounts &counts)
{
    if (counts == m_counts)
        return;
    m_counts = counts;
    const QString text = DocumentStatistics::statusText(counts);
    m_statistics->setText(text);
    m_statistics->setAccessibleDescription(text);
    updateStatus();
}

void StatusBarView::setFilePath(const QString &pathOrEmpty)
{
    if (pathOrEmpty == m_filePath)
        return;
    m_filePath = pathOrEmpty;
    m_path->setFullText(DocumentStatistics::filePathText(pathOrEmpty));
    updateStatus();
}

// The bar as a whole is a status bar for screen readers, its text both values in the order shown.
void StatusBarView::updateStatus()
{
    m_status->setText(m_statistics->text() + QStringLiteral("; ") + m_path->fullText());
}

QString StatusBarView::statisticsText() const
{
    return m_statistics->text();
}

QString StatusBarView::pathText() const
{
    return m_path->fullText();
}

// The labels get a font of their own, so that a font set on the window for its text does not
// reach them.
void StatusBarView::applyFont()
{
    QFont font = QApplication::font();
    font.setPointSize(fontPointSize);
    m_statistics->setFont(font);
    m_path->setFont(font);
}
