#pragma once

#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::cli {

// JSON holds UTF-8 only, but paths, folders and names are bytes. A text that is not UTF-8 is
// written with each byte outside a valid sequence replaced by U+FFFD, and beside it, under its
// key with "Bytes" appended, the exact bytes: printable ASCII but "%" as it is, every other
// byte as %HH (upper-case hex), so any percent-decoder gives the bytes back.
std::string ReplaceInvalidUtf8(std::string_view text);
std::string PercentEncoded(std::string_view bytes);

// Writes JSON laid out exactly as nlohmann's dump(2) lays it out, one member at a time, so a
// list of any length never has to be held in memory as a whole. Output is buffered and passed
// on in large pieces; Finish (or the destructor) passes on the rest.
class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void BeginObject(std::string_view key = {});
    void EndObject();
    void BeginArray(std::string_view key = {});
    void EndArray();

    void Member(std::string_view key, std::int64_t value);
    void Member(std::string_view key, bool value);
    void Member(std::string_view key, double value);
    // A text, with the "Bytes" member after it when it is not UTF-8.
    void Member(std::string_view key, std::string_view text);
    void Member(std::string_view key, const char* text) { Member(key, std::string_view(text)); }
    void Member(std::string_view key, int value) { Member(key, static_cast<std::int64_t>(value)); }

    void Finish();

private:
    void Open(std::string_view key, char bracket);
    void Close(char bracket);
    void Key(std::string_view key);
    void Quoted(std::string_view utf8);
    void Escaped(std::string_view utf8);
    void Indent(std::size_t depth);

    // Room for n more bytes at the end of the buffer, which is passed on first when they would
    // not fit. Inline, so that the many short pieces of a member cost a copy each, not a call.
    char* Room(std::size_t n)
    {
        if (m_capacity - m_size < n) MakeRoom(n);
        return m_data.get() + m_size;
    }
    void MakeRoom(std::size_t n);
    void Put(std::string_view bytes)
    {
        std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
        m_size += bytes.size();
    }
    void Put(char c)
    {
        *Room(1) = c;
        ++m_size;
    }

    std::ostream& m_out;
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity;
    std::vector<bool> m_filled;  // per open object or array: it has a member already
};

}  // namespace vyr::cli
