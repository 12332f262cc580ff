#include "platform/error.h"

Error Error::make(int number, const QString &detail)
{
    QString text = standardDescription(number);
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return {number, text};
}

QString Error::standardDescription(int number)
{
    switch (number) {
    case ErrorNumber::InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case ErrorNumber::OutOfMemory: return QStringLiteral("Out of memory");
    case ErrorNumber::InternalError: return QStringLiteral("Internal error");
    case ErrorNumber::FileNotFound: return QStringLiteral("File not found");
    case ErrorNumber::DeviceIOError: return QStringLiteral("Device I/O error");
    case ErrorNumber::DiskFull: return QStringLiteral("Disk full");
    case ErrorNumber::DeviceUnavailable: return QStringLiteral("Device unavailable");
    case ErrorNumber::PermissionDenied: return QStringLiteral("Permission denied");
    case ErrorNumber::PathFileAccessError: return QStringLiteral("Path/File access error");
    case ErrorNumber::PathNotFound: return QStringLiteral("Path not found");
    case ErrorNumber::InvalidPropertyValue: return QStringLiteral("Invalid property value");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

void ErrorTrap::record(const Error &error)
{
    if (error.ok())
        return;
    if (m_failures == 0)
        m_first = error;
    ++m_failures;
}
