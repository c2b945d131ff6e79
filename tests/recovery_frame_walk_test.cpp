#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "recovery/FrameWalk.h"
#include "support/ByteStream.h"
#include "tests/TestFiles.h"

// The frame walk's rules on streams built here frame by frame: where a track ends, what starts
// one after a broken chain, and what is left over as gaps.
namespace vyr::recovery {
namespace {

const std::string kStereo44 = "\xFF\xFB\x90\x64";  // MPEG-1 Layer III, 128 kbit/s, 417 bytes
const std::string kMono48 = "\xFF\xFB\x94\xC4";  // 48 kHz mono, 384 bytes
const std::string kMpeg2 = "\xFF\xF3\x80\x64";  // MPEG-2, 208 bytes

std::size_t FrameBytes(const std::string& header) { return header == kStereo44 ? 417 : header == kMono48 ? 384 : 208; }

// Frames whose payload is noise, FF bytes included, so only the chain tells where they end.
std::string Frames(const std::string& header, int count, unsigned seed = 1)
{
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        std::string payload = test::PatternBytes(FrameBytes(header) - 4, seed + static_cast<unsigned>(i));
        // Noise must not pass for a VBR header or a tag at the chain's seams.
        payload.replace(0, 60, std::string(60, '\x11'));
        bytes += header + payload;
    }
    return bytes;
}

// A first frame carrying a Xing header with a frame count and a byte count.
std::string XingFrame(std::uint32_t frames, std::uint32_t bytes)
{
    std::string frame = Frames(kStereo44, 1);
    const unsigned char counts[] = {0,
                                    0,
                                    0,
                                    3,
                                    static_cast<unsigned char>(frames >> 24),
                                    static_cast<unsigned char>(frames >> 16),
                                    static_cast<unsigned char>(frames >> 8),
                                    static_cast<unsigned char>(frames),
                                    static_cast<unsigned char>(bytes >> 24),
                                    static_cast<unsigned char>(bytes >> 16),
                                    static_cast<unsigned char>(bytes >> 8),
                                    static_cast<unsigned char>(bytes)};
    frame.replace(36, 4, "Xing");
    frame.replace(40, sizeof counts, reinterpret_cast<const char*>(counts), sizeof counts);
    return frame;
}

std::string Id3v24(std::size_t bodyBytes)
{
    std::string tag = std::string("ID3\x04\x00\x00", 6);
    tag += static_cast<char>((bodyBytes >> 21) & 0x7F);
    tag += static_cast<char>((bodyBytes >> 14) & 0x7F);
    tag += static_cast<char>((bodyBytes >> 7) & 0x7F);
    tag += static_cast<char>(bodyBytes & 0x7F);
    return tag + std::string(bodyBytes, '\0');
}

std::vector<std::int64_t> Lengths(const FrameWalkResult& walk)
{
    std::vector<std::int64_t> lengths;
    for (const WalkedTrack& track : walk.tracks) lengths.push_back(track.range.byteCount);
    return lengths;
}

TEST(recovery_frame_walk, where_tracks_end)
{
    const auto n = [](const std::string& bytes) { return static_cast<std::int64_t>(bytes.size()); };
    const std::string a = Frames(kStereo44, 10);
    const std::string xingA = XingFrame(6, static_cast<std::uint32_t>(7 * 417));
    // Lyrics3v2 of three full fields, more than one read window, then the ID3v1 tag it precedes.
    std::string lyrics = "LYRICSBEGIN";
    for (int i = 0; i < 3; ++i) lyrics += "LYR99999" + std::string(99'999, 'a');
    lyrics += std::to_string(lyrics.size()) + "LYRICS200TAG" + std::string(125, ' ');
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::int64_t> parts;
        std::vector<ByteRange> gaps;
    } cases[] = {
        {"the sample rate and the channels change", a + Frames(kMono48, 8), {n(a), 8 * 384}, {}},
        {"the version changes", a + Frames(kMpeg2, 8), {n(a), 8 * 208}, {}},
        {"a Xing frame inside a stream", a + XingFrame(0, 0) + Frames(kStereo44, 5), {n(a), 6 * 417}, {}},
        {"an ID3v2.4 tag inside a stream", a + Id3v24(40) + Frames(kStereo44, 5), {n(a), 50 + 5 * 417}, {}},
        // Both counts reached: an untagged stream of the same kind behind it is a file of its own.
        {"a Xing header's counts reached",
         xingA + Frames(kStereo44, 6) + Frames(kStereo44, 9, 50),
         {7 * 417, 9 * 417},
         {}},
        // A frame count that the byte count does not confirm cuts nothing.
        {"a Xing frame count without its byte count", XingFrame(6, 9999) + Frames(kStereo44, 15), {16 * 417}, {}},
        {"a Lyrics3v2 block larger than a read window", a + lyrics + Id3v24(20) + a, {n(a) + n(lyrics), 30 + n(a)}, {}},
        {"a last frame cut short stays with its track", a + Frames(kStereo44, 1).substr(0, 100), {n(a) + 100}, {}},
        // Behind the frames and no track after it: the tag closes this track.
        {"an ID3v2 tag at the very end", a + Id3v24(30), {n(a) + 40}, {}},
        {"two ID3v2 tags lead one track", Id3v24(20) + Id3v24(30) + a, {70 + n(a)}, {}},
        {"zero bytes a tagger left after its tag", Id3v24(20) + std::string(64, '\0') + a, {94 + n(a)}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::MemoryStream stream(c.bytes);
        const FrameWalkResult walk = WalkFrames(stream, nullptr);
        EXPECT_EQ(FrameWalkOutcome::Completed, walk.outcome);
        EXPECT_EQ(c.parts, Lengths(walk));
        EXPECT_EQ(c.gaps, walk.gaps);
    }
}

TEST(recovery_frame_walk, only_a_chain_of_frames_resynchronises)
{
    const std::string a = Frames(kStereo44, 10);
    // After the junk, a stream of another kind: the same kind would go on the first one's.
    const std::string b = Frames(kMono48, 10);
    // One valid header in noise, followed by noise where the next header would be.
    std::string junk = test::PatternBytes(2000, 9);
    junk.replace(0, 2000, std::string(2000, '\x22'));
    junk.replace(100, 4, kStereo44);
    // Three chained frames between noise: fewer than the four a resynchronisation asks for.
    const std::string three = std::string(500, '\x22') + Frames(kStereo44, 3, 70) + std::string(500, '\x22');
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::int64_t> parts;
        std::vector<ByteRange> gaps;
    } cases[] = {
        {"a stray header in junk", a + junk + b, {4170, 3840}, {{4170, 2000}}},
        {"three chained frames in junk", a + three + b, {4170, 3840}, {{4170, 500 + 3 * 417 + 500}}},
        {"junk in front and behind", std::string(300, 'x') + a + std::string(7, '\0'), {4170}, {{0, 300}, {4470, 7}}},
        {"nothing but junk", junk, {}, {{0, 2000}}},
        {"an empty file", "", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::MemoryStream stream(c.bytes);
        const FrameWalkResult walk = WalkFrames(stream, nullptr);
        EXPECT_EQ(c.parts, Lengths(walk));
        EXPECT_EQ(c.gaps, walk.gaps);
    }
}

// Zeros, except for a stretch placed at an offset past 4 GiB; the zeros cost no memory.
class SparseStream final : public support::ByteStream {
public:
    SparseStream(std::int64_t length, std::int64_t at, std::string bytes)
        : m_length(length), m_at(at), m_bytes(std::move(bytes))
    {
    }
    std::int64_t Length() const override { return m_length; }
    support::IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override
    {
        if (offset >= m_length) return {};
        const auto count =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(into.size()), m_length - offset));
        std::memset(into.data(), 0, count);
        const std::int64_t from = std::max(offset, m_at);
        const std::int64_t to =
            std::min(offset + static_cast<std::int64_t>(count), m_at + static_cast<std::int64_t>(m_bytes.size()));
        if (from < to)
            std::memcpy(into.data() + (from - offset), m_bytes.data() + (from - m_at),
                        static_cast<std::size_t>(to - from));
        return {count, 0};
    }

private:
    std::int64_t m_length;
    std::int64_t m_at;
    std::string m_bytes;
};

TEST(recovery_frame_walk, a_stream_across_the_buffers_slides_at_every_phase)
{
    // The smallest buffer slides along 300 KiB of frames; some junk in front puts a frame's
    // start at every distance from the buffer's end in one of the walks.
    const std::string frames = Frames(kMpeg2, 1500);
    for (std::size_t junk = 0; junk < 208; ++junk) {
        const std::string bytes = std::string(junk, 'x') + frames;
        support::MemoryStream stream(bytes);
        const FrameWalkResult walk = WalkFrames(stream, nullptr, {.bufferBytes = 0});
        ASSERT_EQ((std::vector<std::int64_t>{static_cast<std::int64_t>(frames.size())}), Lengths(walk)) << junk;
    }
}

TEST(recovery_frame_walk, a_track_past_four_gibibytes)
{
    const std::int64_t at = (std::int64_t{4} << 30) + 12'345;
    const std::string track = Id3v24(100) + Frames(kStereo44, 12);
    SparseStream stream(at + static_cast<std::int64_t>(track.size()) + 1000, at, track);
    const FrameWalkResult walk = WalkFrames(stream, nullptr);
    ASSERT_EQ(FrameWalkOutcome::Completed, walk.outcome);
    ASSERT_EQ(1u, walk.tracks.size());
    EXPECT_EQ(at, walk.tracks[0].range.offset);
    EXPECT_EQ(static_cast<std::int64_t>(track.size()), walk.tracks[0].range.byteCount);
    EXPECT_EQ((std::vector<ByteRange>{{0, at}, {walk.tracks[0].range.End(), 1000}}), walk.gaps);
}

// An APE tag with a Title item: with its header (whose flags are given) and footer, or with
// its footer alone.
std::string ApeTagBytes(bool header, std::uint32_t headerFlags = 0xA0000000u)
{
    const auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    };
    const std::string item = le32(5) + le32(0) + "Title" + '\0' + "Hello";
    const auto block = [&](std::uint32_t flags) {
        return "APETAGEX" + le32(2000) + le32(static_cast<std::uint32_t>(item.size()) + 32) + le32(1) + le32(flags) +
               std::string(8, '\0');
    };
    return (header ? block(headerFlags) : "") + item + block(header ? 0x80000000u : 0);
}

// An ID3v2.4 tag of `bodyBytes` bytes of `fill` whose size says `statedBytes`.
std::string MisstatedId3v24(std::size_t bodyBytes, std::size_t statedBytes, char fill)
{
    return Id3v24(statedBytes).substr(0, 10) + std::string(bodyBytes, fill);
}

std::vector<std::vector<ByteRange>> Damage(const FrameWalkResult& walk)
{
    std::vector<std::vector<ByteRange>> damaged;
    for (const WalkedTrack& track : walk.tracks) damaged.push_back(track.damaged);
    return damaged;
}

TEST(recovery_frame_walk, damaged_tracks_keep_their_bytes)
{
    const auto n = [](const std::string& bytes) { return static_cast<std::int64_t>(bytes.size()); };
    const std::string a = Frames(kStereo44, 10);
    const std::string more = Frames(kStereo44, 10, 40);
    // The last of ten frames cut after 100 bytes, then the next track.
    const std::string cut = a.substr(0, 9 * 417 + 100);
    const std::string tagged = Id3v24(40) + Frames(kStereo44, 6, 80);
    const std::string xing = XingFrame(0, 0) + Frames(kStereo44, 5, 90);
    const std::string plain = Frames(kStereo44, 6, 95);
    // A lost sector read back as zeros, from inside frame 5 to inside frame 15.
    std::string sector = a + more;
    sector.replace(5 * 417 + 200, 4096, std::string(4096, '\0'));
    const std::string junk(300, 'x');
    const std::string v1 = "TAG" + std::string(125, ' ');
    // A tag that says it is 100 bytes longer than it is, or shorter.
    const std::string tooLong = MisstatedId3v24(200, 300, '\0') + a;
    const std::string tooShort = MisstatedId3v24(200, 100, 'T') + a;
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::int64_t> parts;
        std::vector<std::vector<ByteRange>> damaged;
    } cases[] = {
        {"a last frame cut by a tagged track", cut + tagged, {n(cut), n(tagged)}, {{}, {}}},
        {"a last frame cut by a Xing frame", cut + xing, {n(cut), n(xing)}, {{}, {}}},
        {"a last frame cut by frames of the same kind", cut + plain, {n(cut), n(plain)}, {{}, {}}},
        {"a lost sector", sector, {n(sector)}, {{{5 * 417 + 417, 15 * 417 + 417 - (5 * 417 + 417)}}}},
        {"junk between frames of one stream", a + junk + more, {n(a) + 300 + n(more)}, {{{n(a), 300}}}},
        {"junk in front of the track's own tag", a + junk + v1, {n(a) + 300 + 128}, {{{n(a), 300}}}},
        {"a tag that says it is longer", a + tooLong, {n(a), n(tooLong)}, {{}, {}}},
        {"a tag that says it is shorter", tooShort, {n(tooShort)}, {{{110, 100}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::MemoryStream stream(c.bytes);
        const FrameWalkResult walk = WalkFrames(stream, nullptr);
        EXPECT_EQ(c.parts, Lengths(walk));
        EXPECT_EQ(c.damaged, Damage(walk));
        EXPECT_TRUE(walk.gaps.empty());
    }
}

TEST(recovery_frame_walk, trailing_tags_are_the_tracks_own_until_frames_follow)
{
    const auto n = [](const std::string& bytes) { return static_cast<std::int64_t>(bytes.size()); };
    const std::string a = Frames(kStereo44, 10);
    const std::string tagged = Id3v24(40) + Frames(kStereo44, 6, 80);
    // An ID3v2.4 tag with a footer, as a tag appended to a file has, and as a leading tag may.
    const std::string footer = std::string("ID3\x04\x00\x10", 6) + Id3v24(30).substr(6, 4) + std::string(30, '\0') +
                               "3DI" + std::string("\x04\x00\x10", 3) + Id3v24(30).substr(6, 4);
    const struct {
        const char* name;
        std::string trailing;
        std::string b;
    } cases[] = {
        // A player's ID3v2 tag appended behind the APE tag: followed by the next track's tag.
        {"an ID3v2 tag after an APE tag", ApeTagBytes(true) + Id3v24(30), tagged},
        {"ID3v2 tags with footers after an APE tag", ApeTagBytes(true) + footer + footer, tagged},
        {"an APE tag whose header leaves itself out", ApeTagBytes(true, 0x20000000u), tagged},
        {"an APE tag with a footer alone", ApeTagBytes(false) + "TAG" + std::string(125, ' '), tagged},
        {"junk, then an APE tag with a footer alone", std::string(99, 'x') + ApeTagBytes(false), tagged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = a + c.trailing + c.b;
        support::MemoryStream stream(bytes);
        const FrameWalkResult walk = WalkFrames(stream, nullptr);
        EXPECT_EQ((std::vector<std::int64_t>{n(a) + n(c.trailing), n(c.b)}), Lengths(walk));
        EXPECT_TRUE(walk.gaps.empty());
    }
}

// The same few bytes over and over, from a prefix on, at no cost in memory: files of any
// length built to send a walk back and forth.
class RepeatStream final : public support::ByteStream {
public:
    RepeatStream(std::int64_t length, std::string unit, std::string prefix = {})
        : m_length(length), m_unit(std::move(unit)), m_prefix(std::move(prefix))
    {
    }
    std::int64_t Length() const override { return m_length; }
    support::IoResult ReadAt(std::int64_t offset, std::span<unsigned char> into) override
    {
        const auto count = static_cast<std::size_t>(std::max<std::int64_t>(
            0, std::min<std::int64_t>(static_cast<std::int64_t>(into.size()), m_length - offset)));
        const auto prefix = static_cast<std::int64_t>(m_prefix.size());
        const auto unit = static_cast<std::int64_t>(m_unit.size());
        for (std::size_t i = 0; i < count; ++i) {
            const std::int64_t at = offset + static_cast<std::int64_t>(i);
            into[i] = static_cast<unsigned char>(at < prefix ? m_prefix[static_cast<std::size_t>(at)]
                                                             : m_unit[static_cast<std::size_t>((at - prefix) % unit)]);
        }
        return {count, 0};
    }

private:
    std::int64_t m_length;
    std::string m_unit;
    std::string m_prefix;
};

std::string Synchsafe(std::size_t size)
{
    return {static_cast<char>((size >> 21) & 0x7F), static_cast<char>((size >> 14) & 0x7F),
            static_cast<char>((size >> 7) & 0x7F), static_cast<char>(size & 0x7F)};
}

struct Degenerate {
    const char* name;
    std::string unit;
    std::string prefix;
};

std::vector<Degenerate> DegenerateInputs()
{
    const std::string id3 = std::string("ID3\x03\x00\x00", 6);
    const std::string lyrics = "LYRICSBEGIN" + std::string("IND00000") + "000019LYRICS200";
    // Three tags that end in one run of zeros, each a little further on.
    std::string intoZeros;
    for (std::size_t k = 0; k < 3; ++k) intoZeros += id3 + Synchsafe(30 - 10 * k);
    intoZeros += std::string(4096, '\0');
    return {
        {"erased flash", std::string(1, '\xFF'), ""},
        {"FF FB over and over", "\xFF\xFB", ""},
        {"a header that chains to nothing", kStereo44, ""},
        {"ID3v2 headers, each pointing at the next", id3 + Synchsafe(0), ""},
        {"ID3v2 sizes pointing far ahead", id3 + Synchsafe((std::size_t{1} << 20) + 3), ""},
        {"ID3v2 sizes ending on junk", id3 + Synchsafe(50) + std::string(50, 'j'), ""},
        {"ID3v2 tags ending in zeros", intoZeros, ""},
        {"a track, then Lyrics3 blocks", lyrics, Id3v24(20) + Frames(kStereo44, 8)},
        {"a track, then Lyrics3 blocks without an end", "LYRICSBEGIN", Id3v24(20) + Frames(kStereo44, 8)},
        {"tracks of four frames and junk",
         Frames(kStereo44, 4) + std::string(300, 'x') + Frames(kMono48, 4) + std::string(300, 'y'), ""},
    };
}

// What a walk of `length` bytes may cost, whatever they are.
constexpr std::int64_t kWorkPerByte = 20;

TEST(recovery_frame_walk, work_stays_linear_on_any_bytes)
{
    constexpr std::int64_t kLength = std::int64_t{4} << 20;
    for (const Degenerate& input : DegenerateInputs()) {
        SCOPED_TRACE(input.name);
        RepeatStream stream(kLength, input.unit, input.prefix);
        const FrameWalkResult walk = WalkFrames(stream, nullptr);
        EXPECT_EQ(FrameWalkOutcome::Completed, walk.outcome);
        EXPECT_LE(walk.work, kWorkPerByte * kLength) << walk.work / kLength << " per byte";
    }
}

class StopAfter final : public WalkListener {
public:
    explicit StopAfter(int reports) : m_left(reports) {}
    bool OnBlock(std::int64_t, std::int64_t) override { return --m_left > 0; }

private:
    int m_left;
};

TEST(recovery_frame_walk, a_listener_stops_the_walk)
{
    const std::string bytes = Frames(kStereo44, 2000);
    support::MemoryStream stream(bytes);
    StopAfter listener(2);
    const FrameWalkResult walk = WalkFrames(stream, &listener, {.progressStep = 4096});
    EXPECT_EQ(FrameWalkOutcome::Stopped, walk.outcome);
}

TEST(recovery_frame_walk, a_stop_is_heard_early_on_any_bytes)
{
    // The listener is told every MiB and stops the walk at its second report: a walk that went
    // on before telling it, back and forth over a 256 MiB file, would cost far more.
    constexpr std::int64_t kStep = std::int64_t{1} << 20;
    for (const Degenerate& input : DegenerateInputs()) {
        SCOPED_TRACE(input.name);
        RepeatStream stream(std::int64_t{256} << 20, input.unit, input.prefix);
        StopAfter listener(2);
        const FrameWalkResult walk = WalkFrames(stream, &listener, {.progressStep = kStep});
        EXPECT_EQ(FrameWalkOutcome::Stopped, walk.outcome);
        EXPECT_LE(walk.work, kWorkPerByte * 4 * kStep);
    }
}

}  // namespace
}  // namespace vyr::recovery
