#pragma once

#include <QString>
#include <memory>

class QProcessEnvironment;

namespace quel::web {

// The environment through which a program hands its request rate to the workers it starts:
// QUELFETCH_RATE is the number of requests per second all of them together may make, and
// QUELFETCH_RATE_FILE the slot file in which they agree on it.
inline constexpr char kRateVariable[] = "QUELFETCH_RATE";
inline constexpr char kRateFileVariable[] = "QUELFETCH_RATE_FILE";

// Requests per second shared by every process that uses the same slot file. The file holds
// the earliest time the next request may go; a process locks it (flock), takes that slot or
// now if later, moves the time on by one interval and unlocks, then waits for its slot.
// Without a file the limit holds within the process only.
class SharedRateLimit
{
public:
    SharedRateLimit(double requestsPerSecond, const QString& slotFile = {});

    // Reserves the next request slot; returns the milliseconds until it (0: go now).
    qint64 reserve();

    double rate() const { return m_rate; }
    const QString& slotFile() const { return m_slotFile; }

private:
    qint64 takeSlot(qint64 nextFreeUs, qint64 nowUs);

    double m_rate;
    QString m_slotFile;
    qint64 m_intervalUs;
    qint64 m_localNextUs = 0;
};

// Sets (rate > 0) or removes (rate <= 0) the two variables in a worker's environment. The
// slot file belongs in the data folder, one per run; it need not exist yet.
void SetRateLimitEnvironment(
    QProcessEnvironment& environment, double requestsPerSecond, const QString& slotFile);

// The limit the environment of this process asks for; null when it asks for none.
std::unique_ptr<SharedRateLimit> RateLimitFromEnvironment();

} // namespace quel::web
