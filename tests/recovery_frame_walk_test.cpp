#include <gtest/gtest.h>

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
        {"a stray header in junk", a + junk + a, {4170, 4170}, {{4170, 2000}}},
        {"three chained frames in junk", a + three + a, {4170, 4170}, {{4170, 500 + 3 * 417 + 500}}},
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
        ++reads;
        return {count, 0};
    }
    int reads = 0;

private:
    std::int64_t m_length;
    std::int64_t m_at;
    std::string m_bytes;
};

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

}  // namespace
}  // namespace vyr::recovery
