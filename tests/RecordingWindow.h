#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "album/AlbumWindow.h"
#include "tests/AnswerQueue.h"

namespace vyr::test {

// A window that keeps the labels and the progress bar in memory and records what the commands
// asked of it. The list it would show is the state's (tests/ShownList.h reads it). Tests and
// fuzz targets answer its questions in advance and read back what happened.
class RecordingWindow : public album::AlbumWindow {
public:
    // What the commands left behind.
    int listShown = 0;  // how often the list was shown anew
    std::vector<std::pair<int, int>> itemsShown;  // each range of items shown again, in order
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

    // How it answers.
    std::deque<album::MessageAnswer> answers;  // answers to Yes/No questions, in order
    album::MessageAnswer defaultAnswer = album::MessageAnswer::No;  // once the queue is empty
    std::deque<std::string> folderAnswers;  // "" is a cancel; an empty queue cancels too
    bool openDocumentSucceeds = true;
    bool stopRequested = false;  // what Yield reports, once onYield has run
    std::function<void()> onYield;
    std::function<void()> onRepaint;

    void ListChanged() override { ++listShown; }
    void ItemsChanged(int first, int last) override { itemsShown.emplace_back(first, last); }

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
    void Repaint() override
    {
        ++repaints;
        if (onRepaint) onRepaint();
    }
    std::string BrowseForFolder(std::string_view startFolder, std::string_view) override
    {
        foldersAsked.emplace_back(startFolder);
        return TakeAnswer(folderAnswers);
    }
    bool OpenDocument(std::string_view path) override
    {
        documentsOpened.emplace_back(path);
        return openDocumentSucceeds;
    }
};

}  // namespace vyr::test
