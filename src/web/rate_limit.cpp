#include "web/rate_limit.h"

#include <QFile>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace quel::web {

namespace {

// A slot time further ahead than this is taken as left over from a clock that was set back;
// at low rates the queue of a full pool of waiting workers may reach further, so the bound
// grows to that many intervals.
constexpr qint64 kMaxAheadUs = 120LL * 1000 * 1000;
constexpr qint64 kMaxAheadIntervals = 64;
// The slowest rate kept: one request an hour (a smaller rate would overflow the times).
constexpr double kLongestIntervalUs = 3600e6;

qint64 NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// An open descriptor that is closed (and so unlocked) on every way out.
class LockedFile
{
public:
    explicit LockedFile(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~LockedFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    qint64 readNumber() const
    {
        char text[32] = {};
        const ssize_t n = ::pread(m_fd, text, sizeof text - 1, 0);
        if (n <= 0)
            return 0;
        return std::strtoll(text, nullptr, 10);
    }

    void writeNumber(qint64 value) const
    {
        const std::string text = std::to_string(value) + "\n";
        if (::pwrite(m_fd, text.data(), text.size(), 0) == ssize_t(text.size()))
            (void)::ftruncate(m_fd, off_t(text.size()));
    }

private:
    int m_fd = -1;
};

} // namespace

SharedRateLimit::SharedRateLimit(double requestsPerSecond, const QString& slotFile)
    : m_rate(requestsPerSecond)
    , m_slotFile(slotFile)
    , m_intervalUs(requestsPerSecond > 0
              ? qint64(std::llround(std::min(1e6 / requestsPerSecond, kLongestIntervalUs)))
              : 0)
{ }

qint64 SharedRateLimit::takeSlot(qint64 nextFreeUs, qint64 nowUs)
{
    const qint64 ahead = std::max(kMaxAheadUs, kMaxAheadIntervals * m_intervalUs);
    if (nextFreeUs < nowUs || nextFreeUs > nowUs + ahead)
        nextFreeUs = nowUs;
    return nextFreeUs;
}

qint64 SharedRateLimit::reserve()
{
    if (m_intervalUs <= 0)
        return 0;
    const qint64 now = NowUs();
    qint64 slot = 0;
    LockedFile file(m_slotFile.isEmpty() ? QString() : m_slotFile);
    if (!m_slotFile.isEmpty() && file.isOpen()) {
        slot = takeSlot(file.readNumber(), now);
        file.writeNumber(slot + m_intervalUs);
    } else {
        // No shared file (or it cannot be opened): at least this process keeps the rate.
        slot = takeSlot(m_localNextUs, now);
        m_localNextUs = slot + m_intervalUs;
    }
    return (slot - now + 999) / 1000;
}

void SetRateLimitEnvironment(
    QProcessEnvironment& environment, double requestsPerSecond, const QString& slotFile)
{
    if (requestsPerSecond <= 0) {
        environment.remove(QString::fromLatin1(kRateVariable));
        environment.remove(QString::fromLatin1(kRateFileVariable));
        return;
    }
    environment.insert(QString::fromLatin1(kRateVariable), QString::number(requestsPerSecond));
    if (slotFile.isEmpty())
        environment.remove(QString::fromLatin1(kRateFileVariable));
    else
        environment.insert(QString::fromLatin1(kRateFileVariable), slotFile);
}

std::unique_ptr<SharedRateLimit> RateLimitFromEnvironment()
{
    bool ok = false;
    const double rate = qEnvironmentVariable(kRateVariable).toDouble(&ok);
    if (!ok || !(rate > 0) || !std::isfinite(rate))
        return nullptr;
    return std::make_unique<SharedRateLimit>(rate, qEnvironmentVariable(kRateFileVariable));
}

} // namespace quel::web
