#include <sys/stat.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

#include <cmath>
#include <memory>

#include "album/TrackList.h"
#include "app/TrackListView.h"
#include "app/frmAlbum.h"
#include "tests/app/AlbumFiles.h"
#include "tests/app/ScriptedShell.h"

using vyr::album::MessageIcon;
using vyr::app::frmAlbum;
using vyr::app::TrackListView;

// Collects every line Qt's message log gets (qDebug, qWarning...: what would go to stderr)
// while it lives, in place of the test's own handler.
class CapturedMessages {
public:
    CapturedMessages() : m_previous(qInstallMessageHandler(&Record)) { Recorded().clear(); }
    ~CapturedMessages() { qInstallMessageHandler(m_previous); }
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;
    QStringList Lines() const { return Recorded(); }

private:
    static QStringList& Recorded()
    {
        static QStringList lines;
        return lines;
    }
    static void Record(QtMsgType, const QMessageLogContext&, const QString& text) { Recorded() << text; }

    QtMessageHandler m_previous;
};

class WindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vyr::test::ScriptedShell> m_shell;
    std::unique_ptr<frmAlbum> m_window;
    QTemporaryDir m_albums;

    TrackListView* List() const { return m_window->findChild<TrackListView*>(QStringLiteral("ListView1")); }
    QToolButton* Choose(int index) const
    {
        for (QToolButton* b : m_window->findChildren<QToolButton*>(QStringLiteral("cmdChoose")))
            if (b->property("index").toInt() == index) return b;
        return nullptr;
    }
    int Px(int twips) const { return qRound(twips * m_window->logicalDpiX() / 1440.0); }

    QString Cell(int item, int column) const { return List()->model()->index(item, column).data().toString(); }
    bool Ticked(int item) const { return vyr::album::IsTicked(m_window->State(), item); }

    // Three listed tracks, as a load leaves them.
    void FillThreeRows()
    {
        const std::string album = vyr::test::WriteFile(
            m_albums, "three.vyr",
            vyr::test::AlbumBytes("Three", "Band",
                                  {{"Track 0.mp3", 1000}, {"Track 1.mp3", 1000}, {"Track 2.mp3", 1000}}));
        m_window->Commands().Drop({album});
        QCOMPARE(List()->model()->rowCount(), 3);
    }

    QImage IconImage(const char* button, QIcon::State state) const
    {
        const QIcon icon = m_window->findChild<QToolButton*>(QLatin1String(button))->icon();
        return icon.pixmap(QSize(16, 16), 1.0, QIcon::Normal, state).toImage().convertToFormat(QImage::Format_ARGB32);
    }

    // The mean colour of the pixels an icon paints (mostly opaque ones).
    static QColor InkColour(const QImage& image)
    {
        double r = 0, g = 0, b = 0;
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (const QColor c = image.pixelColor(x, y); c.alpha() > 160) {
                    r += c.redF(), g += c.greenF(), b += c.blueF();
                    ++n;
                }
        return n == 0 ? QColor() : QColor::fromRgbF(float(r / n), float(g / n), float(b / n));
    }

    // The contrast ratio of two colours as accessibility guidelines measure it, from 1 to 21.
    static double Contrast(const QColor& a, const QColor& b)
    {
        const auto luminance = [](const QColor& c) {
            const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
        };
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }

    // Drags `paths` onto the list and drops them; true when both the drag and the drop were taken.
    bool Drop(const QStringList& paths) const
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p.trimmed());
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(List()->viewport(), &enter);
        if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction) return false;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(List()->viewport(), &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }

    void ShowActive()
    {
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    // Edits the file name of list row `item` through the list's own editor and ends with Enter.
    void EditRow(int item, const QString& text)
    {
        TrackListView* list = List();
        list->setFocus();
        list->setCurrentIndex(list->model()->index(item, 0));
        QTest::keyClick(list, Qt::Key_E, Qt::ShiftModifier);
        QVERIFY(list->IsEditing());
        auto* editor = list->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor commits through a queued call and the window renames through another.
        for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
        QVERIFY(!list->IsEditing());
    }

private slots:
    void init()
    {
        m_shell = std::make_unique<vyr::test::ScriptedShell>();
        m_window = std::make_unique<frmAlbum>(*m_shell);
    }
    void cleanup()
    {
        m_window.reset();
        m_shell.reset();
    }

    void controls_sit_at_their_places_in_twips()
    {
        struct Place {
            const char* name;
            int index;  // -1: the name is unique
            const char* parent;
            int left, top, width, height;
        };
        const Place places[] = {
            {"ListView1", -1, "frmAlbum", 120, 120, 8055, 2775},
            {"lblEXTART", -1, "frmAlbum", 480, 3000, 7335, 255},
            {"lblEXTALB", -1, "frmAlbum", 480, 3360, 7335, 255},
            {"Picture1", -1, "frmAlbum", 120, 3720, 1635, 495},
            {"cmdOpenFile", -1, "Picture1", 0, 0, 500, 440},
            {"cmdChoose", 0, "Picture1", 600, 0, 500, 440},
            {"cmdChoose", 1, "Picture1", 1080, 0, 500, 440},
            {"ProgressBar1", -1, "frmAlbum", 2040, 3720, 3735, 255},
            {"lblSite", -1, "frmAlbum", 2040, 4020, 3735, 255},
            {"Picture4", -1, "frmAlbum", 6120, 3720, 1995, 495},
            {"chkChsTarg", -1, "Picture4", 0, 0, 495, 435},
            {"cmdExtract", -1, "Picture4", 480, 0, 855, 440},
            {"cmdCancel", -1, "Picture4", 1440, 0, 495, 440},
        };
        for (const Place& p : places) {
            QWidget* w = p.index < 0 ? m_window->findChild<QWidget*>(QLatin1String(p.name)) : Choose(p.index);
            QVERIFY2(w, p.name);
            QCOMPARE(w->parentWidget()->objectName(), QLatin1String(p.parent));
            QCOMPARE(w->geometry(), QRect(Px(p.left), Px(p.top), Px(p.width), Px(p.height)));
        }
        QCOMPARE(m_window->size(), QSize(Px(8325), Px(4380)));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    }

    void hints_are_the_controls_own()
    {
        const QString site = QStringLiteral(VYR_SITE_ADDRESS);
        const std::pair<QWidget*, QString> hints[] = {
            {List(),
             "To modify filenames shown, select item with mouse then click on it again (or SHIFT+E) to "
             "Edit filename."},
            {m_window->findChild<QWidget*>("cmdOpenFile"),
             "Open album file, files that already exist in the folder will be un-ticked in the list."},
            {Choose(0), "Select all files"},
            {Choose(1), "De-select all files"},
            {m_window->findChild<QWidget*>("lblSite"), "Click HERE To go to " + site},
            {m_window->findChild<QWidget*>("chkChsTarg"), "Prompt for target folder to extract to (on/off)"},
            {m_window->findChild<QWidget*>("cmdExtract"),
             "Extract files \"ticked\" in list from Album (does not overwrite files that already exist)"},
            {m_window->findChild<QWidget*>("cmdCancel"), "Close"},
        };
        for (const auto& [widget, hint] : hints) {
            QVERIFY(widget);
            QCOMPARE(widget->toolTip(), hint);
        }
        for (const char* name : {"lblEXTART", "lblEXTALB", "ProgressBar1", "Picture1", "Picture4"})
            QVERIFY2(m_window->findChild<QWidget*>(QLatin1String(name))->toolTip().isEmpty(), name);
    }

    void the_list_hint_shows_over_its_rows_too()
    {
        ShowActive();
        FillThreeRows();
        const QPoint row = List()->visualRect(List()->model()->index(1, 0)).center();
        QHelpEvent help(QEvent::ToolTip, row, List()->viewport()->mapToGlobal(row));
        QApplication::sendEvent(List()->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), List()->toolTip());
        QToolTip::hideText();
    }

    void starts_empty_with_icon_buttons()
    {
        QCOMPARE(List()->model()->columnCount(), 0);
        QCOMPARE(List()->model()->rowCount(), 0);
        QVERIFY(List()->acceptDrops());
        QVERIFY(m_window->findChild<QLabel*>("lblEXTART")->text().isEmpty());
        QVERIFY(m_window->findChild<QLabel*>("lblEXTALB")->text().isEmpty());
        auto* progress = m_window->findChild<QProgressBar*>("ProgressBar1");
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 100);
        QCOMPARE(progress->value(), 0);
        auto* site = m_window->findChild<QLabel*>("lblSite");
        QCOMPARE(site->text(), QStringLiteral(VYR_SITE_ADDRESS));
        QVERIFY(site->font().underline());
        QCOMPARE(site->alignment(), Qt::AlignCenter);
        QCOMPARE(site->palette().color(QPalette::WindowText), QColor(0, 0, 255));

        auto* toggle = m_window->findChild<QToolButton*>("chkChsTarg");
        QVERIFY(toggle->isCheckable());
        QVERIFY(!toggle->isChecked());
        QVERIFY(!m_window->ChooseTargetFolder());
        toggle->click();
        QVERIFY(m_window->ChooseTargetFolder());

        for (QToolButton* b : m_window->findChildren<QToolButton*>()) {
            QVERIFY2(b->text().isEmpty() || b->toolButtonStyle() == Qt::ToolButtonIconOnly,
                     qPrintable(b->objectName()));
            QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
        }
    }

    void tab_visits_controls_in_their_order()
    {
        ShowActive();
        QCOMPARE(QApplication::focusWidget(), List());
        QStringList visited;
        for (int i = 0; i < 7; ++i) {
            QWidget* focus = QApplication::focusWidget();
            const QVariant index = focus->property("index");
            visited << focus->objectName() + (index.isValid() ? QString::number(index.toInt()) : QString());
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(visited, QStringList({"ListView1", "cmdCancel", "cmdExtract", "chkChsTarg", "cmdOpenFile",
                                       "cmdChoose1", "cmdChoose0"}));
        QCOMPARE(QApplication::focusWidget(), List());
    }

    void select_and_deselect_all_touch_only_the_ticks()
    {
        FillThreeRows();
        const std::string secondName = m_window->State().tracks[1].fileName;
        Choose(1)->click();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(List()->model()->index(i, 0).data(Qt::CheckStateRole), QVariant(Qt::Unchecked));
        Choose(0)->click();
        for (int i = 0; i < 3; ++i) QVERIFY(Ticked(i));
        QCOMPARE(m_window->State().tracks.Count(), 3);
        QCOMPARE(m_window->State().tracks[1].fileName, secondName);
        QVERIFY(m_shell->messages.empty());
    }

    void choose_on_an_empty_list_asks_for_an_album_first()
    {
        for (const int index : {0, 1}) {
            m_shell->messages.clear();
            m_shell->openCalls.clear();
            m_shell->specFolder = "/music";
            m_window->Commands().LoadStep("");
            Choose(index)->click();
            QCOMPARE(m_shell->messages.size(), 1u);
            QCOMPARE(m_shell->messages[0].text, std::string("Open and Album file first."));
            QVERIFY(m_shell->messages[0].icon == MessageIcon::Information);
            // Then the open dialog, which the test cancels.
            QCOMPARE(m_shell->openCalls.size(), 1u);
            QCOMPARE(m_shell->openCalls[0].title, std::string("Open Album file"));
            QCOMPARE(
                m_shell->openCalls[0].filter,
                std::string("Album (*.vyr;*.m3u;*.mp3;*.albw)|*.vyr;*.m3u;*.mp3;*.albw|(*.vyr)|*.vyr|(*.m3u)|*.m3u|"
                            "(*.mp3)|*.mp3|Any file (*.*)|*.*"));
            QCOMPARE(m_shell->openCalls[0].initialFolder, std::string("/music/"));
            QCOMPARE(List()->model()->rowCount(), 0);
        }
    }

    void extract_on_an_empty_list_asks_for_an_album_then_opens()
    {
        m_shell->messages.clear();
        m_shell->openCalls.clear();
        m_window->findChild<QToolButton*>("cmdExtract")->click();
        QCOMPARE(m_shell->messages.size(), 1u);
        QCOMPARE(m_shell->messages[0].text, std::string("Open and Album file first."));
        QCOMPARE(m_shell->openCalls.size(), 1u);  // the open command ran, not a busy window's no-op
    }

    void rename_through_the_editor_changes_one_track_row()
    {
        ShowActive();
        FillThreeRows();
        EditRow(1, QStringLiteral("  New name.mp3 "));
        const auto& tracks = m_window->State().tracks;
        QCOMPARE(tracks[1].fileName, std::string("  New name.mp3 "));  // as typed
        QCOMPARE(tracks[0].fileName, std::string("Track 0.mp3"));
        QCOMPARE(tracks[2].fileName, std::string("Track 2.mp3"));
        QCOMPARE(Cell(1, 0), QStringLiteral("  New name.mp3 "));
        QVERIFY(m_shell->messages.empty());
    }

    void rename_keeps_the_old_name_for_empty_or_unsafe_text()
    {
        ShowActive();
        FillThreeRows();
        const QString refused[] = {QString(), "../escape.mp3", "a/b.mp3", "a\\b.mp3", "..", ".", "tab\there"};
        for (const QString& text : refused) {
            EditRow(1, text);
            QCOMPARE(m_window->State().tracks[1].fileName, std::string("Track 1.mp3"));
            QCOMPARE(Cell(1, 0), QStringLiteral("Track 1.mp3"));
        }
        // Empty text is ignored silently; every unsafe name is refused with a message.
        QCOMPARE(m_shell->messages.size(), std::size(refused) - 1);
        QCOMPARE(m_shell->messages[0].text,
                 std::string("This name cannot be used for a file:\r\n"
                             "../escape.mp3\r\n"
                             "Names may not contain / or \\ or control characters, nor be . or .."));
    }

    void any_key_release_starts_editing_the_selected_row()
    {
        ShowActive();
        FillThreeRows();
        auto* cancel = m_window->findChild<QToolButton*>("cmdCancel");
        // The release goes where the focus is by then, as the keyboard delivers it.
        const auto pressAndRelease = [cancel](Qt::Key key) {
            cancel->setFocus();
            QTest::keyPress(cancel, key);
            QTest::keyRelease(QApplication::focusWidget(), key);
        };
        pressAndRelease(Qt::Key_Left);
        QVERIFY(!List()->IsEditing());  // nothing selected yet

        List()->setCurrentIndex(List()->model()->index(2, 0));
        pressAndRelease(Qt::Key_Left);
        QVERIFY(List()->IsEditing());
        QCOMPARE(List()->currentIndex().row(), 2);
        QCOMPARE(List()->currentIndex().column(), 0);
    }

    void busy_window_refuses_commands_and_closes_after_the_scan()
    {
        QTemporaryDir dir;
        const std::string path = vyr::test::WriteFile(dir, "long.albw", std::string(400'000, 'x'));
        m_shell->openAnswers.push_back(path);
        ShowActive();
        // Runs inside the scan's first yield, as a click of the user's would.
        bool disabled = false;
        bool stillOpen = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            disabled = m_window->Commands().Busy() && !m_window->findChild<QWidget*>("cmdOpenFile")->isEnabled() &&
                       !m_window->findChild<QWidget*>("cmdExtract")->isEnabled() && !Choose(0)->isEnabled() &&
                       !Choose(1)->isEnabled();
            m_window->findChild<QToolButton*>("cmdCancel")->click();
            stillOpen = m_window->isVisible();  // the scan still runs
            m_window->Commands().Drop({"/nowhere/a.vyr"});
        });
        m_window->Commands().Open();
        QVERIFY(disabled);
        QVERIFY(stillOpen);
        QVERIFY(!m_window->isVisible());  // closed once the stopped scan returned
        QCOMPARE(m_shell->messages.size(), std::size_t{1});  // the notice, nothing from the drop
        QCOMPARE(QString::fromStdString(m_shell->messages[0].text),
                 QStringLiteral("Press OK and the file will be scanned to attempt\r\nto recover tracks contained "
                                "inside.\r\n\r\nThis may not recover tracks properly so check results."));
        QVERIFY(m_window->findChild<QWidget*>("cmdOpenFile")->isEnabled());
    }

    void drop_of_three_files_loads_the_first()
    {
        QTemporaryDir dir;
        QStringList paths;
        for (const char* name : {"first", "second", "third"}) {
            const std::string album = vyr::test::AlbumBytes(
                name, "Band", {{std::string(name) + " 1.mp3", 3000}, {std::string(name) + " 2.mp3", 3000}});
            paths << QString::fromStdString(vyr::test::WriteFile(dir, std::string(name) + ".vyr", album));
        }
        paths.front().prepend(QStringLiteral(" "));  // a stray space before the first path is trimmed
        QVERIFY(Drop(paths));
        QCoreApplication::processEvents();

        QCOMPARE(m_window->State().albumPath, paths.front().trimmed().toStdString());
        QCOMPARE(List()->model()->rowCount(), 2);
        QCOMPARE(Cell(0, 0), QStringLiteral("first 1.mp3"));
        QCOMPARE(m_window->findChild<QLabel*>("lblEXTALB")->text(), QStringLiteral("first"));
        QVERIFY(m_shell->messages.empty());
    }

    void drop_returns_before_the_load_asks_anything()
    {
        QTemporaryDir dir;
        const std::string plain = vyr::test::WriteFile(dir, "plain.mp3", std::string(4000, 'x'));
        QVERIFY(Drop({QString::fromStdString(plain)}));
        // The drag's source learns the outcome now; the question comes from the event loop.
        QVERIFY(m_shell->messages.empty());
        QCoreApplication::processEvents();
        QCOMPARE(m_shell->messages.size(), 1u);
        QCOMPARE(
            m_shell->messages[0].text,
            std::string("No valid vyr type Album header found.\r\n\r\nplain.mp3\r\nis not an vyr Album file.\r\n\r\n"
                        "Do you want to try a scan and recovery action ??"));
    }

    void a_dropped_fifo_is_refused_with_a_message_instead_of_hanging()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe.vyr"));
        QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0644) == 0);
        m_window->Commands().Drop({fifo.toStdString()});
        QCOMPARE(m_shell->messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(m_shell->messages[0].text),
                 QStringLiteral("Cannot read the file\r\n") + fifo +
                     QStringLiteral("\r\nit is a named pipe (FIFO), not a regular file"));
        QCOMPARE(List()->model()->rowCount(), 0);
    }

    void extract_writes_ticked_tracks_into_the_album_folder()
    {
        QTemporaryDir dir;
        const std::string album = vyr::test::WriteFile(
            dir, "a.vyr", vyr::test::AlbumBytes("Songs", "Band", {{"one.mp3", 3000}, {"two.mp3", 5000}}));
        m_window->Commands().LoadStep(album);
        QCOMPARE(List()->model()->rowCount(), 2);
        // A click on the first check box unticks it.
        const QModelIndex first = List()->model()->index(0, 0);
        QVERIFY(List()->model()->setData(first, Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(first.data(Qt::CheckStateRole), QVariant(Qt::Unchecked));
        m_window->findChild<QToolButton*>("cmdExtract")->click();
        QVERIFY(!QFile::exists(dir.filePath("one.mp3")));
        QFile two(dir.filePath("two.mp3"));
        QVERIFY(two.open(QIODevice::ReadOnly));
        QCOMPARE(two.readAll(), QByteArray(5000, 'b'));
        QVERIFY(m_window->findChild<QWidget*>("cmdExtract")->isEnabled());
    }

    void drag_without_files_is_refused()
    {
        QMimeData data;
        data.setText(QStringLiteral("/music/a.vyr"));
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(List()->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
    }

    void link_turns_red_under_the_pointer_and_blue_over_the_window()
    {
        auto* site = m_window->findChild<QLabel*>("lblSite");
        const auto move = [](QWidget* w, QPoint at) {
            QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        };
        move(site, QPoint(5, 5));
        QCOMPARE(site->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(site->cursor().shape(), Qt::PointingHandCursor);
        move(m_window.get(), QPoint(Px(6000), Px(4300)));
        QCOMPARE(site->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(site->cursor().shape(), Qt::ArrowCursor);

        QTest::mouseClick(site, Qt::LeftButton);
        QCOMPARE(m_shell->urls.size(), 1u);
        QCOMPARE(m_shell->urls[0], QUrl(QStringLiteral(VYR_SITE_ADDRESS "/index1.html")));
    }

    void fixed_window_offers_no_maximize_button()
    {
        ShowActive();
        for (const Qt::WindowFlags flags : {m_window->windowFlags(), m_window->windowHandle()->flags()}) {
            QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
            QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        }
    }

    // Each key typed into the editor is released there, and every release reaches the window,
    // which starts renaming: with the editor open that must stay silent and keep the editor.
    void keys_typed_into_the_editor_say_nothing_on_stderr()
    {
        ShowActive();
        FillThreeRows();
        List()->setFocus();
        List()->setCurrentIndex(List()->model()->index(0, 0));
        QStringList said;
        {
            const CapturedMessages captured;
            QTest::keyClick(List(), Qt::Key_E, Qt::ShiftModifier);
            auto* editor = List()->findChild<QLineEdit*>();
            QVERIFY(editor);
            editor->clear();
            QTest::keyClicks(editor, QStringLiteral("abc"));
            QTest::keyClick(editor, Qt::Key_Backspace);
            QTest::keyClick(editor, Qt::Key_D);
            said = captured.Lines();
        }
        QVERIFY2(said.isEmpty(), qPrintable(said.join(QLatin1Char('\n'))));
        QVERIFY(List()->IsEditing());
        QCOMPARE(List()->findChild<QLineEdit*>()->text(), QStringLiteral("abd"));
    }

    void sizes_group_digits_as_the_user_locale_does_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("size");
        QTest::newRow("C") << QLocale::c() << "3,073Kb";
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "3.073Kb";
        QTest::newRow("Swiss German") << QLocale(QLocale::German, QLocale::Switzerland)
                                      << "3’"
                                         "073Kb";
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France)
                                << "3 "
                                   "073Kb";
    }

    void sizes_group_digits_as_the_user_locale_does()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, size);
        const QLocale before;
        QLocale::setDefault(locale);
        frmAlbum window(*m_shell);
        QLocale::setDefault(before);
        QTemporaryDir dir;
        m_shell->openAnswers.push_back(
            vyr::test::WriteFile(dir, "a.vyr", vyr::test::AlbumBytes("Songs", "Band", {{"one.mp3", 3'145'728}})));
        window.Commands().Open();
        auto* list = window.findChild<TrackListView*>(QStringLiteral("ListView1"));
        QCOMPARE(list->model()->headerData(3, Qt::Horizontal), QVariant(QStringLiteral("Size")));
        QCOMPARE(list->model()->index(0, 3).data().toString(), size);
    }

    void button_faces_stand_out_on_light_and_dark_palettes_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QPalette dark;
        for (const auto& [role, colour] : {std::pair{QPalette::Window, QColor(0x2b, 0x2b, 0x2b)},
                                           {QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0)},
                                           {QPalette::Base, QColor(0x1e, 0x1e, 0x1e)},
                                           {QPalette::Text, QColor(0xe0, 0xe0, 0xe0)},
                                           {QPalette::Button, QColor(0x35, 0x35, 0x35)},
                                           {QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8)},
                                           {QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6)},
                                           {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)}})
            dark.setColor(role, colour);
        QTest::newRow("dark") << dark;
    }

    void button_faces_stand_out_on_light_and_dark_palettes()
    {
        QFETCH(QPalette, palette);
        m_window->setPalette(palette);  // as when the desktop's theme changes while the window is open
        const QColor face = palette.color(QPalette::Button);
        for (const char* name : {"cmdOpenFile", "cmdExtract", "cmdCancel", "chkChsTarg"}) {
            const QImage off = IconImage(name, QIcon::Off);
            QVERIFY2(Contrast(InkColour(off), face) >= 3.0, name);
        }
        // The toggle's "on" face differs from its "off" face over most of its area.
        const QImage off = IconImage("chkChsTarg", QIcon::Off);
        const QImage on = IconImage("chkChsTarg", QIcon::On);
        int differing = 0;
        for (int y = 0; y < on.height(); ++y)
            for (int x = 0; x < on.width(); ++x) differing += on.pixel(x, y) != off.pixel(x, y) ? 1 : 0;
        QVERIFY2(differing * 2 > on.width() * on.height(), qPrintable(QString::number(differing)));
    }

    // An unticked item's box and the de-select face must be seen on either palette: the frame
    // stands out at 3:1 or more against the list's base colour.
    void unticked_boxes_stand_out_on_light_and_dark_palettes_data()
    {
        button_faces_stand_out_on_light_and_dark_palettes_data();
    }

    void unticked_boxes_stand_out_on_light_and_dark_palettes()
    {
        QFETCH(QPalette, palette);
        m_window->setPalette(palette);
        ShowActive();
        FillThreeRows();
        m_window->Commands().Tick(1, false);
        const QRect cell = List()->visualRect(List()->model()->index(1, 0));
        QStyleOptionViewItem item;
        item.initFrom(List());
        item.rect = cell;
        item.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        item.checkState = Qt::Unchecked;
        const QRect box = List()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, List());
        const QImage shown = List()->viewport()->grab().toImage();
        const QColor base = List()->palette().color(QPalette::Base);
        double best = 1;
        for (int x = box.left(); x <= box.right(); ++x)
            best = std::max(best, Contrast(shown.pixelColor(x, box.top()), base));
        QVERIFY2(best >= 3.0, qPrintable(QString::number(best)));

        const QImage face =
            Choose(1)->icon().pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        const QColor buttonFace = palette.color(QPalette::Button);
        double faceBest = 1;
        for (int x = 0; x < face.width(); ++x)
            for (int y = 0; y < face.height(); ++y)
                if (face.pixelColor(x, y).alpha() > 160)
                    faceBest = std::max(faceBest, Contrast(face.pixelColor(x, y), buttonFace));
        QVERIFY2(faceBest >= 3.0, qPrintable(QString::number(faceBest)));
    }

    void columns_arrive_in_twips()
    {
        FillThreeRows();
        QCOMPARE(List()->model()->columnCount(), 4);
        QCOMPARE(List()->model()->headerData(2, Qt::Horizontal), QVariant(QStringLiteral("Time")));
        QCOMPARE(List()->columnWidth(0), Px(4028));
        QCOMPARE(List()->columnWidth(1), Px(2685));
        QCOMPARE(List()->columnWidth(3), Px(1007));
        QCOMPARE(Cell(0, 2), QStringLiteral("01:01"));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
