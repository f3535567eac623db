#!/usr/bin/python3
"""A case-insensitive, case-preserving pass-through FUSE file system, as FAT
and exFAT sticks and SMB shares are: every path component is looked up
ignoring letter case, a new name keeps the case it was given, and files keep
the backing folder's inode numbers.

usage: /usr/bin/python3 case_insensitive_fs.py BACKING MOUNTPOINT   (python3-fusepy, /dev/fuse)
       fusermount -u MOUNTPOINT ends it"""
import errno
import os
import sys

from fusepy import FUSE, FuseOSError, Operations


class CaseInsensitive(Operations):
    def __init__(self, root):
        self.root = os.path.realpath(root)

    def _real(self, path):
        real = self.root
        for part in (p for p in path.split("/") if p):
            candidate = os.path.join(real, part)
            if not os.path.lexists(candidate):
                try:
                    candidate = next((os.path.join(real, name) for name in os.listdir(real)
                                      if name.lower() == part.lower()), candidate)
                except OSError:
                    pass
            real = candidate
        return real

    def _call(self, function, *args):
        try:
            return function(*args)
        except OSError as error:
            raise FuseOSError(error.errno or errno.EIO)

    def getattr(self, path, fh=None):
        st = self._call(os.lstat, self._real(path))
        return {k: getattr(st, k) for k in ("st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink",
                                            "st_size", "st_uid", "st_ino")}

    def access(self, path, mode):
        if not os.access(self._real(path), mode):
            raise FuseOSError(errno.EACCES)

    def readdir(self, path, fh):
        return [".", ".."] + self._call(os.listdir, self._real(path))

    def mkdir(self, path, mode):
        return self._call(os.mkdir, self._real(path), mode)

    def rmdir(self, path):
        return self._call(os.rmdir, self._real(path))

    def unlink(self, path):
        return self._call(os.unlink, self._real(path))

    def rename(self, old, new):
        return self._call(os.rename, self._real(old), self._real(new))

    def chmod(self, path, mode):
        return self._call(os.chmod, self._real(path), mode)

    def chown(self, path, uid, gid):
        return self._call(os.chown, self._real(path), uid, gid)

    def utimens(self, path, times=None):
        return self._call(os.utime, self._real(path), times)

    def truncate(self, path, length, fh=None):
        return self._call(os.truncate, self._real(path), length)

    def statfs(self, path):
        st = self._call(os.statvfs, self._real(path))
        return {k: getattr(st, k) for k in ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree",
                                            "f_files", "f_flag", "f_frsize", "f_namemax")}

    def open(self, path, flags):
        return self._call(os.open, self._real(path), flags)

    def create(self, path, mode, fi=None):
        return self._call(os.open, self._real(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, length, offset, fh):
        return os.pread(fh, length, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        return os.close(fh)

    def fsync(self, path, datasync, fh):
        return os.fsync(fh)


if __name__ == "__main__":
    FUSE(CaseInsensitive(sys.argv[1]), sys.argv[2], foreground=True, nothreads=True, use_ino=True)
