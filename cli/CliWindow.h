#pragma once

#include <iosfwd>
#include <memory_resource>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "album/AlbumWindow.h"

namespace vyr::cli {

// The terminal's window. It keeps of the list only what the commands read back (the items'
// keys and ticks), shows message boxes on standard error as text, answers a Yes/No question as
// the command line chose, and draws the progress bar only while a terminal watches. Memory
// stays flat however often a scan sets the progress.
class CliWindow final : public album::AlbumWindow {
public:
    CliWindow(std::ostream& err, bool answerYes, std::string groupSeparator);

    // Draws the progress bar on standard error; only worth it while a terminal watches.
    void ShowProgress(bool show) { m_showProgress = show; }

    int ItemCount() const override { return static_cast<int>(m_ticked.size()); }
    void RemoveAllItems() override;
    bool AddItem(std::string_view key) override;
    void SetItemText(int, std::string_view) override {}
    void SetItemCell(int, std::string_view, std::string_view) override {}
    void EnsureVisible(int) override {}
    void SetTicked(int item, bool ticked) override;
    bool IsTicked(int item) const override;

    void RemoveAllColumns() override {}
    double ListWidth() const override { return kListWidth; }
    void AddColumn(std::string_view, std::string_view, double) override {}
    std::string GroupSeparator() const override { return m_groupSeparator; }

    void SetAlbumLabel(std::string_view) override {}
    void SetArtistLabel(std::string_view) override {}

    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressValue(int value) override;

    album::MessageAnswer ShowMessage(const album::Message& message) override;
    bool Yield() override { return true; }
    void Repaint() override {}
    std::string BrowseForFolder(std::string_view, std::string_view) override { return {}; }
    bool ChooseTargetFolder() const override { return false; }
    bool OpenDocument(std::string_view) override { return false; }

private:
    void StartKeys();

    static constexpr double kListWidth = 8055;  // ListView1's width in twips

    std::ostream& m_err;
    bool m_answerYes;
    std::string m_groupSeparator;
    bool m_showProgress = false;
    std::vector<bool> m_ticked;
    // The keys of a long list are many small strings made once and dropped together: one arena
    // holds them all, so neither their making nor their end costs a call to the allocator each.
    std::pmr::monotonic_buffer_resource m_keyArena;
    std::optional<std::pmr::unordered_set<std::pmr::string>> m_keys;
    int m_progressMinimum = 0;
    int m_progressMaximum = 100;
    int m_progressDrawn = -1;  // the value last drawn, so a scan's many equal values draw once
};

}  // namespace vyr::cli
