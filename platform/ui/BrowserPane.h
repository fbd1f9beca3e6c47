// A read-only browser pane over QTextBrowser. Links clicked by the user pass through
// BeforeNavigate2 (return true to cancel); Navigate2 / Refresh2 / LocationURL mirror the
// embedded browser the windows were written for. Pages are local files or "about:blank".
#pragma once

#include <QString>
#include <QTextBrowser>

#include <functional>

namespace ui {

class BrowserPane : public QTextBrowser {
    Q_OBJECT
public:
    explicit BrowserPane(QWidget* parent = nullptr);

    // Shows a local file (path or file: URL, with an optional "#anchor") or "about:blank".
    void Navigate2(const QString& url);
    // Reloads the current page from its file, keeping the anchor.
    void Refresh2();
    // The address shown: the file path (with "#anchor" when present) or "about:blank".
    QString LocationURL() const { return location_; }
    bool Busy() const { return false; }  // pages load synchronously
    void Stop() {}

    // Called for every link the user follows; returning true cancels the navigation.
    using BeforeNavigateHandler = std::function<bool(const QString& url)>;
    void setBeforeNavigate2(BeforeNavigateHandler h) { before_ = std::move(h); }

    // Follows a link as a click would (also used by tests).
    void followLink(const QString& url);

signals:
    void navigateComplete(const QString& url);

private:
    QString resolve(const QString& url) const;
    BeforeNavigateHandler before_;
    QString location_ = QStringLiteral("about:blank");
};

}  // namespace ui
