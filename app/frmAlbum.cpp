#include "app/frmAlbum.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include "app/AppIcons.h"
#include "app/LinkColours.h"
#include "app/QtText.h"
#include "app/Shell.h"
#include "app/TrackListView.h"

namespace vyr::app {

namespace {

// Often enough that the window and the progress bar keep moving, rarely enough that a scan of
// many 512-byte blocks does not spend its time repainting.
constexpr qint64 kEventIntervalMs = 20;
constexpr int kExposeWaitMs = 1000;

}  // namespace

frmAlbum::frmAlbum(Shell& shell, QWidget* parent)
    : QWidget(parent), m_shell(shell), m_dpi(logicalDpiX()), m_commands(*this)
{
    setObjectName(QStringLiteral("frmAlbum"));
    setWindowIcon(ApplicationIcon());
    setFixedSize(commands::layout::ToPixels(commands::layout::kClientWidth, m_dpi),
                 commands::layout::ToPixels(commands::layout::kClientHeight, m_dpi));
    // Nothing in the window follows its size, so it offers no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setMouseTracking(true);  // the link turns blue again over the window's own surface
    BuildControls();
    ConnectControls();
    // Every key release reaches the window first, whichever control has the focus.
    qApp->installEventFilter(this);
}

frmAlbum::~frmAlbum()
{
    qApp->removeEventFilter(this);
    // The list shows the commands' state, which goes before the child widgets would.
    delete m_list;
}

bool frmAlbum::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_site) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (commands::LinkHovered(at.x(), at.y(), m_site->width(), m_site->height())) {
                SetTextColour(m_site, kLinkHoverColour);
                m_site->setCursor(Qt::PointingHandCursor);
            }
            return true;  // not on to the window, whose surface test would undo the hover
        }
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_commands.OpenWebPage();
            return true;
        }
        return false;
    }
    if (watched == this && event->type() == QEvent::WindowDeactivate) m_pressedKeys.clear();
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) FilterKey(watched, event);
    return false;
}

void frmAlbum::FilterKey(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    // Only keys meant for this window: not those of a message box or dialog it opened. Qt
    // delivers a key to the focus widget and then to each parent that ignores it; the first
    // delivery is the one that counts.
    if (!widget || widget->window() != this || widget != QApplication::focusWidget()) return;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) return;
    // The scan code names the key whatever the modifiers make of its text (Shift+1 is "!" when
    // pressed, "1" when Shift is let go first); without one, the key code does.
    const std::uint64_t code =
        key->nativeScanCode() != 0 ? (std::uint64_t{1} << 32) | key->nativeScanCode() : std::uint64_t(key->key());
    if (event->type() == QEvent::KeyPress) {
        m_pressedKeys.insert(code);
        m_keyPressedWhileEditing = m_list->IsEditing();
        return;
    }
    if (m_pressedKeys.erase(code) == 0) return;
    // The release of the key that ended an edit (Enter, Esc) would open the editor again at once.
    const bool endedEdit = m_keyPressedWhileEditing && !m_list->IsEditing();
    m_keyPressedWhileEditing = false;
    if (!endedEdit) m_commands.StartRenaming();
}

void frmAlbum::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) PaintIcons();
    QWidget::changeEvent(event);
}

void frmAlbum::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (commands::LinkLeft(at.x(), at.y(), m_site->width(), m_site->height())) {
        SetTextColour(m_site, kLinkColour);
        m_site->unsetCursor();
    }
    QWidget::mouseMoveEvent(event);
}

void frmAlbum::closeEvent(QCloseEvent* event)
{
    if (m_commands.CloseRequested())
        event->accept();
    else
        event->ignore();
}

void frmAlbum::ListChanged()
{
    m_list->ShowList(m_dpi);
    m_sinceEvents.invalidate();  // the next yield shows the new list
}

void frmAlbum::ItemsChanged(int first, int last) { m_list->ShowItems(first, last); }

// A label that changes is painted at the next yield: the scan notice must show before a scan.
void frmAlbum::SetAlbumLabel(std::string_view text)
{
    m_album->setText(ToQString(text));
    m_sinceEvents.invalidate();
}

void frmAlbum::SetArtistLabel(std::string_view text)
{
    m_artist->setText(ToQString(text));
    m_sinceEvents.invalidate();
}

void frmAlbum::SetProgressRange(int minimum, int maximum) { m_progress->setRange(minimum, maximum); }

void frmAlbum::SetProgressValue(int value) { m_progress->setValue(value); }

album::MessageAnswer frmAlbum::ShowMessage(const album::Message& message)
{
    WaitUntilExposed();
    return m_shell.ShowMessage(this, message);
}

void frmAlbum::WaitUntilExposed()
{
    QWindow* handle = windowHandle();
    if (!isVisible() || !handle || handle->isExposed()) return;
    // The expose comes after the window manager has placed the window. A window that is never
    // exposed (shown minimized) gets its boxes after a second all the same.
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(kExposeWaitMs);
    while (!handle->isExposed() && limit.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
}

void frmAlbum::ProcessEventsCoalesced(bool userInput)
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventIntervalMs) return;
    QCoreApplication::processEvents(userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    m_sinceEvents.start();
}

bool frmAlbum::Yield()
{
    ProcessEventsCoalesced(true);
    return true;
}

void frmAlbum::Repaint() { ProcessEventsCoalesced(false); }

std::string frmAlbum::BrowseForFolder(std::string_view startFolder, std::string_view title)
{
    return m_shell.BrowseForFolder(startFolder, this, title);
}

bool frmAlbum::OpenDocument(std::string_view path) { return m_shell.OpenUrl(QUrl::fromLocalFile(ToQString(path))); }

void frmAlbum::SetCaption(std::string_view caption) { setWindowTitle(ToQString(caption)); }

void frmAlbum::ShowWindow()
{
    show();
    m_sinceEvents.invalidate();  // painted at the next yield, whenever the last one was
}

std::string frmAlbum::DocumentsFolder() { return m_shell.GetSpecFolder(this); }

std::string frmAlbum::ShowOpenDialog(std::string_view filter, std::string_view title, std::string_view initialFolder)
{
    return m_shell.ShowOpenDialog(this, filter, title, initialFolder);
}

bool frmAlbum::ChooseTargetFolder() const { return m_chooseTarget->isChecked(); }

int frmAlbum::SelectedItem() const { return m_list->SelectedItem(); }

void frmAlbum::StartEditing(int item) { m_list->StartEditing(item); }

void frmAlbum::EnableCommands(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(m_open), static_cast<QWidget*>(m_selectAll),
                       static_cast<QWidget*>(m_deselectAll), static_cast<QWidget*>(m_extract)})
        w->setEnabled(enabled);
    m_list->SetDropsAccepted(enabled);
}

void frmAlbum::OpenWebAddress(std::string_view address) { m_shell.OpenUrl(QUrl(ToQString(address))); }

void frmAlbum::CloseWindow() { close(); }

void frmAlbum::ShowListMenu(const QPoint& position)
{
    m_recoverPrecisely->setEnabled(m_commands.CanRecoverPrecisely());
    m_listMenu->popup(m_list->viewport()->mapToGlobal(position));
}

}  // namespace vyr::app
