#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <random>
#include <sstream>
#include <string>

#include "cli/JsonWriter.h"
#include "tests/AlbumBuilder.h"
#include "tests/RunCli.h"

namespace vyr::test {
namespace {

using nlohmann::ordered_json;

// Writes `value` through the writer, member by member, as the commands do.
void Write(cli::JsonWriter& writer, std::string_view key, const ordered_json& value)
{
    switch (value.type()) {
    case ordered_json::value_t::object:
        writer.BeginObject(key);
        for (const auto& [k, v] : value.items()) Write(writer, k, v);
        writer.EndObject();
        break;
    case ordered_json::value_t::array:
        writer.BeginArray(key);
        for (const auto& v : value) Write(writer, {}, v);
        writer.EndArray();
        break;
    case ordered_json::value_t::string: writer.Member(key, value.get_ref<const std::string&>()); break;
    case ordered_json::value_t::boolean: writer.Member(key, value.get<bool>()); break;
    case ordered_json::value_t::number_float: writer.Member(key, value.get<double>()); break;
    default: writer.Member(key, value.get<std::int64_t>()); break;
    }
}

std::string Written(const ordered_json& value)
{
    std::ostringstream out;
    cli::JsonWriter writer(out);
    Write(writer, {}, value);
    writer.Finish();
    return out.str();
}

std::string RandomUtf8(std::mt19937& random)
{
    static const char* const pieces[] = {
        "a",  " ",     "\"",   "\\",   "/",    "\b",       "\f",           "\n",
        "\r", "\t",    "\x01", "\x1f", "\x7f", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x8e\xb5",
        "%",  "{}[],:"};
    std::string text;
    for (std::size_t n = random() % 12; n > 0; --n) text += pieces[random() % std::size(pieces)];
    return text;
}

ordered_json RandomValue(std::mt19937& random, int depth)
{
    static const double doubles[] = {0.0,
                                     -0.0,
                                     215.0,
                                     -215.0,
                                     180.5,
                                     0.0001,
                                     3.25,
                                     1234567.8901,
                                     999999999999999.0,
                                     1e15,
                                     1e16,
                                     -2.5,
                                     1e-300,
                                     4503599627370496.0,
                                     123456789012345.0};
    switch (random() % (depth < 3 ? 7 : 5)) {
    case 0: return RandomUtf8(random);
    case 1: return random() % 2 == 0;
    case 2: return doubles[random() % std::size(doubles)];
    case 3: return static_cast<std::int64_t>(random()) - (std::int64_t{1} << 31) + (std::int64_t{1} << 40);
    case 4: return static_cast<int>(random() % 100);
    case 5: {
        ordered_json object = ordered_json::object();
        for (std::size_t n = random() % 4; n > 0; --n)
            object[RandomUtf8(random) + "k"] = RandomValue(random, depth + 1);
        return object;
    }
    default: {
        ordered_json array = ordered_json::array();
        for (std::size_t n = random() % 4; n > 0; --n) array.push_back(RandomValue(random, depth + 1));
        return array;
    }
    }
}

TEST(cli_json, the_writer_lays_out_as_the_library_does)
{
    std::mt19937 random(4);
    for (int round = 0; round < 300; ++round) {
        ordered_json value = ordered_json::object();
        for (std::size_t n = random() % 5; n > 0; --n) value[RandomUtf8(random) + "k"] = RandomValue(random, 0);
        ASSERT_EQ(value.dump(2), Written(value)) << "round " << round;
    }
    // Output is passed on in pieces: members that cross the pieces' edges, and texts longer than
    // a piece, plain and escaped, must come out whole.
    ordered_json large = ordered_json::object();
    large["plain"] = std::string(300'000, 'p');
    std::string escaped;
    for (int k = 0; k < 40'000; ++k) escaped += "a\"\n\x01\xc3\xa9";
    large["escaped"] = escaped;
    large["rows"] = ordered_json::array();
    for (int row = 0; row < 20'000; ++row)
        large["rows"].push_back(
            {{"row", row}, {"fileName", "Track " + std::to_string(row) + ".mp3"}, {"seconds", 2.5}});
    ASSERT_EQ(large.dump(2), Written(large));
}

TEST(cli_json, text_that_is_not_utf8_is_replaced_and_kept_as_bytes)
{
    const struct {
        std::string bytes;
        std::string replaced;
        std::string encoded;
    } cases[] = {
        {"caf\xE9.mp3", "caf\xEF\xBF\xBD.mp3", "caf%E9.mp3"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", "%C0%AF"},  // an overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "%ED%A0%80"},  // a surrogate
        {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD", "%E2%82"},  // cut short
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "%F4%90%80%80"},  // past U+10FFFF
        {"100% \xFF\n\xC3\xA9", "100% \xEF\xBF\xBD\n\xC3\xA9", "100%25 %FF%0A%C3%A9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.replaced, cli::ReplaceInvalidUtf8(c.bytes)) << c.encoded;
        EXPECT_EQ(c.encoded, cli::PercentEncoded(c.bytes));
        std::ostringstream out;
        {
            cli::JsonWriter writer(out);
            writer.BeginObject();
            writer.Member("fileName", c.bytes);
            writer.EndObject();
        }
        const auto json = nlohmann::json::parse(out.str());
        EXPECT_EQ(c.replaced, json["fileName"]) << c.encoded;
        EXPECT_EQ(c.encoded, json["fileNameBytes"]);
    }
    std::ostringstream valid;
    {
        cli::JsonWriter writer(valid);
        writer.BeginObject();
        writer.Member("fileName", "caf\xC3\xA9 100%.mp3");
        writer.EndObject();
    }
    EXPECT_EQ("{\n  \"fileName\": \"caf\xC3\xA9 100%.mp3\"\n}", valid.str());
}

const std::string kSync = "\xFF\xFB";
std::string TaggedPart(std::size_t size)
{
    return kSync + std::string(size - 130, 'c') + "TAG" + std::string(125, 'b');
}

// Paths, folders and names that are not UTF-8 are a file system's everyday bytes: every JSON
// output prints them, and the exit status still tells how the command went.
TEST(cli_json, paths_and_names_that_are_not_utf8_never_stop_the_output)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows names are UTF-16: a file name that is not UTF-8 cannot be made";
#endif
    TempDir dir;
    const std::string latin1 = "Mix\xE9";
    WriteFile(dir / (latin1 + ".alb"), TaggedPart(3000) + TaggedPart(4000));
    WriteFile(dir / (latin1 + ".vyr"), Album({"#EXTBYT:100", "a.mp3", "#EXTBIN"}, std::string(100, 'd')));
    const std::string out = dir / ("out\xFF");
    std::filesystem::create_directory(out);

    const CliRun scan = RunCli({"scan", "--json", dir / (latin1 + ".alb")});
    ASSERT_EQ(0, scan.status) << scan.err;
    const auto scanned = nlohmann::json::parse(scan.out);
    EXPECT_EQ(cli::PercentEncoded(dir / (latin1 + ".alb")), scanned["fileBytes"]);
    EXPECT_EQ(cli::ReplaceInvalidUtf8(dir / (latin1 + ".alb")), scanned["file"]);

    const CliRun list = RunCli({"list", "--json", dir / (latin1 + ".vyr")});
    ASSERT_EQ(0, list.status) << list.err;
    EXPECT_EQ(cli::ReplaceInvalidUtf8(dir / (latin1 + ".vyr")), nlohmann::json::parse(list.out)["file"]);

    const CliRun extract =
        RunCli({"extract", "--json", "--scan", "--rename", "2=" + latin1 + ".mp3", "-o", out, dir / (latin1 + ".alb")});
    ASSERT_EQ(0, extract.status) << extract.err;
    const auto written = nlohmann::json::parse(extract.out);
    EXPECT_EQ(cli::PercentEncoded(out + "/"), written["targetFolderBytes"]);
    EXPECT_EQ("written", written["rows"][1]["status"]);
    EXPECT_EQ("Mix%E9.mp3", written["rows"][1]["fileNameBytes"]);
    EXPECT_EQ(TaggedPart(4000), ReadFile(out + "/" + latin1 + ".mp3"));

    // A folder in the way of a row's file: that row fails, the document is still whole and the
    // status says so.
    std::filesystem::create_directory(out + "/" + latin1 + "-2.mp3");
    const CliRun failed = RunCli(
        {"extract", "--json", "--scan", "--rename", "2=" + latin1 + "-2.mp3", "-o", out, dir / (latin1 + ".alb")});
    EXPECT_EQ(1, failed.status) << failed.err;
    const auto rows = nlohmann::json::parse(failed.out)["rows"];
    EXPECT_EQ("failed", rows[1]["status"]);
    EXPECT_EQ("Mix%E9-2.mp3", rows[1]["fileNameBytes"]);
}

}  // namespace
}  // namespace vyr::test
