#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QUrl>

#include "album/LoadAlbum.h"
#include "album/TrackList.h"
#include "app/CommandLine.h"
#include "app/LinkColours.h"
#include "app/QtText.h"
#include "app/Shell.h"
#include "app/TrackListView.h"
#include "app/frmAlbum.h"
#include "extract/ExtractTicked.h"
#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

#ifndef VYR_SITE_ADDRESS
#error "VYR_SITE_ADDRESS comes from the build settings"
#endif

// frmAlbum's commands: each runs a core command and shows what its outcome means here.
namespace vyr::app {

namespace {

std::string Caption()
{
    return std::string(support::msg::kCaptionPrefix) + std::to_string(VYR_VERSION_MAJOR) + "." +
           std::to_string(VYR_VERSION_MINOR) + "." + std::to_string(VYR_VERSION_PATCH);
}

}  // namespace

void frmAlbum::LoadStep(const std::string& commandLine)
{
    setWindowTitle(ToQString(Caption()));
    m_state.targetFolder = support::AddTrailingBackslash(m_shell.GetSpecFolder(this));

    show();
    m_sinceEvents.invalidate();  // painted now, whenever the last yield was
    Yield();

    const StartPlan plan = PlanCommandLine(commandLine, support::FileExists);
    switch (plan.action) {
    case StartAction::Nothing: return;
    case StartAction::CommandLineError:
        ShowMessage({support::msg::NotAValidFile(plan.path), album::MessageIcon::Critical, album::MessageButtons::Ok,
                     std::string(support::msg::kCommandLineErrorTitle)});
        return;
    case StartAction::ScanAlbumWrap: ScanWithNotice(plan.path, support::msg::kAlbumWrapFile); return;
    case StartAction::Load: Load(plan.path); return;
    }
}

template <typename Command>
bool frmAlbum::RunExclusive(Command command)
{
    if (m_busy) return false;
    m_busy = true;
    m_stopRequested = false;
    SetCommandsEnabled(false);
    command();
    m_list->ShowPending();  // the command's last rows are on the list before anything else runs
    SetCommandsEnabled(true);
    m_busy = false;
    if (m_closePending) {
        m_closePending = false;
        close();
    }
    return true;
}

void frmAlbum::SetCommandsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(m_open), static_cast<QWidget*>(m_selectAll),
                       static_cast<QWidget*>(m_deselectAll), static_cast<QWidget*>(m_extract)})
        w->setEnabled(enabled);
    m_list->SetDropsAccepted(enabled);
}

void frmAlbum::ShowNotice(std::string_view text, album::MessageIcon icon)
{
    ShowMessage({std::string(text), icon, album::MessageButtons::Ok, {}});
}

void frmAlbum::Load(const std::string& path)
{
    // A name from the command line may be relative; the target folder is the album's own.
    const std::string absolute = support::AbsolutePath(path);
    RunExclusive([&] {
        const album::LoadResult result = album::LoadAlbum(m_state, *this, absolute);
        const bool headerless = result.kind == album::FileKind::NoHeader || result.kind == album::FileKind::AlbumWrap;
        const bool listed = result.scan && *result.scan == album::ScanOutcome::Recovered;
        m_headerlessPath = headerless && !listed ? absolute : std::string();
    });
}

std::string frmAlbum::PreciseScanPath() const
{
    return m_headerlessPath.empty() ? m_state.albumPath : m_headerlessPath;
}

void frmAlbum::ShowListMenu(const QPoint& position)
{
    m_recoverPrecisely->setEnabled(!Busy() && !PreciseScanPath().empty());
    m_listMenu->popup(m_list->viewport()->mapToGlobal(position));
}

void frmAlbum::RecoverPrecisely()
{
    const std::string path = PreciseScanPath();
    if (Busy() || path.empty()) return;
    m_sinceEvents.invalidate();  // the notice labels must be painted before the scan starts
    RunExclusive([&] {
        album::ShowScanNotice(*this);
        recovery::ScanPrecisely(m_state, *this, path);
        m_headerlessPath.clear();  // the scan made it the file whose rows are shown
    });
}

void frmAlbum::ScanWithNotice(const std::string& path, std::string_view notice)
{
    if (Busy()) return;
    ShowNotice(notice, album::MessageIcon::Exclamation);
    m_sinceEvents.invalidate();  // the notice labels must be painted before the scan starts
    RunExclusive([&] {
        album::ShowScanNotice(*this);
        recovery::ScanAndRecover(m_state, *this, support::AbsolutePath(path));
    });
}

void frmAlbum::OpenCommand()
{
    if (Busy()) return;
    const std::string path =
        m_shell.ShowOpenDialog(this, support::msg::kOpenFilter, support::msg::kOpenDialogTitle, m_state.targetFolder);
    if (path.empty()) return;
    if (IsAlbwName(path)) {
        ScanWithNotice(path, support::msg::kScanNotice);
        return;
    }
    Load(path);
}

void frmAlbum::ChooseCommand(int index)
{
    if (Busy()) return;
    if (ItemCount() < 1) {
        ShowNotice(support::msg::kOpenAlbumFirst, album::MessageIcon::Information);
        OpenCommand();
        return;
    }
    for (int i = 0; i < ItemCount(); ++i) SetTicked(i, index == 0);
}

void frmAlbum::ExtractCommand()
{
    extract::ExtractReport report;
    if (!RunExclusive([&] { report = extract::ExtractTicked(m_state, *this); })) return;
    if (report.noAlbum) {
        ShowNotice(support::msg::kOpenAlbumFirst, album::MessageIcon::Information);
        OpenCommand();
    }
}

void frmAlbum::StartRenaming()
{
    if (Busy()) return;
    m_list->StartEditing(m_list->SelectedItem());
}

void frmAlbum::Rename(int row, const QString& text)
{
    if (Busy()) return;
    const std::string name = ToUtf8(text);
    if (album::RenameRow(m_state, *this, row, name) == album::RenameOutcome::UnsafeName)
        ShowNotice(support::msg::RenameRefused(name), album::MessageIcon::Exclamation);
}

void frmAlbum::DropFiles(const QStringList& paths)
{
    if (Busy() || paths.isEmpty()) return;
    Load(std::string(support::TrimSpaces(ToUtf8(paths.front()))));
}

void frmAlbum::LinkHover(const QPoint& position)
{
    if (position.x() < m_site->width() && position.y() < m_site->height()) {
        SetTextColour(m_site, kLinkHoverColour);
        m_site->setCursor(Qt::PointingHandCursor);
    }
}

void frmAlbum::LinkLeave(const QPoint& position)
{
    // Measured against the link's size, not its place: only the window's top-left margin keeps
    // the hover colour, and that lies far from the link.
    if (position.x() > m_site->width() || position.y() > m_site->height()) {
        SetTextColour(m_site, kLinkColour);
        m_site->unsetCursor();
    }
}

void frmAlbum::OpenWebPage()
{
    // Without a browser nothing happens; the link is a courtesy.
    m_shell.OpenUrl(QUrl(QStringLiteral(VYR_SITE_ADDRESS "/index1.html")));
}

}  // namespace vyr::app
