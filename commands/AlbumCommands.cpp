#include "commands/AlbumCommands.h"

#include "album/LoadAlbum.h"
#include "album/TrackList.h"
#include "commands/CommandLine.h"
#include "extract/ExtractTicked.h"
#include "extract/clsDiskSpace.h"
#include "recovery/RecoveryScanner.h"
#include "recovery/ScanAndRecover.h"
#include "recovery/ScanPrecisely.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

#ifndef VYR_SITE_ADDRESS
#error "VYR_SITE_ADDRESS comes from the build settings"
#endif

namespace vyr::commands {

namespace msg = support::msg;

// The window as the core's commands see it: every call goes to the real window, and a yield
// also reports the stop that Close asked for while the command ran.
class AlbumCommands::GuardedWindow final : public album::AlbumWindow {
public:
    GuardedWindow(CommandWindow& window, const bool& stopRequested) : m_window(window), m_stopRequested(stopRequested)
    {
    }

    void ListChanged() override { m_window.ListChanged(); }
    void ItemsChanged(int first, int last) override { m_window.ItemsChanged(first, last); }
    void SetAlbumLabel(std::string_view text) override { m_window.SetAlbumLabel(text); }
    void SetArtistLabel(std::string_view text) override { m_window.SetArtistLabel(text); }
    void SetProgressRange(int minimum, int maximum) override { m_window.SetProgressRange(minimum, maximum); }
    void SetProgressValue(int value) override { m_window.SetProgressValue(value); }
    album::MessageAnswer ShowMessage(const album::Message& message) override { return m_window.ShowMessage(message); }
    bool Yield() override { return m_window.Yield() && !m_stopRequested; }
    void Repaint() override { m_window.Repaint(); }
    std::string BrowseForFolder(std::string_view startFolder, std::string_view title) override
    {
        return m_window.BrowseForFolder(startFolder, title);
    }
    bool OpenDocument(std::string_view path) override { return m_window.OpenDocument(path); }

private:
    CommandWindow& m_window;
    const bool& m_stopRequested;
};

AlbumCommands::AlbumCommands(CommandWindow& window, const extract::VolumeQuery* volumes)
    : m_window(window), m_guarded(std::make_unique<GuardedWindow>(window, m_stopRequested)), m_volumes(volumes)
{
}

AlbumCommands::~AlbumCommands() = default;

template <typename Command>
void AlbumCommands::RunExclusive(Command command)
{
    m_busy = true;
    m_stopRequested = false;
    m_window.EnableCommands(false);
    command();
    m_window.EnableCommands(true);
    m_busy = false;
    if (m_closePending) {
        m_closePending = false;
        m_window.CloseWindow();
    }
}

void AlbumCommands::ShowNotice(std::string_view text, album::MessageIcon icon)
{
    m_window.ShowMessage({std::string(text), icon, album::MessageButtons::Ok, std::string(msg::kAppTitle)});
}

void AlbumCommands::LoadStep(const std::string& commandLine)
{
    m_window.SetCaption(Caption());
    m_state.targetFolder = support::AddTrailingBackslash(m_window.DocumentsFolder());

    m_window.ShowWindow();
    m_window.Yield();

    const StartPlan plan = PlanCommandLine(commandLine, support::FileExists);
    switch (plan.action) {
    case StartAction::Nothing: return;
    case StartAction::CommandLineError:
        m_window.ShowMessage({msg::NotAValidFile(plan.path), album::MessageIcon::Critical, album::MessageButtons::Ok,
                              std::string(msg::kCommandLineErrorTitle)});
        return;
    case StartAction::ScanAlbumWrap: ScanWithNotice(plan.path, msg::kAlbumWrapFile); return;
    case StartAction::Load: Load(plan.path); return;
    }
}

void AlbumCommands::Load(const std::string& path)
{
    // A name from the command line may be relative; the target folder is the album's own.
    const std::string absolute = support::AbsolutePath(path);
    RunExclusive([&] {
        recovery::RecoveryScanner scanner;
        const album::LoadResult result = album::LoadAlbum(m_state, *m_guarded, absolute, scanner);
        const bool headerless = result.kind == album::FileKind::NoHeader || result.kind == album::FileKind::AlbumWrap;
        const bool listed = result.scan && *result.scan == album::ScanOutcome::Recovered;
        m_headerlessPath = headerless && !listed ? absolute : std::string();
    });
}

void AlbumCommands::ScanWithNotice(const std::string& path, std::string_view notice)
{
    ShowNotice(notice, album::MessageIcon::Exclamation);
    RunExclusive([&] {
        album::ShowScanNotice(*m_guarded);
        recovery::ScanAndRecover(m_state, *m_guarded, support::AbsolutePath(path));
    });
}

void AlbumCommands::Open()
{
    if (m_busy) return;
    const std::string path = m_window.ShowOpenDialog(msg::kOpenFilter, msg::kOpenDialogTitle, m_state.targetFolder);
    if (path.empty()) return;
    if (IsAlbwName(path))
        ScanWithNotice(path, msg::kScanNotice);
    else
        Load(path);
}

void AlbumCommands::Choose(int index)
{
    if (m_busy) return;
    if (m_state.list.items < 1) {
        ShowNotice(msg::kOpenAlbumFirst, album::MessageIcon::Information);
        Open();
        return;
    }
    album::SetAllTicked(m_state, m_window, index == 0);
}

void AlbumCommands::Extract()
{
    if (m_busy) return;
    extract::ExtractReport report;
    RunExclusive([&] {
        extract::ExtractSettings settings;
        settings.sync = true;  // a stick pulled out right after the run holds whole tracks
        settings.chooseTargetFolder = m_window.ChooseTargetFolder();
        settings.stopRequested = [this] { return m_stopRequested; };
        report = m_volumes ? extract::ExtractTicked(m_state, *m_guarded, *m_volumes, settings)
                           : extract::ExtractTicked(m_state, *m_guarded, settings);
    });
    if (report.noAlbum) {
        ShowNotice(msg::kOpenAlbumFirst, album::MessageIcon::Information);
        Open();
    }
}

void AlbumCommands::StartRenaming()
{
    if (m_busy) return;
    if (const int item = m_window.SelectedItem(); item >= 0) m_window.StartEditing(item);
}

void AlbumCommands::Rename(int item, std::string name)
{
    if (m_busy) return;
    const std::string typed = name;
    if (album::RenameRow(m_state, m_window, item, std::move(name)) == album::RenameOutcome::UnsafeName)
        ShowNotice(msg::RenameRefused(typed), album::MessageIcon::Exclamation);
}

void AlbumCommands::Tick(int item, bool ticked) { album::SetTicked(m_state, m_window, item, ticked); }

void AlbumCommands::Drop(const std::vector<std::string>& paths)
{
    if (m_busy || paths.empty()) return;
    Load(std::string(support::TrimSpaces(paths.front())));
}

void AlbumCommands::OpenWebPage() { m_window.OpenWebAddress(SitePage()); }

std::string AlbumCommands::PreciseScanPath() const
{
    return m_headerlessPath.empty() ? m_state.albumPath : m_headerlessPath;
}

bool AlbumCommands::CanRecoverPrecisely() const { return !m_busy && !PreciseScanPath().empty(); }

void AlbumCommands::RecoverPrecisely()
{
    if (!CanRecoverPrecisely()) return;
    const std::string path = PreciseScanPath();
    RunExclusive([&] {
        album::ShowScanNotice(*m_guarded);
        recovery::ScanPrecisely(m_state, *m_guarded, path);
        m_headerlessPath.clear();  // the scan made it the file whose rows are shown
    });
}

bool AlbumCommands::CloseRequested()
{
    if (!m_busy) return true;
    // A scan yields between its blocks and stops at the next one; the window closes once the
    // command has returned, never under its feet.
    m_stopRequested = true;
    m_closePending = true;
    return false;
}

std::string Caption()
{
    return std::string(msg::kCaptionPrefix) + std::to_string(VYR_VERSION_MAJOR) + "." +
           std::to_string(VYR_VERSION_MINOR) + "." + std::to_string(VYR_VERSION_PATCH);
}

std::string_view SiteAddress() { return VYR_SITE_ADDRESS; }

std::string SitePage() { return std::string(SiteAddress()) + "/index1.html"; }

std::string SiteHint() { return std::string(msg::kSiteHintPrefix) + std::string(SiteAddress()); }

bool LinkHovered(int x, int y, int linkWidth, int linkHeight) { return x < linkWidth && y < linkHeight; }

bool LinkLeft(int x, int y, int linkWidth, int linkHeight) { return x > linkWidth || y > linkHeight; }

}  // namespace vyr::commands
