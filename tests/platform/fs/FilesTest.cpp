#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using testsupport::TempDir;
using testsupport::readFile;
namespace sfs = std::filesystem;

namespace {
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (auto& e : sfs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}
}  // namespace

TEST(WriteTextFile, PlantedLinksAndOddTargetsNeverRedirectTheWrite) {
    TempDir dir;
    const std::string victim = dir.file("victim.txt");
    ASSERT_TRUE(files::writeTextFile(victim, "precious"));
    // Links planted where a writer might put its temporary file.
    const std::string target = dir.file("report.html");
    for (const char* suffix : {".tmp~", ".tmp", "~"}) sfs::create_symlink(victim, target + suffix);
    ASSERT_TRUE(files::writeTextFile(target, "page"));
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(readFile(target), "page");
    EXPECT_FALSE(sfs::is_symlink(target));

    // A target that is a link is written through: the link stays and points where it pointed.
    const std::string real = dir.file("real.dvh");
    const std::string link = dir.file("history.dvh");
    ASSERT_TRUE(files::writeTextFile(real, "old", true));
    sfs::create_symlink("real.dvh", link);
    ASSERT_TRUE(files::writeTextFile(link, "new", true));
    EXPECT_TRUE(sfs::is_symlink(link));
    EXPECT_EQ(readFile(real), "new");
    {  // unless links are refused on this thread
        const files::LinksRefused refused;
        EXPECT_FALSE(files::writeTextFile(link, "newer"));
        EXPECT_EQ(files::lastWriteError(), "Cannot write " + link + ", which is a link: Too many levels of symbolic links");
    }
    EXPECT_EQ(readFile(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Not regular files: refused, with the reason in words.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(files::writeTextFile(dir.file("fifo"), "x"));
    EXPECT_NE(files::lastWriteError().find("fifo"), std::string::npos);
    sfs::create_directory(dir.file("folder"));
    EXPECT_FALSE(files::writeTextFile(dir.file("folder"), "x"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_NE(files::lastWriteError().find("Is a directory"), std::string::npos) << files::lastWriteError();
    EXPECT_FALSE(files::writeTextFile(dir.file(std::string(300, 'n')), "x"));
    EXPECT_NE(files::lastWriteError().find("File name too long"), std::string::npos);
    EXPECT_EQ(files::errorNumberOf(errno), files::kBadSyntax);
    EXPECT_EQ(files::fileErrorText(files::kPermissionDenied, "You dont have permission.", "Cannot write x: No space"),
              "You dont have permission.\n\nCannot write x: No space");

    // Nothing of the writers is left behind.
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"fifo", "folder", "history.dvh", "real.dvh",
                                                             "report.html", "report.html.tmp", "report.html.tmp~",
                                                             "report.html~", "victim.txt"}));
}

TEST(WriteTextFile, TemporaryFilesOfEndedRunsAreRemovedAndNamesStayInTheirFolder) {
    TempDir dir;
    // A file left by a run that no longer exists (no process has pid 0x7ffffff0) and one of ours.
    const std::string stale = dir.file(".a.html." + std::to_string(0x7ffffff0) + ".3-12.dvtmp~");
    const std::string ours = dir.file(".a.html." + std::to_string(::getpid()) + ".3-12.dvtmp~");
    ASSERT_TRUE(files::writeTextFile(stale, "half"));
    ASSERT_TRUE(files::writeTextFile(ours, "busy"));
    ASSERT_TRUE(files::writeTextFile(dir.file("keep.dvtmp"), "mine"));
    // A staging folder of an ended run goes with what is in it; a link inside is not followed.
    const std::string staging = dir.file(".report." + std::to_string(0x7ffffff0) + ".0-7.dvtmp~");
    ASSERT_TRUE(files::createFolders(staging + "/styles"));
    sfs::create_symlink(dir.path(), staging + "/styles/up");
    EXPECT_EQ(files::removeStaleTempFiles(dir.path()), 2);
    EXPECT_FALSE(sfs::exists(staging));
    EXPECT_FALSE(files::fileExists(stale));
    EXPECT_TRUE(files::fileExists(ours));
    EXPECT_TRUE(files::fileExists(dir.file("keep.dvtmp")));
    EXPECT_TRUE(files::isTempName(files::tempNameFor("a.html")));

    // The first write into a folder takes away what a killed run left there.
    const std::string out = dir.file("out"), left = out + "/.r.xml." + std::to_string(0x7ffffff0) + ".1-1.dvtmp~";
    ASSERT_TRUE(files::createFolder(out));
    std::ofstream(left) << "half";
    ASSERT_TRUE(files::writeTextFile(out + "/r.xml", "whole"));
    EXPECT_FALSE(files::fileExists(left));

    // So does the private temporary folder: those of ended runs go, a running one's stays.
    const std::string tmp = dir.file("tmp");
    ASSERT_TRUE(files::createFolder(tmp));
    for (const std::string& name : std::vector<std::string>{"dalvane-2147483632-aaaaaa", "dalvane-bbbbbb", "dalvane-" + std::to_string(::getppid()) + "-cccccc"})
        ASSERT_TRUE(files::createFolder(tmp + "/" + name));
    ASSERT_TRUE(files::writeTextFile(tmp + "/dalvane-2147483632-aaaaaa/struct.xml", "x"));
    const char* savedTmp = std::getenv("TMPDIR");
    const std::string restore = savedTmp ? savedTmp : "";
    files::removePrivateTempFolder();
    ::setenv("TMPDIR", tmp.c_str(), 1);
    const std::string mine = files::privateTempFolder();
    savedTmp ? ::setenv("TMPDIR", restore.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(files::fileName(mine).rfind("dalvane-" + std::to_string(::getpid()) + "-", 0), 0u) << mine;
    std::vector<std::string> kept{"dalvane-" + std::to_string(::getppid()) + "-cccccc", files::fileName(mine)};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(namesIn(tmp), kept);
    files::removePrivateTempFolder();

    for (const char* bad : {"", "..", "../x.html", "a/b.xml", "a\\b.xml"}) EXPECT_FALSE(files::isPlainFileName(bad)) << bad;
    for (const char* good : {"a b.xml", "report.docx", ".hidden", "sales..2020.html"}) EXPECT_TRUE(files::isPlainFileName(good)) << good;
}

// Writers appending at once (two batch runs logging errors) keep every line whole.
TEST(AppendToFile, LinesOfWritersAtOnceStayWhole) {
    TempDir dir;
    const std::string log = dir.file("errors.log");
    std::vector<std::thread> writers;
    for (int w = 0; w < 8; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < 40; ++i) files::appendToFile(log, std::string(100, static_cast<char>('a' + w)) + "\r\n");
        });
    for (std::thread& t : writers) t.join();
    std::istringstream lines(readFile(log));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        ASSERT_TRUE(line.size() == 101 && line.find_first_not_of(line[0]) == 100) << line;
    EXPECT_EQ(count, 320);
    struct stat st {};
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    sfs::create_symlink(log, dir.file("link.log"));
    EXPECT_FALSE(files::appendToFile(dir.file("link.log"), "x"));
}
