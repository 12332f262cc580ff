#pragma once

#include <QString>

#include <exception>
#include <new>
#include <type_traits>
#include <utility>

// Error numbers the platform reports, with their usual descriptions.
namespace ErrorNumber {
constexpr int InvalidProcedureCall = 5;
constexpr int OutOfMemory = 7;
constexpr int InternalError = 51;
constexpr int FileNotFound = 53;
constexpr int DeviceIOError = 57;
constexpr int DiskFull = 61;
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidPropertyValue = 380;
}

// What a failing platform operation reports instead of throwing.
struct Error
{
    int number = 0;
    QString description;

    bool failed() const { return number != 0; }
    bool ok() const { return number == 0; }

    static Error none() { return {}; }
    // The number's usual text, followed by what went wrong where ("Path not
    // found: '/a/b.txt' (No such file or directory)").
    static Error make(int number, const QString &detail = QString());
    static QString standardDescription(int number);
};

// Runs the steps of a procedure that runs "with errors trapped": every step
// runs (or, when stopping at the first failure, every step up to it), each
// failure is recorded, and the procedure decides afterwards whether to show
// its one message (the message box is the procedure's, not the trap's).
class ErrorTrap
{
public:
    enum class Mode { SkipFailingSteps, StopAtFirstFailure };

    explicit ErrorTrap(Mode mode = Mode::SkipFailingSteps) : m_mode(mode) { }

    // A step returns an Error, or nothing when it cannot fail. An exception
    // escaping a step is recorded as a failure too: none crosses the trap.
    template <typename Step>
    ErrorTrap &run(Step &&step)
    {
        if (m_mode == Mode::StopAtFirstFailure && failed())
            return *this;
        try {
            if constexpr (std::is_void_v<std::invoke_result_t<Step>>) {
                std::forward<Step>(step)();
            } else {
                record(std::forward<Step>(step)());
            }
        } catch (const std::bad_alloc &) {
            record(Error::make(ErrorNumber::OutOfMemory));
        } catch (const std::exception &e) {
            record(Error::make(ErrorNumber::InternalError, QString::fromLocal8Bit(e.what())));
        }
        return *this;
    }

    void record(const Error &error);

    bool failed() const { return m_failures > 0; }
    int failureCount() const { return m_failures; }
    const Error &firstError() const { return m_first; }

private:
    Mode m_mode;
    int m_failures = 0;
    Error m_first;
};
