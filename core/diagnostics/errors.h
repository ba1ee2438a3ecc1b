#pragma once
// The catalogue of run-time errors. Numbers follow the classic BASIC numbering
// users of the log may know; transfer errors have a range of their own.

#include <QString>

class QFileDevice;

namespace pm {

enum ErrorNumber : int {
    ErrOverflow = 6,
    ErrSubscriptOutOfRange = 9,
    ErrTypeMismatch = 13,
    ErrBadFileName = 52,
    ErrFileNotFound = 53,
    ErrDeviceIO = 57,
    ErrFileExists = 58,
    ErrDiskFull = 61,
    ErrPermissionDenied = 70,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrInvalidIndex = 381,

    // The program's own refusals: 35700 to 35749.
    ErrOwnFile = 35700,  // a download would replace one of the program's own files
    ErrArchiveDamaged = 35701,   // the download archive was damaged; it was set aside and begun anew
    ErrArchiveUnusable = 35702,  // the download archive cannot be read or written (locked, disk full, ...)
    ErrLineNotWhole = 35703,     // a configuration line whose text has no closing quote
    ErrArchiveForeign = 35704,   // the archive's file holds another program's tables; it was set aside

    // Transfer errors: 35750 and up. The description names the HTTP status or
    // the network error.
    ErrTransferFirst = 35750,
    ErrTransferFailed = 35750,   // network error (connection refused, dropped, ...)
    ErrHttpStatus = 35751,       // the server answered 400 or above
    ErrUnsupportedScheme = 35752,
    ErrTransferIncomplete = 35753,  // fewer bytes than Content-Length announced
    ErrTransferLast = 35799,
};

// The standard description of a catalogue number ("Path not found", ...).
QString errorDescription(int number);

// A run-time error as the reporting routines receive it.
struct RuntimeError {
    int number = 0;
    QString description;  // the catalogue text, then ": " and the detail when there is one
    QString detail;       // what failed: a path, a status line, the network's message

    // The catalogue text, followed by ": " and the detail when there is one.
    static RuntimeError of(int number, const QString& detail = QString());
    // What went wrong in words a user reads in a log line ("disk full",
    // "server answered 404 Not Found").
    QString plainReason() const;
};

// The error for a failed open of `path`, from the system's errno.
RuntimeError fileOpenError(int savedErrno, const QString& path, bool forWriting);
// The error for a failed write or close, from the system's errno.
RuntimeError fileWriteError(int savedErrno, const QString& path);

}  // namespace pm
