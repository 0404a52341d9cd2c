// ostrel-gentree: writes a synthetic, reproducible folder tree for benchmarks
// and correctness checks. Files are sized with ftruncate, so even terabytes of
// apparent size cost no disk blocks, only inodes.
//
// The random generator and every distribution are our own code rather than
// <random>'s distributions, whose output differs between standard libraries:
// one seed must give the same tree everywhere.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;
constexpr std::uint64_t kFourGiB = 4 * kGiB;
constexpr int kBigFolderFiles = 100000;

struct Options {
    std::uint64_t folders = 1000;
    std::uint64_t files = 10000;
    std::uint64_t maxDepth = 8;
    std::uint64_t seed = 1;
    std::uint64_t hugeFiles = 0;
    std::uint64_t symlinks = 0;
    bool bigFolder = false;
    std::string outDir;
};

// Thrown for any failed system call; main() reports it and exits 1.
struct SysError {
    std::string what;
};

[[noreturn]] void fail(const std::string &what, const std::string &path)
{
    throw SysError{path + ": " + what + ": " + std::strerror(errno)};
}

// splitmix64: tiny, fast and good enough to shape a tree.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n > 0. The bias of the multiply-shift is far below
    // anything a benchmark tree could notice.
    std::uint64_t below(std::uint64_t n)
    {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(next()) * n) >> 64);
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }

private:
    std::uint64_t m_state;
};

struct Folder {
    std::string path; // relative to OUTDIR, "" for OUTDIR itself
    std::uint32_t depth = 0;
    std::uint32_t children = 0;
    bool keepEmpty = false;
};

// Names mix the awkward cases a scanner must survive: spaces, tabs, bytes that
// are not UTF-8, valid multi-byte UTF-8, shell and glob characters, leading
// dots and dashes, very long names and upper/lower-case twins. A running
// number keeps every name unique inside its folder.
std::string makeName(Rng &rng, std::uint64_t id, bool folder)
{
    static constexpr std::string_view kExt[] = {".txt", ".DOC", ".jpg", ".Mp3", ".tar.gz", ".c", ".LOG", ""};
    std::string num = std::to_string(id);
    std::string stem;
    switch (rng.below(20)) {
    case 0: stem = "My Documents " + num; break;
    case 1: stem = "bad\xff" "byte" + num; break;
    case 2: stem = "lone\xc3" + num; break;
    case 3: stem = "caf\xc3\xa9 " + num; break;                     // café
    case 4: stem = "\xe6\x97\xa5\xe6\x9c\xac" + num; break;          // CJK
    case 5: stem = "tab\there" + num; break;
    case 6: stem = "MiXeD CaSe " + num; break;
    case 7: stem = "UPPER" + num; break;
    case 8: stem = " lead and trail space " + num + " "; break;
    case 9: stem = ".hidden" + num; break;
    case 10: stem = "-dash" + num; break;
    case 11: stem = "sh'ell \"quote\" $x *?[" + num + "]\\"; break;
    case 12: stem = std::string(folder ? 100 : 200, 'L') + num; break;
    case 13: stem = "\xc3\x28" + num; break;                         // invalid 2-byte sequence
    default: stem = (folder ? "dir" : "file") + num; break;
    }
    if (!folder)
        stem += kExt[rng.below(std::size(kExt))];
    return stem;
}

// Skewed sizes: log2(size) is Laplace-distributed around 12, so the median
// file is a few KiB, one in a hundred is over 10 MiB and a rare few reach
// 2 GiB; some files are empty.
std::uint64_t fileSize(Rng &rng)
{
    if (rng.chance(0.04))
        return 0;
    const double u = rng.unit();
    const double spread = u < 0.5 ? std::log(2.0 * u + 0x1.0p-53) : -std::log(2.0 * (1.0 - u));
    const int bits = std::clamp(static_cast<int>(std::lround(12.0 + 3.0 * spread)), 0, 30);
    const std::uint64_t lo = 1ull << bits;
    return lo + rng.below(lo);
}

// Files over 4 GiB, with the exact 32-bit boundary cases first.
std::uint64_t hugeSize(Rng &rng, std::uint64_t k)
{
    if (k % 3 == 0)
        return kFourGiB;
    if (k % 3 == 1)
        return kFourGiB + 10;
    return kFourGiB + 1 + rng.below(1ull << 40); // up to ~1 TiB more
}

std::string join(const std::string &base, const std::string &rel)
{
    return rel.empty() ? base : base + "/" + rel;
}

// "../" once per level: from a folder's contents back to OUTDIR.
std::string upTo(const Folder &f)
{
    std::string up;
    for (std::uint32_t d = 0; d < f.depth; ++d)
        up += "../";
    return up;
}

std::string childPath(const std::string &parent, const std::string &name)
{
    return parent.empty() ? name : parent + "/" + name;
}

void makeFile(const std::string &path, std::uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create file", path);
    if (size > 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        fail("cannot set size", path);
    }
    if (::close(fd) != 0)
        fail("cannot close", path);
}

void makeFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        fail("cannot create folder", path);
}

// mkdir -p for OUTDIR; an existing, empty folder is accepted.
void prepareOutDir(const std::string &dir)
{
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            fail("exists and is not a folder", dir);
        }
        DIR *d = ::opendir(dir.c_str());
        if (!d)
            fail("cannot open", dir);
        bool empty = true;
        while (const dirent *e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                empty = false;
                break;
            }
        }
        ::closedir(d);
        if (!empty)
            throw SysError{dir + ": exists and is not empty"};
        return;
    }
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        const std::string prefix = dir.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            fail("cannot create folder", prefix);
    }
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        fail("cannot create folder", dir);
}

struct Totals {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t symlinks = 0;
    std::uint64_t bytes = 0;
};

// Folder levels: a bell over the depths, peaking at 60 % of --max-depth, so
// the top levels stay narrow and the deep ones thin out, as on real disks.
class LevelPicker {
public:
    explicit LevelPicker(std::uint64_t maxDepth)
    {
        const double mu = 0.6 * static_cast<double>(maxDepth);
        const double sigma = std::max(1.0, static_cast<double>(maxDepth) / 5.0);
        double sum = 0;
        for (std::uint64_t d = 1; d <= maxDepth; ++d) {
            const double x = (static_cast<double>(d) - mu) / sigma;
            sum += std::exp(-0.5 * x * x);
            m_cumulative.push_back(sum);
        }
    }
    // A depth in [1, maxDepth].
    std::size_t pick(Rng &rng) const
    {
        const double r = rng.unit() * m_cumulative.back();
        const auto at = std::upper_bound(m_cumulative.begin(), m_cumulative.end(), r) - m_cumulative.begin();
        return 1 + std::min(static_cast<std::size_t>(at), m_cumulative.size() - 1);
    }

private:
    std::vector<double> m_cumulative;
};

Totals generate(const Options &opt)
{
    Rng rng(opt.seed);
    Totals t;
    std::uint64_t nextId = 0;

    std::vector<Folder> folders;
    folders.reserve(opt.folders + 2);
    folders.push_back(Folder{});

    const LevelPicker levels(opt.maxDepth);
    std::vector<std::vector<std::size_t>> byDepth(1, std::vector<std::size_t>{0});
    for (std::uint64_t i = 0; i < opt.folders; ++i) {
        // The parent is any folder one level up; levels fill from the top down.
        const std::size_t depth = std::min(levels.pick(rng), byDepth.size());
        const std::vector<std::size_t> &candidates = byDepth[depth - 1];
        const std::size_t p = candidates[rng.below(candidates.size())];
        Folder f;
        std::string name = makeName(rng, nextId, true);
        if (folders[p].path.size() + name.size() > 3000) // stay well inside PATH_MAX
            name = "d" + std::to_string(nextId);
        ++nextId;
        f.path = childPath(folders[p].path, name);
        f.depth = folders[p].depth + 1;
        ++folders[p].children;
        makeFolder(join(opt.outDir, f.path));
        if (byDepth.size() <= depth)
            byDepth.emplace_back();
        byDepth[depth].push_back(folders.size());
        folders.push_back(std::move(f));
    }
    t.folders = opt.folders;

    // About one leaf in eight stays empty, so empty folders exist at every depth.
    for (std::size_t i = 1; i < folders.size(); ++i)
        if (folders[i].children == 0 && rng.chance(0.125))
            folders[i].keepEmpty = true;

    // Heavy-tailed weights (Pareto, alpha 1.2): a few folders hold most files.
    std::vector<double> cumulative;
    std::vector<std::size_t> target;
    double sum = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (folders[i].keepEmpty)
            continue;
        const double w = std::min(std::pow(1.0 - rng.unit(), -1.0 / 1.2), 5000.0);
        sum += w;
        cumulative.push_back(sum);
        target.push_back(i);
    }

    // Which of the files are the huge ones: K distinct positions.
    std::vector<std::uint64_t> hugeAt;
    for (std::uint64_t k = 0; k < opt.hugeFiles; ++k)
        hugeAt.push_back(k);
    for (std::uint64_t i = opt.hugeFiles; i < opt.files; ++i) { // reservoir sampling
        const std::uint64_t j = rng.below(i + 1);
        if (j < opt.hugeFiles)
            hugeAt[j] = i;
    }
    std::sort(hugeAt.begin(), hugeAt.end());

    std::size_t hugeNext = 0;
    std::string lastName;
    std::size_t lastFolder = SIZE_MAX;
    std::string someFile; // a link target inside the tree
    for (std::uint64_t i = 0; i < opt.files; ++i) {
        const double r = rng.unit() * sum;
        const std::size_t slot = std::upper_bound(cumulative.begin(), cumulative.end(), r) - cumulative.begin();
        const std::size_t fi = target[std::min(slot, target.size() - 1)];

        // Now and then the upper-case twin of the previous name in the same
        // folder: a distinct file on Linux, a trap for case-folding code.
        std::string name;
        std::string upper = lastName;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : static_cast<char>(c); });
        if (fi == lastFolder && upper != lastName && rng.chance(0.05)) {
            name = upper;
            lastName.clear(); // a twin never gets a twin of its own
        } else {
            name = makeName(rng, nextId++, false);
            lastName = name;
        }
        lastFolder = fi;

        std::uint64_t size;
        if (hugeNext < hugeAt.size() && hugeAt[hugeNext] == i)
            size = hugeSize(rng, hugeNext++);
        else
            size = fileSize(rng);
        const std::string rel = childPath(folders[fi].path, name);
        makeFile(join(opt.outDir, rel), size);
        if (someFile.empty())
            someFile = rel;
        t.bytes += size;
    }
    t.files = opt.files;

    if (opt.bigFolder) {
        const std::string big = join(opt.outDir, "big folder " + std::to_string(nextId++));
        makeFolder(big);
        ++t.folders;
        for (int i = 0; i < kBigFolderFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/f%06d.dat", i);
            const std::uint64_t size = fileSize(rng);
            makeFile(big + name, size);
            t.bytes += size;
        }
        t.files += kBigFolderFiles;
    }

    // Symbolic links, each counting only its own size (the target's length):
    // to a file, to a folder, a loop back to the root, one to itself, a
    // dangling one; then more of the same kinds.
    for (std::uint64_t k = 0; k < opt.symlinks; ++k) {
        const Folder &where = folders[target[rng.below(target.size())]]; // keep empty folders empty
        std::string linkTarget;
        switch (k % 5) {
        case 0: linkTarget = someFile.empty() ? "/dev/null" : upTo(where) + someFile; break;
        case 1: {
            const Folder &to = folders[rng.below(folders.size())];
            linkTarget = upTo(where) + (to.path.empty() ? "." : to.path);
            break;
        }
        case 2: linkTarget = upTo(where) + "."; break; // its folder's ancestor: a cycle
        case 3: linkTarget = "self link " + std::to_string(nextId); break;
        default: linkTarget = "no such target"; break;
        }
        const std::string name = k % 5 == 3 ? linkTarget : "link " + std::to_string(nextId);
        ++nextId;
        const std::string path = join(opt.outDir, childPath(where.path, name));
        if (::symlink(linkTarget.c_str(), path.c_str()) != 0)
            fail("cannot create symbolic link", path);
        ++t.symlinks;
        t.bytes += linkTarget.size();
    }
    return t;
}

constexpr const char *kUsage =
    "usage: ostrel-gentree [--folders N] [--files N] [--max-depth D] [--seed S]\n"
    "                      [--big-folder] [--huge-files K] [--symlinks L] OUTDIR\n"
    "Writes a reproducible synthetic tree into OUTDIR (created; must be empty).\n"
    "  --folders N     folders below OUTDIR (default 1000)\n"
    "  --files N       files spread over them (default 10000)\n"
    "  --max-depth D   deepest folder level below OUTDIR, >= 1 (default 8)\n"
    "  --seed S        random seed (default 1)\n"
    "  --big-folder    add one folder holding 100000 files\n"
    "  --huge-files K  K of the files are over 4 GiB (some exactly 4 GiB, 4 GiB + 10)\n"
    "  --symlinks L    L symbolic links: to a file, a folder, a loop, itself, nowhere\n";

[[noreturn]] void usageError(const std::string &msg)
{
    std::fprintf(stderr, "ostrel-gentree: %s\n%s", msg.c_str(), kUsage);
    std::exit(2);
}

std::uint64_t number(std::string_view opt, const char *text)
{
    std::uint64_t v = 0;
    const std::string_view s(text);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        usageError(std::string(opt) + ": not a non-negative integer: '" + std::string(s) + "'");
    return v;
}

Options parseArgs(int argc, char **argv)
{
    Options o;
    bool haveOut = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> std::uint64_t {
            if (i + 1 >= argc)
                usageError(std::string(a) + " needs a value");
            return number(a, argv[++i]);
        };
        if (a == "--folders") o.folders = value();
        else if (a == "--files") o.files = value();
        else if (a == "--max-depth") o.maxDepth = value();
        else if (a == "--seed") o.seed = value();
        else if (a == "--huge-files") o.hugeFiles = value();
        else if (a == "--symlinks") o.symlinks = value();
        else if (a == "--big-folder") o.bigFolder = true;
        else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--") {
            if (i + 2 != argc || haveOut)
                usageError("exactly one OUTDIR expected");
            o.outDir = argv[++i];
            haveOut = true;
        } else if (a.size() > 1 && a[0] == '-') {
            usageError("unknown option " + std::string(a));
        } else {
            if (haveOut)
                usageError("exactly one OUTDIR expected");
            o.outDir = argv[i];
            haveOut = true;
        }
    }
    if (!haveOut || o.outDir.empty())
        usageError("OUTDIR missing");
    if (o.maxDepth < 1 || o.maxDepth > 1000)
        usageError("--max-depth must be between 1 and 1000");
    if (o.folders > 10'000'000 || o.files > 100'000'000)
        usageError("--folders at most 10000000, --files at most 100000000");
    if (o.hugeFiles > o.files)
        usageError("--huge-files cannot exceed --files");
    if (o.symlinks > 1'000'000)
        usageError("--symlinks at most 1000000");
    while (o.outDir.size() > 1 && o.outDir.back() == '/')
        o.outDir.pop_back();
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    const Options opt = parseArgs(argc, argv);
    try {
        prepareOutDir(opt.outDir);
        const Totals t = generate(opt);
        std::printf("ostrel-gentree: %llu folders, %llu files, %llu symlinks, %llu bytes\n",
                    static_cast<unsigned long long>(t.folders), static_cast<unsigned long long>(t.files),
                    static_cast<unsigned long long>(t.symlinks), static_cast<unsigned long long>(t.bytes));
    } catch (const SysError &e) {
        std::fprintf(stderr, "ostrel-gentree: %s\n", e.what.c_str());
        return 1;
    }
    return 0;
}
