#include "album/MemoryWindow.h"

#include <stdexcept>

namespace vyr::album {

namespace {

ListItem& At(std::vector<ListItem>& items, int item)
{
    if (item < 0 || item >= static_cast<int>(items.size())) throw std::out_of_range("list item");
    return items[static_cast<std::size_t>(item)];
}

}  // namespace

bool MemoryWindow::AddItem(std::string_view key)
{
    // Like the list control: a key may stand once; an empty key is no key.
    if (!key.empty() && !m_keys.emplace(key).second) return false;
    items.push_back(ListItem{std::string(key), {}, {}, false});
    return true;
}

void MemoryWindow::SetItemText(int item, std::string_view text) { At(items, item).text = text; }

void MemoryWindow::SetItemCell(int item, std::string_view columnKey, std::string_view text)
{
    if (ColumnIndex(columnKey) < 0) throw std::invalid_argument("no column " + std::string(columnKey));
    At(items, item).cells[std::string(columnKey)] = text;
}

void MemoryWindow::SetTicked(int item, bool ticked) { At(items, item).ticked = ticked; }

bool MemoryWindow::IsTicked(int item) const
{
    return items.at(static_cast<std::size_t>(item)).ticked;
}

void MemoryWindow::AddColumn(std::string_view key, std::string_view caption, double width)
{
    columns.push_back(ListColumn{std::string(key), std::string(caption), width});
}

void MemoryWindow::SetProgressRange(int minimum, int maximum)
{
    progressMinimum = minimum;
    progressMaximum = maximum;
}

void MemoryWindow::SetProgressValue(int value)
{
    progressValue = value;
    progressValues.push_back(value);
}

MessageAnswer MemoryWindow::ShowMessage(const Message& message)
{
    messages.push_back(message);
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return defaultAnswer;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void MemoryWindow::Yield()
{
    ++yields;
    if (onYield) onYield();
}

std::string MemoryWindow::BrowseForFolder(std::string_view startFolder, std::string_view)
{
    foldersAsked.emplace_back(startFolder);
    if (folderAnswers.empty()) return {};
    std::string answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

void MemoryWindow::PressOpen()
{
    ++opensPressed;
    if (onOpenPressed) onOpenPressed();
}

bool MemoryWindow::OpenDocument(std::string_view path)
{
    documentsOpened.emplace_back(path);
    return openDocumentSucceeds;
}

int MemoryWindow::ColumnIndex(std::string_view key) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].key == key) return static_cast<int>(i);
    return -1;
}

std::string MemoryWindow::Cell(int item, std::string_view columnKey) const
{
    const ListItem& i = items.at(static_cast<std::size_t>(item));
    const auto it = i.cells.find(columnKey);
    return it == i.cells.end() ? std::string() : it->second;
}

}  // namespace vyr::album
