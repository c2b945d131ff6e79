#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>

#include "recovery/ApeTag.h"
#include "recovery/Id3v1Tag.h"
#include "recovery/Id3v2Tag.h"
#include "recovery/Lyrics3Tag.h"
#include "recovery/Mp3WrapIndex.h"
#include "recovery/MpegHeader.h"
#include "recovery/VbrHeader.h"
#include "tests/TestFiles.h"

// The on-disk structures the precise walk reads, each from a bounded span of bytes.
namespace vyr::recovery {
namespace {

std::span<const unsigned char> Bytes(const std::string& text)
{
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

std::string Raw(std::initializer_list<int> bytes)
{
    std::string out;
    for (const int b : bytes) out += static_cast<char>(b);
    return out;
}

TEST(recovery_structures, mpeg_header_fields_and_frame_length)
{
    using V = MpegHeader::Version;
    const struct {
        const char* name;
        std::string bytes;
        V version;
        int layer;
        bool crc;
        int kbps;
        int sampleRate;
        int frameBytes;
    } cases[] = {
        {"MPEG-1 Layer III 128 kbit/s 44.1 kHz", Raw({0xFF, 0xFB, 0x90, 0x64}), V::Mpeg1, 3, false, 128, 44100, 417},
        {"the padding byte", Raw({0xFF, 0xFB, 0x92, 0x64}), V::Mpeg1, 3, false, 128, 44100, 418},
        {"CRC-protected", Raw({0xFF, 0xFA, 0x90, 0x64}), V::Mpeg1, 3, true, 128, 44100, 417},
        {"MPEG-2 Layer III: half the samples per frame", Raw({0xFF, 0xF3, 0x80, 0x64}), V::Mpeg2, 3, false, 64, 22050,
         208},
        {"MPEG-2.5 Layer III", Raw({0xFF, 0xE3, 0x40, 0x64}), V::Mpeg25, 3, false, 32, 11025, 208},
        {"MPEG-1 Layer II", Raw({0xFF, 0xFD, 0x90, 0x04}), V::Mpeg1, 2, false, 160, 44100, 522},
        {"MPEG-2 Layer II keeps 144 samples a byte", Raw({0xFF, 0xF5, 0x80, 0x04}), V::Mpeg2, 2, false, 64, 22050, 417},
        {"MPEG-1 Layer I counts four-byte slots", Raw({0xFF, 0xFF, 0x92, 0x00}), V::Mpeg1, 1, false, 288, 44100, 316},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto h = MpegHeader::Parse(Bytes(c.bytes));
        ASSERT_TRUE(h);
        EXPECT_EQ(c.version, h->version);
        EXPECT_EQ(c.layer, h->layer);
        EXPECT_EQ(c.crc, h->crc);
        EXPECT_EQ(c.kbps, h->bitRateKbps);
        EXPECT_EQ(c.sampleRate, h->sampleRate);
        EXPECT_EQ(c.frameBytes, h->frameBytes);
    }
}

TEST(recovery_structures, mpeg_header_refuses_free_format_and_reserved_values)
{
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"free format", Raw({0xFF, 0xFB, 0x00, 0x64})},
        {"bit-rate index 15", Raw({0xFF, 0xFB, 0xF0, 0x64})},
        {"reserved sample rate", Raw({0xFF, 0xFB, 0x9C, 0x64})},
        {"reserved version", Raw({0xFF, 0xEB, 0x90, 0x64})},
        {"reserved layer", Raw({0xFF, 0xF9, 0x90, 0x64})},
        {"reserved emphasis", Raw({0xFF, 0xFB, 0x90, 0x66})},
        {"no sync", Raw({0xFF, 0x1B, 0x90, 0x64})},
        {"three bytes only", Raw({0xFF, 0xFB, 0x90})},
    };
    for (const auto& c : cases) EXPECT_FALSE(MpegHeader::Parse(Bytes(c.bytes))) << c.name;
}

TEST(recovery_structures, mpeg_stream_identity)
{
    const auto joint = *MpegHeader::Parse(Bytes(Raw({0xFF, 0xFB, 0x90, 0x64})));
    const auto stereo = *MpegHeader::Parse(Bytes(Raw({0xFF, 0xFB, 0x50, 0x04})));
    const auto mono = *MpegHeader::Parse(Bytes(Raw({0xFF, 0xFB, 0x90, 0xC4})));
    const auto at48k = *MpegHeader::Parse(Bytes(Raw({0xFF, 0xFB, 0x94, 0x64})));
    EXPECT_TRUE(joint.SameStream(stereo));  // bit rate and stereo mode vary inside a stream
    EXPECT_FALSE(joint.SameStream(mono));
    EXPECT_FALSE(joint.SameStream(at48k));
}

// A frame of the header's length with text at an offset.
std::string FrameWith(const std::string& header, std::size_t at, const std::string& text)
{
    const auto h = MpegHeader::Parse(Bytes(header));
    std::string frame = header + std::string(static_cast<std::size_t>(h->frameBytes) - 4, '\0');
    frame.replace(at, text.size(), text);
    return frame;
}

TEST(recovery_structures, vbr_header_behind_the_side_information)
{
    const std::string counts = Raw({0, 0, 0, 3, 0, 0, 0, 116, 0, 0, 0x33, 0xB6});  // frames and bytes
    const struct {
        const char* name;
        std::string header;
        std::size_t at;
        std::string text;
        std::optional<VbrHeader::Kind> kind;
    } cases[] = {
        {"MPEG-1 stereo Xing", Raw({0xFF, 0xFB, 0x90, 0x64}), 36, "Xing" + counts, VbrHeader::Kind::Xing},
        {"MPEG-1 mono Info", Raw({0xFF, 0xFB, 0x90, 0xC4}), 21, "Info" + counts, VbrHeader::Kind::Info},
        {"MPEG-2 stereo", Raw({0xFF, 0xF3, 0x80, 0x64}), 21, "Info" + counts, VbrHeader::Kind::Info},
        {"MPEG-2 mono", Raw({0xFF, 0xF3, 0x80, 0xC4}), 13, "Xing" + counts, VbrHeader::Kind::Xing},
        {"CRC, after the CRC bytes", Raw({0xFF, 0xFA, 0x90, 0x64}), 38, "Info" + counts, VbrHeader::Kind::Info},
        {"CRC, where lame writes it", Raw({0xFF, 0xFA, 0x90, 0x64}), 36, "Info" + counts, VbrHeader::Kind::Info},
        {"Xing in the wrong place", Raw({0xFF, 0xFB, 0x90, 0x64}), 21, "Xing" + counts, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto header = *MpegHeader::Parse(Bytes(c.header));
        const std::string frame = FrameWith(c.header, c.at, c.text);
        const auto vbr = VbrHeader::Parse(header, Bytes(frame));
        ASSERT_EQ(c.kind.has_value(), vbr.has_value());
        if (!vbr) continue;
        EXPECT_EQ(*c.kind, vbr->kind);
        EXPECT_EQ(116u, vbr->frames);
        EXPECT_EQ(0x33B6u, vbr->bytes);
    }
}

TEST(recovery_structures, vbri_header_counts)
{
    const std::string header = Raw({0xFF, 0xFB, 0x90, 0x64});
    const std::string vbri = "VBRI" + Raw({0, 1, 0, 0, 0, 75, 0, 1, 0x86, 0xA0, 0, 0, 1, 0x2C});
    const auto vbr = VbrHeader::Parse(*MpegHeader::Parse(Bytes(header)), Bytes(FrameWith(header, 36, vbri)));
    ASSERT_TRUE(vbr);
    EXPECT_EQ(VbrHeader::Kind::Vbri, vbr->kind);
    EXPECT_EQ(100'000u, vbr->bytes);
    EXPECT_EQ(300u, vbr->frames);
}

std::string Id3v2(int major, int flags, const std::string& body)
{
    const auto size = body.size();
    return "ID3" +
           Raw({major, 0, flags, static_cast<int>((size >> 21) & 0x7F), static_cast<int>((size >> 14) & 0x7F),
                static_cast<int>((size >> 7) & 0x7F), static_cast<int>(size & 0x7F)}) +
           body;
}

std::string Frame(int major, const std::string& id, const std::string& body, int formatFlags = 0)
{
    const auto n = body.size();
    if (major == 2)
        return id + Raw({static_cast<int>(n >> 16), static_cast<int>((n >> 8) & 0xFF), static_cast<int>(n & 0xFF)}) +
               body;
    if (major == 4)
        return id +
               Raw({static_cast<int>((n >> 21) & 0x7F), static_cast<int>((n >> 14) & 0x7F),
                    static_cast<int>((n >> 7) & 0x7F), static_cast<int>(n & 0x7F), 0, formatFlags}) +
               body;
    return id +
           Raw({static_cast<int>(n >> 24), static_cast<int>((n >> 16) & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                static_cast<int>(n & 0xFF), 0, 0}) +
           body;
}

std::string Unsynchronised(const std::string& bytes)
{
    std::string out;
    for (const char ch : bytes) {
        out += ch;
        if (ch == '\xFF') out += '\0';
    }
    return out;
}

TEST(recovery_structures, id3v2_size_and_footer)
{
    const auto v23 = Id3v2Tag::Parse(Bytes("ID3" + Raw({3, 0, 0, 0, 0, 3, 0x42})));
    ASSERT_TRUE(v23);
    EXPECT_EQ(10 + 450, v23->TotalBytes());  // synchsafe: 3 * 128 + 0x42
    const auto footer = Id3v2Tag::Parse(Bytes("ID3" + Raw({4, 0, 0x10, 0, 0, 1, 0})));
    ASSERT_TRUE(footer);
    EXPECT_EQ(10 + 128 + 10, footer->TotalBytes());
    EXPECT_FALSE(Id3v2Tag::Parse(Bytes("ID3" + Raw({3, 0, 0, 0, 0, 0x80, 0}))));  // not synchsafe
    EXPECT_FALSE(Id3v2Tag::Parse(Bytes("ID3" + Raw({5, 0, 0, 0, 0, 0, 0}))));
    EXPECT_FALSE(Id3v2Tag::Parse(Bytes("ID3" + Raw({3, 0xFF, 0, 0, 0, 0, 0}))));
    EXPECT_FALSE(Id3v2Tag::Parse(Bytes("ID3" + Raw({3, 0, 0, 0, 0}))));  // cut short
}

TEST(recovery_structures, id3v2_title_and_track_in_every_version)
{
    const std::string utf16Title = Raw({1, 0xFF, 0xFE}) + Raw({'C', 0, 0xE9, 0, 0, 0});  // "Cé", little-endian
    const struct {
        const char* name;
        std::string tag;
        std::string title;
        std::string track;
    } cases[] = {
        {"2.2 TT2 and TRK", Id3v2(2, 0, Frame(2, "TT2", Raw({0}) + "Old") + Frame(2, "TRK", Raw({0}) + "7")), "Old",
         "7"},
        {"2.3 UTF-16 with a BOM", Id3v2(3, 0, Frame(3, "TIT2", utf16Title) + Frame(3, "TRCK", Raw({0}) + "3/12")),
         "C\xC3\xA9", "3/12"},
        {"2.4 UTF-8 after a cover",
         Id3v2(4, 0, Frame(4, "APIC", std::string(300, '\xFF')) + Frame(4, "TIT2", Raw({3}) + "Fin\xC3\xA9")),
         "Fin\xC3\xA9", ""},
        // Unsynchronised 2.3: every FF is followed by a 00 that is not part of the text, and the
        // frame's size counts the text without it.
        {"2.3 unsynchronised", Id3v2(3, 0x80, Unsynchronised(Frame(3, "TIT2", Raw({0, 'A', 0xFF, 'B'})))),
         "A\xC3\xBF"
         "B",
         ""},
        {"2.4 frame with a data-length field",
         Id3v2(4, 0, Frame(4, "TIT2", Raw({0, 0, 0, 4}) + Raw({3}) + "Len", 0x01)), "Len", ""},
        {"2.3 extended header skipped",
         Id3v2(3, 0x40, Raw({0, 0, 0, 6, 0, 0, 0, 0, 0, 0}) + Frame(3, "TIT2", Raw({0}) + "Ext")), "Ext", ""},
        {"a frame size past the tag ends the frames", Id3v2(3, 0, Frame(3, "TIT2", Raw({0}) + "Cut").substr(0, 12)), "",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto tag = Id3v2Tag::Parse(Bytes(c.tag));
        ASSERT_TRUE(tag);
        const TagNames names = tag->Names(Bytes(c.tag));
        EXPECT_EQ(c.title, names.title);
        EXPECT_EQ(c.track, names.track);
    }
}

TEST(recovery_structures, id3v2_names_are_cut_to_what_a_file_name_holds)
{
    // 250 KiB of "é", two bytes each in UTF-8: a track keeps no more of it than a name can hold,
    // cut at a character's end.
    std::string title;
    for (std::size_t i = 0; i < (std::size_t{125} << 10); ++i) title += "\xC3\xA9";
    const std::string tag = Id3v2(4, 0, Frame(4, "TIT2", Raw({3}) + title) + Frame(4, "TRCK", Raw({3}) + "4"));
    const auto parsed = Id3v2Tag::Parse(Bytes(tag));
    ASSERT_TRUE(parsed);
    const std::string cut = title.substr(0, TagNames::kMaxBytes - 1);
    EXPECT_EQ(cut, parsed->Names(Bytes(tag)).title);
    // Read only as far as the walk reads a tag: the title still comes from what was read, though
    // the frames behind it are not reached.
    const TagNames head = parsed->Names(Bytes(tag).first(4096));
    EXPECT_EQ(cut, head.title);
    EXPECT_EQ("", head.track);
}

TEST(recovery_structures, id3v1_takes_latin1_text_and_the_v11_track)
{
    std::string tag = "TAG" + std::string("Caf\xE9 \xD6l") + std::string(23, '\0') + std::string(94, ' ');
    tag[125] = '\0';
    tag[126] = 11;
    tag.resize(128, '\0');
    const auto v1 = Id3v1Tag::Parse(Bytes(tag));
    ASSERT_TRUE(v1);
    EXPECT_EQ("Caf\xC3\xA9 \xC3\x96l", v1->names.title);
    EXPECT_EQ("11", v1->names.track);
    EXPECT_FALSE(Id3v1Tag::Parse(Bytes(tag.substr(0, 127))));

    const std::string enhanced = "TAG+" + std::string(223, 'x') + tag;
    EXPECT_TRUE(Id3v1Tag::IsEnhanced(Bytes(enhanced)));
    EXPECT_FALSE(Id3v1Tag::Parse(Bytes(enhanced)));
    EXPECT_FALSE(Id3v1Tag::IsEnhanced(Bytes(tag)));
}

TEST(recovery_structures, ape_tag_size_with_and_without_header)
{
    const auto ape = [](int version, int size, unsigned flags) {
        return "APETAGEX" +
               Raw({version & 0xFF, version >> 8, 0, 0, size & 0xFF, size >> 8, 0, 0, 1, 0, 0, 0,
                    static_cast<int>(flags & 0xFF), 0, 0, static_cast<int>(flags >> 24)}) +
               std::string(8, '\0');
    };
    const auto header = ApeTag::Parse(Bytes(ape(2000, 100, 0xA0000000u)));
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->IsHeader());
    EXPECT_EQ(132, header->TotalBytes());
    const auto v1Footer = ApeTag::Parse(Bytes(ape(1000, 100, 0)));
    ASSERT_TRUE(v1Footer);
    EXPECT_FALSE(v1Footer->IsHeader());
    EXPECT_EQ(100, v1Footer->TotalBytes());
    EXPECT_FALSE(ApeTag::Parse(Bytes(ape(3000, 100, 0))));
    EXPECT_FALSE(ApeTag::Parse(Bytes(ape(2000, 31, 0))));  // smaller than its own footer
}

TEST(recovery_structures, lyrics3_blocks_of_both_versions)
{
    const std::string v2Body = "LYRICSBEGIN" + std::string("IND00002") + "10" + "LYR00005" + "hello";
    const struct {
        const char* name;
        std::string bytes;
        std::optional<std::int64_t> total;
    } cases[] = {
        {"version 2", v2Body + "000034LYRICS200TAG", v2Body.size() + 15},
        {"version 2 with a wrong size", v2Body + "000033LYRICS200TAG", std::nullopt},
        {"version 1", "LYRICSBEGINsome words LYRICSENDTAG", 31},
        {"version 1 without its end", "LYRICSBEGIN" + std::string(6000, 'a') + "LYRICSEND", std::nullopt},
        {"no block", "LYRICS200", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto tag = Lyrics3Tag::Parse(Bytes(c.bytes));
        ASSERT_EQ(c.total.has_value(), tag.has_value());
        if (tag) {
            EXPECT_EQ(*c.total, tag->totalBytes);
        }
    }
}

TEST(recovery_structures, mp3wrap_index_of_the_real_wrapper)
{
    const std::string wrapped = test::ReadFile(std::string(VYR_SOURCE_DIR) + "/tests/data/mp3/wrapped_MP3WRAP.mp3");
    ASSERT_GT(wrapped.size(), 600u);
    const auto length = static_cast<std::int64_t>(wrapped.size());
    const std::string index = wrapped.substr(460);  // behind mp3wrap's own 460-byte tag
    const auto parsed = Mp3WrapIndex::Parse(Bytes(index), 460, length);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(2u, parsed->entries.size());
    EXPECT_EQ(526, parsed->entries[0].offset);
    EXPECT_EQ(7273, parsed->entries[0].byteCount);
    EXPECT_EQ("cbr44-id3v2-id3v1.mp3", parsed->entries[0].name);
    EXPECT_EQ(7799, parsed->entries[1].offset);
    EXPECT_EQ(5454, parsed->entries[1].byteCount);

    EXPECT_FALSE(Mp3WrapIndex::Parse(Bytes(index.substr(0, 40)), 460, length));  // cut short
    EXPECT_FALSE(Mp3WrapIndex::Parse(Bytes(index), 460, 13000));  // ends past the file
    std::string backwards = index;
    backwards[0x1f2 - 460 + 2] = 0;  // the second file would begin before the first
    backwards[0x1f2 - 460 + 3] = 0x10;
    EXPECT_FALSE(Mp3WrapIndex::Parse(Bytes(backwards), 460, length));
}

}  // namespace
}  // namespace vyr::recovery
