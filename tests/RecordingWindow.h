#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "album/AlbumWindow.h"
#include "tests/AnswerQueue.h"

namespace vyr::test {

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
// commands asked of it. Tests and fuzz targets answer its questions in advance and read back
// what happened.
class RecordingWindow : public album::AlbumWindow {
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
    std::vector<album::Message> messages;  // every message shown, in order
    int yields = 0;
    int repaints = 0;
    std::vector<std::string> documentsOpened;
    std::vector<std::string> foldersAsked;  // start folder of each BrowseForFolder
    int lastVisible = -1;

    // How it answers.
    double listWidth = 8055;  // ListView1's width in twips
    std::string groupSeparator = ",";
    std::deque<album::MessageAnswer> answers;  // answers to Yes/No questions, in order
    album::MessageAnswer defaultAnswer = album::MessageAnswer::No;  // once the queue is empty
    std::deque<std::string> folderAnswers;  // "" is a cancel; an empty queue cancels too
    bool chooseTargetFolder = false;
    bool openDocumentSucceeds = true;
    bool stopRequested = false;  // what Yield reports, once onYield has run
    std::function<void()> onYield;

    int ItemCount() const override { return static_cast<int>(items.size()); }
    void RemoveAllItems() override
    {
        items.clear();
        m_keys.clear();
    }
    bool AddItem(std::string_view key) override
    {
        // Like the list control: a key may stand once; an empty key is no key.
        if (!key.empty() && !m_keys.emplace(key).second) return false;
        items.push_back(ListItem{std::string(key), {}, {}, false});
        return true;
    }
    void SetItemText(int item, std::string_view text) override { At(item).text = text; }
    void SetItemCell(int item, std::string_view columnKey, std::string_view text) override
    {
        if (ColumnIndex(columnKey) < 0) throw std::invalid_argument("no column " + std::string(columnKey));
        At(item).cells[std::string(columnKey)] = text;
    }
    void EnsureVisible(int item) override { lastVisible = item; }
    void SetTicked(int item, bool ticked) override { At(item).ticked = ticked; }
    bool IsTicked(int item) const override { return items.at(static_cast<std::size_t>(item)).ticked; }

    void RemoveAllColumns() override { columns.clear(); }
    double ListWidth() const override { return listWidth; }
    void AddColumn(std::string_view key, std::string_view caption, double width) override
    {
        columns.push_back(ListColumn{std::string(key), std::string(caption), width});
    }
    std::string GroupSeparator() const override { return groupSeparator; }

    void SetAlbumLabel(std::string_view text) override { albumLabel = text; }
    void SetArtistLabel(std::string_view text) override { artistLabel = text; }

    void SetProgressRange(int minimum, int maximum) override
    {
        progressMinimum = minimum;
        progressMaximum = maximum;
    }
    void SetProgressValue(int value) override
    {
        progressValue = value;
        progressValues.push_back(value);
    }

    album::MessageAnswer ShowMessage(const album::Message& message) override
    {
        messages.push_back(message);
        if (message.buttons == album::MessageButtons::Ok) return album::MessageAnswer::Ok;
        return TakeAnswer(answers, defaultAnswer);
    }
    bool Yield() override
    {
        ++yields;
        if (onYield) onYield();
        return !stopRequested;
    }
    void Repaint() override { ++repaints; }
    std::string BrowseForFolder(std::string_view startFolder, std::string_view) override
    {
        foldersAsked.emplace_back(startFolder);
        return TakeAnswer(folderAnswers);
    }
    bool ChooseTargetFolder() const override { return chooseTargetFolder; }
    bool OpenDocument(std::string_view path) override
    {
        documentsOpened.emplace_back(path);
        return openDocumentSucceeds;
    }

    // A column's index by key, or -1.
    int ColumnIndex(std::string_view key) const
    {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i].key == key) return static_cast<int>(i);
        return -1;
    }
    std::string Cell(int item, std::string_view columnKey) const
    {
        const ListItem& i = items.at(static_cast<std::size_t>(item));
        const auto it = i.cells.find(columnKey);
        return it == i.cells.end() ? std::string() : it->second;
    }

private:
    ListItem& At(int item)
    {
        if (item < 0 || item >= static_cast<int>(items.size())) throw std::out_of_range("list item");
        return items[static_cast<std::size_t>(item)];
    }

    std::set<std::string, std::less<>> m_keys;  // so a 32,767-row album is not added in n² steps
};

}  // namespace vyr::test
