#include "cli/CliWindow.h"

#include <algorithm>
#include <ostream>

#include "support/Text.h"

namespace vyr::cli {

namespace {

constexpr std::size_t kMaxItems = 32'767;  // rows are walked with signed 16-bit indexes

}  // namespace

CliWindow::CliWindow(std::ostream& err, bool answerYes, std::string groupSeparator)
    : m_err(err), m_answerYes(answerYes), m_groupSeparator(std::move(groupSeparator))
{
    StartKeys();
}

void CliWindow::StartKeys()
{
    m_keys.reset();
    m_keyArena.release();
    m_keys.emplace(&m_keyArena);
    // Room for the most rows a list holds, so that a long album's fill never rehashes.
    m_keys->reserve(kMaxItems);
}

void CliWindow::RemoveAllItems()
{
    m_ticked.clear();
    StartKeys();
}

bool CliWindow::AddItem(std::string_view key)
{
    // Like the list control: a key may stand once; an empty key is no key.
    if (!key.empty() && !m_keys->emplace(key).second) return false;
    m_ticked.push_back(false);
    return true;
}

void CliWindow::SetTicked(int item, bool ticked)
{
    if (item >= 0 && item < ItemCount()) m_ticked[static_cast<std::size_t>(item)] = ticked;
}

bool CliWindow::IsTicked(int item) const
{
    return item >= 0 && item < ItemCount() && m_ticked[static_cast<std::size_t>(item)];
}

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
    m_err << support::TerminalLines(message.title) << ": " << support::TerminalLines(message.text) << '\n';
    if (message.buttons == album::MessageButtons::YesNo)
        m_err << (answer == album::MessageAnswer::Yes ? "[answered Yes]\n" : "[answered No]\n");
    return answer;
}

}  // namespace vyr::cli
