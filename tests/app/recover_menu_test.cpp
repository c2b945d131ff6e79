#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <fstream>
#include <iterator>
#include <memory>

#include "app/TrackListView.h"
#include "app/frmAlbum.h"
#include "tests/app/AlbumFiles.h"
#include "tests/app/ScriptedShell.h"

using vyr::app::frmAlbum;
using vyr::app::TrackListView;

namespace {

std::string Material(const std::string& name)
{
    std::ifstream in(std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// The track list's menu: "Recover tracks frame by frame" for the file shown, or for the file
// whose load found no header.
class RecoverMenuTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vyr::test::ScriptedShell> m_shell;
    std::unique_ptr<frmAlbum> m_window;

    TrackListView* List() const { return m_window->findChild<TrackListView*>(QStringLiteral("ListView1")); }
    int Rows() const { return List()->model()->rowCount(); }
    QString Cell(int row, int column) const { return List()->model()->index(row, column).data().toString(); }
    QVariant Tick(int row) const { return List()->model()->index(row, 0).data(Qt::CheckStateRole); }
    QString Caption(int column) const { return List()->model()->headerData(column, Qt::Horizontal).toString(); }

    // Right-clicks the list and returns the menu that pops up.
    QMenu* OpenMenu()
    {
        List()->customContextMenuRequested(QPoint(20, 20));
        auto* menu = m_window->findChild<QMenu*>(QStringLiteral("mnuListView1"));
        return menu && menu->isVisible() ? menu : nullptr;
    }
    QAction* Recover(QMenu* menu) const { return menu->findChild<QAction*>(QStringLiteral("mnuRecoverPrecisely")); }

private slots:
    void init()
    {
        m_shell = std::make_unique<vyr::test::ScriptedShell>();
        m_window = std::make_unique<frmAlbum>(*m_shell);
        m_window->show();
    }
    void cleanup()
    {
        m_window.reset();
        m_shell.reset();
    }

    void offers_nothing_before_a_file_was_opened()
    {
        QMenu* menu = OpenMenu();
        QVERIFY(menu);
        QAction* action = Recover(menu);
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("Recover tracks frame by frame"));
        QVERIFY(!action->isEnabled());
        menu->close();
    }

    void recovers_the_file_whose_load_found_no_header()
    {
        QTemporaryDir dir;
        const std::string first = Material("cover-id3v24.mp3");
        const std::string second = Material("crc-protected.mp3");
        const std::string path = vyr::test::WriteFile(dir, "Mix.mp3", first + second);
        m_window->Commands().Drop({path});  // the no-header question is answered No
        QCOMPARE(m_shell->messages.size(), std::size_t{1});
        QCOMPARE(Rows(), 0);

        QMenu* menu = OpenMenu();
        QVERIFY(menu);
        QVERIFY(Recover(menu)->isEnabled());
        Recover(menu)->trigger();
        menu->close();

        QCOMPARE(m_shell->messages.size(), std::size_t{1});  // nothing more to say
        QCOMPARE(List()->model()->columnCount(), 2);
        QCOMPARE(Caption(0), QStringLiteral("File Name"));
        QCOMPARE(Caption(1), QStringLiteral("Size"));
        QCOMPARE(Rows(), 2);
        QCOMPARE(Cell(0, 0), QStringLiteral("08 Cover Tone.mp3"));
        QCOMPARE(Cell(1, 0), QStringLiteral("07 Rising Tone.mp3"));
        QCOMPARE(Tick(1), QVariant(Qt::Checked));
        QCOMPARE(m_window->State().rowOffsets, (std::vector<std::int64_t>{0, static_cast<std::int64_t>(first.size())}));
        // The end step of every scan: the notice gone, the progress back at 0.
        QVERIFY(m_window->findChild<QLabel*>("lblEXTALB")->text().isEmpty());
        QVERIFY(m_window->findChild<QLabel*>("lblEXTART")->text().isEmpty());
        QCOMPARE(m_window->findChild<QProgressBar*>("ProgressBar1")->value(), 0);
        QVERIFY(!m_window->Commands().Busy());
    }

    void recovers_the_album_shown_by_its_header()
    {
        QTemporaryDir dir;
        const std::string first = Material("cbr44-id3v2-id3v1.mp3");
        const std::string second = Material("untagged-cbr.mp3");
        const std::string header = "#EXTM3U\r\n#EXTBYT:" + std::to_string(first.size()) +
                                   "\r\nOne.mp3\r\n#EXTBYT:" + std::to_string(second.size()) +
                                   "\r\nTwo.mp3\r\n#EXTBIN\r\n";
        const std::string path = vyr::test::WriteFile(dir, "Album.vyr", header + first + second);
        m_window->Commands().Drop({path});
        QCOMPARE(Rows(), 2);
        QVERIFY(m_window->Commands().CanRecoverPrecisely());

        m_window->Commands().RecoverPrecisely();
        QCOMPARE(Rows(), 2);
        QCOMPARE(Cell(0, 0), QStringLiteral("One.mp3"));
        QCOMPARE(Cell(1, 0), QStringLiteral("Two.mp3"));
        QVERIFY(m_window->State().Scanned());
    }

    void a_missing_file_says_so()
    {
        QTemporaryDir dir;
        const std::string path = vyr::test::WriteFile(dir, "Gone.mp3", std::string(3000, 'x'));
        m_window->Commands().Drop({path});
        QFile::remove(QString::fromStdString(path));
        m_window->Commands().RecoverPrecisely();
        QCOMPARE(m_shell->messages.size(), std::size_t{2});
        QCOMPARE(m_shell->messages[1].text, "Cannot read the file\r\n" + path + "\r\nNo such file or directory");
    }
};

QTEST_MAIN(RecoverMenuTest)
#include "recover_menu_test.moc"
