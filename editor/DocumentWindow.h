#pragma once

#include "DocumentError.h"

#include <QMainWindow>

class ContentView;
class DocumentLoader;
class LoadingBar;
class QToolBar;
class Settings;

// One window per document: the content view, 800 × 600 at first and never smaller than
// 400 × 300.
class DocumentWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr QSize defaultSize {800, 600};
    static constexpr QSize minimumContentSize {400, 300};

    explicit DocumentWindow(Settings &settings, QWidget *parent = nullptr);

    // How long a file may take to open before the loading bar appears.
    static constexpr int loadingBarDelayMilliseconds = 300;

    ContentView *contentView() const { return m_contentView; }
    bool isLoading() const;

    // Opens `path` into this window's document, read off the GUI thread. A file that cannot be
    // read opens nothing: loadFailed() carries the reason.
    void load(const QString &path);

signals:
    void loaded();
    void loadFailed(const DocumentError &error);
    void loadCancelled();

private:
    void showLoadingBar();
    void endLoading();
    void showLongLineNotice();
    void editAnyway();
    QToolBar *createStrip(QWidget *content);
    QWidget *createLongLineNotice();

    ContentView *m_contentView = nullptr;
    DocumentLoader *m_loader = nullptr;
    LoadingBar *m_loadingBar = nullptr;
    QToolBar *m_loadingStrip = nullptr;
    QToolBar *m_longLineStrip = nullptr;
};
