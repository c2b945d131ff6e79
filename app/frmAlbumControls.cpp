#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

#include "app/AppIcons.h"
#include "app/LinkColours.h"
#include "app/QtText.h"
#include "app/TrackListView.h"
#include "app/frmAlbum.h"
#include "commands/Layout.h"
#include "support/Messages.h"

// Builds frmAlbum's controls in their fixed places, with their names, hints and tab order.
namespace vyr::app {

namespace layout = commands::layout;
namespace msg = support::msg;

QToolButton* frmAlbum::AddButton(QWidget* parent, const char* name, std::string_view hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(ToQString(hint));
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

void frmAlbum::Place(QWidget* widget, const layout::Twips& twips) const
{
    const layout::Pixels place = layout::ToPixels(twips, m_dpi);
    widget->setGeometry(place.left, place.top, place.width, place.height);
}

QLabel* frmAlbum::AddLabel(const char* name, const layout::Twips& twips)
{
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    Place(label, twips);
    return label;
}

// The controls are made in the order they stack, the list at the bottom.
void frmAlbum::BuildControls()
{
    BuildList();
    m_artist = AddLabel("lblEXTART", layout::kLblEXTART);
    m_album = AddLabel("lblEXTALB", layout::kLblEXTALB);

    BuildLeftPanel();
    BuildProgressAndSite();
    BuildRightPanel();
    // The focus order of the controls that take it: list, then the right panel from the end,
    // then the left panel from the open button.
    QWidget::setTabOrder(m_list, m_cancel);
    QWidget::setTabOrder(m_cancel, m_extract);
    QWidget::setTabOrder(m_extract, m_chooseTarget);
    QWidget::setTabOrder(m_chooseTarget, m_open);
    QWidget::setTabOrder(m_open, m_deselectAll);
    QWidget::setTabOrder(m_deselectAll, m_selectAll);
    m_list->setFocus();
    PaintIcons();
}

void frmAlbum::BuildList()
{
    m_list = new TrackListView(m_commands.State(), ToUtf8(locale().groupSeparator()), this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setToolTip(ToQString(msg::kHintListView1));
    m_list->setWhatsThis(ToQString(msg::kListView1EmptyHint));
    Place(m_list, layout::kListView1);
    // The precise recovery is offered from the list's own menu, so the fixed layout stays.
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listMenu = new QMenu(this);
    m_listMenu->setObjectName(QStringLiteral("mnuListView1"));
    m_recoverPrecisely = m_listMenu->addAction(ToQString(msg::kRecoverPreciselyMenu));
    m_recoverPrecisely->setObjectName(QStringLiteral("mnuRecoverPrecisely"));
}

void frmAlbum::BuildLeftPanel()
{
    m_leftPanel = new QFrame(this);
    m_leftPanel->setObjectName(QStringLiteral("Picture1"));
    Place(m_leftPanel, layout::kPicture1);
    m_open = AddButton(m_leftPanel, "cmdOpenFile", msg::kHintOpenFile);
    Place(m_open, layout::kCmdOpenFile);
    m_selectAll = AddButton(m_leftPanel, "cmdChoose", msg::kHintSelectAll);
    m_selectAll->setProperty("index", 0);
    Place(m_selectAll, layout::kCmdChoose0);
    m_deselectAll = AddButton(m_leftPanel, "cmdChoose", msg::kHintDeselectAll);
    m_deselectAll->setProperty("index", 1);
    Place(m_deselectAll, layout::kCmdChoose1);
}

void frmAlbum::BuildProgressAndSite()
{
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    Place(m_progress, layout::kProgressBar1);

    m_site = AddLabel("lblSite", layout::kLblSite);
    m_site->setText(ToQString(commands::SiteAddress()));
    m_site->setToolTip(ToQString(commands::SiteHint()));
    QFont font = m_site->font();
    font.setPointSizeF(layout::kLblSitePoints);
    font.setUnderline(true);
    m_site->setFont(font);
    SetTextColour(m_site, kLinkColour);
    m_site->setMouseTracking(true);
    m_site->installEventFilter(this);
}

void frmAlbum::BuildRightPanel()
{
    m_rightPanel = new QFrame(this);
    m_rightPanel->setObjectName(QStringLiteral("Picture4"));
    Place(m_rightPanel, layout::kPicture4);
    m_chooseTarget = AddButton(m_rightPanel, "chkChsTarg", msg::kHintChooseTarget);
    m_chooseTarget->setCheckable(true);
    m_chooseTarget->setChecked(false);
    Place(m_chooseTarget, layout::kChkChsTarg);
    m_extract = AddButton(m_rightPanel, "cmdExtract", msg::kHintExtract);
    Place(m_extract, layout::kCmdExtract);
    m_cancel = AddButton(m_rightPanel, "cmdCancel", msg::kHintClose);
    Place(m_cancel, layout::kCmdCancel);
    // The toggle lies under cmdExtract's left edge; raised, its whole face can be clicked.
    m_chooseTarget->raise();
}

void frmAlbum::PaintIcons()
{
    if (!m_open) return;  // a palette may arrive before the buttons exist
    const QPalette& colours = palette();
    m_open->setIcon(ButtonIcon(ButtonFace::Open, colours));
    m_selectAll->setIcon(CheckBoxIcon(this, true));
    m_deselectAll->setIcon(CheckBoxIcon(this, false));
    m_chooseTarget->setIcon(ButtonIcon(ButtonFace::TargetFolder, colours));
    m_extract->setIcon(ButtonIcon(ButtonFace::Extract, colours));
    m_cancel->setIcon(ButtonIcon(ButtonFace::Close, colours));
}

void frmAlbum::ConnectControls()
{
    connect(m_open, &QToolButton::clicked, this, [this] { m_commands.Open(); });
    connect(m_selectAll, &QToolButton::clicked, this, [this] { m_commands.Choose(0); });
    connect(m_deselectAll, &QToolButton::clicked, this, [this] { m_commands.Choose(1); });
    connect(m_extract, &QToolButton::clicked, this, [this] { m_commands.Extract(); });
    connect(m_cancel, &QToolButton::clicked, this, &QWidget::close);
    connect(m_list, &TrackListView::renameRequested, this,
            [this](int row, const QString& text) { m_commands.Rename(row, ToUtf8(text)); });
    connect(m_list, &TrackListView::tickRequested, this,
            [this](int item, bool ticked) { m_commands.Tick(item, ticked); });
    // Queued: the drop ends before the load runs, so the program the files came from is not kept
    // waiting for the answer to a question the load may ask.
    connect(
        m_list, &TrackListView::filesDropped, this,
        [this](const QStringList& paths) {
            std::vector<std::string> files;
            for (const QString& path : paths) files.push_back(ToUtf8(path));
            m_commands.Drop(files);
        },
        Qt::QueuedConnection);
    connect(m_list, &QWidget::customContextMenuRequested, this, &frmAlbum::ShowListMenu);
    connect(m_recoverPrecisely, &QAction::triggered, this, [this] { m_commands.RecoverPrecisely(); });
}

}  // namespace vyr::app
