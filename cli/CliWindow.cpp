#include "cli/CliWindow.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace vyr::cli {

namespace {

std::string WithNewlines(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

CliWindow::CliWindow(std::ostream& err, bool answerYes) : m_err(err)
{
    defaultAnswer = answerYes ? album::MessageAnswer::Yes : album::MessageAnswer::No;
}

album::MessageAnswer CliWindow::ShowMessage(const album::Message& message)
{
    const album::MessageAnswer answer = MemoryWindow::ShowMessage(message);
    if (m_showProgress) m_err << '\n';
    m_err << message.title << ": " << WithNewlines(message.text) << '\n';
    if (message.buttons == album::MessageButtons::YesNo)
        m_err << (answer == album::MessageAnswer::Yes ? "[answered Yes]\n" : "[answered No]\n");
    return answer;
}

void CliWindow::SetProgressValue(int value)
{
    MemoryWindow::SetProgressValue(value);
    if (!m_showProgress || progressMaximum <= progressMinimum) return;
    constexpr int kWidth = 40;
    const int span = progressMaximum - progressMinimum;
    const int filled = std::clamp((value - progressMinimum) * kWidth / span, 0, kWidth);
    m_err << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
          << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << value << '/'
          << progressMaximum << std::flush;
}

}  // namespace vyr::cli
