// tarnvel-egdb verify: every quiet position's stored result must follow
// from the stored results of the positions its moves reach.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "egdb/database.h"
#include "egdb/filenames.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"
#include "interface/postext.h"
#include "material_text.h"
#include "moves.h"
#include "parallel.h"
#include "progress.h"
#include "slice_runs.h"
#include "solver.h"
#include "store.h"
#include "subcommands.h"

namespace tarnvel::egdbtool {

namespace {

constexpr int MAX_VERIFY_PIECES = LAST_SINGLE_FILE_PIECES;
// Draws to find the asked number of quiet positions in a slice.
constexpr int SAMPLE_TRIES = 20;
// Plies of plain moves searched while only the side not to move can
// capture; deeper chains leave the position undecided.
constexpr int THREAT_DEPTH = 8;
constexpr int32_t CACHE_MEGABYTES = 64;

// WIN beats everything, an undecided child leaves the result undecided
// unless something wins, DRAW beats LOSS.
Value better(Value a, Value b) {
    if (a == WIN || b == WIN) return WIN;
    if (a == UNRESOLVED || b == UNRESOLVED) return UNRESOLVED;
    return a == DRAW || b == DRAW ? DRAW : LOSS;
}

// Where the results of quiet positions come from: the store that the whole
// check fills (read on several threads), or the database itself, probed
// one position at a time, for a sample.
bool probing = false;

Value lookedUp(const Pieces& p, int side) {
    if (!probing) return storedValue(p, side);
    if ((side == BLACK ? (p.wm | p.wk) : (p.bm | p.bk)) == 0) return WIN;
    const DbQuery q{p.bm, p.bk, p.wm, p.wk, side == WHITE ? 1u : 2u};
    const int32_t r = probeDatabase(&q, 0);
    return r == DB_WIN || r == DB_LOSS || r == DB_DRAW ? static_cast<Value>(r) : UNRESOLVED;
}

Value resolved(const Pieces& p, int side, int depth);

// The value of p from its moves. Quiet successors are looked up first and
// the others, which need a search through their captures, only when no
// looked-up one wins: most won positions are then settled by lookups.
Value searched(const Pieces& p, int side, int depth) {
    Successor next[MAX_SUCCESSORS];
    const int n = successors(p, side, next);
    Value best = LOSS;
    int later[MAX_SUCCESSORS], searches = 0;
    for (int i = 0; i < n && best != WIN; ++i) {
        const Pieces& after = next[i].after;
        if (hasCapture(after, 1 - side) || hasCapture(after, side)) later[searches++] = i;
        else best = better(best, negated(lookedUp(after, 1 - side)));
    }
    for (int i = 0; i < searches && best != WIN; ++i)
        best = better(best, negated(resolved(next[later[i]].after, 1 - side, depth)));
    return best;
}

// The stored value of a quiet position, else searched through its moves.
Value resolved(const Pieces& p, int side, int depth) {
    if ((side == BLACK ? (p.bm | p.bk) : (p.wm | p.wk)) == 0) return LOSS;
    if (hasCapture(p, side)) return searched(p, side, depth);
    if (!hasCapture(p, 1 - side)) return lookedUp(p, side);
    return depth == 0 ? UNRESOLVED : searched(p, side, depth - 1);
}

const char* valueName(Value v) {
    switch (v) {
        case WIN: return "win";
        case LOSS: return "loss";
        case DRAW: return "draw";
        default: return "no result";
    }
}

std::string describe(const Pieces& p, int side) {
    const Position pos{0, p.wm, p.wk, p.bm, p.bk, uint32_t(popCount(p.wm | p.wk)),
                       uint32_t(popCount(p.bm | p.bk)), 0};
    return positionText(pos, side == WHITE);
}

// Goes to the directory that holds DIR, which must be named db.
bool enterParent(const std::string& dir, std::string* problem) {
    std::filesystem::path path(dir);
    while (!path.empty() && !path.has_filename() && path.has_relative_path()) path = path.parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        *problem = "'" + dir + "' is not a directory";
        return false;
    }
    if (path.filename() != "db") {
        *problem = "'" + dir + "' must be a directory named db (the engine reads db/ in its working "
                   "directory)";
        return false;
    }
    const std::filesystem::path parent = std::filesystem::absolute(path, error).parent_path();
    std::filesystem::current_path(parent, error);
    if (error) {
        *problem = "cannot enter '" + parent.string() + "': " + error.message();
        return false;
    }
    return true;
}

// Largest n with every index file of 2 … n pieces present.
int coveredPieces() {
    int n = 1;
    while (n < MAX_VERIFY_PIECES && std::filesystem::exists("db/db" + std::to_string(n + 1) + ".idx")) ++n;
    return n;
}

// The materials of the solving order that the database holds (a build
// with --only holds some).
std::vector<Material> heldMaterials(int pieces) {
    std::vector<Material> held;
    for (const Material& m : solvingOrder(pieces))
        for (const SliceKey& k : canonicalSlices(pieceCount(m), pieces))
            if (Material{k.nbm, k.nbk, k.nwm, k.nwk} == m && sliceRecord(k).present) {
                held.push_back(m);
                break;
            }
    return held;
}

struct Finding {
    Pieces p;
    int side;
    Value stored, expected;
};

// Positions of a material a thread checks at a time.
constexpr uint32_t CHECK_RUN = 1 << 16;
// Blocks of codes a thread reads and decodes at a time, and positions of a
// single-value slice.
constexpr uint32_t BLOCKS_PER_PIECE = 16;
constexpr uint32_t SINGLE_VALUE_PIECE = 1 << 20;
// Reading a stored result costs about a quarter of checking a position
// (41 against 153 ns of CPU): the progress counts it so, and its time left
// holds across both steps.
constexpr uint64_t READS_PER_CHECK = 4;

// A piece of the reading for the held material m: blocks [first, last)
// of a slice, or of a single-value slice its positions [first, last).
struct ReadPiece {
    Material m;
    SliceKey key;
    uint32_t first, last;
};

// The pieces of every present slice of the held materials or their twins.
std::vector<ReadPiece> readingPieces(const std::vector<Material>& held, int pieces) {
    std::vector<ReadPiece> out;
    for (const Material& m : held)
        for (const SliceKey& k : canonicalSlices(pieceCount(m), pieces)) {
            const Material slice{k.nbm, k.nbk, k.nwm, k.nwk};
            const SliceRecord& r = sliceRecord(k);
            if ((slice != m && slice != colourReversed(m)) || !r.present) continue;
            const uint64_t end = r.singleValue ? sliceSize(k) : static_cast<uint64_t>(std::max(r.blockCount, 0));
            const uint64_t step = r.singleValue ? SINGLE_VALUE_PIECE : BLOCKS_PER_PIECE;
            for (uint64_t b = 0; b < end; b += step)
                out.push_back({m, k, static_cast<uint32_t>(b), static_cast<uint32_t>(std::min(b + step, end))});
        }
    return out;
}

// Results on their way into the store: each one's byte is fetched when it
// is queued and set some results later, so that the cache misses of
// setting results all over gigabytes overlap.
class StoreQueue {
public:
    StoreQueue(const StoreQueue&) = delete;
    StoreQueue& operator=(const StoreQueue&) = delete;
    explicit StoreQueue(const Material& m) : material(m) {}
    ~StoreQueue() {
        while (count > 0) setOldest();
    }

    void push(int side, uint32_t n, Value v) {
        fetchForStore(material, side, n);
        if (count == DEPTH) setOldest();
        pending[(oldest + count++) % DEPTH] = {side, n, v};
    }

private:
    static constexpr int DEPTH = 16;
    struct Pending {
        int side;
        uint32_t n;
        Value v;
    };
    void setOldest() {
        const Pending& p = pending[oldest];
        storeResult(material, p.side, p.n, p.v);
        oldest = (oldest + 1) % DEPTH;
        --count;
    }
    const Material& material;
    Pending pending[DEPTH];
    int oldest = 0, count = 0;
};

// Stores the result of a slice position for the held material's positions
// it stands for: itself, and its colour-reversed twin (the other side to
// move), which the database keeps in the same place. Only quiet positions'
// results are ever read, but telling them apart costs more than storing
// them all.
void storeSlicePosition(StoreQueue& queue, const Material& m, const SliceWalk& walk, Value v) {
    DbQuery q;
    if (!walkPosition(walk, &q)) return;
    const Pieces p{q.bm, q.bk, q.wm, q.wk};
    const MaterialIndex& ix = storedIndex(m);
    const int side = walk.key.side;
    if (materialOf(p) == m) queue.push(side, positionNumber(ix, p), v);
    const Pieces twin = colourReversed(p);
    if (materialOf(twin) == m) queue.push(1 - side, positionNumber(ix, twin), v);
}

bool readPiece(const ReadPiece& piece) {
    const SliceRecord& r = sliceRecord(piece.key);
    const uint32_t size = sliceSize(piece.key);
    SliceWalk walk;
    StoreQueue queue(piece.m);
    if (r.singleValue) {
        const Value v = r.singleValue <= DRAW ? static_cast<Value>(r.singleValue) : UNRESOLVED;
        startSliceWalk(piece.key, piece.first, &walk);
        for (uint32_t i = piece.first; i < piece.last; ++i, stepSliceWalk(&walk)) storeSlicePosition(queue, piece.m, walk, v);
        return true;
    }
    SliceCodes codes;
    const auto first = static_cast<int32_t>(piece.first), last = static_cast<int32_t>(piece.last);
    if (!readSliceCodes(r, size, first, last, &codes)) return false;
    if (codes.firstIndex >= codes.endIndex) return true;
    startSliceWalk(piece.key, codes.firstIndex, &walk);
    decodeSliceCodes(codes, [&](uint32_t, uint8_t v) {
        storeSlicePosition(queue, piece.m, walk, static_cast<Value>(v));
        stepSliceWalk(&walk);
    });
    return true;
}

uint64_t piecePositions(const ReadPiece& piece) {
    const SliceRecord& r = sliceRecord(piece.key);
    const uint32_t size = sliceSize(piece.key);
    if (r.singleValue) return piece.last - piece.first;
    const uint32_t end = piece.last < static_cast<uint32_t>(r.blockCount) ? std::min(r.idx[piece.last], size) : size;
    return end > r.idx[piece.first] ? end - r.idx[piece.first] : 0;
}

// Fills the store with every stored result of the held materials, reading
// the slices' compressed blocks in order on all threads. False (with the
// reason) when a file cannot be read.
bool readDatabase(const std::vector<Material>& held, const std::vector<ReadPiece>& work, int threads,
                  std::string* problem) {
    for (const Material& m : held)
        if (!storeMaterial(m)) {
            *problem = "not enough memory for the results of " + materialText(m) + " (" +
                       std::to_string(storeBytes() >> 20) + " MiB already held)";
            return false;
        }
    uint64_t positions = 0;
    for (const ReadPiece& piece : work) positions += piecePositions(piece);
    progressStep("reading", positions / READS_PER_CHECK);
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> done{0};
    std::atomic<bool> failed{false};
    onThreads(threads, [&](int t) {
        for (size_t i; !failed && (i = next++) < work.size();) {
            if (!readPiece(work[i])) failed = true;
            done += piecePositions(work[i]);
            if (t == 0) progressShare(static_cast<double>(done) / static_cast<double>(std::max<uint64_t>(positions, 1)));
        }
    });
    if (failed) *problem = "cannot read the compressed files";
    return !failed;
}

struct Counts {
    uint64_t checked = 0, undecided = 0;
};

// One thread's findings.
struct Checked {
    Counts counts;
    std::vector<Finding> wrong, missing;
};

// The stored results of a quiet position, both sides to move, against its moves.
void checkPosition(const Pieces& p, Checked* c) {
    for (int side = 0; side < 2; ++side) {
        const Value stored = storedValue(p, side);
        if (stored == UNRESOLVED) {
            c->missing.push_back({p, side, UNRESOLVED, UNRESOLVED});
            continue;
        }
        const Value expected = searched(p, side, THREAT_DEPTH);
        if (expected == UNRESOLVED) {
            ++c->counts.undecided;
            continue;
        }
        ++c->counts.checked;
        if (expected != stored) c->wrong.push_back({p, side, stored, expected});
    }
}

// Every quiet position's stored results against its moves; those with no
// result go to `missing`.
std::vector<Finding> checkDatabase(const std::vector<Material>& order, int threads, Counts* counts,
                                   std::vector<Finding>* missing) {
    std::vector<Finding> wrong;
    for (const Material& m : order) {
        progressStep("checking " + materialText(m), materialSlots(m));
        const MaterialIndex& ix = storedIndex(m);
        std::vector<Checked> found(threads);
        // Positions are handed out in runs, so that a thread with harder
        // runs does not keep the others waiting.
        std::atomic<uint32_t> nextRun{0};
        onThreads(threads, [&](int t) {
            for (uint64_t begin; (begin = uint64_t{nextRun++} * CHECK_RUN) < ix.size;) {
                if (t == 0) progressShare(static_cast<double>(begin) / ix.size);
                const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(begin + CHECK_RUN, ix.size));
                for (uint32_t n = static_cast<uint32_t>(begin); n < end; ++n) {
                    Pieces p;
                    if (positionOf(ix, n, &p) && quiet(p)) checkPosition(p, &found[t]);
                }
            }
        });
        const size_t wrongBefore = wrong.size(), missingBefore = missing->size();
        for (const Checked& c : found) {
            counts->checked += c.counts.checked;
            counts->undecided += c.counts.undecided;
            wrong.insert(wrong.end(), c.wrong.begin(), c.wrong.end());
            missing->insert(missing->end(), c.missing.begin(), c.missing.end());
        }
        // In position order, whichever thread found them.
        const auto order = [&](const Finding& a, const Finding& b) {
            return std::pair(positionNumber(ix, a.p), a.side) < std::pair(positionNumber(ix, b.p), b.side);
        };
        std::sort(wrong.begin() + static_cast<std::ptrdiff_t>(wrongBefore), wrong.end(), order);
        std::sort(missing->begin() + static_cast<std::ptrdiff_t>(missingBefore), missing->end(), order);
    }
    return wrong;
}

// `sample` random quiet positions of every slice of the held materials,
// their stored results against their moves, all looked up in the
// database. The draws are the same on every run.
std::vector<Finding> sampleDatabase(const std::vector<Material>& held, int pieces, uint32_t sample,
                                    Counts* counts, std::vector<Finding>* missing) {
    std::vector<Finding> wrong;
    std::mt19937_64 draw(1);
    probing = true;
    for (const Material& m : held) {
        progressStep("sampling " + materialText(m), materialSlots(m));
        for (const SliceKey& k : canonicalSlices(pieceCount(m), pieces)) {
            if (Material{k.nbm, k.nbk, k.nwm, k.nwk} != m) continue;
            const uint32_t size = sliceSize(k);
            uint32_t found = 0;
            for (uint32_t tries = 0; found < sample && tries < SAMPLE_TRIES * sample; ++tries) {
                DbQuery q;
                if (!positionAtIndex(k, static_cast<uint32_t>(draw() % size), &q)) continue;
                const Pieces p{q.bm, q.bk, q.wm, q.wk};
                if (!quiet(p)) continue;
                ++found;
                const Value stored = lookedUp(p, k.side);
                const Value expected = searched(p, k.side, THREAT_DEPTH);
                if (stored == UNRESOLVED) {
                    missing->push_back({p, k.side, stored, expected});
                } else if (expected == UNRESOLVED) {
                    ++counts->undecided;
                } else {
                    ++counts->checked;
                    if (expected != stored) wrong.push_back({p, k.side, stored, expected});
                }
            }
        }
    }
    probing = false;
    return wrong;
}

}  // namespace

CLI::App* addVerifyCommand(CLI::App& parent, VerifyOptions& o) {
    CLI::App* verify = parent.add_subcommand("verify", "check a database against its own moves");
    verify->add_option("DIR", o.dir, "the database directory, named db as the engine reads it")
        ->type_name("")
        ->capture_default_str();
    verify->add_option("--sample", o.sample, "check N random positions of every slice instead of all")
        ->type_name("N")
        ->check(CLI::Range(1u, 1000000u));
    verify->footer(
        "For every position of up to " + std::to_string(MAX_VERIFY_PIECES) +
        " pieces where neither side can capture, the stored\nresult must be the one its moves lead to "
        "(positions with a capture are searched\nthrough until no capture is left). The whole check "
        "decodes the database's\nfiles into memory (2 bits a position) and checks on every core; --sample "
        "looks\nevery result up in the database. Prints the positions checked and every\ninconsistency; exits "
        "with 1 when there is one.");
    return verify;
}

int verifyCommand(const VerifyOptions& o) {
    const char* dir = o.dir.c_str();
    std::string problem;
    if (!enterParent(dir, &problem)) {
        std::fprintf(stderr, "tarnvel-egdb verify: %s\n", problem.c_str());
        return USAGE_ERROR;
    }
    const int pieces = coveredPieces();
    char progressText[1024] = "";
    if (pieces < 2 || openDatabase(CACHE_MEGABYTES, progressText) < pieces) {
        std::fprintf(stderr, "tarnvel-egdb verify: no database in '%s' (db2.idx missing or unreadable)\n",
                     dir);
        return 1;
    }

    const std::vector<Material> held = heldMaterials(pieces);
    uint64_t work = 0;
    for (const Material& m : held) work += materialSlots(m);
    Counts counts;
    std::vector<Finding> missing, wrong;
    if (o.sample > 0) {
        progressStart(work);
        wrong = sampleDatabase(held, pieces, o.sample, &counts, &missing);
    } else {
        const std::vector<ReadPiece> reading = readingPieces(held, pieces);
        uint64_t readingWork = 0;
        for (const ReadPiece& piece : reading) readingWork += piecePositions(piece);
        progressStart(readingWork / READS_PER_CHECK + work);
        const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        if (!readDatabase(held, reading, threads, &problem)) {
            progressFinish();
            std::fprintf(stderr, "tarnvel-egdb verify: %s\n", problem.c_str());
            return 1;
        }
        wrong = checkDatabase(held, threads, &counts, &missing);
    }
    progressFinish();
    closeDatabase();

    for (const Finding& f : missing)
        std::printf("no result: %s\n", describe(f.p, f.side).c_str());
    for (const Finding& f : wrong)
        std::printf("inconsistent: %s stored %s, its moves give %s\n", describe(f.p, f.side).c_str(),
                    valueName(f.stored), valueName(f.expected));
    std::printf("checked %llu positions of 2 to %d pieces%s in %.1f s: %zu inconsistent, %zu without a "
                "result, %llu undecided (capture threats deeper than %d plies)\n",
                static_cast<unsigned long long>(counts.checked), pieces,
                o.sample > 0 ? (" (" + std::to_string(o.sample) + " a slice)").c_str() : "", progressElapsed(), wrong.size(),
                missing.size(), static_cast<unsigned long long>(counts.undecided), THREAT_DEPTH);
    return wrong.empty() && missing.empty() ? 0 : 1;
}

}  // namespace tarnvel::egdbtool
