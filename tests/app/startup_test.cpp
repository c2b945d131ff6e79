#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "app/SingleInstance.h"
#include "app/frmAlbum.h"
#include "tests/app/AlbumFiles.h"
#include "tests/app/ScriptedShell.h"

using namespace vyr::app;
using vyr::album::MessageIcon;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void load_step_sets_caption_and_target_folder()
    {
        vyr::test::ScriptedShell shell;
        shell.specFolder = "/home/user/Documents";
        frmAlbum window(shell);
        window.Commands().LoadStep("");
        QCOMPARE(window.windowTitle(), QStringLiteral("vyr Extract   version 1.2.0"));
        QCOMPARE(window.State().targetFolder, std::string("/home/user/Documents/"));
        QVERIFY(window.isVisible());
        QVERIFY(shell.messages.empty());

        vyr::test::ScriptedShell noDocuments;
        frmAlbum second(noDocuments);
        second.Commands().LoadStep("");
        QCOMPARE(second.State().targetFolder, std::string());
    }

    void load_step_reports_a_missing_file()
    {
        vyr::test::ScriptedShell shell;
        frmAlbum window(shell);
        window.Commands().LoadStep("\"/nowhere/at all.vyr\"");
        QCOMPARE(shell.messages.size(), 1u);
        QCOMPARE(shell.messages[0].text, std::string("/nowhere/at all.vyr\r\n is not a valid file"));
        QCOMPARE(shell.messages[0].title, std::string("Command line error"));
        QVERIFY(shell.messages[0].icon == MessageIcon::Critical);
    }

    void load_step_loads_an_album_or_scans_an_alb_file()
    {
        QTemporaryDir dir;
        const std::string album =
            vyr::test::WriteFile(dir, "My Album.vyr", vyr::test::AlbumBytes("Songs", "Band", {{"one.mp3", 4000}}));
        {
            vyr::test::ScriptedShell shell;
            frmAlbum window(shell);
            window.Commands().LoadStep("\"" + album + "\"");
            QVERIFY(shell.messages.empty());
            QCOMPARE(window.State().list.items, 1);
            QCOMPARE(window.findChild<QLabel*>("lblEXTART")->text(), QStringLiteral("Band"));
        }
        // No MP3 markers inside: the scanner finds nothing to recover.
        const std::string wrap = vyr::test::WriteFile(dir, "joined.ALB", std::string(5000, 'x'));
        vyr::test::ScriptedShell shell;
        frmAlbum window(shell);
        window.Commands().LoadStep(wrap);
        QVERIFY(shell.messages.size() >= 1);
        QCOMPARE(shell.messages[0].text, std::string("This file is an ALBW \"Album Wrap\" file NOT an vyr file\r\n"
                                                     "\r\n"
                                                     "Press OK and the file will be scanned to attempt\r\n"
                                                     "to recover tracks contained inside.\r\n"
                                                     "\r\n"
                                                     "This may not recover tracks properly so check results."));
        QVERIFY(shell.messages[0].icon == MessageIcon::Exclamation);
        QCOMPARE(shell.messages.back().text, std::string("Sorry cannot locate files to recover."));
    }

    void load_step_takes_a_relative_name_from_the_working_folder()
    {
        QTemporaryDir dir;
        vyr::test::WriteFile(dir, "Live.vyr", vyr::test::AlbumBytes("Songs", "Band", {{"one.mp3", 4000}}));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        vyr::test::ScriptedShell shell;
        frmAlbum window(shell);
        window.Commands().LoadStep("Live.vyr");
        QDir::setCurrent(before);
        const std::string folder = QDir(dir.path()).canonicalPath().toStdString() + "/";
        QCOMPARE(window.State().albumPath, folder + "Live.vyr");
        QCOMPARE(window.State().targetFolder, folder);

        // The tracks go next to the album, with no question about free space.
        window.findChild<QToolButton*>("cmdExtract")->click();
        QVERIFY(shell.messages.empty());
        QCOMPARE(QFileInfo(dir.filePath("one.mp3")).size(), 4000);
    }

    void open_routes_albw_to_the_scanner_and_ALBW_to_the_loader()
    {
        QTemporaryDir dir;
        const std::string lower = vyr::test::WriteFile(dir, "joined.albw", std::string(5000, 'x'));
        const std::string upper = vyr::test::WriteFile(dir, "JOINED.ALBW", std::string(5000, 'x'));

        vyr::test::ScriptedShell shell;
        frmAlbum window(shell);
        shell.openAnswers = {lower, upper};
        window.Commands().Open();
        QCOMPARE(shell.messages.front().text, std::string("Press OK and the file will be scanned to attempt\r\n"
                                                          "to recover tracks contained inside.\r\n"
                                                          "\r\n"
                                                          "This may not recover tracks properly so check results."));
        QCOMPARE(shell.messages.back().text, std::string("Sorry cannot locate files to recover."));

        shell.messages.clear();
        window.Commands().Open();  // the loader asks whether to scan; the shell says No
        QCOMPARE(shell.messages.size(), 1u);
        QCOMPARE(shell.messages[0].text, std::string("No valid vyr type Album header found.\r\n"
                                                     "\r\n"
                                                     "JOINED.ALBW\r\n"
                                                     "is not an vyr Album file.\r\n"
                                                     "\r\n"
                                                     "Do you want to try a scan and recovery action ??"));

        window.Commands().Open();  // cancelled: nothing more
        QCOMPARE(shell.messages.size(), 1u);
    }

    void second_instance_is_refused_until_the_owner_is_gone()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("vyr-extract.lock"));
        {
            const SingleInstance first(lock);
            QVERIFY(first.IsFirst());
            const SingleInstance second(lock);
            QVERIFY(!second.IsFirst());
        }
        QVERIFY(SingleInstance(lock).IsFirst());

        // A lock left by a process that has ended (a crash) does not block the next start.
        QFile file(lock);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QProcess ended;
        ended.start(QStringLiteral("true"), {});
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        QVERIFY(ended.waitForFinished());
        file.write(QByteArray::number(pid) + "\nvyr-extract\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        file.close();
        QVERIFY(SingleInstance(lock).IsFirst());
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
