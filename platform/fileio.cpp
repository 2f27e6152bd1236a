#include "platform/fileio.h"

#include "platform/apperror.h"
#include "platform/largepages.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// --- The system calls, counted -------------------------------------------------
// Every call below goes through Refused first, so that a test can make any
// one of them fail.

long callsMade = 0;
long failAt = 0;
const char *failedCall = nullptr;

// Counts a call; true (with errno set) when it is the one planned to fail.
bool Refused(const char *what, int error = EIO) {
    if (++callsMade != failAt)
        return false;
    failedCall = what;
    errno = error;
    return true;
}

// Makes a call again for as long as a signal interrupts it.
template <class F> auto Restarted(F call) {
    auto r = call();
    while (r < 0 && errno == EINTR)
        r = call();
    return r;
}

// A counted call that returns 0 on success.
template <class F, class... A> bool Sys(const char *what, F call, A... args) {
    return !Refused(what) && call(args...) == 0;
}

int SysOpen(const char *path, int flags, mode_t mode, const char *what) {
    return Refused(what) ? -1 : Restarted([&] { return ::open(path, flags | O_CLOEXEC, mode); });
}

bool SysClose(int fd, const char *what) {
    if (Refused(what)) {
        ::close(fd); // the descriptor is gone either way, as after a real failure
        errno = EIO;
        return false;
    }
    return ::close(fd) == 0;
}

ssize_t SysRead(int fd, void *buffer, size_t size) {
    return Refused("read") ? -1 : Restarted([&] { return ::read(fd, buffer, size); });
}

// Set by a refused write that put in part of its data: the write after it,
// made for the rest, finds no room.
bool diskFilled = false;

ssize_t SysWrite(int fd, const void *data, size_t size) {
    if (Refused("write", ENOSPC)) {
        if (size < 2)
            return -1;
        // As a disk that fills up during a write: part of the data goes in.
        diskFilled = true;
        return ::write(fd, data, size / 2);
    }
    if (diskFilled) {
        diskFilled = false;
        errno = ENOSPC;
        return -1;
    }
    return Restarted([&] { return ::write(fd, data, size); });
}

bool SysFsync(int fd, const char *what) {
    return !Refused(what) && Restarted([fd] { return ::fsync(fd); }) == 0;
}

bool useFolderLocks = true;
bool useUnnamedFiles = true;
bool stampsProveNothing = false;

// --- Helpers -------------------------------------------------------------------

// Closes a descriptor on every way out of a function.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { close(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close went well (a delayed write
    // error can surface here).
    bool close(const char *what = "close") {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || SysClose(fd, what);
    }

  private:
    int fd_;
};

// The name as the system takes it. A NUL inside would end it early, and the
// shorter name could be another file, which would then be read, appended to
// or deleted: such a name is given as the empty one, which names no file.
QByteArray SystemName(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    return name.contains('\0') ? QByteArray() : name;
}

int OpenFile(const QString &path, int flags, mode_t mode, const char *what) {
    return SysOpen(SystemName(path).constData(), flags, mode, what);
}

AppError CannotOpen(const QString &path) {
    return AppError(QStringLiteral("ファイル ") + path + QStringLiteral(" は開けません"));
}

// Opens a file for reading without waiting: a named pipe under the name
// would otherwise hold the open until some other program writes to it. The
// flag changes nothing for a plain file, and nothing else is read.
int OpenForReading(const QString &path) {
    return OpenFile(path, O_RDONLY | O_NONBLOCK, 0, "open");
}

// Opens a file for reading, as above. Throws "ファイル %s は開けません" when it
// cannot be opened; where a missing file may be told apart, gives -1 for one.
int OpenToRead(const QString &path, bool mayBeMissing = false) {
    const int fd = OpenForReading(path);
    if (fd < 0 && !(mayBeMissing && errno == ENOENT))
        throw CannotOpen(path);
    return fd;
}

// Writes every byte, going on after partial writes.
bool WriteAll(int fd, QByteArrayView data) {
    while (!data.isEmpty()) {
        const ssize_t n = SysWrite(fd, data.data(), size_t(data.size()));
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data = data.sliced(n);
    }
    return true;
}

// The permission bits a newly created file gets: 0666 less the umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The folder part of a path: "." for a bare name, "/" for a name in the root.
QByteArray FolderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArrayLiteral(".") : path.left(std::max<qsizetype>(slash, 1));
}

// Flushes the folder, so that a rename in it survives a crash. A folder that
// cannot be opened for reading, or a file system that cannot flush folders,
// leaves no way to do it and is no failure; any other error is.
bool SyncFolder(const QByteArray &folder) {
    Fd dir(SysOpen(folder.constData(), O_RDONLY | O_DIRECTORY, 0, "open folder"));
    if (!dir.valid())
        return errno == EACCES || errno == EPERM;
    if (SysFsync(dir.get(), "fsync folder") || errno == EINVAL || errno == ENOTSUP)
        return true;
    const int error = errno;
    dir.close();
    errno = error;
    return false;
}

// The file that a write should replace: a symbolic link is followed, so that
// the link stays and the file it names gets the new content. A name that
// cannot be looked at throws: guessing could replace the link itself.
QByteArray WriteTarget(const QString &path) {
    QByteArray target = SystemName(path);
    if (target.isEmpty())
        throw AppError(FileErrorText(ENOENT));
    struct stat st;
    if (!Sys("lstat", ::lstat, target.constData(), &st)) {
        if (errno != ENOENT)
            throw AppError(FileErrorText(errno));
        return target;
    }
    if (S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!Refused("realpath") && ::realpath(target.constData(), resolved))
            target = QByteArray(resolved);
        else if (errno != ENOENT)
            throw AppError(FileErrorText(errno));
        // A link to nothing: the link's own name is replaced.
    }
    return target;
}

// --- Folders made on a first write ----------------------------------------------

std::vector<QByteArray> foldersMadeOnWrite;

// Makes the folder and any missing one above it; one that is there already is
// fine. The folder gets mode (less the umask), those above it 0700.
bool MakeFolders(const QByteArray &folder, mode_t mode) {
    const QByteArray parent = FolderOf(folder);
    if (!Sys("mkdir", ::mkdir, folder.constData(), mode)) {
        if (errno != ENOENT || parent == folder || parent == ".")
            return errno == EEXIST;
        if (!MakeFolders(parent, 0700))
            return false;
        if (!Sys("mkdir", ::mkdir, folder.constData(), mode))
            return errno == EEXIST;
    }
    // The new name is flushed with its parent, so that a file written into
    // the folder does not outlive it in a crash. Best effort: the folder is
    // there either way, and what is written into it is flushed on its own.
    SyncFolder(parent);
    return true;
}

// Makes file through create, a call that gives a descriptor; where that
// fails for a missing folder that may be made on a write, makes the folder
// and calls create again. On failure errno tells why (the first failure's
// when the folder is none of those).
template <class F> int Creating(const QByteArray &file, F create) {
    const int fd = create();
    if (fd >= 0 || errno != ENOENT)
        return fd;
    const QByteArray folder = FolderOf(file);
    if (std::ranges::find(foldersMadeOnWrite, folder) == foldersMadeOnWrite.end())
        return fd;
    return MakeFolders(folder, 0777) ? create() : -1;
}

qint64 Nanoseconds(const struct timespec &t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp StampFromStat(const struct stat &st, qint64 seenNs) {
    return {.exists = true,
            .device = st.st_dev,
            .inode = st.st_ino,
            .size = st.st_size,
            .mtimeNs = Nanoseconds(st.st_mtim),
            .ctimeNs = Nanoseconds(st.st_ctim),
            .seenNs = seenNs};
}

// The file system's clock now (the coarse real-time clock files are stamped
// with), in nanoseconds.
qint64 FileClockNow() {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return Nanoseconds(now);
}

// Opens a file for writing, creating it when missing (and its folder when
// that may be made on a write).
int CreateOrOpen(const QString &path, int flags) {
    return Creating(QFile::encodeName(path), [&] { return OpenFile(path, flags, 0666, "open"); });
}

// Reads everything from a descriptor open on path into data (a QByteArray
// or a ByteBuffer), from its start.
template <class Bytes>
void ReadAll(const Fd &fd, const QString &path, Bytes &data, FileStamp *stamp) {
    const qint64 seen = FileClockNow();
    struct stat st;
    // Only a plain file has an end: a device such as /dev/zero would be read
    // until memory runs out.
    if (!Sys("fstat", ::fstat, fd.get(), &st) || !S_ISREG(st.st_mode))
        throw CannotOpen(path);

    qsizetype used = 0;
    // The size is a hint only: the file may grow or shrink while it is read.
    data.resize(st.st_size > 0 ? static_cast<qsizetype>(st.st_size) + 1 : 4096);
    for (;;) {
        if (used == data.size())
            data.resize(data.size() * 2);
        const ssize_t n = SysRead(fd.get(), data.data() + used, size_t(data.size() - used));
        if (n < 0)
            throw CannotOpen(path);
        if (n == 0)
            break;
        used += n;
    }
    data.resize(used);
    // The stamp from before the read: a change made while it was read gives
    // the file another one.
    if (stamp)
        *stamp = StampFromStat(st, seen);
}

// The file's name in its folder, hidden and short enough for a suffix.
QByteArray HiddenBeside(const QByteArray &target) {
    const qsizetype slash = target.lastIndexOf('/');
    return target.left(slash + 1) + '.' + target.mid(slash + 1, 200);
}

// The name a replacement is given just before it is renamed into place: a
// fixed one while this process holds the folder's lock (a leftover of a
// process killed between the two steps is then removed by the next writer),
// otherwise one of its own.
QByteArray ReplacementName(const QByteArray &target, bool fixed) {
    QByteArray name = HiddenBeside(target);
    if (fixed)
        return name + QByteArrayLiteral(".quorvel-new");
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    name += '.';
    for (int i = 0; i < 6; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return name;
}

// Gives a new temporary file the old file's permissions and owner, and the
// data, flushed. Keeping the owner is best effort: a plain user cannot give
// a file away, and the content matters more than its owner.
bool Fill(int fd, QByteArrayView data, const struct stat *old, mode_t mode) {
    if (!Sys("fchmod", ::fchmod, fd, mode))
        return false;
    if (old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
        Sys("fchown", ::fchown, fd, old->st_uid, old->st_gid);
    return WriteAll(fd, data) && SysFsync(fd, "fsync");
}

// Removes a temporary file after a failure; errno still tells the failure.
void RemoveTemporary(const QByteArray &temp) {
    const int saved = errno;
    Sys("unlink temporary", ::unlink, temp.constData());
    errno = saved;
}

// Writes data into a new unnamed file in folder, filled as above, and names
// it (temp). 1 when done; 0 when writing or naming failed (nothing named is
// left, errno tells why); -1 when the file system has no unnamed files or no
// way to name one: the caller then writes a named temporary file. Throws the
// file error when the file cannot be made.
int WriteUnnamed(const QByteArray &target, QByteArrayView data, const struct stat *old, mode_t mode,
                 QByteArray &temp) {
    if (!useUnnamedFiles)
        return -1;
    const QByteArray folder = FolderOf(target);
    Fd fd(Creating(target, [&] {
        return SysOpen(folder.constData(), O_TMPFILE | O_WRONLY, mode, "open unnamed");
    }));
    if (!fd.valid()) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return -1;
        throw AppError(FileErrorText(errno));
    }
    if (!Fill(fd.get(), data, old, mode))
        return 0;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd.get());
    const bool fixed = FolderLock::Held(QFile::decodeName(target));
    for (int attempt = 0;; ++attempt) {
        temp = ReplacementName(target, fixed);
        if (Sys("linkat", ::linkat, AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(),
                AT_SYMLINK_FOLLOW))
            break;
        if (errno != EEXIST || attempt == 8)
            return errno == ENOENT || errno == EPERM || errno == EXDEV ? -1 : 0;
        if (fixed) // a leftover of a writer that was killed
            Sys("unlink leftover", ::unlink, temp.constData());
    }
    if (fd.close("close temporary"))
        return 1;
    RemoveTemporary(temp);
    return 0;
}

// The same through a temporary file with a name from the start, where there
// are no unnamed ones.
bool WriteNamed(const QByteArray &target, QByteArrayView data, const struct stat *old, mode_t mode,
                QByteArray &temp) {
    const QByteArray pattern = HiddenBeside(target) + QByteArrayLiteral(".XXXXXX");
    Fd fd(Creating(target, [&] {
        temp = pattern;
        return Refused("mkostemp") ? -1 : ::mkostemp(temp.data(), O_CLOEXEC);
    }));
    if (!fd.valid())
        throw AppError(FileErrorText(errno));
    const bool ok = Fill(fd.get(), data, old, mode);
    if (fd.close("close temporary") && ok)
        return true;
    RemoveTemporary(temp);
    return false;
}

// The folder locks this process holds: the folder's descriptor and how often
// the lock was taken.
struct HeldLock {
    int fd = -1;
    int count = 0;
};
std::map<QByteArray, HeldLock> heldLocks;

QByteArray LockedFolder(const QString &file) {
    return FolderOf(QFile::encodeName(QDir::cleanPath(QDir::current().absoluteFilePath(file))));
}

// The folder's descriptor with its lock taken, waiting while another process
// holds it; -1 where there is no lock to take.
int LockFolder(const QByteArray &folder, int timeoutMs) {
    const int fd = SysOpen(folder.constData(), O_RDONLY | O_DIRECTORY, 0, "open lock");
    const qint64 deadline = FileClockNow() + qint64(timeoutMs) * 1000000;
    const auto locked = [fd] {
        return !Refused("flock") && Restarted([fd] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0;
    };
    while (fd >= 0 && !locked()) {
        if (errno == EWOULDBLOCK && FileClockNow() < deadline) {
            ::usleep(10000);
            continue;
        }
        const bool busy = errno == EWOULDBLOCK;
        SysClose(fd, "close lock");
        if (busy)
            throw ListBusyError();
        return -1; // a file system that keeps no such locks
    }
    return fd;
}

} // namespace

bool FileStamp::Proven() const {
    if (stampsProveNothing)
        return false;
    if (!exists)
        return true; // a file that appears gives another stamp
    // The file system's tick, as the file's modification time shows it:
    // whole seconds (two on FAT) where it keeps no fractions, otherwise the
    // finest step its digits allow.
    const qint64 fraction = mtimeNs % 1000000000;
    qint64 tick = fraction == 0 ? 2000000000 : 1;
    while (fraction != 0 && tick < 1000000000 && fraction % (tick * 10) == 0)
        tick *= 10;
    return std::max(mtimeNs, ctimeNs) / tick < seenNs / tick;
}

FileStamp StampOf(const QString &path) {
    const qint64 seen = FileClockNow();
    struct stat st;
    return Sys("stat", ::stat, SystemName(path).constData(), &st) ? StampFromStat(st, seen)
                                                                  : FileStamp();
}

bool FileHolds(const QString &path, QByteArrayView bytes, FileStamp *stamp) {
    const qint64 seen = FileClockNow();
    Fd fd(OpenForReading(path));
    struct stat st;
    if (!fd.valid() || !Sys("fstat", ::fstat, fd.get(), &st) || !S_ISREG(st.st_mode) ||
        st.st_size != bytes.size())
        return false;
    // Compared where the system keeps the file's pages, without a copy, a
    // window at a time (a window mapped counts as the process's memory while
    // it is); through a small buffer where it cannot be mapped.
    constexpr qsizetype kWindow = 16 * 1024 * 1024;
    bool same = true;
    qsizetype at = 0;
    void *mapped = nullptr;
    while (same && at < bytes.size()) {
        const qsizetype n = std::min(kWindow, bytes.size() - at);
        mapped = Refused("mmap") ? MAP_FAILED
                                 : ::mmap(nullptr, size_t(n), PROT_READ, MAP_PRIVATE, fd.get(), at);
        if (mapped == MAP_FAILED)
            break;
        same = std::memcmp(mapped, bytes.data() + at, size_t(n)) == 0;
        ::munmap(mapped, size_t(n));
        at += n;
    }
    if (mapped == MAP_FAILED) {
        static std::vector<char> buffer(128 * 1024);
        if (::lseek(fd.get(), 0, SEEK_SET) != 0)
            return false;
        for (at = 0; same;) {
            const ssize_t n = SysRead(fd.get(), buffer.data(), buffer.size());
            if (n <= 0) {
                same = n == 0 && at == bytes.size();
                break;
            }
            same = at + n <= bytes.size() &&
                   std::memcmp(buffer.data(), bytes.data() + at, size_t(n)) == 0;
            at += n;
        }
    }
    if (same && stamp)
        *stamp = StampFromStat(st, seen);
    return same;
}

bool FileExists(const QString &path) {
    struct stat st;
    return Sys("stat", ::stat, SystemName(path).constData(), &st) && !S_ISDIR(st.st_mode);
}

bool FileIsPresent(const QString &path) {
    struct stat st;
    if (Sys("stat", ::stat, SystemName(path).constData(), &st))
        return !S_ISDIR(st.st_mode);
    // A name too long for the system names no file either.
    if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG)
        return false;
    throw AppError(FileErrorText(errno));
}

bool SameFile(const QString &a, const QString &b) {
    struct stat sa, sb;
    return Sys("stat", ::stat, SystemName(a).constData(), &sa) &&
           Sys("stat", ::stat, SystemName(b).constData(), &sb) && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

QString FileErrorText(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
        return QStringLiteral("ファイルが見つかりません");
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return QStringLiteral("不正なファイル名です");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("オープンしたファイルが多すぎます");
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return QStringLiteral("ファイルへのアクセスが拒否されました");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクがいっぱいです");
    default:
        return QStringLiteral("I/O エラー (%1)").arg(errnoValue);
    }
}

QByteArray ReadWholeFile(const QString &path, FileStamp *stamp) {
    Fd fd(OpenToRead(path));
    QByteArray data;
    ReadAll(fd, path, data, stamp);
    return data;
}

void ReadWholeFile(const QString &path, ByteBuffer &into, FileStamp *stamp) {
    Fd fd(OpenToRead(path));
    into.clear(); // what it held is not copied when it needs more room
    ReadAll(fd, path, into, stamp);
}

std::optional<QByteArray> ReadFileIfPresent(const QString &path) {
    Fd fd(OpenToRead(path, true));
    std::optional<QByteArray> data;
    if (fd.valid())
        ReadAll(fd, path, data.emplace(), nullptr);
    return data;
}

bool WriteFileAtomic(const QString &path, QByteArrayView data, FileStamp *written) {
    const QByteArray target = WriteTarget(path);
    struct stat old;
    const bool exists = Sys("stat", ::stat, target.constData(), &old);
    // Not knowing whether there is an old file would lose its permissions.
    if (!exists && errno != ENOENT)
        throw AppError(FileErrorText(errno));
    // A folder under the name cannot become the file.
    if (exists && S_ISDIR(old.st_mode))
        throw AppError(FileErrorText(EISDIR));

    const mode_t mode = exists ? (old.st_mode & 07777) : NewFileMode();
    const struct stat *had = exists ? &old : nullptr;
    const qint64 seen = FileClockNow();
    QByteArray temp;
    const int unnamed = WriteUnnamed(target, data, had, mode, temp);
    if (unnamed == 0 || (unnamed < 0 && !WriteNamed(target, data, had, mode, temp)))
        return false;
    if (!Sys("rename", ::rename, temp.constData(), target.constData())) {
        RemoveTemporary(temp);
        return false;
    }
    if (written) {
        // The stamp as the file has it now (naming and renaming change its
        // change time). Another program's file under the name by then would
        // not hold the content written: the stamp is not proven, and the
        // content is compared before it is trusted.
        struct stat now;
        if (!Sys("stat", ::stat, target.constData(), &now))
            return false;
        *written = StampFromStat(now, seen);
    }
    return SyncFolder(FolderOf(target));
}

bool AppendToFile(const QString &path, QByteArrayView data, FileStamp *written) {
    // Without waiting: a named pipe with no program reading it would hold
    // the open for ever. Such a name is no file to keep memos in, and no
    // record is ever written into a pipe.
    const qint64 seen = FileClockNow();
    Fd fd(CreateOrOpen(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK));
    if (!fd.valid()) // ENXIO: a pipe that nobody reads
        throw errno == ENXIO ? CannotOpen(path) : AppError(FileErrorText(errno));
    struct stat st;
    if (!Sys("fstat", ::fstat, fd.get(), &st))
        return false;
    if (S_ISFIFO(st.st_mode))
        throw CannotOpen(path);
    if (WriteAll(fd.get(), data) && SysFsync(fd.get(), "fsync")) {
        // The data is on disk: a close that fails now cannot take it back,
        // and calling the append failed would have the same memo saved twice.
        // Without a stamp the caller only knows that the file moved on.
        struct stat now;
        if (written)
            *written =
                Sys("fstat", ::fstat, fd.get(), &now) ? StampFromStat(now, seen) : FileStamp{true};
        fd.close();
        return true;
    }
    // Take back a partly written piece, so the file does not end in half a
    // record.
    const int saved = errno;
    if (S_ISREG(st.st_mode) && Sys("ftruncate", ::ftruncate, fd.get(), st.st_size))
        SysFsync(fd.get(), "fsync");
    errno = saved;
    return false;
}

bool CreateEmptyFile(const QString &path) {
    Fd fd(CreateOrOpen(path, O_WRONLY | O_CREAT | O_EXCL));
    // Nothing is written, so a failing close loses nothing.
    return fd.valid();
}

bool DeleteFile(const QString &path) {
    return Sys("unlink", ::unlink, SystemName(path).constData());
}

TextEnd ScanTextEnd(const QString &path) {
    Fd fd(OpenToRead(path, true));
    struct stat st;
    if (!fd.valid())
        return {};
    if (!Sys("fstat", ::fstat, fd.get(), &st))
        throw CannotOpen(path);
    if (!S_ISREG(st.st_mode))
        return {};
    // One small buffer for every scan: reading the file through it copies
    // within the processor's cache, and a new process touches few pages.
    static std::vector<char> buffer(64 * 1024);
    TextEnd end;
    for (;;) {
        const ssize_t n = SysRead(fd.get(), buffer.data(), buffer.size());
        if (n < 0)
            throw CannotOpen(path);
        if (n == 0)
            return end;
        const auto *nul = static_cast<const char *>(std::memchr(buffer.data(), 0, size_t(n)));
        const ssize_t used = nul ? nul - buffer.data() : n;
        if (used > 0)
            end.lastByte = static_cast<unsigned char>(buffer[size_t(used) - 1]);
        end.endsAtNul = nul != nullptr;
        if (end.endsAtNul)
            return end;
    }
}

void SetFoldersMadeOnWrite(const QStringList &folders) {
    foldersMadeOnWrite.clear();
    for (const QString &folder : folders)
        foldersMadeOnWrite.push_back(QFile::encodeName(QDir::cleanPath(folder)));
}

bool CopyFileAtomic(const QString &from, const QString &to) {
    try {
        return WriteFileAtomic(to, ReadWholeFile(from));
    } catch (const AppError &) {
        return false;
    }
}

FolderLock::FolderLock(const QString &file, int timeoutMs) : folder_(LockedFolder(file)) {
    if (const auto it = heldLocks.find(folder_); it != heldLocks.end())
        ++it->second.count;
    else
        heldLocks.emplace(folder_,
                          HeldLock{useFolderLocks ? LockFolder(folder_, timeoutMs) : -1, 1});
}

FolderLock::~FolderLock() {
    const auto it = heldLocks.find(folder_);
    if (it == heldLocks.end() || --it->second.count > 0)
        return;
    if (it->second.fd >= 0)
        ::close(it->second.fd); // closing lets go of the lock
    heldLocks.erase(it);
}

bool FolderLock::Held(const QString &file) {
    return heldLocks.contains(LockedFolder(file));
}

namespace FileFaults {

void UseFolderLocks(bool on) {
    useFolderLocks = on;
}

void UseUnnamedFiles(bool on) {
    useUnnamedFiles = on;
}

void StampsProveNothing(bool on) {
    stampsProveNothing = on;
}

void FailAt(long n) {
    failAt = std::max(n, 0L);
    failedCall = nullptr;
    diskFilled = false;
}

long Calls() {
    return callsMade;
}

void Reset() {
    callsMade = 0;
    FailAt(0);
}

const char *Failed() {
    return failedCall;
}

} // namespace FileFaults
