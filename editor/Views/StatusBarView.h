#pragma once

#include "DocumentStatistics.h"

#include <QWidget>

class ElidedLabel;
class LiveStatus;
class QLabel;

// The bar at the bottom of a document window: the statistics of the text on the left, the
// document's path (or "Not saved") on the right, both selectable so they can be copied. It shows
// only what it is given; the window feeds it from a TextDocumentStatistics and its file path.
class StatusBarView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int fontPointSize = 11;
    // How long the counts must hold before screen readers are told: never while someone types,
    // once they pause.
    static constexpr int settleMilliseconds = 1500;

    explicit StatusBarView(QWidget *parent = nullptr);

    void setCounts(const DocumentStatistics::TextCounts &counts);
    void setFilePath(const QString &pathOrEmpty);

    QString statisticsText() const;
    // The whole path or "Not saved", however much of it fits.
    QString pathText() const;

private:
    void applyFont();
    void updateStatus();

    QLabel *m_statistics = nullptr;
    ElidedLabel *m_path = nullptr;
    LiveStatus *m_status = nullptr;
    DocumentStatistics::TextCounts m_counts;
    QString m_filePath;
};
