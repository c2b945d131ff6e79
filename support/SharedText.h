#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace vyr::support {

// An immutable text that copies share. A header value carries over to every later track that
// has no line of its own, so one display text of a megabyte above 1,600 file names would cost
// 1.6 GB as 1,600 strings; as one SharedText it costs the megabyte, whatever the header holds.
class SharedText {
public:
    // Conversions both ways are implicit: the rows' readers take it where they took a string.
    SharedText() = default;
    SharedText(std::string text) : m_text(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text)))
    {
    }
    SharedText(std::string_view text) : SharedText(std::string(text)) {}
    SharedText(const char* text) : SharedText(std::string(text)) {}

    const std::string& str() const { return m_text ? *m_text : Empty(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }

    bool empty() const { return m_text == nullptr; }
    std::size_t size() const { return str().size(); }

    friend bool operator==(const SharedText& a, std::string_view b) { return a.str() == b; }
    friend std::ostream& operator<<(std::ostream& out, const SharedText& text) { return out << text.str(); }

private:
    static const std::string& Empty()
    {
        static const std::string empty;
        return empty;
    }

    std::shared_ptr<const std::string> m_text;  // null for the empty text
};

// Found by JSON writers through argument-dependent lookup: the text goes out as a string.
template <typename Json>
void to_json(Json& json, const SharedText& text)
{
    json = text.str();
}

}  // namespace vyr::support
