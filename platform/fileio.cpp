#include "platform/fileio.h"

#include "platform/apperror.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a descriptor on every way out of a function.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close went well (a delayed write
    // error can surface here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

int OpenRetry(const char *path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes every byte, going on after partial writes and interruptions.
bool WriteAll(int fd, const char *data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool Sync(int fd) {
    int r;
    do {
        r = ::fsync(fd);
    } while (r < 0 && errno == EINTR);
    return r == 0;
}

// The permission bits a newly created file gets: 0666 less the umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

QByteArray FolderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

void SyncFolder(const QByteArray &folder) {
    Fd dir(OpenRetry(folder.constData(), O_RDONLY | O_DIRECTORY));
    if (dir.valid())
        Sync(dir.get()); // best effort: some file systems refuse it
}

// The file that a write should replace: a symbolic link is followed, so that
// the link stays and the file it names gets the new content.
QByteArray WriteTarget(const QString &path) {
    QByteArray target = QFile::encodeName(path);
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved))
            target = QByteArray(resolved);
    }
    return target;
}

} // namespace

static FileStamp StampFromStat(const struct stat &st) {
    FileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

FileStamp StampOf(const QString &path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return StampFromStat(st);
}

bool FileExists(const QString &path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
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
    const auto cannotOpen = [&path] {
        return AppError(QStringLiteral("ファイル ") + path + QStringLiteral(" は開けません"));
    };
    Fd fd(OpenRetry(QFile::encodeName(path).constData(), O_RDONLY));
    if (!fd.valid())
        throw cannotOpen();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw cannotOpen();

    QByteArray data;
    qsizetype used = 0;
    // The size is a hint only: the file may grow or shrink while it is read.
    qsizetype capacity = st.st_size > 0 ? static_cast<qsizetype>(st.st_size) + 1 : 4096;
    data.resize(capacity);
    for (;;) {
        if (used == data.size())
            data.resize(data.size() * 2);
        const ssize_t n =
            ::read(fd.get(), data.data() + used, static_cast<size_t>(data.size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw cannotOpen();
        }
        if (n == 0)
            break;
        used += n;
    }
    data.truncate(used);
    if (stamp)
        *stamp = StampFromStat(st);
    return data;
}

bool WriteFileAtomic(const QString &path, const QByteArray &data, FileStamp *written) {
    const QByteArray target = WriteTarget(path);
    struct stat old;
    const bool exists = ::stat(target.constData(), &old) == 0;
    // A folder under the name cannot become the file.
    if (exists && S_ISDIR(old.st_mode))
        throw AppError(FileErrorText(EISDIR));

    const QByteArray folder = FolderOf(target);
    QByteArray base = target.mid(target.lastIndexOf('/') + 1);
    if (base.size() > 200)
        base.truncate(200); // leaves room for the prefix and suffix in a name
    QByteArray temp = folder;
    if (!temp.endsWith('/'))
        temp += '/';
    temp += '.' + base + QByteArrayLiteral(".XXXXXX");

    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid())
        throw AppError(FileErrorText(errno));

    const mode_t mode = exists ? (old.st_mode & 07777) : NewFileMode();
    bool ok = ::fchmod(fd.get(), mode) == 0;
    if (ok && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Keeping the owner is best effort: a plain user cannot give a
            // file away, and the content matters more than its owner.
        }
    }
    ok = ok && WriteAll(fd.get(), data.constData(), data.size());
    ok = ok && Sync(fd.get());
    struct stat mine;
    if (ok && written && ::fstat(fd.get(), &mine) == 0)
        *written = StampFromStat(mine); // renaming keeps all of it
    ok = fd.close() && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.constData());
        errno = saved;
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool AppendToFile(const QString &path, const QByteArray &data) {
    Fd fd(OpenRetry(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT, 0666));
    if (!fd.valid())
        throw AppError(FileErrorText(errno));
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return false;
    if (WriteAll(fd.get(), data.constData(), data.size()) && Sync(fd.get()) && fd.close())
        return true;
    // Take back a partly written piece, so the file does not end in half a
    // record.
    if (fd.valid() && S_ISREG(st.st_mode) && ::ftruncate(fd.get(), st.st_size) == 0)
        Sync(fd.get());
    return false;
}

bool CreateEmptyFile(const QString &path) {
    Fd fd(OpenRetry(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    return fd.valid() && fd.close();
}

bool DeleteFile(const QString &path) {
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

int LastByteOfFile(const QString &path) {
    Fd fd(OpenRetry(QFile::encodeName(path).constData(), O_RDONLY));
    if (!fd.valid())
        return -1;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return -1;
    unsigned char b;
    ssize_t n;
    do {
        n = ::pread(fd.get(), &b, 1, st.st_size - 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? b : -1;
}

bool CopyFileAtomic(const QString &from, const QString &to) {
    try {
        return WriteFileAtomic(to, ReadWholeFile(from));
    } catch (const AppError &) {
        return false;
    }
}
