#include "Platform/Audio/KitCache.h"

#include "Platform/Files.h"
#include "Platform/PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Platform::Audio {

namespace {

constexpr char magic[8] = {'T', 'L', 'V', 'K', 'I', 'T', '0', '1'};

std::uint64_t Fnv1a(const void* data, std::size_t bytes, std::uint64_t hash = 14695981039346656037ULL)
{
    const auto* at = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < bytes; ++i) {
        hash ^= at[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

bool ReadAll(int fd, void* data, std::size_t bytes)
{
    auto* at = static_cast<char*>(data);
    while (bytes > 0) {
        const ssize_t got = ::read(fd, at, bytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
        bytes -= static_cast<std::size_t>(got);
    }
    return true;
}

std::string UserCacheFolder()
{
    std::string parent;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/')
        parent = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        parent = std::string(home) + "/.cache";
    if (parent.empty())
        return {};
    ::mkdir(parent.c_str(), 0700); // the user's cache folder may not exist yet
    std::string problem;
    return MakePrivateFolder(parent, "tolvane", problem);
}

} // namespace

KitCache::KitCache(const std::string& soundFont, std::uint32_t sampleRate, std::string folder)
    : folder_(folder.empty() ? UserCacheFolder() : std::move(folder)), soundFont_(soundFont), sampleRate_(sampleRate)
{
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
    struct stat font {};
    if (::stat(soundFont.c_str(), &font) != 0) {
        folder_.clear(); // nothing to key on
        return;
    }
    fontSize_ = font.st_size;
    fontTime_ = std::int64_t{font.st_mtim.tv_sec} * 1'000'000'000 + font.st_mtim.tv_nsec;
}

std::string KitCache::Key(int note, int velocity) const
{
    return soundFont_ + '\n' + std::to_string(fontSize_) + '\n' + std::to_string(fontTime_) + '\n'
           + std::to_string(sampleRate_) + '\n' + std::to_string(note) + '\n' + std::to_string(velocity);
}

std::string KitCache::FileOf(int note, int velocity) const
{
    if (folder_.empty())
        return {};
    const std::string key = Key(note, velocity);
    char name[40];
    std::snprintf(name, sizeof name, "%016llx.hit", static_cast<unsigned long long>(Fnv1a(key.data(), key.size())));
    return folder_ + name;
}

// A file: magic, the key's length and the key, the note's header, its samples, and the
// checksum of everything before it.
std::optional<KitCache::Hit> KitCache::Find(int note, int velocity) const
{
    const std::string path = FileOf(note, velocity);
    if (path.empty())
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<Hit> found;
    const std::string key = Key(note, velocity);
    struct stat file {};
    char head[sizeof magic] = {};
    std::uint32_t keyBytes = 0;
    Hit hit;
    const std::uint64_t mostBytes = sizeof magic + sizeof keyBytes + key.size() + sizeof hit.header
                                    + KitRendering::MostFrames(sampleRate_) * 2 * sizeof(float) + sizeof(std::uint64_t);
    if (::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && static_cast<std::uint64_t>(file.st_size) <= mostBytes
        && ReadAll(fd, head, sizeof head) && std::memcmp(head, magic, sizeof magic) == 0
        && ReadAll(fd, &keyBytes, sizeof keyBytes) && keyBytes == key.size()) {
        std::string stored(keyBytes, '\0');
        if (ReadAll(fd, stored.data(), stored.size()) && stored == key && ReadAll(fd, &hit.header, sizeof hit.header)
            && hit.header.note == note && hit.header.velocity == velocity
            && hit.header.frames <= KitRendering::MostFrames(sampleRate_)
            && static_cast<std::uint64_t>(file.st_size)
                   == sizeof magic + sizeof keyBytes + key.size() + sizeof hit.header
                          + std::uint64_t{hit.header.frames} * 2 * sizeof(float) + sizeof(std::uint64_t)) {
            hit.samples.resize(2 * std::size_t{hit.header.frames});
            std::uint64_t checksum = 0;
            if (ReadAll(fd, hit.samples.data(), hit.samples.size() * sizeof(float))
                && ReadAll(fd, &checksum, sizeof checksum)) {
                std::uint64_t expected = Fnv1a(magic, sizeof magic);
                expected = Fnv1a(&keyBytes, sizeof keyBytes, expected);
                expected = Fnv1a(key.data(), key.size(), expected);
                expected = Fnv1a(&hit.header, sizeof hit.header, expected);
                expected = Fnv1a(hit.samples.data(), hit.samples.size() * sizeof(float), expected);
                if (checksum == expected)
                    found = std::move(hit);
            }
        }
    }
    ::close(fd);
    return found;
}

bool KitCache::Store(const KitRendering::NoteHeader& header, const std::vector<float>& samples) const
{
    const std::string path = FileOf(header.note, header.velocity);
    if (path.empty() || samples.size() != 2 * std::size_t{header.frames})
        return false;
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return false;
    const std::string key = Key(header.note, header.velocity);
    const auto keyBytes = static_cast<std::uint32_t>(key.size());
    std::uint64_t checksum = Fnv1a(magic, sizeof magic);
    checksum = Fnv1a(&keyBytes, sizeof keyBytes, checksum);
    checksum = Fnv1a(key.data(), key.size(), checksum);
    checksum = Fnv1a(&header, sizeof header, checksum);
    checksum = Fnv1a(samples.data(), samples.size() * sizeof(float), checksum);
    bool written = WriteAll(fd, magic, sizeof magic) && WriteAll(fd, &keyBytes, sizeof keyBytes)
                   && WriteAll(fd, key.data(), key.size()) && WriteAll(fd, &header, sizeof header)
                   && WriteAll(fd, samples.data(), samples.size() * sizeof(float))
                   && WriteAll(fd, &checksum, sizeof checksum);
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace Platform::Audio
