#pragma once

#include <deque>
#include <string>
#include <vector>

#include "tests/AnswerQueue.h"
#include "win32/ShellServices.h"

namespace vyr::test {

// A shell whose dialogs were answered before the test ran: nothing modal ever opens, every
// question is recorded for the test to read back.
class ScriptedShell : public win32::ShellServices {
public:
    struct OpenCall {
        std::string filter;
        std::string title;
        std::string initialFolder;
    };
    struct BrowseCall {
        std::string startFolder;
        std::string title;
    };

    std::deque<std::string> openAnswers;  // an empty queue cancels
    std::deque<std::string> folderAnswers;
    std::deque<album::MessageAnswer> messageAnswers;  // for Yes/No; an empty queue says No
    std::string documentsFolder;

    std::vector<OpenCall> openCalls;
    std::vector<BrowseCall> browseCalls;
    std::vector<album::Message> messages;
    std::vector<std::string> opened;  // documents and addresses handed to the shell
    std::vector<HWND> owners;  // the owner window of each dialog and message box

    std::string ShowOpenDialog(HWND owner, std::string_view filter, std::string_view title,
                               std::string_view initialFolder) override
    {
        owners.push_back(owner);
        openCalls.push_back({std::string(filter), std::string(title), std::string(initialFolder)});
        return TakeAnswer(openAnswers);
    }
    std::string BrowseForFolder(HWND owner, std::string_view startFolder, std::string_view title) override
    {
        owners.push_back(owner);
        browseCalls.push_back({std::string(startFolder), std::string(title)});
        return TakeAnswer(folderAnswers);
    }
    std::string DocumentsFolder() override { return documentsFolder; }
    album::MessageAnswer ShowMessage(HWND owner, const album::Message& message) override
    {
        owners.push_back(owner);
        messages.push_back(message);
        if (message.buttons == album::MessageButtons::Ok) return album::MessageAnswer::Ok;
        return TakeAnswer(messageAnswers, album::MessageAnswer::No);
    }
    bool Open(HWND, std::string_view target) override
    {
        opened.emplace_back(target);
        return true;
    }
};

}  // namespace vyr::test
