#include "cli/CliWindow.h"

#include <algorithm>
#include <ostream>

#include "support/Text.h"

namespace vyr::cli {

CliWindow::CliWindow(std::ostream& err, bool answerYes) : m_err(err), m_answerYes(answerYes) {}

void CliWindow::SetProgressRange(int minimum, int maximum)
{
    m_progressMinimum = minimum;
    m_progressMaximum = maximum;
    m_progressDrawn = -1;
}

void CliWindow::SetProgressValue(int value)
{
    if (!m_showProgress || m_progressMaximum <= m_progressMinimum || value == m_progressDrawn) return;
    m_progressDrawn = value;
    constexpr int kWidth = 40;
    const int span = m_progressMaximum - m_progressMinimum;
    const int filled = std::clamp((value - m_progressMinimum) * kWidth / span, 0, kWidth);
    m_err << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
          << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << value << '/' << m_progressMaximum
          << std::flush;
}

album::MessageAnswer CliWindow::ShowMessage(const album::Message& message)
{
    album::MessageAnswer answer = album::MessageAnswer::Ok;
    if (message.buttons == album::MessageButtons::YesNo)
        answer = m_answerYes ? album::MessageAnswer::Yes : album::MessageAnswer::No;
    if (m_showProgress) m_err << '\n';
    support::WriteTerminalLines(m_err, message.title);
    m_err << ": ";
    support::WriteTerminalLines(m_err, message.text);
    m_err << '\n';
    if (message.buttons == album::MessageButtons::YesNo)
        m_err << (answer == album::MessageAnswer::Yes ? "[answered Yes]\n" : "[answered No]\n");
    return answer;
}

}  // namespace vyr::cli
