#pragma once

#include <string>
#include <string_view>

#include "album/AlbumWindow.h"

class QUrl;
class QWidget;

namespace vyr::app {

// Everything the window asks of the desktop that a test cannot answer on its own: modal
// dialogs, message boxes, the documents folder and the browser. The window takes one by
// reference; tests hand it one that answers in advance.
class Shell {
public:
    virtual ~Shell() = default;

    // One existing file, or "" on cancel. `filter` is the "|" list of the open command.
    virtual std::string ShowOpenDialog(QWidget* owner, std::string_view filter, std::string_view title,
                                       std::string_view initialFolder) = 0;
    // A folder on disk, without a trailing separator except for the root, or "" on cancel.
    virtual std::string BrowseForFolder(std::string_view startFolder, QWidget* owner, std::string_view title) = 0;
    // The user's documents folder without a trailing separator, or "" when there is none.
    virtual std::string GetSpecFolder(QWidget* owner) = 0;
    virtual album::MessageAnswer ShowMessage(QWidget* owner, const album::Message& message) = 0;
    // The desktop's default application for a document or a web address; false when none took it.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// The real desktop: Qt's file dialogs, message boxes, standard paths and desktop services.
class DesktopShell : public Shell {
public:
    std::string ShowOpenDialog(QWidget* owner, std::string_view filter, std::string_view title,
                               std::string_view initialFolder) override;
    std::string BrowseForFolder(std::string_view startFolder, QWidget* owner, std::string_view title) override;
    std::string GetSpecFolder(QWidget* owner) override;
    album::MessageAnswer ShowMessage(QWidget* owner, const album::Message& message) override;
    bool OpenUrl(const QUrl& url) override;
};

}  // namespace vyr::app
