#include "app/frmAlbum.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include "app/AppIcons.h"
#include "app/Layout.h"
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

frmAlbum::frmAlbum(Shell& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("frmAlbum"));
    setWindowIcon(ApplicationIcon());
    m_dpi = logicalDpiX();
    setFixedSize(layout::ToPixels(layout::kClientWidth, m_dpi), layout::ToPixels(layout::kClientHeight, m_dpi));
    // Nothing in the window follows its size, so it offers no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setMouseTracking(true);  // the link turns blue again over the window's own surface
    BuildControls();
    ConnectControls();
    // Every key release reaches the window first, whichever control has the focus.
    qApp->installEventFilter(this);
}

frmAlbum::~frmAlbum() { qApp->removeEventFilter(this); }

bool frmAlbum::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_site) {
        if (event->type() == QEvent::MouseMove) {
            LinkHover(static_cast<QMouseEvent*>(event)->position().toPoint());
            return true;  // not on to the window, whose surface test would undo the hover
        }
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenWebPage();
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
    if (!endedEdit) StartRenaming();
}

void frmAlbum::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) PaintIcons();
    QWidget::changeEvent(event);
}

void frmAlbum::mouseMoveEvent(QMouseEvent* event)
{
    LinkLeave(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void frmAlbum::closeEvent(QCloseEvent* event)
{
    if (Busy()) {
        // A scan yields between its blocks; it stops at the next one and the window closes when
        // it has returned, never under its feet.
        m_stopRequested = true;
        m_closePending = true;
        event->ignore();
        return;
    }
    event->accept();
}

int frmAlbum::ItemCount() const { return m_list->ItemCount(); }

void frmAlbum::RemoveAllItems() { m_list->RemoveAllItems(); }

bool frmAlbum::AddItem(std::string_view key) { return m_list->AddItem(key); }

void frmAlbum::SetItemText(int item, std::string_view text) { m_list->SetItemText(item, text); }

void frmAlbum::SetItemCell(int item, std::string_view columnKey, std::string_view text)
{
    m_list->SetItemCell(item, columnKey, text);
}

void frmAlbum::EnsureVisible(int item) { m_list->EnsureVisible(item); }

void frmAlbum::SetTicked(int item, bool ticked) { m_list->SetTicked(item, ticked); }

bool frmAlbum::IsTicked(int item) const { return m_list->IsTicked(item); }

void frmAlbum::RemoveAllColumns() { m_list->RemoveAllColumns(); }

double frmAlbum::ListWidth() const { return layout::kListView1.width; }

void frmAlbum::AddColumn(std::string_view key, std::string_view caption, double width)
{
    m_list->AddColumn(key, caption, layout::ToPixels(width, m_dpi));
}

std::string frmAlbum::GroupSeparator() const { return ToUtf8(locale().groupSeparator()); }

void frmAlbum::SetAlbumLabel(std::string_view text) { m_album->setText(ToQString(text)); }

void frmAlbum::SetArtistLabel(std::string_view text) { m_artist->setText(ToQString(text)); }

void frmAlbum::SetProgressRange(int minimum, int maximum) { m_progress->setRange(minimum, maximum); }

void frmAlbum::SetProgressValue(int value) { m_progress->setValue(value); }

album::MessageAnswer frmAlbum::ShowMessage(const album::Message& message)
{
    m_list->ShowPending();  // the box covers the list as it is by now
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
    return !m_stopRequested;
}

void frmAlbum::Repaint() { ProcessEventsCoalesced(false); }

std::string frmAlbum::BrowseForFolder(std::string_view startFolder, std::string_view title)
{
    return m_shell.BrowseForFolder(startFolder, this, title);
}

bool frmAlbum::ChooseTargetFolder() const { return m_chooseTarget->isChecked(); }

bool frmAlbum::OpenDocument(std::string_view path) { return m_shell.OpenUrl(QUrl::fromLocalFile(ToQString(path))); }

}  // namespace vyr::app
