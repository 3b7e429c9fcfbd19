// wendro-sim: stands in for the logger device on a pseudo-terminal linked as COM<N>.
#include "PlantModel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double CharsPerSecond = 480.0; // 4800 baud, 10 bits a character
constexpr size_t PieceSize = 8;
// More unread than this when paced means nobody has the port open.
constexpr int StaleBacklog = 256;

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

struct Options
{
    std::string dir;
    long port = 1;
    bool fast = false;
    long intervalMs = 1000;
    long count = -1;
    long seed = 1;
    std::string replay;
    bool print = false;
    long garbage = 0;
};

struct Line
{
    int master = -1;
    int slave = -1;
    std::string slavePath;
};

void usage(FILE* out)
{
    std::fputs("usage: wendro-sim --dir DIR [--port N] [--fast] [--interval-ms MS] [--count N]\n"
               "                  [--seed N] [--replay FILE] [--print] [--garbage-bytes N]\n"
               "  --dir DIR            folder in which to create the COM<N> link (required)\n"
               "  --port N             the N in COM<N>, 1..8 (default 1)\n"
               "  --fast               no pacing, frames back to back\n"
               "  --interval-ms MS     start-to-start time between frames (default 1000)\n"
               "  --count N            stop after N frames (default: until signalled)\n"
               "  --seed N             random seed (default 1)\n"
               "  --replay FILE        send the lines of FILE instead of the plant model\n"
               "  --print              echo each frame sent to stdout\n"
               "  --garbage-bytes N    send N random bytes before the first frame\n",
               out);
}

bool parseNumber(const char* text, long lo, long hi, long& out)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
        return false;
    out = static_cast<long>(v);
    return true;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](long lo, long hi, long& out) {
            ++i;
            return value && parseNumber(value, lo, hi, out);
        };
        bool ok = true;
        if (arg == "--fast") {
            o.fast = true;
        } else if (arg == "--print") {
            o.print = true;
        } else if (arg == "--dir" || arg == "--replay") {
            ok = value && *value;
            (arg == "--dir" ? o.dir : o.replay) = ok ? value : "";
            ++i;
        } else if (arg == "--port") {
            ok = number(1, 8, o.port);
        } else if (arg == "--interval-ms") {
            ok = number(1, 3600000, o.intervalMs);
        } else if (arg == "--count") {
            ok = number(0, 2000000000, o.count);
        } else if (arg == "--seed") {
            ok = number(0, 4294967295LL, o.seed);
        } else if (arg == "--garbage-bytes") {
            ok = number(0, 100000000, o.garbage);
        } else {
            if (arg != "--help" && arg != "-h")
                std::fprintf(stderr, "wendro-sim: unknown option %s\n", arg.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "wendro-sim: bad or missing value for %s\n", arg.c_str());
            return false;
        }
    }
    if (o.dir.empty())
        std::fputs("wendro-sim: --dir is required\n", stderr);
    return !o.dir.empty();
}

// Raw mode on the slave covers both ends: on Linux a pty pair shares the slave's termios.
bool openSlave(Line& line)
{
    // Holding the slave ourselves keeps the line up while readers close and reopen it.
    line.slave = open(line.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (line.slave < 0 || tcgetattr(line.slave, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, B4800);
    cfsetospeed(&t, B4800);
    return tcsetattr(line.slave, TCSANOW, &t) == 0;
}

bool openLine(Line& line)
{
    line.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0)
        return false;
    const char* name = ptsname(line.master);
    if (!name)
        return false;
    line.slavePath = name;
    // A non-blocking master lets us notice when nobody drains the line.
    const int flags = fcntl(line.master, F_GETFL);
    return flags >= 0 && fcntl(line.master, F_SETFL, flags | O_NONBLOCK) == 0 && openSlave(line);
}

int unreadBytes(Line& line)
{
    int queued = 0;
    if (ioctl(line.slave, TIOCINQ, &queued) == 0)
        return queued;
    // A reader that made the port its controlling terminal hangs up our slave fd on exit.
    if (errno == EIO) {
        close(line.slave);
        openSlave(line);
    }
    return 0;
}

// Drops what nobody has read; checking the queue first revives a hung-up slave fd.
void dropUnread(Line& line)
{
    unreadBytes(line);
    tcflush(line.slave, TCIFLUSH);
}

// Whatever a reader writes (or echoes) comes back on the master; drop it so it never fills up.
void discardInput(const Line& line)
{
    char buf[512];
    while (read(line.master, buf, sizeof buf) > 0) {
    }
}

// Sleeps in short slices so a signal ends the run promptly.
bool waitUntil(Clock::time_point when)
{
    while (!g_stop) {
        const auto left = when - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(50)));
    }
    return false;
}

bool writeAll(Line& line, const char* p, size_t n)
{
    auto lastProgress = Clock::now();
    while (n > 0 && !g_stop) {
        const ssize_t w = write(line.master, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
            lastProgress = Clock::now();
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            std::fprintf(stderr, "wendro-sim: write to %s failed: %s\n", line.slavePath.c_str(),
                         std::strerror(errno));
            return false;
        }
        discardInput(line);
        // Nobody has read for a while: throw the backlog away rather than stall for good.
        if (Clock::now() - lastProgress > std::chrono::seconds(2)) {
            dropUnread(line);
            lastProgress = Clock::now();
        }
        pollfd pfd{line.master, POLLOUT, 0};
        poll(&pfd, 1, 100);
    }
    return true;
}

// Paced output goes out in small pieces at the device's line rate.
bool send(Line& line, const std::string& bytes, bool paced)
{
    discardInput(line);
    if (!paced)
        return writeAll(line, bytes.data(), bytes.size());
    const auto start = Clock::now();
    for (size_t off = 0; off < bytes.size() && !g_stop; off += PieceSize) {
        const size_t len = std::min(PieceSize, bytes.size() - off);
        if (!writeAll(line, bytes.data() + off, len))
            return false;
        const std::chrono::duration<double> sent(static_cast<double>(off + len) / CharsPerSecond);
        waitUntil(start + std::chrono::duration_cast<Clock::duration>(sent));
    }
    return true;
}

// Before exiting, give a reader time to take what is still queued: closing the
// master hangs the slave up and loses it.
void linger(Line& line)
{
    int last = -1;
    auto lastChange = Clock::now();
    while (!g_stop && Clock::now() - lastChange < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int queued = unreadBytes(line);
        if (queued == 0 && last == 0)
            return;
        if (queued != last)
            lastChange = Clock::now();
        last = queued;
    }
}

std::vector<std::string> replayChunks(const std::string& path, bool& ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> chunks;
    for (size_t pos = 0; pos < data.size();) {
        const size_t nl = data.find('\n', pos);
        const size_t end = nl == std::string::npos ? data.size() : nl + 1;
        chunks.push_back(data.substr(pos, end - pos));
        pos = end;
    }
    return chunks;
}

void printSent(const std::string& chunk)
{
    size_t len = chunk.size();
    if (len > 0 && chunk[len - 1] == '\n')
        --len;
    if (len > 0 && chunk[len - 1] == '\r')
        --len;
    std::fwrite(chunk.data(), 1, len, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool run(Line& line, const Options& o, const std::vector<std::string>* replay)
{
    const bool paced = !o.fast;
    const auto seed = static_cast<unsigned>(o.seed);
    if (o.garbage > 0) {
        std::mt19937 rng(seed ^ 0x5eedu);
        std::uniform_int_distribution<int> byte(0, 255);
        std::string junk(static_cast<size_t>(o.garbage), '\0');
        for (char& c : junk)
            c = static_cast<char>(byte(rng));
        if (!send(line, junk, paced))
            return false;
    }

    PlantModel plant(seed, o.fast ? 1.0 : static_cast<double>(o.intervalMs) / 1000.0);
    const auto interval = std::chrono::milliseconds(o.intervalMs);
    auto frameStart = Clock::now();
    for (long n = 0; !g_stop && (o.count < 0 || n < o.count); ++n) {
        if (replay && static_cast<size_t>(n) >= replay->size())
            break;
        if (paced && n > 0) {
            frameStart += interval;
            if (!waitUntil(frameStart))
                break;
        }
        if (paced && unreadBytes(line) > StaleBacklog)
            dropUnread(line); // a late reader should get live frames, not old ones
        const std::string chunk = replay ? (*replay)[static_cast<size_t>(n)]
                                         : PlantModel::frameText(plant.step()) + "\r\n";
        if (!send(line, chunk, paced))
            return false;
        if (o.print && !g_stop)
            printSent(chunk);
    }
    linger(line);
    return true;
}

// Only remove the link if it is still ours; another simulator may have taken the name.
void removeLink(const std::string& link, const std::string& target)
{
    char buf[256];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    if (n >= 0 && std::string(buf, static_cast<size_t>(n)) == target)
        unlink(link.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        usage(stderr);
        return 2;
    }

    std::vector<std::string> replay;
    if (!o.replay.empty()) {
        bool ok = false;
        replay = replayChunks(o.replay, ok);
        if (!ok) {
            std::fprintf(stderr, "wendro-sim: cannot read %s\n", o.replay.c_str());
            return 1;
        }
    }

    const std::string name = "COM" + std::to_string(o.port);
    const std::string link = o.dir + "/" + name;
    struct stat st
    {
    };
    if (stat(o.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "wendro-sim: program folder %s is missing or not a folder\n",
                     o.dir.c_str());
        return 1;
    }

    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Line line;
    if (!openLine(line)) {
        std::fprintf(stderr, "wendro-sim: cannot set up a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return 1;
    }

    if ((unlink(link.c_str()) != 0 && errno != ENOENT) ||
        symlink(line.slavePath.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "wendro-sim: cannot create link %s: %s\n", link.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "wendro-sim: %s -> %s\n", name.c_str(), line.slavePath.c_str());

    const bool ok = run(line, o, o.replay.empty() ? nullptr : &replay);

    removeLink(link, line.slavePath);
    close(line.slave);
    close(line.master);
    return ok ? 0 : 1;
}
