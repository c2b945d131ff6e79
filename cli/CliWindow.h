#pragma once

#include <iosfwd>

#include "album/MemoryWindow.h"

namespace vyr::cli {

// The terminal's window: the list lives in memory, message boxes go to standard error as text,
// and a Yes/No question gets the answer the command line chose.
class CliWindow : public album::MemoryWindow {
public:
    explicit CliWindow(std::ostream& err, bool answerYes = false);

    // Draws the progress bar on standard error; only worth it while a terminal watches.
    void ShowProgress(bool show) { m_showProgress = show; }

    album::MessageAnswer ShowMessage(const album::Message& message) override;
    void SetProgressValue(int value) override;

private:
    std::ostream& m_err;
    bool m_showProgress = false;
};

}  // namespace vyr::cli
