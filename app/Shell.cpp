#include "app/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include "app/QtText.h"
#include "support/Messages.h"
#include "support/ShellDialogText.h"

namespace vyr::app {

std::string DesktopShell::ShowOpenDialog(QWidget* owner, std::string_view filter, std::string_view title,
                                         std::string_view initialFolder)
{
    QStringList filters;
    for (const std::string& f : support::NameFilters(filter)) filters << ToQString(f);
    QString selected = filters.value(0);
    const QString chosen = QFileDialog::getOpenFileName(owner, ToQString(title), ToQString(initialFolder),
                                                        filters.join(QStringLiteral(";;")), &selected);
    return ToUtf8(chosen);
}

std::string DesktopShell::BrowseForFolder(std::string_view startFolder, QWidget* owner, std::string_view title)
{
    const QString start = ToQString(support::BrowseStartFolder(startFolder));
    const QString chosen = QFileDialog::getExistingDirectory(owner, ToQString(title), start, QFileDialog::ShowDirsOnly);
    // Only a folder on disk can take the tracks; anything else counts as no choice.
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) return {};
    return ToUtf8(QDir::toNativeSeparators(chosen));
}

std::string DesktopShell::GetSpecFolder(QWidget*)
{
    // A documents folder that is not on disk is no folder: start-up then leaves the target empty
    // and the first open dialog starts wherever the desktop starts it.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return ToUtf8(QDir::cleanPath(folder));
    return {};
}

album::MessageAnswer DesktopShell::ShowMessage(QWidget* owner, const album::Message& message)
{
    QMessageBox box(owner);
    switch (message.icon) {
    case album::MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case album::MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case album::MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setWindowTitle(ToQString(message.title.empty() ? support::msg::kAppTitle : message.title));
    box.setText(ToQString(message.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (message.buttons == album::MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? album::MessageAnswer::Yes : album::MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return album::MessageAnswer::Ok;
}

bool DesktopShell::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace vyr::app
