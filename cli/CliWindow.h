#pragma once

#include <iosfwd>
#include <string>

#include "album/AlbumWindow.h"
#include "cli/StopSignal.h"

namespace vyr::cli {

// The terminal's window. It shows message boxes on standard error as text, answers a Yes/No
// question as the command line chose, and draws the progress bar only while a terminal watches.
// The list is the state's; the commands print it themselves once they are done.
class CliWindow final : public album::AlbumWindow {
public:
    CliWindow(std::ostream& err, bool answerYes);

    // Draws the progress bar on standard error; only worth it while a terminal watches.
    void ShowProgress(bool show) { m_showProgress = show; }

    void ListChanged() override {}
    void ItemsChanged(int, int) override {}
    void SetAlbumLabel(std::string_view) override {}
    void SetArtistLabel(std::string_view) override {}
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;
    album::MessageAnswer ShowMessage(const album::Message& message) override;
    // A stop signal is the terminal's Close: the running scan or copy ends at its next step.
    bool Yield() override { return !StopRequested(); }
    void Repaint() override {}
    // No folder chooser: -o names the folder before the run.
    std::string BrowseForFolder(std::string_view, std::string_view) override { return {}; }
    // A ZIP archive is reported, never handed to the desktop.
    bool OpenDocument(std::string_view) override { return false; }

private:
    std::ostream& m_err;
    bool m_answerYes;
    bool m_showProgress = false;
    int m_progressMinimum = 0;
    int m_progressMaximum = 100;
    int m_progressDrawn = -1;  // the value last drawn, so a scan's many equal values draw once
};

}  // namespace vyr::cli
