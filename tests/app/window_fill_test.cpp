#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <string>

#include "app/TrackListModel.h"
#include "app/TrackListView.h"
#include "app/frmAlbum.h"
#include "tests/app/AlbumFiles.h"
#include "tests/app/ScriptedShell.h"

using vyr::app::frmAlbum;
using vyr::app::TrackListView;

namespace {

constexpr int kRows = 32'767;  // the most a list holds

// An album of kRows file-name lines, then as many zero bytes as its header has (so it is valid).
std::string ManyNamesAlbum()
{
    std::string header;
    char line[32];
    for (int i = 1; i <= kRows; ++i) header.append(line, std::snprintf(line, sizeof line, "Track %05d.mp3\r\n", i));
    header += "#EXTBIN\r\n";
    return header + std::string(header.size(), '\0');
}

// kRows - 1 parts of 1 KiB (a frame sync, zeros, an ID3v1 tag that ends the part), then a short last one.
std::string ManyParts()
{
    std::string unit = "\xFF\xFB\x90";
    unit.resize(896, '\0');
    unit += "TAG" + std::string(125, 'a');
    std::string bytes;
    bytes.reserve(std::size_t{kRows} * unit.size());
    for (int i = 1; i < kRows; ++i) bytes += unit;
    return bytes + "\xFF\xFB" + std::string(600, '\0');
}

}  // namespace

class WindowFillTest : public QObject {
    Q_OBJECT

private slots:
    // The outcome of the largest fills, as the loader and the scanner leave the list: every row
    // with its texts and tick, all of them shown, the list scrolled to its last row. The model
    // tester checks every change the fill makes against the item model's contract.
    void largest_fill_lists_every_row_and_ends_on_the_last_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("size");  // of the first row; empty: no size column
        QTest::newRow("album") << false << "Track 00001.mp3"
                               << "Track 00002.mp3"
                               << "Track 32767.mp3"
                               << "";
        QTest::newRow("scan") << true << "[01] parts.mp3"
                              << "[02] parts.mp3"
                              << "[32767] parts.mp3"
                              << "1Kb";
    }

    void largest_fill_lists_every_row_and_ends_on_the_last()
    {
        QFETCH(bool, scan);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, last);
        QFETCH(QString, size);

        QTemporaryDir dir;
        const std::string path = scan ? vyr::test::WriteFile(dir, "parts.albw", ManyParts())
                                      : vyr::test::WriteFile(dir, "many.vyr", ManyNamesAlbum());
        // The second row's file is in the folder already: that row alone starts unticked.
        vyr::test::WriteFile(dir, second.toStdString(), "x");

        vyr::test::ScriptedShell shell;
        shell.openAnswers.push_back(path);
        frmAlbum window(shell);
        auto* list = window.findChild<TrackListView*>(QStringLiteral("ListView1"));
        QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Commands().Open();
        if (QTest::currentTestFailed()) return;  // the tester found a breach

        const auto text = [list](int row, int column) { return list->model()->index(row, column).data().toString(); };
        const auto tick = [list](int row) { return list->model()->index(row, 0).data(Qt::CheckStateRole); };
        QCOMPARE(list->model()->rowCount(), kRows);  // shown by the time the command returned
        QCOMPARE(text(0, 0), first);
        QCOMPARE(text(1, 0), second);
        QCOMPARE(text(kRows - 1, 0), last);
        if (!size.isEmpty()) {
            QCOMPARE(list->model()->headerData(1, Qt::Horizontal), QVariant(QStringLiteral("Size")));
            QCOMPARE(text(0, 1), size);
        }
        QCOMPARE(tick(0), QVariant(Qt::Checked));
        QCOMPARE(tick(1), QVariant(Qt::Unchecked));
        QCOMPARE(tick(kRows - 1), QVariant(Qt::Checked));

        QCoreApplication::processEvents();
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
        QVERIFY(list->viewport()->rect().contains(list->visualRect(list->model()->index(kRows - 1, 0))));
    }
};

QTEST_MAIN(WindowFillTest)
#include "window_fill_test.moc"
