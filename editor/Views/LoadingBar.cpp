#include "LoadingBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

LoadingBar::LoadingBar(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("scrivlet.loadingBar"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_progress->setRange(0, 1000);
    // A new bar holds -1 ("no progress yet"), which readers report as a value outside its range.
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(QStringLiteral("Opening progress"));
    m_cancel->setObjectName(QStringLiteral("scrivlet.loadingBar.cancel"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->addWidget(m_label);
    layout->addWidget(m_progress, 1);
    layout->addWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, &LoadingBar::cancelRequested);
}

void LoadingBar::setFileName(const QString &name)
{
    m_label->setText(QStringLiteral("Opening “%1”…").arg(name));
}

void LoadingBar::setProgress(qint64 done, qint64 total)
{
    m_progress->setValue(total > 0 ? int(done * 1000 / total) : 0);
}
