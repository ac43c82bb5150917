#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/Fakes.h"
#include "support/CommonLib.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Lines of the log, each without its CR LF; fails when a line lacks it.
std::vector<std::string> LogLines(const std::string& data) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(data.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

const std::regex kLine(R"(Dravik Soft \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\|(.*))");

TEST(WriteLog, LineLayoutAndMessagesUnchanged) {
    TempDir d;
    TAppFunc app(d.Folder());
    const std::vector<std::string> messages{"parameter: \"/x/evc\" -y -i \"/a b/c.mp3\"",
                                            "a|b|c",
                                            "",
                                            "Get Process id error.",
                                            "输出目录 |x",
                                            "trailing blank "};
    for (const auto& m : messages)
        app.WriteLog(m);
    auto lines = LogLines(ReadAll(d.Path() / "log.txt"));
    ASSERT_EQ(lines.size(), messages.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, kLine)) << lines[i];
        EXPECT_EQ(m[1].str(), messages[i]);
    }
}

TEST(WriteLog, AppendsToWhatIsThere) {
    TempDir d;
    { std::ofstream(d.Path() / "log.txt", std::ios::binary) << "old line without end"; }
    TAppFunc app(d.Folder());
    app.WriteLog("new");
    std::string data = ReadAll(d.Path() / "log.txt");
    EXPECT_EQ(data.rfind("old line without endDravik Soft ", 0), 0u) << data;
    EXPECT_EQ(data.substr(data.size() - 6), "|new\r\n");
}

TEST(WriteLog, NeverThrowsWhenTheLogCannotBeWritten) {
    TempDir d;
    // A folder where the log file should be, and a program folder that is missing.
    fs::create_directory(d.Path() / "log.txt");
    TAppFunc blocked(d.Folder());
    EXPECT_NO_THROW(blocked.WriteLog("lost"));
    EXPECT_TRUE(fs::is_directory(d.Path() / "log.txt"));
    TAppFunc missing(d.Folder() + "no/such/folder/");
    EXPECT_NO_THROW(missing.WriteLog("lost"));
    EXPECT_FALSE(fs::exists(d.Path() / "no"));
}

TEST(WriteLog, ConcurrentWritersNeverInterleaveLines) {
    TempDir d;
    TAppFunc app(d.Folder());
    const std::string payload(500, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&app, &payload, t] {
            for (int i = 0; i < 100; ++i)
                app.WriteLog(std::to_string(t) + payload);
        });
    for (auto& th : threads)
        th.join();
    auto lines = LogLines(ReadAll(d.Path() / "log.txt"));
    ASSERT_EQ(lines.size(), 400u);
    for (const auto& l : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, kLine)) << l.substr(0, 80);
        EXPECT_EQ(m[1].str().substr(1), payload);
    }
}

} // namespace
