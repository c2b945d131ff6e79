// Times the window's track list filling, as a user meets it: the open command is answered with
// FILE, and the clock runs from the start of the command until the list shows its rows, painted.
// For an album that is the whole load; for an ".albw" file the scan runs first, so the time from
// the moment the window is told of the filled list until it is painted is given on its own as
// well (the fill of the state itself, its columns and ticks, is the core's and counts in the
// total only). Prints one line:
//   rows=N total_ms=T fill_ms=F repaints=R last_row_visible=0|1
// R counts the list's paints while the command ran, so a fill that leaves the window unpainted
// until it ends shows 0.
//   vyr-bench-window FILE       (QT_QPA_PLATFORM=offscreen needs no display)
// With --extract, once the list is painted the extract button is clicked, and the time until the
// command returns (every ticked track written, flushed and named into the album's folder) is
// printed as extract_ms=E with the tracks written as written=W and the progress bar's paints
// during it as progress_paints=P.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QScrollBar>
#include <QUrl>

#include <cstdio>
#include <string>
#include <utility>

#include "app/Shell.h"
#include "app/frmAlbum.h"

namespace {

// Answers every question before it is asked: the open dialog with the file, Yes to a scan.
class AnsweringShell : public vyr::app::Shell {
public:
    explicit AnsweringShell(std::string file) : m_file(std::move(file)) {}

    std::string ShowOpenDialog(QWidget*, std::string_view, std::string_view, std::string_view) override
    {
        return std::exchange(m_file, std::string());
    }
    std::string BrowseForFolder(std::string_view, QWidget*, std::string_view) override { return {}; }
    std::string GetSpecFolder(QWidget*) override { return {}; }
    vyr::album::MessageAnswer ShowMessage(QWidget*, const vyr::album::Message& message) override
    {
        return message.buttons == vyr::album::MessageButtons::YesNo ? vyr::album::MessageAnswer::Yes
                                                                    : vyr::album::MessageAnswer::Ok;
    }
    bool OpenUrl(const QUrl&) override { return false; }

private:
    std::string m_file;
};

// The window hears of the filled list: that moment starts the fill's own clock.
class TimedWindow : public vyr::app::frmAlbum {
public:
    using frmAlbum::frmAlbum;
    QElapsedTimer fillClock;

    void ListChanged() override
    {
        if (!fillClock.isValid() && State().list.items > 0) fillClock.start();
        frmAlbum::ListChanged();
    }
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    const bool extract = arguments.size() == 3 && arguments.at(1) == QStringLiteral("--extract");
    if (extract) arguments.removeAt(1);
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: vyr-bench-window [--extract] FILE\n");
        return 2;
    }
    AnsweringShell shell(arguments.at(1).toStdString());
    TimedWindow window(shell);
    window.show();
    QApplication::processEvents();
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    PaintCounter counter;
    list->viewport()->installEventFilter(&counter);

    QElapsedTimer total;
    total.start();
    window.Commands().Open();
    const int paintsDuring = counter.paints;
    // What is still queued for the screen when the command returns belongs to the fill too.
    QApplication::processEvents();
    list->viewport()->repaint();
    const qint64 totalNs = total.nsecsElapsed();
    const qint64 fillNs = window.fillClock.isValid() ? window.fillClock.nsecsElapsed() : 0;

    const QScrollBar* bar = list->verticalScrollBar();
    const int rows = list->model()->rowCount();
    const bool lastVisible = rows > 0 && bar->value() == bar->maximum();
    std::printf("rows=%d total_ms=%.1f fill_ms=%.1f repaints=%d last_row_visible=%d\n", rows,
                static_cast<double>(totalNs) / 1e6, static_cast<double>(fillNs) / 1e6, paintsDuring,
                lastVisible ? 1 : 0);
    if (extract) {
        // The window takes no input while it writes, but its progress bar is painted as it moves.
        PaintCounter progress;
        window.findChild<QWidget*>(QStringLiteral("ProgressBar1"))->installEventFilter(&progress);
        QElapsedTimer clock;
        clock.start();
        window.findChild<QAbstractButton*>(QStringLiteral("cmdExtract"))->click();
        const qint64 extractNs = clock.nsecsElapsed();
        const QDir folder = QFileInfo(arguments.at(1)).absoluteDir();
        const auto written = folder.entryList({QStringLiteral("*.mp3")}, QDir::Files).size();
        std::printf("extract_ms=%.1f written=%lld progress_paints=%d\n", static_cast<double>(extractNs) / 1e6,
                    static_cast<long long>(written), progress.paints);
    }
    return rows > 0 ? 0 : 1;
}
