#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/SingleInstance.h"

namespace {

using Status = THandOverReader::TStatus;
using Strings = std::vector<std::string>;

TEST(SingleInstance, OneNamePerUserAndDisplay) {
    const std::string folder = "/run/user/1000/velmora/";
    const struct {
        TInstanceFacts facts;
        std::string name;
    } cases[] = {
        {{folder, "", "", ":164"}, folder + "instance-x11-%3A164"},
        {{folder, "", "", ":164.0"}, folder + "instance-x11-%3A164"},
        {{folder, "", "", "localhost:10.0"}, folder + "instance-x11-localhost%3A10"},
        {{folder, "", "wayland-0", ":0"}, folder + "instance-wayland-wayland-0"},
        {{folder, "", "", ""}, folder + "instance-console"},
        {{folder, "", "", "../../x"}, folder + "instance-x11-..%2F..%2Fx"},
        {{"", "", "", ":0"}, ""},
        {{"/" + std::string(90, 'd') + "/", "", "", ":0"}, ""},
        {{"", "S-1-5-21-7-8-9-1001-2", "", ":0"}, "velmora-S-1-5-21-7-8-9-1001-2"},
        {{"", "S-1-5-21-7-8-9-1001-2", "", ""}, "velmora-S-1-5-21-7-8-9-1001-2"},
        {{"", "Zoë-2", "", ":0"}, "velmora-Zo%C3%AB-2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstanceServerName(c.facts), c.name) << c.facts.XDisplay;
}

struct ReadCase {
    const char* what;
    std::vector<std::string> chunks;
    Status status;
    Strings paths;
};

TEST(SingleInstance, OnlyAWholeListOfFullPathsIsTaken) {
    const std::string two = EncodeHandOver({"/m/a b.wav", "/m/\xb8\xe8.mp3"});
    const std::vector<ReadCase> cases{
        {"whole", {two}, Status::Done, {"/m/a b.wav", "/m/\xb8\xe8.mp3"}},
        {"byte by byte", {}, Status::Done, {"/m/a b.wav", "/m/\xb8\xe8.mp3"}},
        {"no paths: come to front", {EncodeHandOver({})}, Status::Done, {}},
        {"cut short", {two.substr(0, two.size() - 1)}, Status::NeedMore, {}},
        {"bytes after the message", {two + "x"}, Status::Invalid, {}},
        {"another message after it", {two, "x"}, Status::Invalid, {}},
        {"relative path", {EncodeHandOver({"a.wav"})}, Status::Invalid, {}},
        {"empty path", {EncodeHandOver({"/a.wav", ""})}, Status::Invalid, {}},
        {"last path without its zero", {"velmora-open 6\n/a.wav"}, Status::Invalid, {}},
        {"wrong header", {"GET / HTTP/1.0\r\n\r\n"}, Status::Invalid, {}},
        {"signed count", {"velmora-open +7\n/a.wav\0"}, Status::Invalid, {}},
        {"count beyond the limit",
         {"velmora-open " + std::to_string(MaxHandOverBytes + 1) + "\n"},
         Status::Invalid,
         {}},
        {"count beyond 64 bits", {"velmora-open 99999999999999999999999\n"}, Status::Invalid, {}},
        {"endless header", {std::string(100, 'v')}, Status::Invalid, {}},
    };
    for (const auto& c : cases) {
        THandOverReader reader;
        if (c.chunks.empty()) {
            for (char ch : two)
                reader.Feed(&ch, 1);
        }
        for (const std::string& chunk : c.chunks)
            reader.Feed(chunk.data(), chunk.size());
        EXPECT_EQ(reader.Status(), c.status) << c.what;
        EXPECT_EQ(reader.Paths(), c.paths) << c.what;
        if (c.status == Status::Invalid) {
            EXPECT_FALSE(reader.Error().empty()) << c.what;
        }
    }
}

} // namespace
