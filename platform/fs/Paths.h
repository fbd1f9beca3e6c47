// Path and file helpers: one place that builds paths with '/', and the private
// per-process temporary folder (mode 0700, files 0600).
#pragma once

#include <string>
#include <string_view>

namespace files {

// Joins folder and name with exactly one '/'. Backslashes in name are taken as separators.
std::string joinPath(std::string_view folder, std::string_view name);
template <typename... Rest>
std::string joinPath(std::string_view a, std::string_view b, Rest&&... rest) {
    return joinPath(joinPath(a, b), std::forward<Rest>(rest)...);
}
// Turns a Windows-style relative path ("styles\x.css") into one with '/'.
std::string normalizeSeparators(std::string_view path);

std::string fileName(std::string_view path);        // last component
std::string parentFolder(std::string_view path);    // without trailing '/'
// Text after the last '.' of the last path component, in lower case; "" when none.
std::string extensionOf(std::string_view path);
std::string replaceExtension(std::string_view path, std::string_view newExtWithDot);
// A name usable as one file name: separators, control characters and characters special to
// shells become '_'; never empty, "." or "..". Other characters (UTF-8 letters) are kept.
std::string safeFileName(std::string_view name);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
// Creates one level; true when the folder exists afterwards.
bool createFolder(const std::string& path);
bool createFolders(const std::string& path);
bool removeFile(const std::string& path);

bool readTextFile(const std::string& path, std::string& out);
// Writes through a temporary file with a unique name beside the target, opened exclusively
// without following links, then renamed over it; mode 0600 when privateFile. A target that is a
// link is written through to the file it points at (refused while a LinksRefused lives on the
// thread); a target that exists and is not a regular file is refused. On failure errno holds the reason and lastWriteError() says it in words.
bool writeTextFile(const std::string& path, std::string_view data, bool privateFile = false);
// Creates path, which must not exist yet (nor be a link), and writes data into it: for files
// that take a name of their own only once whole (staged files). With replace, a regular file
// already there is overwritten in place (for files of a private folder). Fails as writeTextFile does.
bool writeNewFile(const std::string& path, std::string_view data, bool replace = false);
// Adds data at the end of path (made 0600 when missing) in one write, so that lines of several
// processes appending at once stay whole; a link or a target that is not a regular file is refused.
bool appendToFile(const std::string& path, std::string_view data);
// While one lives, writeTextFile on this thread refuses a link at the name it writes.
class LinksRefused {
public:
    LinksRefused();
    ~LinksRefused();
    LinksRefused(const LinksRefused&) = delete;
    LinksRefused& operator=(const LinksRefused&) = delete;

private:
    bool was_;
};
// Opens the folder name inside the folder open at dirFd (O_DIRECTORY, links not followed),
// creating it when missing and create is set. -1 with errno and lastWriteError() naming shown
// when it cannot, or when name is a link or not a folder.
int openFolderAt(int dirFd, const std::string& name, bool create, const std::string& shown);
// A file or folder name for a temporary of this process beside base, in the pattern that
// removeStaleTempFiles knows: ".<base>.<pid>.<counter>-<random>.dvtmp~".
std::string tempNameFor(std::string_view base);
// True for a name in the pattern of tempNameFor.
bool isTempName(std::string_view name);
// The reason of this thread's last failed writeTextFile or writeNewFile, with the operating system's text.
const std::string& lastWriteError();
int lastWriteErrno();  // its errno; 0 when there is none
void clearLastWriteError();
// The file a write to path lands in: path itself, or the final target when path is a link.
std::string resolveWriteTarget(const std::string& path);
// Removes temporary files and folders (with everything in them; links inside are removed, not
// followed) that processes no longer running left in folder.
int removeStaleTempFiles(const std::string& folder);
// True for a single file name: not empty, no '/', '\\', ".." or NUL.
bool isPlainFileName(std::string_view name);

// The folder of the running executable.
std::string executableFolder();

// Private temporary folder of this process, created on first use (0700) and removed when
// the process exits normally.
std::string privateTempFolder();
// A new unique file name inside the private temporary folder (not created).
std::string uniqueTempFile(std::string_view prefix, std::string_view extension);
// Removes the private temporary folder and everything in it.
void removePrivateTempFolder();
// True when path lies inside folder (after resolving "." and "..").
bool isInside(const std::string& path, const std::string& folder);

}  // namespace files
