#pragma once

#include <QUrl>

#include <deque>
#include <string>
#include <vector>

#include "app/Shell.h"
#include "tests/AnswerQueue.h"

namespace vyr::test {

// A desktop whose dialogs were answered before the test ran: nothing modal ever opens, every
// question is recorded for the test to read back.
class ScriptedShell : public app::Shell {
public:
    struct OpenCall {
        std::string filter;
        std::string title;
        std::string initialFolder;
    };

    std::deque<std::string> openAnswers;  // an empty queue cancels
    std::deque<std::string> folderAnswers;
    std::deque<album::MessageAnswer> messageAnswers;  // for Yes/No; an empty queue says No
    std::string specFolder;

    std::vector<OpenCall> openCalls;
    std::vector<album::Message> messages;
    std::vector<QUrl> urls;

    std::string ShowOpenDialog(QWidget*, std::string_view filter, std::string_view title,
                               std::string_view initialFolder) override
    {
        openCalls.push_back({std::string(filter), std::string(title), std::string(initialFolder)});
        return TakeAnswer(openAnswers);
    }
    std::string BrowseForFolder(std::string_view, QWidget*, std::string_view) override
    {
        return TakeAnswer(folderAnswers);
    }
    std::string GetSpecFolder(QWidget*) override { return specFolder; }
    album::MessageAnswer ShowMessage(QWidget*, const album::Message& message) override
    {
        messages.push_back(message);
        if (message.buttons == album::MessageButtons::Ok) return album::MessageAnswer::Ok;
        return TakeAnswer(messageAnswers, album::MessageAnswer::No);
    }
    bool OpenUrl(const QUrl& url) override
    {
        urls.push_back(url);
        return true;
    }
};

}  // namespace vyr::test
