#pragma once

#include <QString>

namespace glimora::backoffice {

// How a long job ended.
enum class JobOutcome {
    Failed = 0,
    Done = 1, // import or backup
    Restored = 2,
    Cancelled = 3, // an export stopped on request, leaving no file
};

// What a long job tells whoever shows its progress. Called on the job's own thread.
class JobProgress
{
public:
    virtual ~JobProgress() = default;
    virtual void start(int steps) = 0;
    // `step` statements of the job have been sent, whatever their outcome.
    virtual void update(int step) = 0;
    // `errorDescription` is the server's reason when the job fails and shows it; else empty.
    virtual void end(JobOutcome outcome, const QString& errorDescription) = 0;
    // Whether the person asked the job to stop; only an export looks.
    virtual bool cancelRequested() const { return false; }
};

} // namespace glimora::backoffice
