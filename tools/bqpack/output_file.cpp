// Writing outputs beside their targets and moving them into place; see
// output_file.h.  Plain C calls rather than std::filesystem, whose narrow
// paths on Windows are not the system code page that names use.
#include "tools/bqpack/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

#ifdef _WIN32
// Win32 error numbers of a failed move, as the C runtime's errno texts.
std::string MoveReason() {
    switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return Reason(EEXIST);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return Reason(EACCES);
    case ERROR_DISK_FULL:
        return Reason(ENOSPC);
    default:
        return Reason(EIO);
    }
}
#endif

// The new files of this process not yet moved into place, so that an
// interrupted command (SIGINT, SIGTERM, SIGHUP) removes them on its way out.
// Fixed slots and plain stores: the signal handler may read them at any
// moment, and removing a file by name is all it does.
enum { kPendingSlots = 16, kPendingPath = 4096 };
char PendingPaths[kPendingSlots][kPendingPath];
volatile std::sig_atomic_t PendingUsed[kPendingSlots];

void Remember(const std::string& path) {
    if (path.size() >= kPendingPath)
        return;
    for (int i = 0; i < kPendingSlots; ++i) {
        if (!PendingUsed[i]) {
            std::memcpy(PendingPaths[i], path.c_str(), path.size() + 1);
            PendingUsed[i] = 1;
            return;
        }
    }
}

void Forget(const std::string& path) {
    for (int i = 0; i < kPendingSlots; ++i)
        if (PendingUsed[i] && path == PendingPaths[i])
            PendingUsed[i] = 0;
}

extern "C" void RemovePendingAndStop(int signal) {
    for (int i = 0; i < kPendingSlots; ++i) {
        if (PendingUsed[i]) {
#ifdef _WIN32
            _unlink(PendingPaths[i]);
#else
            unlink(PendingPaths[i]);
#endif
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool RemoveFile(const std::string& path) {
    Forget(path);
#ifdef _WIN32
    return _unlink(path.c_str()) == 0;
#else
    return unlink(path.c_str()) == 0;
#endif
}

// Moves from onto to, replacing an entry there when replace is set and
// refusing one otherwise.
bool MoveEntry(const std::string& from, const std::string& to, bool replace, std::string* why) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return true;
    *why = MoveReason();
    return false;
#else
    if (replace) {
        if (rename(from.c_str(), to.c_str()) == 0)
            return true;
        *why = Reason(errno);
        return false;
    }
    // A new link fails when the name is taken, where rename would replace.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    const int error = errno;
    if (error == EEXIST) {
        *why = Reason(error);
        return false;
    }
    // A file system without links: check, then rename.
    if (KindOf(to, false) != EntryKind::None) {
        *why = Reason(EEXIST);
        return false;
    }
    if (rename(from.c_str(), to.c_str()) == 0)
        return true;
    *why = Reason(errno);
    return false;
#endif
}

// Creates a new file named after target in target's folder, exclusively,
// for reading and writing.  Returns its descriptor, or -1 with errno set.
int CreateBeside(const std::string& target, std::string* temp) {
#ifdef _WIN32
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".bqpack-%u-%u", static_cast<unsigned>(_getpid()),
                      ++counter);
        *temp = target + suffix;
        const int fd =
            _open(temp->c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
#else
    std::string pattern = target + ".bqpack-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd >= 0)
        *temp = name.data();
    return fd;
#endif
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, std::string* why) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t piece = size - done < (1u << 20) ? size - done : (1u << 20);
#ifdef _WIN32
        const int n = _write(fd, data + done, static_cast<unsigned>(piece));
#else
        const ssize_t n = write(fd, data + done, piece);
#endif
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *why = Reason(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Keeps the entry at target under a new name beside it, *backup.  Where
// the system allows, that is a second link to it, so that target stays in
// place (*stillThere) until the new file replaces it in one step.
bool KeepAside(const std::string& target, std::string* backup, bool* stillThere, std::string* why) {
    const int fd = CreateBeside(target, backup);
    if (fd < 0) {
        *why = Reason(errno);
        return false;
    }
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
    unlink(backup->c_str());
    if (link(target.c_str(), backup->c_str()) == 0) {
        *stillThere = true;
        return true;
    }
#endif
    *stillThere = false;
    if (MoveEntry(target, *backup, true, why))
        return true;
    RemoveFile(*backup);
    backup->clear();
    return false;
}

} // namespace

EntryKind KindOf(const std::string& path, bool followLinks) {
#ifdef _WIN32
    (void)followLinks;
    // The C runtime finds no folder named with a trailing separator, except
    // a drive's root.
    std::string name = path;
    while (name.size() > 1 && (name.back() == '\\' || name.back() == '/') &&
           !(name.size() == 3 && name[1] == ':'))
        name.pop_back();
    struct _stat64 st;
    if (_stat64(name.c_str(), &st) != 0)
        return EntryKind::None;
    if (st.st_mode & _S_IFDIR)
        return EntryKind::Folder;
    return (st.st_mode & _S_IFREG) ? EntryKind::File : EntryKind::Other;
#else
    struct stat st;
    if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0)
        return followLinks && lstat(path.c_str(), &st) == 0 ? EntryKind::Link : EntryKind::None;
    if (S_ISLNK(st.st_mode))
        return EntryKind::Link;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
#endif
}

bool MayReplace(const std::string& target, std::string* why) {
    switch (KindOf(target, false)) {
    case EntryKind::Folder:
        *why = "is a folder";
        return false;
    case EntryKind::Other:
        *why = "is not a regular file (a device, FIFO or socket is never written or replaced)";
        return false;
    default:
        return true;
    }
}

bool OpenStaged(const std::string& target, StagedFile* staged, std::string* why) {
    *staged = StagedFile();
    staged->target = target;
    std::string temp;
    const int fd = CreateBeside(target, &temp);
    if (fd < 0) {
        *why = "cannot create: " + Reason(errno);
        return false;
    }
    Remember(temp);
    staged->temp = temp;
    staged->fd = fd;
    return true;
}

namespace {

// Moves the staged file's descriptor to offset (from its start).
bool SeekStaged(const StagedFile& staged, std::uint64_t offset) {
#ifdef _WIN32
    return _lseeki64(staged.fd, static_cast<__int64>(offset), SEEK_SET) >= 0;
#else
    return lseek(staged.fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
#endif
}

} // namespace

bool WriteStagedAt(const StagedFile& staged, std::uint64_t offset, const std::uint8_t* data,
                   std::size_t size, std::string* why) {
    const bool placed = SeekStaged(staged, offset);
    if (!placed || !WriteAll(staged.fd, data, size, why)) {
        if (!placed)
            *why = Reason(errno);
        *why = "cannot write: " + *why;
        return false;
    }
    return true;
}

bool ReadStagedAt(const StagedFile& staged, std::uint64_t offset, std::uint8_t* data,
                  std::size_t size) {
    if (!SeekStaged(staged, offset))
        return false;
    std::size_t done = 0;
    while (done < size) {
        const std::size_t piece = size - done < (1u << 20) ? size - done : (1u << 20);
#ifdef _WIN32
        const int n = _read(staged.fd, data + done, static_cast<unsigned>(piece));
#else
        const ssize_t n = read(staged.fd, data + done, piece);
#endif
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CloseStaged(StagedFile* staged, std::string* why) {
    const int fd = staged->fd;
    staged->fd = -1;
    bool ok = true;
#ifdef _WIN32
    if (_commit(fd) != 0) {
        *why = "cannot write: " + Reason(errno);
        ok = false;
    }
    if (_close(fd) != 0 && ok) {
#else
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat st;
    mode_t mode;
    if (stat(staged->target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    if (fsync(fd) != 0 && errno != EINVAL) {
        *why = "cannot write: " + Reason(errno);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
#endif
        *why = "cannot write: " + Reason(errno);
        ok = false;
    }
    if (!ok) {
        RemoveFile(staged->temp);
        staged->temp.clear();
    }
    return ok;
}

bool StageFile(const std::string& target, const std::uint8_t* data, std::size_t size,
               StagedFile* staged, std::string* why) {
    if (!OpenStaged(target, staged, why))
        return false;
    if (!WriteAll(staged->fd, data, size, why)) {
        *why = "cannot write: " + *why;
        DiscardStaged(staged);
        return false;
    }
    return CloseStaged(staged, why);
}

void DiscardStaged(StagedFile* staged) {
    if (staged->fd >= 0) {
#ifdef _WIN32
        _close(staged->fd);
#else
        close(staged->fd);
#endif
        staged->fd = -1;
    }
    if (!staged->temp.empty())
        RemoveFile(staged->temp);
    staged->temp.clear();
}

void DiscardStaged(std::vector<StagedFile>* files) {
    for (StagedFile& f : *files)
        DiscardStaged(&f);
}

bool CommitStaged(std::vector<StagedFile>* files, bool replace, std::size_t* failed,
                  std::string* why) {
    std::size_t i = 0;
    bool ok = true;
    for (; i < files->size() && ok; ++i) {
        StagedFile& f = (*files)[i];
        bool stillThere = false;
        if (replace && KindOf(f.target, false) != EntryKind::None) {
            // The former target stays, under a name of its own, until every
            // file is in place.
            if (!KeepAside(f.target, &f.backup, &stillThere, why)) {
                *why = "cannot replace: " + *why;
                ok = false;
                break;
            }
        }
        if (!MoveEntry(f.temp, f.target, stillThere, why)) {
            *why = (replace ? "cannot replace: " : "cannot create: ") + *why;
            ok = false;
            break;
        }
        Forget(f.temp);
        f.temp.clear();
        f.placed = true;
    }
    if (!ok) {
        *failed = i;
        // Take back what this run placed, newest first, and restore what it
        // replaced.
        for (std::size_t j = i + 1; j-- > 0;) {
            StagedFile& f = (*files)[j];
            std::string ignored;
            if (f.backup.empty()) {
                if (f.placed)
                    RemoveFile(f.target);
            } else if (!f.placed && KindOf(f.target, false) != EntryKind::None) {
                RemoveFile(f.backup); // a second link to the target, which never moved
            } else {
                MoveEntry(f.backup, f.target, true, &ignored);
            }
            f.placed = false;
            f.backup.clear();
        }
        DiscardStaged(files);
        return false;
    }
    for (StagedFile& f : *files) {
        if (!f.backup.empty())
            RemoveFile(f.backup);
        f.backup.clear();
    }
    return true;
}

bool WriteOutputFile(const std::string& target, const std::uint8_t* data, std::size_t size,
                     std::string* why) {
    if (!MayReplace(target, why))
        return false;
    std::vector<StagedFile> files(1);
    if (!StageFile(target, data, size, &files[0], why))
        return false;
    std::size_t failed = 0;
    return CommitStaged(&files, true, &failed, why);
}

void RemoveOutputsWhenInterrupted() {
    for (int signal : {SIGINT, SIGTERM
#ifdef SIGHUP
                       ,
                       SIGHUP
#endif
         })
        std::signal(signal, RemovePendingAndStop);
}
