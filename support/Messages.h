#pragma once

#include <string>
#include <string_view>

// Every text the program shows, in one place, so the front ends and the tests use the same
// words. Lines of a message box are joined with CR LF.
namespace vyr::support::msg {

inline constexpr std::string_view kLineBreak = "\r\n";
inline constexpr std::string_view kAppTitle = "vyr Extract";
inline constexpr std::string_view kCaptionPrefix = "vyr Extract   version ";

// Loader.
inline constexpr std::string_view kZipFile =
    "This file is a \"Zip\" file NOT an vyr file\r\n"
    "Press OK to re-name to zip and open file in \"WinZip\".";
inline constexpr std::string_view kAlbumWrapFile =
    "This file is an ALBW \"Album Wrap\" file NOT an vyr file\r\n"
    "\r\n"
    "Press OK and the file will be scanned to attempt\r\n"
    "to recover tracks contained inside.\r\n"
    "\r\n"
    "This may not recover tracks properly so check results.";
// The open command's notice for "albw" names: the AlbumWrap text without its first two lines.
inline constexpr std::string_view kScanNotice =
    "Press OK and the file will be scanned to attempt\r\n"
    "to recover tracks contained inside.\r\n"
    "\r\n"
    "This may not recover tracks properly so check results.";
std::string NoHeader(std::string_view fileName);
inline constexpr std::string_view kScanningAlbumLabel = "Now Scanning file for parts";
inline constexpr std::string_view kScanningArtistLabel = "Please wait!";
std::string CannotRead(std::string_view path, std::string_view reason);
std::string AlbumRefused(std::string_view path, std::string_view reason);

// Recovery scanner.
inline constexpr std::string_view kCannotLocate = "Sorry cannot locate files to recover.";
inline constexpr std::string_view kCannotRecover = "Sorry cannot recover files.";

// Extract command.
inline constexpr std::string_view kOpenAlbumFirst = "Open and Album file first.";
inline constexpr std::string_view kSelectFolderTitle = "Select a Folder";
inline constexpr std::string_view kNoFreeSpaceTitle = "No Free Space";
inline constexpr std::string_view kNoFreeSpace =
    "No Free space detected, may be a CD-rom\r\n"
    "Cannot Create File\r\n"
    "Choose another target Drive";
inline constexpr std::string_view kLowDiskSpaceTitle = "Low Disk Space Warning";
inline constexpr std::string_view kLowDiskSpace =
    "Insufficient Disk Space!!\r\n"
    "Cannot Create File\r\n"
    "Choose another target Drive";
inline constexpr std::string_view kFailuresHeading = "These files were not written:";

// ZIP hand-off.
std::string RenameFailed(std::string_view from, std::string_view to, std::string_view reason);

// Start-up and window commands.
inline constexpr std::string_view kCommandLineErrorTitle = "Command line error";
std::string NotAValidFile(std::string_view commandLine);
inline constexpr std::string_view kOpenDialogTitle = "Open Album file";
inline constexpr std::string_view kOpenFilter =
    "Album (*.vyr;*.m3u;*.mp3;*.albw)|*.vyr;*.m3u;*.mp3;*.albw|(*.vyr)|*.vyr|(*.m3u)|*.m3u|"
    "(*.mp3)|*.mp3|Any file (*.*)|*.*";
std::string RenameRefused(std::string_view name);

// The window's hints (tooltips) and menu.
inline constexpr std::string_view kHintListView1 =
    "To modify filenames shown, select item with mouse then click on it again (or SHIFT+E) to Edit filename.";
inline constexpr std::string_view kListView1EmptyHint = "Open album file to load list";
inline constexpr std::string_view kHintOpenFile =
    "Open album file, files that already exist in the folder will be un-ticked in the list.";
inline constexpr std::string_view kHintSelectAll = "Select all files";
inline constexpr std::string_view kHintDeselectAll = "De-select all files";
inline constexpr std::string_view kHintChooseTarget = "Prompt for target folder to extract to (on/off)";
inline constexpr std::string_view kHintExtract =
    "Extract files \"ticked\" in list from Album (does not overwrite files that already exist)";
inline constexpr std::string_view kHintClose = "Close";
inline constexpr std::string_view kSiteHintPrefix = "Click HERE To go to ";
inline constexpr std::string_view kRecoverPreciselyMenu = "Recover tracks frame by frame";

// Extract command: why a row was not written, one line each under kFailuresHeading.
inline constexpr std::string_view kReasonBadRange = "the track's place in the album is invalid";
inline constexpr std::string_view kReasonPastEnd = "the track runs past the end of the album";
inline constexpr std::string_view kReasonBadName = "the name is not a plain file name";
inline constexpr std::string_view kReasonNameTooLong = "the name is longer than the file system takes";
inline constexpr std::string_view kReasonOpenAlbum = "cannot open the album";
inline constexpr std::string_view kReasonNotRegular = "the album is not a regular file";
inline constexpr std::string_view kReasonOpenFolder = "cannot open the target folder";
inline constexpr std::string_view kReasonTargetExists = "a file of that name exists";
inline constexpr std::string_view kReasonTargetAppeared = "a file of that name appeared during the copy";
inline constexpr std::string_view kReasonCreate = "cannot create a file in the target folder";
inline constexpr std::string_view kReasonRead = "cannot read the album";
inline constexpr std::string_view kReasonAlbumEnded = "the album ended before the track did";
inline constexpr std::string_view kReasonWrite = "cannot write the track";
inline constexpr std::string_view kReasonStopped = "the run was stopped";
inline constexpr std::string_view kReasonWrongLength = "the new file did not get all of the track's bytes";
inline constexpr std::string_view kReasonPublish = "cannot name the new file";
std::string DuplicateName(int earlierRow);  // rows counted from 1, as the user sees them
std::string FailureLine(std::string_view fileName, std::string_view reason);

}  // namespace vyr::support::msg
