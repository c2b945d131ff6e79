#include "app/frmAlbum.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include "album/LoadAlbum.h"
#include "app/AppIcons.h"
#include "app/CommandLine.h"
#include "app/Layout.h"
#include "app/QtText.h"
#include "app/Shell.h"
#include "app/TrackListView.h"
#include "extract/ExtractTicked.h"
#include "recovery/ScanAndRecover.h"
#include "support/Messages.h"
#include "support/PathHelpers.h"
#include "support/Text.h"

#ifndef VYR_SITE_ADDRESS
#error "VYR_SITE_ADDRESS comes from the build settings"
#endif

namespace vyr::app {

namespace {

// Often enough that the window and the progress bar keep moving, rarely enough that a scan of
// many 512-byte blocks does not spend its time repainting.
constexpr qint64 kEventIntervalMs = 20;

const QColor kLinkColour(0, 0, 255);
const QColor kLinkHoverColour(255, 0, 0);

std::string Caption()
{
    return std::string(support::msg::kCaptionPrefix) + std::to_string(VYR_VERSION_MAJOR) + "." +
           std::to_string(VYR_VERSION_MINOR) + "." + std::to_string(VYR_VERSION_PATCH);
}

void SetTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

}  // namespace

frmAlbum::frmAlbum(Shell& shell, QWidget* parent) : QWidget(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("frmAlbum"));
    setWindowIcon(ApplicationIcon());
    m_dpi = logicalDpiX();
    setFixedSize(layout::ToPixels(layout::kClientWidth, m_dpi), layout::ToPixels(layout::kClientHeight, m_dpi));
    setMouseTracking(true);  // the link turns blue again over the window's own surface
    BuildControls();
    // Every key release reaches the window first, whichever control has the focus.
    qApp->installEventFilter(this);
}

frmAlbum::~frmAlbum() { qApp->removeEventFilter(this); }

QToolButton* frmAlbum::AddButton(QWidget* parent, const char* name, const QIcon& icon, const char* hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(QString::fromUtf8(hint));
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

void frmAlbum::BuildControls()
{
    const auto place = [this](QWidget* widget, const layout::Twips& t) {
        widget->setGeometry(layout::ToPixels(t, m_dpi));
    };

    m_list = new TrackListView(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setToolTip(QStringLiteral("To modify filenames shown, select item with mouse then click on it "
                                      "again (or SHIFT+E) to Edit filename."));
    m_list->setWhatsThis(QStringLiteral("Open album file to load list"));
    place(m_list, layout::kListView1);

    const auto label = [this, &place](const char* name, const layout::Twips& t) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(Qt::AlignCenter);
        l->setTextFormat(Qt::PlainText);
        place(l, t);
        return l;
    };
    m_artist = label("lblEXTART", layout::kLblEXTART);
    m_album = label("lblEXTALB", layout::kLblEXTALB);

    m_leftPanel = new QFrame(this);
    m_leftPanel->setObjectName(QStringLiteral("Picture1"));
    place(m_leftPanel, layout::kPicture1);
    m_open = AddButton(m_leftPanel, "cmdOpenFile", style()->standardIcon(QStyle::SP_DialogOpenButton),
                       "Open album file, files that already exist in the folder will be un-ticked in the list.");
    place(m_open, layout::kCmdOpenFile);
    m_selectAll = AddButton(m_leftPanel, "cmdChoose", CheckBoxIcon(this, true), "Select all files");
    m_selectAll->setProperty("index", 0);
    place(m_selectAll, layout::kCmdChoose0);
    m_deselectAll = AddButton(m_leftPanel, "cmdChoose", CheckBoxIcon(this, false), "De-select all files");
    m_deselectAll->setProperty("index", 1);
    place(m_deselectAll, layout::kCmdChoose1);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    place(m_progress, layout::kProgressBar1);

    const QString site = QStringLiteral(VYR_SITE_ADDRESS);
    m_site = label("lblSite", layout::kLblSite);
    m_site->setText(site);
    m_site->setToolTip(QStringLiteral("Click HERE To go to ") + site);
    QFont font = m_site->font();
    font.setPointSizeF(9.75);
    font.setUnderline(true);
    m_site->setFont(font);
    SetTextColour(m_site, kLinkColour);
    m_site->setMouseTracking(true);
    m_site->installEventFilter(this);

    m_rightPanel = new QFrame(this);
    m_rightPanel->setObjectName(QStringLiteral("Picture4"));
    place(m_rightPanel, layout::kPicture4);
    m_chooseTarget = AddButton(m_rightPanel, "chkChsTarg", style()->standardIcon(QStyle::SP_DirIcon),
                               "Prompt for target folder to extract to (on/off)");
    m_chooseTarget->setCheckable(true);
    m_chooseTarget->setChecked(false);
    place(m_chooseTarget, layout::kChkChsTarg);
    m_extract = AddButton(m_rightPanel, "cmdExtract", style()->standardIcon(QStyle::SP_DialogSaveButton),
                          "Extract files \"ticked\" in list from Album (does not overwrite files that already "
                          "exist)");
    place(m_extract, layout::kCmdExtract);
    m_cancel = AddButton(m_rightPanel, "cmdCancel", style()->standardIcon(QStyle::SP_DialogCloseButton), "Close");
    place(m_cancel, layout::kCmdCancel);
    // The toggle lies under cmdExtract's left edge; raised, its whole face can be clicked.
    m_chooseTarget->raise();

    // The focus order of the controls that take it: list, then the right panel from the end,
    // then the left panel from the open button.
    QWidget::setTabOrder(m_list, m_cancel);
    QWidget::setTabOrder(m_cancel, m_extract);
    QWidget::setTabOrder(m_extract, m_chooseTarget);
    QWidget::setTabOrder(m_chooseTarget, m_open);
    QWidget::setTabOrder(m_open, m_deselectAll);
    QWidget::setTabOrder(m_deselectAll, m_selectAll);
    m_list->setFocus();

    connect(m_open, &QToolButton::clicked, this, [this] { OpenCommand(); });
    connect(m_selectAll, &QToolButton::clicked, this, [this] { ChooseCommand(0); });
    connect(m_deselectAll, &QToolButton::clicked, this, [this] { ChooseCommand(1); });
    connect(m_extract, &QToolButton::clicked, this, [this] { ExtractCommand(); });
    connect(m_cancel, &QToolButton::clicked, this, &QWidget::close);
    connect(m_list, &TrackListView::renameRequested, this, &frmAlbum::Rename);
    connect(m_list, &TrackListView::filesDropped, this, &frmAlbum::DropFiles);
}

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
        ShowMessage({support::msg::NotAValidFile(plan.path), album::MessageIcon::Critical,
                     album::MessageButtons::Ok, std::string(support::msg::kCommandLineErrorTitle)});
        return;
    case StartAction::ScanAlbumWrap: ScanWithNotice(plan.path, support::msg::kAlbumWrapFile); return;
    case StartAction::Load:
        RunExclusive([&] { album::LoadAlbum(m_state, *this, plan.path); });
        return;
    }
}

template <typename Command> void frmAlbum::RunExclusive(Command command)
{
    if (Busy()) return;
    m_stopRequested = false;
    SetBusy(true);
    command();
    SetBusy(false);
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void frmAlbum::ScanWithNotice(const std::string& path, std::string_view notice)
{
    if (Busy()) return;
    ShowMessage({std::string(notice), album::MessageIcon::Exclamation, album::MessageButtons::Ok, {}});
    SetAlbumLabel(support::msg::kScanningAlbumLabel);
    SetArtistLabel(support::msg::kScanningArtistLabel);
    m_sinceEvents.invalidate();  // the notice labels must be painted before the scan starts
    Yield();
    RunExclusive([&] { recovery::ScanAndRecover(m_state, *this, path); });
}

void frmAlbum::OpenCommand()
{
    if (Busy()) return;
    const std::string path = m_shell.ShowOpenDialog(this, support::msg::kOpenFilter,
                                                    support::msg::kOpenDialogTitle, m_state.targetFolder);
    if (path.empty()) return;
    if (IsAlbwName(path)) {
        ScanWithNotice(path, support::msg::kScanNotice);
        return;
    }
    RunExclusive([&] { album::LoadAlbum(m_state, *this, path); });
}

void frmAlbum::ChooseCommand(int index)
{
    if (Busy()) return;
    if (ItemCount() < 1) {
        ShowMessage({std::string(support::msg::kOpenAlbumFirst), album::MessageIcon::Information,
                     album::MessageButtons::Ok, {}});
        PressOpen();
        return;
    }
    for (int i = 0; i < ItemCount(); ++i) SetTicked(i, index == 0);
}

void frmAlbum::ExtractCommand()
{
    if (Busy()) return;
    // An empty list gets only the command's guard, and the open command it presses must not
    // find the window busy; a real run keeps the other commands off while it writes.
    if (ItemCount() == 0) {
        extract::ExtractTicked(m_state, *this);
        return;
    }
    RunExclusive([&] { extract::ExtractTicked(m_state, *this); });
}

void frmAlbum::StartRenaming()
{
    if (Busy()) return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty() || m_list->columnCount() < 1) return;
    m_list->editItem(selected.front(), 0);
}

void frmAlbum::Rename(int row, const QString& text)
{
    if (text.isEmpty() || Busy()) return;
    const std::string name = ToUtf8(text);
    // The name becomes a file in the target folder: a separator or ".." would put it elsewhere.
    if (!support::IsPlainFileName(name)) {
        ShowMessage({support::msg::RenameRefused(name), album::MessageIcon::Exclamation,
                     album::MessageButtons::Ok, {}});
        return;
    }
    if (!m_state.tracks.Rename(row, name)) return;
    if (QTreeWidgetItem* item = Item(row)) item->setText(0, text);
}

void frmAlbum::DropFiles(const QStringList& paths)
{
    if (Busy() || paths.isEmpty()) return;
    const std::string path(support::TrimSpaces(ToUtf8(paths.front())));
    RunExclusive([&] { album::LoadAlbum(m_state, *this, path); });
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

    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Only keys meant for this window: not those of a message box or dialog it opened. Qt
    // delivers a key to the focus widget and then to each parent that ignores it; the first
    // delivery is the one that counts.
    if (!widget || widget->window() != this || widget != QApplication::focusWidget()) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) return false;
    if (event->type() == QEvent::KeyPress) {
        m_keyPressedWhileEditing = m_list->IsEditing();
        return false;
    }
    // The release of the key that ended an edit (Enter, Esc) would open the editor again at once.
    const bool endedEdit = m_keyPressedWhileEditing && !m_list->IsEditing();
    m_keyPressedWhileEditing = false;
    if (!endedEdit) StartRenaming();
    return false;
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

QTreeWidgetItem* frmAlbum::Item(int item) const
{
    return item >= 0 && item < m_list->topLevelItemCount() ? m_list->topLevelItem(item) : nullptr;
}

int frmAlbum::ItemCount() const { return m_list->topLevelItemCount(); }

void frmAlbum::RemoveAllItems()
{
    m_list->clear();
    m_itemKeys.clear();
}

bool frmAlbum::AddItem(std::string_view key)
{
    std::string k(key);
    if (!k.empty() && !m_itemKeys.insert(k).second) return false;
    auto* item = new QTreeWidgetItem();
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEditable |
                   Qt::ItemNeverHasChildren);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, Qt::UserRole, ToQString(k));
    m_list->addTopLevelItem(item);
    return true;
}

void frmAlbum::SetItemText(int item, std::string_view text)
{
    if (QTreeWidgetItem* i = Item(item)) i->setText(0, ToQString(text));
}

void frmAlbum::SetItemCell(int item, std::string_view columnKey, std::string_view text)
{
    QTreeWidgetItem* i = Item(item);
    for (std::size_t c = 0; i && c < m_columnKeys.size(); ++c)
        if (m_columnKeys[c] == columnKey) i->setText(static_cast<int>(c), ToQString(text));
}

void frmAlbum::EnsureVisible(int item)
{
    if (QTreeWidgetItem* i = Item(item)) m_list->scrollToItem(i);
}

void frmAlbum::SetTicked(int item, bool ticked)
{
    if (QTreeWidgetItem* i = Item(item)) i->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

bool frmAlbum::IsTicked(int item) const
{
    const QTreeWidgetItem* i = Item(item);
    return i && i->checkState(0) == Qt::Checked;
}

void frmAlbum::RemoveAllColumns()
{
    m_list->setColumnCount(0);
    m_columnKeys.clear();
}

double frmAlbum::ListWidth() const { return layout::kListView1.width; }

void frmAlbum::AddColumn(std::string_view key, std::string_view caption, double width)
{
    const int column = static_cast<int>(m_columnKeys.size());
    m_columnKeys.emplace_back(key);
    m_list->setColumnCount(column + 1);
    m_list->headerItem()->setText(column, ToQString(caption));
    m_list->setColumnWidth(column, layout::ToPixels(width, m_dpi));
}

void frmAlbum::SetAlbumLabel(std::string_view text) { m_album->setText(ToQString(text)); }

void frmAlbum::SetArtistLabel(std::string_view text) { m_artist->setText(ToQString(text)); }

void frmAlbum::SetProgressRange(int minimum, int maximum) { m_progress->setRange(minimum, maximum); }

void frmAlbum::SetProgressValue(int value) { m_progress->setValue(value); }

album::MessageAnswer frmAlbum::ShowMessage(const album::Message& message)
{
    return m_shell.ShowMessage(this, message);
}

void frmAlbum::ProcessEventsCoalesced(bool userInput)
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventIntervalMs) return;
    QCoreApplication::processEvents(userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    m_sinceEvents.start();
}

void frmAlbum::Yield() { ProcessEventsCoalesced(true); }

void frmAlbum::Repaint() { ProcessEventsCoalesced(false); }

std::string frmAlbum::BrowseForFolder(std::string_view startFolder, std::string_view title)
{
    return m_shell.BrowseForFolder(startFolder, this, title);
}

bool frmAlbum::ChooseTargetFolder() const { return m_chooseTarget->isChecked(); }

void frmAlbum::PressOpen() { m_open->click(); }

bool frmAlbum::OpenDocument(std::string_view path)
{
    return m_shell.OpenUrl(QUrl::fromLocalFile(ToQString(path)));
}

void frmAlbum::SetBusy(bool busy)
{
    // Nested: the window holds the commands off around a load, and the load may say so again.
    m_busyDepth = busy ? m_busyDepth + 1 : std::max(0, m_busyDepth - 1);
    const bool idle = m_busyDepth == 0;
    for (QWidget* w : {static_cast<QWidget*>(m_open), static_cast<QWidget*>(m_selectAll),
                       static_cast<QWidget*>(m_deselectAll), static_cast<QWidget*>(m_extract)})
        w->setEnabled(idle);
    m_list->SetDropsAccepted(idle);
}

}  // namespace vyr::app
