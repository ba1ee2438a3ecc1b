#include "core/diagnostics/errors.h"

#include <cerrno>

namespace pm {

QString errorDescription(int number)
{
    switch (number) {
    case ErrOverflow: return QStringLiteral("Overflow");
    case ErrSubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case ErrTypeMismatch: return QStringLiteral("Type mismatch");
    case ErrBadFileName: return QStringLiteral("Bad file name or number");
    case ErrFileNotFound: return QStringLiteral("File not found");
    case ErrDeviceIO: return QStringLiteral("Device I/O error");
    case ErrFileExists: return QStringLiteral("File already exists");
    case ErrDiskFull: return QStringLiteral("Disk full");
    case ErrPermissionDenied: return QStringLiteral("Permission denied");
    case ErrPathFileAccess: return QStringLiteral("Path/File access error");
    case ErrPathNotFound: return QStringLiteral("Path not found");
    case ErrInvalidIndex: return QStringLiteral("Invalid property array index");
    case ErrOwnFile: return QStringLiteral("Target is one of Pullmark's own files");
    case ErrArchiveDamaged: return QStringLiteral("Download archive damaged");
    case ErrArchiveUnusable: return QStringLiteral("Download archive unusable");
    case ErrLineNotWhole: return QStringLiteral("Line cannot be read whole");
    case ErrArchiveForeign: return QStringLiteral("Not a download archive");
    case ErrTransferFailed: return QStringLiteral("Transfer failed");
    case ErrHttpStatus: return QStringLiteral("HTTP error status");
    case ErrUnsupportedScheme: return QStringLiteral("Unsupported address scheme");
    case ErrTransferIncomplete: return QStringLiteral("Transfer incomplete");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

RuntimeError RuntimeError::of(int number, const QString& detail)
{
    QString text = errorDescription(number);
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return {number, text, detail};
}

QString RuntimeError::plainReason() const
{
    auto withDetail = [this](const QString& words) { return detail.isEmpty() ? words : words + QStringLiteral(": ") + detail; };
    switch (number) {
    case ErrHttpStatus: return QStringLiteral("server answered ") + detail;
    case ErrTransferFailed: return detail.isEmpty() ? QStringLiteral("transfer failed") : detail;
    case ErrTransferIncomplete: return QStringLiteral("connection ended early, ") + detail;
    case ErrUnsupportedScheme: return withDetail(QStringLiteral("not an http or https address"));
    case ErrBadFileName: return withDetail(QStringLiteral("not a usable file name"));
    case ErrDiskFull: return QStringLiteral("disk full");
    case ErrPermissionDenied: return QStringLiteral("permission denied");
    case ErrPathNotFound: return withDetail(QStringLiteral("folder not found"));
    case ErrFileExists: return QStringLiteral("no free numbered name left");
    case ErrDeviceIO: return QStringLiteral("write error");
    case ErrOwnFile: return withDetail(QStringLiteral("would replace Pullmark's own file"));
    default: return description;
    }
}

RuntimeError fileOpenError(int savedErrno, const QString& path, bool forWriting)
{
    switch (savedErrno) {
    case ENOENT:
    case ENOTDIR: return RuntimeError::of(forWriting ? ErrPathNotFound : ErrFileNotFound, path);
    case EACCES:
    case EPERM:
    case EROFS: return RuntimeError::of(ErrPermissionDenied, path);
    case ENOSPC:
    case EDQUOT: return RuntimeError::of(ErrDiskFull, path);
    case ENAMETOOLONG:
    case EINVAL: return RuntimeError::of(ErrBadFileName, path);
    case EIO: return RuntimeError::of(ErrDeviceIO, path);
    default: return RuntimeError::of(ErrPathFileAccess, path);
    }
}

RuntimeError fileWriteError(int savedErrno, const QString& path)
{
    switch (savedErrno) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return RuntimeError::of(ErrDiskFull, path);
    case EACCES:
    case EPERM:
    case EROFS: return RuntimeError::of(ErrPermissionDenied, path);
    default: return RuntimeError::of(ErrDeviceIO, path);
    }
}

}  // namespace pm
