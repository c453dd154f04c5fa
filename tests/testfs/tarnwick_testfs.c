// The project's test file system: passes a source folder through to a mount
// point and can make it answer like a slow, broken or dead network share.
//
// usage: tarnwick_testfs SOURCE MOUNTPOINT [--latency-us N] [--hang-open NAME]...
//            [--hang-read NAME]... [--hang-lookup NAME]... [--eio NAME]...
//            [--lookup-error NAME=ERRNO]... [--list-error NAME]... [FUSE options]
//
//   --latency-us N      every look-up, open, read and folder listing first waits N microseconds
//   --hang-open NAME    opening or creating a matching file never returns; looking it up
//                       still answers
//   --hang-read NAME    a matching file opens, but reading it never returns
//   --hang-lookup NAME  even looking a matching name up never returns
//   --eio NAME          a matching file opens, and every read of it fails with EIO
//   --lookup-error NAME=ERRNO  looking a matching name up fails with the error number ERRNO
//   --list-error NAME   listing a matching folder fails with EIO after its first entry
//
// NAME is a shell pattern matched against the last part of a path. Every
// option may be given more than once. A call that never returns is released
// with an error when the daemon ends (SIGTERM, SIGINT or SIGKILL); unmount
// with `fusermount3 -u -z MOUNTPOINT`. The usual FUSE options follow: -f
// stays in the foreground, -o allow_other lets other users in.
//
// The kernel looks names up and lists a folder one call at a time (libfuse
// 3.14 does not offer it more), so a look-up that never returns holds up
// the others in its folder, as on a dead share: give such a name a folder
// of its own where the rest must answer.
#define FUSE_USE_VERSION 35
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <fuse.h>
#include <pthread.h>
#include <signal.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

typedef struct {
    const char** items;
    int count;
} Patterns;

typedef struct {
    int sourceFd;
    long latencyUs;
    Patterns hangOpen;
    Patterns hangRead;
    Patterns hangLookup;
    Patterns eio;
    Patterns lookupError;
    int* lookupErrors;  // the error number of each pattern of lookupError
    Patterns listError;
} Settings;

static Settings settings;

// An open file and what reading it does, decided by its name when it was
// opened: reads get no path.
typedef struct {
    int fd;
    bool readHangs;
    bool readFails;
} OpenFile;

static int FdOf(const struct fuse_file_info* file) {
    return ((const OpenFile*)(uintptr_t)file->fh)->fd;
}

// The path below the source folder: "/a/b" is "a/b", "/" is ".".
static const char* Relative(const char* path) {
    while (*path == '/') ++path;
    return *path ? path : ".";
}

static bool Matches(const Patterns* patterns, const char* path) {
    const char* slash = strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    for (int i = 0; i < patterns->count; ++i) {
        if (fnmatch(patterns->items[i], name, 0) == 0) return true;
    }
    return false;
}

// The error number that looking path up fails with, or 0.
static int LookupError(const char* path) {
    const char* slash = strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    for (int i = 0; i < settings.lookupError.count; ++i) {
        if (fnmatch(settings.lookupError.items[i], name, 0) == 0) return settings.lookupErrors[i];
    }
    return 0;
}

static void Delay(void) {
    if (settings.latencyUs == 0) return;
    struct timespec left = {settings.latencyUs / 1000000, (settings.latencyUs % 1000000) * 1000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Blocks the calling worker for good. The loop ends only when one of its
// threads notices the signal that ends the daemon, so this one takes none;
// and the loop cancels its workers on the way out, which it does not allow
// while a request is served.
static void NeverReturn(void) {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, NULL);
    pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, NULL);
    for (;;) pause();
}

static int Result(int returned) {
    return returned == -1 ? -errno : 0;
}

static int GetAttr(const char* path, struct stat* info, struct fuse_file_info* file) {
    Delay();
    if (path && Matches(&settings.hangLookup, path)) NeverReturn();
    if (path && LookupError(path)) return -LookupError(path);
    if (file) return Result(fstat(FdOf(file), info));
    return Result(fstatat(settings.sourceFd, Relative(path), info, AT_SYMLINK_NOFOLLOW));
}

static int ReadLink(const char* path, char* buffer, size_t size) {
    const ssize_t length = readlinkat(settings.sourceFd, Relative(path), buffer, size - 1);
    if (length == -1) return -errno;
    buffer[length] = '\0';
    return 0;
}

static int MakeNode(const char* path, mode_t mode, dev_t device) {
    return Result(mknodat(settings.sourceFd, Relative(path), mode, device));
}

static int MakeFolder(const char* path, mode_t mode) {
    return Result(mkdirat(settings.sourceFd, Relative(path), mode));
}

static int Unlink(const char* path) {
    return Result(unlinkat(settings.sourceFd, Relative(path), 0));
}

static int RemoveFolder(const char* path) {
    return Result(unlinkat(settings.sourceFd, Relative(path), AT_REMOVEDIR));
}

static int MakeSymlink(const char* target, const char* path) {
    return Result(symlinkat(target, settings.sourceFd, Relative(path)));
}

static int Rename(const char* from, const char* to, unsigned int flags) {
    return Result(
        renameat2(settings.sourceFd, Relative(from), settings.sourceFd, Relative(to), flags));
}

static int Link(const char* from, const char* to) {
    return Result(linkat(settings.sourceFd, Relative(from), settings.sourceFd, Relative(to), 0));
}

static int ChangeMode(const char* path, mode_t mode, struct fuse_file_info* file) {
    if (file) return Result(fchmod(FdOf(file), mode));
    return Result(fchmodat(settings.sourceFd, Relative(path), mode, 0));
}

static int ChangeOwner(const char* path, uid_t user, gid_t group, struct fuse_file_info* file) {
    if (file) return Result(fchown(FdOf(file), user, group));
    return Result(fchownat(settings.sourceFd, Relative(path), user, group, AT_SYMLINK_NOFOLLOW));
}

static int Truncate(const char* path, off_t size, struct fuse_file_info* file) {
    if (file) return Result(ftruncate(FdOf(file), size));
    const int fd = openat(settings.sourceFd, Relative(path), O_WRONLY | O_CLOEXEC);
    if (fd == -1) return -errno;
    const int result = Result(ftruncate(fd, size));
    close(fd);
    return result;
}

static int SetTimes(const char* path, const struct timespec times[2], struct fuse_file_info* file) {
    if (file) return Result(futimens(FdOf(file), times));
    return Result(utimensat(settings.sourceFd, Relative(path), times, AT_SYMLINK_NOFOLLOW));
}

static int Remember(const char* path, int fd, struct fuse_file_info* file) {
    if (fd == -1) return -errno;
    OpenFile* opened = malloc(sizeof(OpenFile));
    if (!opened) {
        close(fd);
        return -ENOMEM;
    }
    opened->fd = fd;
    opened->readHangs = Matches(&settings.hangLookup, path) || Matches(&settings.hangRead, path);
    opened->readFails = Matches(&settings.eio, path);
    file->fh = (uint64_t)(uintptr_t)opened;
    return 0;
}

static int Open(const char* path, struct fuse_file_info* file) {
    Delay();
    if (Matches(&settings.hangLookup, path) || Matches(&settings.hangOpen, path)) NeverReturn();
    return Remember(path, openat(settings.sourceFd, Relative(path), file->flags | O_CLOEXEC), file);
}

static int Create(const char* path, mode_t mode, struct fuse_file_info* file) {
    Delay();
    if (Matches(&settings.hangLookup, path) || Matches(&settings.hangOpen, path)) NeverReturn();
    return Remember(path, openat(settings.sourceFd, Relative(path), file->flags | O_CLOEXEC, mode),
                    file);
}

static int Read(const char* path, char* buffer, size_t size, off_t offset,
                struct fuse_file_info* file) {
    (void)path;
    Delay();
    const OpenFile* opened = (const OpenFile*)(uintptr_t)file->fh;
    if (opened->readHangs) NeverReturn();
    if (opened->readFails) return -EIO;
    const ssize_t got = pread(FdOf(file), buffer, size, offset);
    return got == -1 ? -errno : (int)got;
}

static int Write(const char* path, const char* buffer, size_t size, off_t offset,
                 struct fuse_file_info* file) {
    (void)path;
    const ssize_t written = pwrite(FdOf(file), buffer, size, offset);
    return written == -1 ? -errno : (int)written;
}

static int StatFs(const char* path, struct statvfs* info) {
    (void)path;
    return Result(fstatvfs(settings.sourceFd, info));
}

static int Release(const char* path, struct fuse_file_info* file) {
    (void)path;
    OpenFile* opened = (OpenFile*)(uintptr_t)file->fh;
    close(opened->fd);
    free(opened);
    return 0;
}

static int Sync(const char* path, int dataOnly, struct fuse_file_info* file) {
    (void)path;
    return Result(dataOnly ? fdatasync(FdOf(file)) : fsync(FdOf(file)));
}

// An open folder and whether listing it fails, decided by its name when it
// was opened: listings get no path.
typedef struct {
    DIR* folder;
    bool listingFails;
} OpenFolderHandle;

static int OpenFolder(const char* path, struct fuse_file_info* file) {
    OpenFolderHandle* opened = malloc(sizeof(OpenFolderHandle));
    if (!opened) return -ENOMEM;
    const int fd = openat(settings.sourceFd, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    opened->folder = fd == -1 ? NULL : fdopendir(fd);
    if (!opened->folder) {
        const int error = errno;
        if (fd != -1) close(fd);
        free(opened);
        return -error;
    }
    opened->listingFails = Matches(&settings.listError, path);
    file->fh = (uint64_t)(uintptr_t)opened;
    return 0;
}

static bool IsDotOrDotDot(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Lists the whole folder at once, each entry with its type. A folder whose
// listing fails gives its entries up to its first other than "." and "..",
// each with the offset of the next, so that the kernel asks for the rest in
// a second call, which fails.
static int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* file, enum fuse_readdir_flags flags) {
    (void)path;
    (void)flags;
    Delay();
    const OpenFolderHandle* opened = (const OpenFolderHandle*)(uintptr_t)file->fh;
    const bool fails = opened->listingFails;
    if (fails && offset > 0) return -EIO;
    DIR* folder = opened->folder;
    rewinddir(folder);
    off_t next = 0;
    for (struct dirent* entry; (entry = readdir(folder)) != NULL;) {
        const struct stat info = {.st_ino = entry->d_ino, .st_mode = DTTOIF(entry->d_type)};
        if (fill(buffer, entry->d_name, &info, fails ? ++next : 0, 0) != 0) break;
        if (fails && !IsDotOrDotDot(entry->d_name)) break;
    }
    return 0;
}

static int ReleaseFolder(const char* path, struct fuse_file_info* file) {
    (void)path;
    OpenFolderHandle* opened = (OpenFolderHandle*)(uintptr_t)file->fh;
    closedir(opened->folder);
    free(opened);
    return 0;
}

static void* Init(struct fuse_conn_info* connection, struct fuse_config* config) {
    // Plain listings: entries carry their types, and a listing looks up no
    // name, so a name whose look-up hangs still shows in its folder.
    connection->want &= ~FUSE_CAP_READDIRPLUS;
    config->use_ino = 1;
    // Paths of open files may be removed while the files stay readable.
    config->nullpath_ok = 1;
    config->hard_remove = 1;
    return NULL;
}

static const struct fuse_operations kOperations = {
    .getattr = GetAttr,
    .readlink = ReadLink,
    .mknod = MakeNode,
    .mkdir = MakeFolder,
    .unlink = Unlink,
    .rmdir = RemoveFolder,
    .symlink = MakeSymlink,
    .rename = Rename,
    .link = Link,
    .chmod = ChangeMode,
    .chown = ChangeOwner,
    .truncate = Truncate,
    .open = Open,
    .read = Read,
    .write = Write,
    .statfs = StatFs,
    .release = Release,
    .fsync = Sync,
    .opendir = OpenFolder,
    .readdir = ReadFolder,
    .releasedir = ReleaseFolder,
    .init = Init,
    .create = Create,
    .utimens = SetTimes,
};

static bool AddPattern(Patterns* patterns, const char* pattern, int capacity) {
    if (!patterns->items) patterns->items = calloc((size_t)capacity, sizeof(const char*));
    if (!patterns->items) return false;
    patterns->items[patterns->count++] = pattern;
    return true;
}

static Patterns* PatternsOf(const char* option) {
    if (strcmp(option, "--hang-open") == 0) return &settings.hangOpen;
    if (strcmp(option, "--hang-read") == 0) return &settings.hangRead;
    if (strcmp(option, "--hang-lookup") == 0) return &settings.hangLookup;
    if (strcmp(option, "--eio") == 0) return &settings.eio;
    if (strcmp(option, "--lookup-error") == 0) return &settings.lookupError;
    if (strcmp(option, "--list-error") == 0) return &settings.listError;
    return NULL;
}

// Splits the last pattern of lookupError, "NAME=ERRNO", into the name and
// its error number; value is that pattern, which is cut at the "=".
static bool SplitLookupError(char* value, int capacity) {
    if (!settings.lookupErrors) settings.lookupErrors = calloc((size_t)capacity, sizeof(int));
    char* equals = strrchr(value, '=');
    if (!settings.lookupErrors || !equals) return false;
    char* end = NULL;
    const long error = strtol(equals + 1, &end, 10);
    if (*end != '\0' || error <= 0 || error > 4095) return false;
    *equals = '\0';
    settings.lookupErrors[settings.lookupError.count - 1] = (int)error;
    return true;
}

// Takes this program's options and the source folder out of argv and puts
// the rest, for FUSE, into fuseArgv. false when an option lacks its value
// or the source is missing.
static bool ParseArguments(int argc, char* argv[], const char** source, int* fuseArgc,
                           char* fuseArgv[]) {
    *source = NULL;
    *fuseArgc = 0;
    fuseArgv[(*fuseArgc)++] = argv[0];
    for (int i = 1; i < argc; ++i) {
        Patterns* patterns = PatternsOf(argv[i]);
        const bool latency = strcmp(argv[i], "--latency-us") == 0;
        if (patterns || latency) {
            if (i + 1 == argc) return false;
            const char* value = argv[++i];
            if (patterns && !AddPattern(patterns, value, argc)) return false;
            if (patterns == &settings.lookupError && !SplitLookupError(argv[i], argc)) return false;
            if (latency) {
                char* end = NULL;
                settings.latencyUs = strtol(value, &end, 10);
                if (*end != '\0' || settings.latencyUs < 0) return false;
            }
        } else if (!*source && argv[i][0] != '-') {
            *source = argv[i];
        } else {
            fuseArgv[(*fuseArgc)++] = argv[i];
        }
    }
    return *source != NULL;
}

int main(int argc, char* argv[]) {
    const char* source = NULL;
    int fuseArgc = 0;
    // Room for the arguments passed on and the options added below.
    char** fuseArgv = calloc((size_t)argc + 3, sizeof(char*));
    if (!fuseArgv || !ParseArguments(argc, argv, &source, &fuseArgc, fuseArgv)) {
        fprintf(stderr,
                "usage: %s SOURCE MOUNTPOINT [--latency-us N] [--hang-open NAME]... "
                "[--hang-read NAME]... [--hang-lookup NAME]... [--eio NAME]... "
                "[--lookup-error NAME=ERRNO]... [--list-error NAME]... [FUSE options]\n",
                argv[0]);
        return 2;
    }
    settings.sourceFd = open(source, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (settings.sourceFd == -1) {
        fprintf(stderr, "%s: cannot open %s: %s\n", argv[0], source, strerror(errno));
        return 1;
    }
    // Every call is made as this process: the kernel checks the callers'
    // permissions. Hanging calls each hold a worker, so there are many (on
    // its way out libfuse 3.14 then reports an invalid value 4294967295, a
    // default of its own that it ignores).
    fuseArgv[fuseArgc++] = "-o";
    fuseArgv[fuseArgc++] = "default_permissions,max_threads=1000,subtype=tarnwick_testfs";
    // The modes asked for, not narrowed by this process's own mask.
    umask(0);
    // In the foreground (-f) the daemon ends with the process that started
    // it, so a test that dies leaves no mount and no caller blocked behind;
    // a daemon that goes to the background is a new process and stays.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    return fuse_main(fuseArgc, fuseArgv, &kOperations, NULL);
}
