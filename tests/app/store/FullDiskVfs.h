#pragma once
// A disk that fills up on demand: a SQLite VFS over the default one whose writes fail with SQLITE_FULL
// while the disk is full. It is the default VFS while the object lives, so code that opens its own
// connections (a launch of the clinic database) writes through it without knowing.
// It can also open database files read-only, as the system opens a file this process may not write:
// permission bits do not bind a process that runs as root, as the tests may.
// It counts the locks refused because another connection holds the file, so a test can tell that a
// read met another program's lock and let the lock go before the next statement.
#include <sqlite3.h>

#include <atomic>
#include <stdexcept>

namespace storetest {

class FullDiskVfs {
  public:
    FullDiskVfs() : base_(sqlite3_vfs_find(nullptr)) {
        if (!base_) throw std::runtime_error("no default VFS");
        vfs_.iVersion = 2;
        vfs_.szOsFile = int(sizeof(File)) + base_->szOsFile;
        vfs_.mxPathname = base_->mxPathname;
        vfs_.zName = "zaruvedez-full-disk";
        vfs_.pAppData = this;
        vfs_.xOpen = &FullDiskVfs::open;
        vfs_.xDelete = [](sqlite3_vfs* v, const char* name, int syncDir) {
            return base(v)->xDelete(base(v), name, syncDir);
        };
        vfs_.xAccess = [](sqlite3_vfs* v, const char* name, int flags, int* out) {
            return base(v)->xAccess(base(v), name, flags, out);
        };
        vfs_.xFullPathname = [](sqlite3_vfs* v, const char* name, int n, char* out) {
            return base(v)->xFullPathname(base(v), name, n, out);
        };
        vfs_.xDlOpen = [](sqlite3_vfs* v, const char* name) { return base(v)->xDlOpen(base(v), name); };
        vfs_.xDlError = [](sqlite3_vfs* v, int n, char* out) { base(v)->xDlError(base(v), n, out); };
        vfs_.xDlSym = [](sqlite3_vfs* v, void* lib, const char* sym) {
            return base(v)->xDlSym(base(v), lib, sym);
        };
        vfs_.xDlClose = [](sqlite3_vfs* v, void* lib) { base(v)->xDlClose(base(v), lib); };
        vfs_.xRandomness = [](sqlite3_vfs* v, int n, char* out) {
            return base(v)->xRandomness(base(v), n, out);
        };
        vfs_.xSleep = [](sqlite3_vfs* v, int us) { return base(v)->xSleep(base(v), us); };
        vfs_.xCurrentTime = [](sqlite3_vfs* v, double* out) { return base(v)->xCurrentTime(base(v), out); };
        vfs_.xGetLastError = [](sqlite3_vfs* v, int n, char* out) {
            return base(v)->xGetLastError(base(v), n, out);
        };
        vfs_.xCurrentTimeInt64 = [](sqlite3_vfs* v, sqlite3_int64* out) {
            return base(v)->xCurrentTimeInt64(base(v), out);
        };
        if (sqlite3_vfs_register(&vfs_, 1) != SQLITE_OK) throw std::runtime_error("cannot register VFS");
    }
    ~FullDiskVfs() {
        // Both only relink VFSes that are registered already: they cannot fail here.
        sqlite3_vfs_register(base_, 1); // the default again
        sqlite3_vfs_unregister(&vfs_);
    }
    FullDiskVfs(const FullDiskVfs&) = delete;
    FullDiskVfs& operator=(const FullDiskVfs&) = delete;

    void setFull(bool full) { full_ = full; }
    // Database files opened from now on open for reading only.
    void setReadOnlyFiles(bool readOnly) { readOnly_ = readOnly; }
    int refusedWrites() const { return refusedWrites_; }
    int busyLocks() const { return busyLocks_; }

  private:
    // The base VFS's own file lives right behind this one, in the memory SQLite gives us.
    struct File {
        sqlite3_file file;
        FullDiskVfs* disk;
        sqlite3_file* real;
    };

    static sqlite3_vfs* base(sqlite3_vfs* v) { return static_cast<FullDiskVfs*>(v->pAppData)->base_; }
    static File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
    static sqlite3_file* real(sqlite3_file* f) { return self(f)->real; }

    static int open(sqlite3_vfs* v, const char* name, sqlite3_file* f, int flags, int* outFlags) {
        File* file = self(f);
        file->disk = static_cast<FullDiskVfs*>(v->pAppData);
        file->real = reinterpret_cast<sqlite3_file*>(file + 1);
        if (file->disk->readOnly_ && (flags & SQLITE_OPEN_MAIN_DB))
            flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
        const int rc = base(v)->xOpen(base(v), name, file->real, flags, outFlags);
        // Without methods SQLite does not close the file, so neither must we.
        file->file.pMethods = file->real->pMethods ? &methods() : nullptr;
        return rc;
    }

    static const sqlite3_io_methods& methods() {
        static const sqlite3_io_methods table = {
            1,
            [](sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); },
            [](sqlite3_file* f, void* out, int n, sqlite3_int64 at) {
                return real(f)->pMethods->xRead(real(f), out, n, at);
            },
            [](sqlite3_file* f, const void* in, int n, sqlite3_int64 at) {
                FullDiskVfs* disk = self(f)->disk;
                if (disk->full_) {
                    ++disk->refusedWrites_;
                    return SQLITE_FULL;
                }
                return real(f)->pMethods->xWrite(real(f), in, n, at);
            },
            [](sqlite3_file* f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); },
            [](sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); },
            [](sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); },
            [](sqlite3_file* f, int lock) {
                const int rc = real(f)->pMethods->xLock(real(f), lock);
                if (rc == SQLITE_BUSY) ++self(f)->disk->busyLocks_;
                return rc;
            },
            [](sqlite3_file* f, int lock) { return real(f)->pMethods->xUnlock(real(f), lock); },
            [](sqlite3_file* f, int* out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); },
            [](sqlite3_file* f, int op, void* arg) {
                return real(f)->pMethods->xFileControl(real(f), op, arg);
            },
            [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); },
            [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
            nullptr,
            nullptr,
            nullptr,
            nullptr,
            nullptr,
            nullptr,
        };
        return table;
    }

    sqlite3_vfs* base_;
    sqlite3_vfs vfs_{};
    bool full_ = false;
    bool readOnly_ = false;
    int refusedWrites_ = 0;
    std::atomic<int> busyLocks_{0};
};

} // namespace storetest
