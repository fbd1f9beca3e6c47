#include "platform/jet/ReaderProcess.h"

#include "platform/jet/JetSnapshot.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <stop_token>
#include <thread>
#include <utility>

namespace jet {

namespace {

// The snapshot travels from the reader process as length-prefixed fields.
class Encoder {
public:
    void number(long long v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void text(const std::string& s)
    {
        number(static_cast<long long>(s.size()));
        out += s;
    }
    std::string out;
};

class Decoder {
public:
    explicit Decoder(const std::string& in) : in_(in) {}
    long long number()
    {
        long long v = 0;
        if (at_ + sizeof v > in_.size()) throw std::runtime_error("short");
        std::memcpy(&v, in_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string text()
    {
        const auto n = static_cast<unsigned long long>(number());
        if (n > in_.size() - at_) throw std::runtime_error("short");
        std::string s = in_.substr(at_, n);
        at_ += n;
        return s;
    }
    std::size_t count() { return static_cast<std::size_t>(std::min<unsigned long long>(number(), in_.size())); }
    bool done() const { return at_ == in_.size(); }

private:
    const std::string& in_;
    std::size_t at_ = 0;
};

std::string encode(const Snapshot& s)
{
    Encoder e;
    e.number(static_cast<long long>(s.tables.size()));
    for (std::size_t i = 0; i < s.tables.size(); ++i) {
        const Table& t = s.tables[i];
        e.text(s.tableErrors[i]);
        e.text(t.name);
        e.text(t.created);
        e.number(t.flags);
        e.number(static_cast<long long>(t.fields.size()));
        for (const Field& f : t.fields) {
            e.text(f.name);
            for (long long v : {f.type, f.size, int(f.fixed), int(f.autoNumber), int(f.hyperlink), f.precision, f.scale,
                                int(f.required), int(f.allowZeroLength)})
                e.number(v);
            e.text(f.description);
            e.text(f.defaultValue);
            e.text(f.validationRule);
            e.text(f.complexKind);
        }
        e.number(static_cast<long long>(t.indexes.size()));
        for (const Index& x : t.indexes) {
            e.text(x.name);
            for (bool b : {x.primary, x.unique, x.ignoreNulls, x.required, x.foreign, x.clustered}) e.number(b);
            e.number(static_cast<long long>(x.fields.size()));
            for (const IndexField& f : x.fields) {
                e.text(f.name);
                e.number(f.descending);
            }
        }
    }
    e.text(s.relationsError);
    e.number(static_cast<long long>(s.relations.size()));
    for (const Relation& r : s.relations) {
        e.text(r.name);
        e.text(r.table);
        e.text(r.foreignTable);
        e.number(r.attributes);
        e.number(static_cast<long long>(r.fields.size()));
        for (const RelationField& f : r.fields) {
            e.text(f.name);
            e.text(f.foreignName);
        }
    }
    e.text(s.queriesError);
    e.number(static_cast<long long>(s.queries.size()));
    for (const Query& q : s.queries) {
        e.text(q.name);
        e.text(q.created);
        e.number(q.type);
        e.number(q.hasParameters);
        e.text(q.sql);
        e.text(q.problem);
    }
    e.text(s.permissionsError);
    e.number(static_cast<long long>(s.permissions.size()));
    for (const AccessEntry& a : s.permissions) {
        e.text(a.objectName);
        e.number(a.objectType);
        e.text(a.sid);
        e.number(a.mask);
    }
    e.text(s.engineOwner);
    e.number(s.accountsFound);
    e.text(s.accountsError);
    e.number(static_cast<long long>(s.accounts.size()));
    for (const Account& a : s.accounts) {
        e.text(a.name);
        e.text(a.sid);
        e.number(a.group);
        e.text(a.password);
    }
    e.number(static_cast<long long>(s.warnings.size()));
    for (const std::string& w : s.warnings) e.text(w);
    return std::move(e.out);
}

Snapshot decode(const std::string& in)
{
    Decoder d(in);
    Snapshot s;
    for (std::size_t n = d.count(); n > 0; --n) {
        Table t;
        s.tableErrors.push_back(d.text());
        t.name = d.text();
        t.created = d.text();
        t.flags = static_cast<std::uint32_t>(d.number());
        for (std::size_t k = d.count(); k > 0; --k) {
            Field f;
            f.name = d.text();
            f.type = static_cast<int>(d.number());
            f.size = static_cast<int>(d.number());
            f.fixed = d.number() != 0;
            f.autoNumber = d.number() != 0;
            f.hyperlink = d.number() != 0;
            f.precision = static_cast<int>(d.number());
            f.scale = static_cast<int>(d.number());
            f.required = d.number() != 0;
            f.allowZeroLength = d.number() != 0;
            f.description = d.text();
            f.defaultValue = d.text();
            f.validationRule = d.text();
            f.complexKind = d.text();
            t.fields.push_back(std::move(f));
        }
        for (std::size_t k = d.count(); k > 0; --k) {
            Index x;
            x.name = d.text();
            for (bool* b : {&x.primary, &x.unique, &x.ignoreNulls, &x.required, &x.foreign, &x.clustered})
                *b = d.number() != 0;
            for (std::size_t j = d.count(); j > 0; --j) {
                IndexField f;
                f.name = d.text();
                f.descending = d.number() != 0;
                x.fields.push_back(std::move(f));
            }
            t.indexes.push_back(std::move(x));
        }
        s.tables.push_back(std::move(t));
    }
    s.relationsError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        Relation r;
        r.name = d.text();
        r.table = d.text();
        r.foreignTable = d.text();
        r.attributes = static_cast<long>(d.number());
        for (std::size_t k = d.count(); k > 0; --k) {
            RelationField f;
            f.name = d.text();
            f.foreignName = d.text();
            r.fields.push_back(std::move(f));
        }
        s.relations.push_back(std::move(r));
    }
    s.queriesError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        Query q;
        q.name = d.text();
        q.created = d.text();
        q.type = static_cast<int>(d.number());
        q.hasParameters = d.number() != 0;
        q.sql = d.text();
        q.problem = d.text();
        s.queries.push_back(std::move(q));
    }
    s.permissionsError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        AccessEntry a;
        a.objectName = d.text();
        a.objectType = static_cast<int>(d.number());
        a.sid = d.text();
        a.mask = static_cast<std::uint32_t>(d.number());
        s.permissions.push_back(std::move(a));
    }
    s.engineOwner = d.text();
    s.accountsFound = d.number() != 0;
    s.accountsError = d.text();
    for (std::size_t n = d.count(); n > 0; --n) {
        Account a;
        a.name = d.text();
        a.sid = d.text();
        a.group = d.number() != 0;
        a.password = d.text();
        s.accounts.push_back(std::move(a));
    }
    for (std::size_t n = d.count(); n > 0; --n) s.warnings.push_back(d.text());
    if (!d.done()) throw std::runtime_error("long");
    return s;
}

bool writeAll(int fd, const std::string& data)
{
    for (std::size_t at = 0; at < data.size();) {
        const ssize_t n = ::write(fd, data.data() + at, data.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

// The reply of the reader program: a snapshot ('S') or an error ('E' with its kind), after the
// length of what follows.
std::string errorReply(Error::Kind kind, const std::string& what)
{
    Encoder error, reply;
    error.number(kind);
    error.text(what);
    reply.text("E" + error.out);
    return std::move(reply.out);
}

// Memory a sound catalogue never needs: 1 GiB, or eight times the file when that is more.
std::uintmax_t memoryLimitMiB(std::uintmax_t fileSize) { return std::max<std::uintmax_t>(1024, 8 * (fileSize >> 20)); }

// Watches the resident memory of the reader program from a thread of its own. Over the limit, it
// sends the prepared reply, unless the reader has begun its own, and ends the program.
class MemoryWatch {
public:
    MemoryWatch(std::uintmax_t limitMiB, int out, std::string reply)
        : statm_(::open("/proc/self/statm", O_RDONLY | O_CLOEXEC)), out_(out), reply_(std::move(reply)),
          limitPages_((limitMiB << 20) / static_cast<std::uintmax_t>(::sysconf(_SC_PAGESIZE))),
          thread_([this](std::stop_token stop) { watch(stop); })
    {
    }
    ~MemoryWatch()
    {
        thread_.request_stop();
        thread_.join();
        if (statm_ >= 0) ::close(statm_);
    }
    // Takes the reply for the reader; when the watch has taken it, waits for the watch to end the
    // program.
    void claim()
    {
        if (claimed_.exchange(true))
            for (;;) ::pause();
    }

private:
    void watch(const std::stop_token& stop)
    {
        char text[128];
        while (!stop.stop_requested() && statm_ >= 0) {
            const ssize_t n = ::pread(statm_, text, sizeof text - 1, 0);
            if (n <= 0) return;
            text[n] = '\0';
            const char* resident = std::strchr(text, ' ');
            if (resident && std::strtoull(resident, nullptr, 10) > limitPages_ && !claimed_.exchange(true)) {
                writeAll(out_, reply_);
                _exit(0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    int statm_;
    int out_;
    std::string reply_;
    std::uintmax_t limitPages_;
    std::atomic<bool> claimed_{false};
    std::jthread thread_;  // last: starts when the rest is set
};

// The program the catalogue is read in, beside the running program; a test program runs from a
// folder of its own and finds it where the build puts it.
const std::string& readerProgram()
{
    static const std::string program = [] {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) {
            const auto beside = self.parent_path() / ReaderProgramName;
            if (::access(beside.c_str(), X_OK) == 0) return beside.string();
        }
        return (std::filesystem::path(DALV_JET_READER_FOLDER) / ReaderProgramName).string();
    }();
    return program;
}

}  // namespace

// libmdb trusts the pages it reads: a damaged file can crash it, make it loop or make it grow
// without end. The catalogue is therefore read by a program of its own (ServeReader), killed when
// it takes longer than a file of this size ever needs, and ending itself when it needs more memory.
// A program, not a fork: a forked copy of this threaded process could inherit a lock another
// thread held. What libmdb writes on its standard error is read beside the reply: a failure it
// reports there (a page beyond the end, a record it does not know) means part of the catalogue
// came back short, so the file is damaged.
Snapshot readIsolated(const std::string& path, std::uintmax_t size)
{
    const int seconds = 30 + static_cast<int>(size >> 20);
    const auto unstarted = [&](int error) {
        return Error(Error::Unreadable, "\"" + path + "\" cannot be read: no reader could be started: " + readerProgram() +
                                            ": " + std::strerror(error));
    };
    int fds[2], errs[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw unstarted(errno);
    if (::pipe2(errs, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw unstarted(error);
    }
    const std::string limit = std::to_string(memoryLimitMiB(size));
    char* const args[] = {const_cast<char*>(readerProgram().c_str()), const_cast<char*>(path.c_str()),
                          const_cast<char*>(limit.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errs[1], STDERR_FILENO);
    // The reader starts with no signal blocked or handled as in this thread.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, &attributes, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    ::close(errs[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        ::close(errs[0]);
        throw unstarted(spawned);
    }

    std::string reply, report;
    constexpr std::size_t kReportKept = 8192;  // a damaged file can make libmdb write without end
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[65536];
    pollfd p[2] = {{fds[0], POLLIN, 0}, {errs[0], POLLIN, 0}};
    while (p[0].fd >= 0 || p[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        const int ready = ::poll(p, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd < 0 || p[i].revents == 0) continue;
            const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(p[i].fd);
                p[i].fd = -1;
                continue;
            }
            std::string& into = i == 0 ? reply : report;
            if (i == 0 || report.size() < kReportKept)
                into.append(buffer, i == 0 ? static_cast<std::size_t>(n)
                                           : std::min(static_cast<std::size_t>(n), kReportKept - report.size()));
        }
    }
    for (const pollfd& f : p)
        if (f.fd >= 0) ::close(f.fd);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        throw damaged(path, "reading its catalogue did not end within " + std::to_string(seconds) + " seconds");
    if (WIFSIGNALED(status))
        throw damaged(path, std::string("reading its catalogue stopped on ") + strsignal(WTERMSIG(status)));

    try {
        Decoder outer(reply);
        const std::string body = outer.text();
        if (!outer.done() || body.empty()) throw std::runtime_error("short");
        const std::string rest = body.substr(1);
        if (body[0] == 'S') {
            Snapshot s = decode(rest);
            // The parts take what libmdb reports while they are read; anything else the reader
            // process wrote tells of a failure outside them.
            if (const std::string line = firstLine(report); !line.empty())
                s.readError = damaged(path, "libmdb reported \"" + line + "\" while reading its catalogue").what();
            return s;
        }
        Decoder error(rest);
        const auto kind = static_cast<Error::Kind>(error.number());
        throw Error(kind, error.text());
    } catch (const Error&) {
        throw;
    } catch (const std::exception&) {
        throw damaged(path, "reading its catalogue ended without a result");
    }
}


int ServeReader(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE MEMORY-MIB\n", ReaderProgramName);
        return 2;
    }
    const std::string path = argv[1];
    const std::uintmax_t limitMiB = std::strtoull(argv[2], nullptr, 10);
    // The reply goes where standard output went; libmdb dumps pages it cannot make sense of on
    // standard output, which is then nowhere.
    const int out = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (out < 0 || null < 0 || ::dup2(null, STDOUT_FILENO) < 0) return 1;
    ::close(null);
    // A request far beyond the limit (a length read from damage) fails at once. A sanitizer's
    // shadow memory takes terabytes of address space, so there the watch alone keeps the limit.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const rlimit space{limitMiB << 21, limitMiB << 21};
    ::setrlimit(RLIMIT_AS, &space);
#endif
    const std::string overLimit = errorReply(
        Error::Unreadable,
        damaged(path, "reading its catalogue needed more than " + std::to_string(limitMiB) + " MiB of memory").what());
    std::string reply;
    {
        MemoryWatch watch(limitMiB, out, overLimit);
        try {
            Encoder snapshot;
            snapshot.text("S" + encode(readCatalogue(path)));
            reply = std::move(snapshot.out);
        } catch (const std::bad_alloc&) {
            reply = overLimit;
        } catch (const Error& e) {
            reply = errorReply(e.kind(), e.what());
        } catch (const std::exception& e) {
            reply = errorReply(Error::Unreadable, damaged(path, e.what()).what());
        }
        watch.claim();
    }
    std::fflush(stderr);
    return writeAll(out, reply) ? 0 : 1;
}

}  // namespace jet
