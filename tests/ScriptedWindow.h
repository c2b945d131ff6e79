#pragma once

#include <deque>
#include <string>
#include <vector>

#include "commands/CommandWindow.h"
#include "tests/RecordingWindow.h"

namespace vyr::test {

// A window for the window commands, without any toolkit: the recording window, plus dialogs
// answered in advance, a selection the test sets, and a record of what the commands asked.
class ScriptedWindow : public RecordingWindow, public commands::CommandWindow {
public:
    struct OpenCall {
        std::string filter;
        std::string title;
        std::string initialFolder;
    };

    // How it answers.
    std::string documentsFolder;
    std::deque<std::string> openAnswers;  // an empty queue cancels
    bool chooseTargetFolder = false;
    int selectedItem = -1;

    // What the commands asked of it.
    std::string caption;
    bool shown = false;
    int yieldsBeforeShown = 0;
    std::vector<OpenCall> openCalls;
    std::vector<int> edited;  // each item StartEditing was asked for
    std::vector<bool> enabled;  // each EnableCommands, in order
    std::vector<std::string> webAddresses;
    bool closed = false;

    // AlbumWindow: the recording window's.
    void ListChanged() override { RecordingWindow::ListChanged(); }
    void ItemsChanged(int first, int last) override { RecordingWindow::ItemsChanged(first, last); }
    void SetAlbumLabel(std::string_view text) override { RecordingWindow::SetAlbumLabel(text); }
    void SetArtistLabel(std::string_view text) override { RecordingWindow::SetArtistLabel(text); }
    void SetProgressRange(int minimum, int maximum) override { RecordingWindow::SetProgressRange(minimum, maximum); }
    void SetProgressValue(int value) override { RecordingWindow::SetProgressValue(value); }
    album::MessageAnswer ShowMessage(const album::Message& message) override
    {
        return RecordingWindow::ShowMessage(message);
    }
    bool Yield() override
    {
        if (!shown) ++yieldsBeforeShown;
        return RecordingWindow::Yield();
    }
    void Repaint() override { RecordingWindow::Repaint(); }
    std::string BrowseForFolder(std::string_view startFolder, std::string_view title) override
    {
        return RecordingWindow::BrowseForFolder(startFolder, title);
    }
    bool OpenDocument(std::string_view path) override { return RecordingWindow::OpenDocument(path); }

    // CommandWindow.
    void SetCaption(std::string_view text) override { caption = text; }
    void ShowWindow() override { shown = true; }
    std::string DocumentsFolder() override { return documentsFolder; }
    std::string ShowOpenDialog(std::string_view filter, std::string_view title, std::string_view initialFolder) override
    {
        openCalls.push_back({std::string(filter), std::string(title), std::string(initialFolder)});
        return TakeAnswer(openAnswers);
    }
    bool ChooseTargetFolder() const override { return chooseTargetFolder; }
    int SelectedItem() const override { return selectedItem; }
    void StartEditing(int item) override { edited.push_back(item); }
    void EnableCommands(bool on) override { enabled.push_back(on); }
    void OpenWebAddress(std::string_view address) override { webAddresses.emplace_back(address); }
    void CloseWindow() override { closed = true; }
};

}  // namespace vyr::test
