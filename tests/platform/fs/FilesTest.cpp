#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

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

    for (const char* bad : {"", "..", "../x.html", "a/b.xml", "a\\b.xml", "x..y"}) EXPECT_FALSE(files::isPlainFileName(bad)) << bad;
    for (const char* good : {"a b.xml", "report.docx", ".hidden"}) EXPECT_TRUE(files::isPlainFileName(good)) << good;
}
