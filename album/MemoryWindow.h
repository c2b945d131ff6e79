#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "album/AlbumWindow.h"

namespace vyr::album {

struct ListItem {
    std::string key;
    std::string text;
    std::map<std::string, std::string, std::less<>> cells;  // by column key
    bool ticked = false;
};

struct ListColumn {
    std::string key;
    std::string caption;
    double width = 0;
};

// A window that keeps the list, the labels and the progress bar in memory and records what the
// commands asked of it. The CLI shows its messages on standard error; tests and fuzz targets
// answer its questions in advance and read back what happened.
class MemoryWindow : public AlbumWindow {
public:
    // What the commands left behind.
    std::vector<ListItem> items;
    std::vector<ListColumn> columns;
    std::string albumLabel;
    std::string artistLabel;
    int progressMinimum = 0;
    int progressMaximum = 100;
    int progressValue = 0;
    std::vector<int> progressValues;  // every value set, in order
    std::vector<Message> messages;  // every message shown, in order
    int yields = 0;
    int repaints = 0;
    int opensPressed = 0;
    std::vector<std::string> documentsOpened;
    std::vector<std::string> foldersAsked;  // start folder of each BrowseForFolder
    std::vector<bool> busyChanges;

    // How it answers.
    double listWidth = 8055;  // ListView1's width in twips
    std::deque<MessageAnswer> answers;  // answers to Yes/No questions, in order
    MessageAnswer defaultAnswer = MessageAnswer::No;  // once the queue is empty
    std::deque<std::string> folderAnswers;  // "" is a cancel; an empty queue cancels too
    bool chooseTargetFolder = false;
    bool openDocumentSucceeds = true;
    bool stopRequested = false;
    std::function<void()> onOpenPressed;
    std::function<void()> onYield;

    int ItemCount() const override { return static_cast<int>(items.size()); }
    void RemoveAllItems() override
    {
        items.clear();
        m_keys.clear();
    }
    bool AddItem(std::string_view key) override;
    void SetItemText(int item, std::string_view text) override;
    void SetItemCell(int item, std::string_view columnKey, std::string_view text) override;
    void EnsureVisible(int item) override { lastVisible = item; }
    void SetTicked(int item, bool ticked) override;
    bool IsTicked(int item) const override;

    void RemoveAllColumns() override { columns.clear(); }
    double ListWidth() const override { return listWidth; }
    void AddColumn(std::string_view key, std::string_view caption, double width) override;

    void SetAlbumLabel(std::string_view text) override { albumLabel = text; }
    void SetArtistLabel(std::string_view text) override { artistLabel = text; }

    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;

    MessageAnswer ShowMessage(const Message& message) override;
    void Yield() override;
    void Repaint() override { ++repaints; }
    std::string BrowseForFolder(std::string_view startFolder, std::string_view title) override;
    bool ChooseTargetFolder() const override { return chooseTargetFolder; }
    void PressOpen() override;
    bool OpenDocument(std::string_view path) override;
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }
    bool StopRequested() const override { return stopRequested; }

    int lastVisible = -1;

    // A column's index by key, or -1.
    int ColumnIndex(std::string_view key) const;
    std::string Cell(int item, std::string_view columnKey) const;

private:
    std::set<std::string, std::less<>> m_keys;  // so a 32,767-row album is not added in n² steps
};

}  // namespace vyr::album
